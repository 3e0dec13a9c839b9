#include "connect/ConnectionString.h"

#include "adodb/ConnectionString.h"

namespace korvanta {

std::string PostgreSQLConnectionString(const ConnectionValues& values) {
    auto v = [](const QString& text) { return adodb::QuoteOdbcValue(text.toStdString()); };
    return "Driver={PostgreSQL Unicode};Server=" + v(values.server) + ";Port=" + v(values.port) +
           ";Uid=" + v(values.user) + ";Pwd=" + v(values.password) +
           ";Database=" + v(values.database);
}

std::string SybaseConnectionString(const ConnectionValues& values) {
    return "Data Source=" + adodb::QuoteOdbcValue(values.dataSourceName.toStdString());
}

}  // namespace korvanta
