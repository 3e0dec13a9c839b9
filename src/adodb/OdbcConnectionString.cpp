#include "adodb/OdbcConnectionString.h"

#include <cctype>
#include <vector>

#include "adodb/Error.h"
#include "adodb/OdbcValue.h"
#include "adodb/TextCodec.h"

namespace adodb::detail {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

struct Attribute {
    std::string key;
    std::string value;
};

// Splits an OLE DB style string: key=value pairs separated by ";", a value optionally
// between double or single quotes (the quote doubled inside) or, the ODBC way, between
// braces ("}" doubled inside).
std::vector<Attribute> ParseOleDb(std::string_view text) {
    std::vector<Attribute> attributes;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t equals = text.find('=', pos);
        const std::size_t semicolon = text.find(';', pos);
        if (equals == std::string_view::npos || semicolon < equals) {
            if (!Trim(text.substr(pos, semicolon - pos)).empty()) {
                throw Error("The connection string is not a list of key=value pairs.");
            }
            pos = semicolon == std::string_view::npos ? text.size() : semicolon + 1;
            continue;
        }
        Attribute attribute{std::string(Trim(text.substr(pos, equals - pos))), {}};
        pos = equals + 1;
        while (pos < text.size() && text[pos] == ' ')
            ++pos;
        if (pos < text.size() && (text[pos] == '"' || text[pos] == '\'' || text[pos] == '{')) {
            const char open = text[pos++];
            const char close = open == '{' ? '}' : open;
            for (;;) {
                if (pos >= text.size()) {
                    throw Error("A quoted connection string value is not closed.");
                }
                if (text[pos] == close) {
                    if (pos + 1 < text.size() && text[pos + 1] == close) {
                        attribute.value += close;
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                attribute.value += text[pos++];
            }
            const std::size_t end = text.find(';', pos);
            if (!Trim(text.substr(pos, end - pos)).empty()) {
                throw Error("Unexpected text after a quoted connection string value.");
            }
            pos = end == std::string_view::npos ? text.size() : end + 1;
        } else {
            const std::size_t end = text.find(';', pos);
            attribute.value = std::string(Trim(text.substr(pos, end - pos)));
            pos = end == std::string_view::npos ? text.size() : end + 1;
        }
        attributes.push_back(std::move(attribute));
    }
    return attributes;
}

// The ODBC key and value for an OLE DB attribute.
std::string OdbcPair(const Attribute& attribute) {
    if (EqualsIgnoringCase(attribute.key, "Data Source"))
        return "DSN=" + OdbcDataSourceName(attribute.value);
    if (EqualsIgnoringCase(attribute.key, "Password"))
        return "PWD=" + OdbcPassword(attribute.value);
    const std::string key = EqualsIgnoringCase(attribute.key, "User ID") ? "UID" : attribute.key;
    return key + '=' + OdbcOtherValue(attribute.value, "value of " + key);
}

}  // namespace

std::string ForClientSideReading(std::string odbc) {
    std::string lower(odbc.size(), '\0');
    for (std::size_t i = 0; i < odbc.size(); ++i)
        lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(odbc[i])));
    const bool psqlOdbc = lower.rfind("driver={postgresql", 0) == 0;
    if (psqlOdbc && lower.find("usedeclarefetch") == std::string::npos)
        odbc += ";UseDeclareFetch=1;Fetch=256";
    return odbc;
}

std::string ToOdbcConnectionString(std::string_view connectionString) {
    const std::size_t equals = connectionString.find('=');
    if (equals == std::string_view::npos ||
        !EqualsIgnoringCase(Trim(connectionString.substr(0, equals)), "Data Source")) {
        return std::string(connectionString);
    }
    std::string odbc;
    for (const Attribute& attribute : ParseOleDb(connectionString)) {
        // unixODBC reads "DSN=" (an empty name) as some installed driver, and sqliteodbc
        // then creates a database file named "DSN=" in the working folder. Without the key
        // the driver manager reports that the data source does not exist.
        if (attribute.value.empty() && EqualsIgnoringCase(attribute.key, "Data Source"))
            continue;
        if (!odbc.empty())
            odbc += ';';
        odbc += OdbcPair(attribute);
    }
    return odbc;
}

}  // namespace adodb::detail

namespace adodb {

std::string DataSourceConnectionString(std::string_view name) {
    const std::string odbcName = OdbcDataSourceName(name);
    if (odbcName.empty() || (odbcName.front() != '"' && odbcName.front() != '\''))
        return "Data Source=" + odbcName;
    return "Data Source=" + Enclosed(odbcName, '"', '"');
}

}  // namespace adodb
