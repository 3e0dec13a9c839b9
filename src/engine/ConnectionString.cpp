#include "engine/ConnectionString.h"

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
    return adodb::DataSourceConnectionString(values.dataSourceName.toStdString());
}

}  // namespace korvanta
