#include "adodb/OdbcConfiguration.h"

#include <odbcinst.h>

namespace adodb {

namespace {

std::string ProfileString(const std::string& section, const char* key, const char* file) {
    char value[4096] = {};
    const int length = SQLGetPrivateProfileString(section.c_str(), key, "", value,
                                                  static_cast<int>(sizeof value), file);
    return length > 0 ? std::string(value) : std::string();
}

}  // namespace

std::string DataSourceDriverFile(std::string_view dataSourceName) {
    const std::string driver = ProfileString(std::string(dataSourceName), "Driver", "odbc.ini");
    if (driver.empty())
        return {};
    const std::string registered = ProfileString(driver, "Driver", "odbcinst.ini");
    return registered.empty() ? driver : registered;
}

}  // namespace adodb
