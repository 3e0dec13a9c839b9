#include "adodb/OdbcValue.h"

#include <sqlext.h>

#include <cctype>

#include "adodb/Error.h"

namespace adodb {
namespace {

[[noreturn]] void Refuse(std::string_view label, std::string_view reason) {
    std::string message = "The ";
    message += label;
    message += " cannot be passed to the ODBC driver: ";
    message += reason;
    message += '.';
    throw Error(message);
}

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// What no key carries as written: a NUL ends the whole string (the keys after it would be
// lost and the driver would use its defaults), ";" ends the value, and a leading "{" makes
// the driver manager and psqlODBC read braces.
void RefuseUnwritable(std::string_view value, std::string_view label) {
    if (value.find('\0') != std::string_view::npos)
        Refuse(label, "it contains a null character");
    if (value.find(';') != std::string_view::npos)
        Refuse(label, "it contains \";\"");
    if (!value.empty() && value.front() == '{')
        Refuse(label, "it starts with \"{\"");
}

void RefuseLonger(std::string_view value, std::string_view label, std::size_t maxBytes) {
    if (value.size() > maxBytes)
        Refuse(label, "it is longer than " + std::to_string(maxBytes) + " bytes");
}

}  // namespace

std::string Enclosed(std::string_view value, char open, char close) {
    std::string enclosed(1, open);
    for (char c : value) {
        enclosed += c;
        if (c == close)
            enclosed += close;
    }
    enclosed += close;
    return enclosed;
}

std::string OdbcPlainValue(std::string_view value, std::string_view label, std::size_t maxBytes) {
    RefuseUnwritable(value, label);
    RefuseLonger(value, label, maxBytes);
    return std::string(value);
}

std::string OdbcPassword(std::string_view password) {
    if (password.find('\0') != std::string_view::npos)
        Refuse("password", "it contains a null character");
    const bool misread = password.find_first_of(";+%") != std::string_view::npos ||
                         (!password.empty() && password.front() == '{');
    return misread ? Enclosed(password, '{', '}') : std::string(password);
}

std::string OdbcDataSourceName(std::string_view name) {
    constexpr std::string_view kLabel = "data source name";
    RefuseUnwritable(name, kLabel);
    if (!name.empty() && IsBlank(name.front()))
        Refuse(kLabel, "it starts with a blank");
    if (!name.empty() && IsBlank(name.back()))
        Refuse(kLabel, "it ends with a blank");
    // Longer, unixODBC fails with "DRIVER keyword syntax error".
    RefuseLonger(name, kLabel, SQL_MAX_DSN_LENGTH);
    return std::string(name);
}

std::string OdbcOtherValue(std::string_view value, std::string_view label) {
    if (value.find('\0') != std::string_view::npos)
        Refuse(label, "it contains a null character");
    const bool needsBraces =
        value.find(';') != std::string_view::npos || (!value.empty() && value.front() == '{');
    return needsBraces ? Enclosed(value, '{', '}') : std::string(value);
}

}  // namespace adodb
