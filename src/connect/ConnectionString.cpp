#include "connect/ConnectionString.h"

namespace korvanta {

std::string ConnectionStringValue(std::string_view value) {
    const bool needsBraces = value.find_first_of(";{}=+%") != std::string_view::npos ||
                             (!value.empty() && (value.front() == ' ' || value.back() == ' '));
    if (!needsBraces)
        return std::string(value);
    std::string braced = "{";
    for (char c : value) {
        braced += c;
        if (c == '}')
            braced += '}';
    }
    braced += '}';
    return braced;
}

std::string PostgreSQLConnectionString(const ConnectionValues& values) {
    auto v = [](const QString& text) { return ConnectionStringValue(text.toStdString()); };
    return "Driver={PostgreSQL Unicode};Server=" + v(values.server) + ";Port=" + v(values.port) +
           ";Uid=" + v(values.user) + ";Pwd=" + v(values.password) +
           ";Database=" + v(values.database);
}

std::string SybaseConnectionString(const ConnectionValues& values) {
    return "Data Source=" + ConnectionStringValue(values.dataSourceName.toStdString());
}

}  // namespace korvanta
