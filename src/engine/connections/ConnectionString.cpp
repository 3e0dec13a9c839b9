#include "engine/connections/ConnectionString.h"

#include "adodb/OdbcConfiguration.h"
#include "adodb/OdbcConnectionString.h"
#include "adodb/OdbcValue.h"

namespace korvanta {
namespace {

// psqlODBC keeps this many bytes of the server, username and database name, and of the port.
constexpr std::size_t kNameBytes = 255;
constexpr std::size_t kPortBytes = 9;

std::string Plain(const QString& text, std::string_view label, std::size_t maxBytes) {
    return adodb::OdbcPlainValue(text.toStdString(), label, maxBytes);
}

}  // namespace

std::string PostgreSQLConnectionString(const ConnectionValues& values) {
    // One statement at a time, so that a refusal names the first box in the window's order.
    std::string text = "Driver={PostgreSQL Unicode};Server=";
    text += Plain(values.server, "server name", kNameBytes);
    text += ";Port=";
    text += Plain(values.port, "port", kPortBytes);
    text += ";Uid=";
    text += Plain(values.user, "username", kNameBytes);
    text += ";Pwd=";
    text += adodb::OdbcPassword(values.password.toStdString());
    text += ";Database=";
    text += Plain(values.database, "database name", kNameBytes);
    return text;
}

std::string SybaseConnectionString(const ConnectionValues& values) {
    const std::string name = values.dataSourceName.toStdString();
    std::string text = adodb::DataSourceConnectionString(name);
    // The SQLite driver creates a missing database file unless told not to; other drivers
    // might refuse a key they do not know, so only it is told.
    if (values.openExistingOnly &&
        adodb::DataSourceDriverFile(name).find("sqlite") != std::string::npos)
        text += ";NoCreat=1";
    return text;
}

}  // namespace korvanta
