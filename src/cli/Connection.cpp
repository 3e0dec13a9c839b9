#include "cli/Connection.h"

#include <cstdlib>
#include <stdexcept>

#include "cli/Password.h"

namespace korvanta::cli {

namespace {

// ~/.pgpass, or the file PGPASSFILE names; empty when there is neither.
std::string PgpassPath() {
    if (const char* file = std::getenv("PGPASSFILE"); file != nullptr && *file != '\0')
        return file;
    if (const char* home = std::getenv("HOME"); home != nullptr)
        return std::string(home) + "/.pgpass";
    return {};
}

std::optional<std::string> PasswordFor(const ConnectionValues& v, const ConnectionOptions& o) {
    if (const char* env = std::getenv("PGPASSWORD"); env != nullptr && *env != '\0')
        return std::string(env);
    const PasswordKey key{v.server.toStdString(),
                          v.port.isEmpty() ? std::string("5432") : v.port.toStdString(),
                          v.database.toStdString(), v.user.toStdString()};
    if (const std::string pgpass = PgpassPath(); !pgpass.empty()) {
        if (const auto found = PasswordFromPgpassFile(pgpass, key))
            return found;
    }
    if (o.passwordFile)
        return PasswordFileLine(*o.passwordFile);
    return std::nullopt;
}

}  // namespace

ConnectionValues ConnectionFor(const ConnectionOptions& options, const SettingsStore& store,
                               bool needsDataSource) {
    ConnectionValues v = SavedConnectionValues(store);
    const auto override = [](const std::optional<std::string>& given, QString& value) {
        if (given)
            value = QString::fromStdString(*given);
    };
    override(options.host, v.server);
    override(options.port, v.port);
    override(options.user, v.user);
    override(options.dbname, v.database);
    override(options.dsn, v.dataSourceName);
    if (v.password.isEmpty()) {
        if (const std::optional<std::string> password = PasswordFor(v, options))
            v.password = QString::fromStdString(*password);
    }
    // The SQL Anywhere side is reached through a data source only: without one there is
    // nothing to open, and the driver manager's own words would not say what to do.
    if (needsDataSource && v.dataSourceName.isEmpty()) {
        throw std::runtime_error(
            "no ODBC data source is set for the SQL Anywhere side: give one with --dsn NAME, "
            "or save it in the connection window");
    }
    return v;
}

}  // namespace korvanta::cli
