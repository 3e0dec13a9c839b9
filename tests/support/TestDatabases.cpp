#include "support/TestDatabases.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "engine/connections/SettingsStore.h"

namespace testdb {
namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        throw std::runtime_error(std::string(name) +
                                 " is not set: run the tests through scripts/test, which starts "
                                 "the databases");
    }
    return value;
}

// Runs a client with the SQL on its standard input, returns its output lines.
std::vector<std::string> runClient(const std::string& command, std::string_view sql) {
    char scriptPath[] = "/tmp/kv-sql-XXXXXX";
    int fd = mkstemp(scriptPath);
    if (fd < 0)
        throw std::runtime_error("mkstemp failed");
    std::string text(sql);
    text += "\n";
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        close(fd);
        throw std::runtime_error("cannot write SQL script");
    }
    close(fd);
    std::string full = command + " < " + scriptPath + " 2>&1";
    FILE* pipe = popen(full.c_str(), "r");
    if (pipe == nullptr)
        throw std::runtime_error("cannot run " + command);
    std::string out;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), n);
    int status = pclose(pipe);
    unlink(scriptPath);
    if (status != 0)
        throw std::runtime_error(command + " failed: " + out);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos)
            end = out.size();
        lines.push_back(out.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string shellQuote(const std::string& s) {
    std::string quoted = "'";
    for (char c : s)
        quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

PgLogin pg() {
    return {env("KV_PG_SERVER"), env("KV_PG_PORT"), env("KV_PG_USER"), env("KV_PG_PASSWORD"),
            env("KV_PG_DATABASE")};
}

std::string dsn() {
    return env("KV_DSN");
}
std::string sqliteFile() {
    return env("KV_SQLITE_FILE");
}

korvanta::ConnectionValues connectionValues() {
    const PgLogin p = pg();
    return {QString::fromStdString(p.server),   QString::fromStdString(p.port),
            QString::fromStdString(p.user),     QString::fromStdString(p.password),
            QString::fromStdString(p.database), QString::fromStdString(dsn())};
}

QString storeConnectionValues(const QString& path) {
    return storeConnectionValues(path, connectionValues());
}

QString storeConnectionValues(const QString& path, const korvanta::ConnectionValues& v) {
    namespace keys = korvanta::keys;
    korvanta::SettingsStore store(path);
    store.Write(keys::kServer, v.server);
    store.Write(keys::kPort, v.port);
    store.Write(keys::kUser, v.user);
    store.Write(keys::kPassword, v.password);
    store.Write(keys::kDatabase, v.database);
    store.Write(keys::kDataSourceName, v.dataSourceName);
    return path;
}

std::string pgConnectionString() {
    PgLogin p = pg();
    return "Driver={PostgreSQL Unicode};Server=" + p.server + ";Port=" + p.port + ";Uid=" + p.user +
           ";Pwd=" + p.password + ";Database=" + p.database;
}

std::string quoted(std::string_view name) {
    std::string text = "\"";
    for (char c : name)
        text += c == '"' ? std::string("\"\"") : std::string(1, c);
    return text + "\"";
}

std::string uniqueName(std::string_view prefix) {
    static std::atomic<int> counter{0};
    return std::string(prefix) + "_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

std::vector<std::string> psql(std::string_view sql) {
    return psql(sql, pg().database);
}

std::vector<std::string> psql(std::string_view sql, const std::string& database) {
    PgLogin p = pg();
    std::string command = "PGPASSWORD=" + shellQuote(p.password) +
                          " psql -X -q -A -t -v ON_ERROR_STOP=1 -P null='<null>' -F '|' -h " +
                          shellQuote(p.server) + " -p " + shellQuote(p.port) + " -U " +
                          shellQuote(p.user) + " -d " + shellQuote(database);
    return runClient(command, sql);
}

std::vector<std::string> sqlite(std::string_view sql) {
    return sqlite(sql, sqliteFile());
}

std::vector<std::string> sqlite(std::string_view sql, const std::string& file) {
    std::string command =
        "sqlite3 -cmd '.timeout 20000' -bail -batch -noheader -list -separator '|' -nullvalue "
        "'<null>' " +
        shellQuote(file);
    return runClient(command, sql);
}

}  // namespace testdb
