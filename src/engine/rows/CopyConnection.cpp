#include "engine/rows/CopyConnection.h"

#include <libpq-fe.h>

#include <algorithm>
#include <string>

namespace korvanta {

namespace {

// Rows read over the connection come in one form whatever the server's configuration:
// dates in ISO form (their order of day and month, which reading input uses, stays the
// server's), bytea as hex, floating-point values with every digit that tells them apart.
// The server's notices (a staging table not there to drop) are not the user's business.
constexpr const char* kSessionOptions =
    "-c DateStyle=ISO -c bytea_output=hex -c extra_float_digits=3 -c IntervalStyle=postgres "
    "-c client_min_messages=warning";

}  // namespace

pg_conn* PostgresCopyConnection::Connect(const ConnectionValues& values,
                                         const TransferSettings& settings) {
    const std::string host = values.server.toStdString();
    const std::string port = values.port.toStdString();
    const std::string user = values.user.toStdString();
    const std::string password = values.password.toStdString();
    const std::string database = values.database.toStdString();
    const std::string connectTimeout =
        std::to_string(std::clamp(settings.commandTimeoutSeconds, 2, 30));
    // A peer that vanished without a word is found within about a minute, and data that
    // cannot be delivered gives up after the command timeout.
    const std::string userTimeout =
        std::to_string(std::min<long long>(settings.commandTimeoutSeconds, 2000000) * 1000);
    // Parameters by keyword: no value needs quoting, and none can add a parameter.
    const char* keywords[] = {"host",
                              "port",
                              "user",
                              "password",
                              "dbname",
                              "client_encoding",
                              "connect_timeout",
                              "keepalives",
                              "keepalives_idle",
                              "keepalives_interval",
                              "keepalives_count",
                              "tcp_user_timeout",
                              "options",
                              nullptr};
    const char* settingsText[] = {host.c_str(),
                                  port.c_str(),
                                  user.c_str(),
                                  password.c_str(),
                                  database.c_str(),
                                  "UTF8",
                                  connectTimeout.c_str(),
                                  "1",
                                  "30",
                                  "10",
                                  "3",
                                  userTimeout.c_str(),
                                  kSessionOptions,
                                  nullptr};
    PGconn* connection = PQconnectdbParams(keywords, settingsText, 0);
    if (connection == nullptr)
        return nullptr;
    if (PQstatus(connection) != CONNECTION_OK || PQsetnonblocking(connection, 1) != 0) {
        PQfinish(connection);
        return nullptr;
    }
    return connection;
}

std::unique_ptr<PostgresCopyConnection> PostgresCopyConnection::Open(
    const ConnectionValues& values, const TransferSettings& settings) {
    PGconn* connection = Connect(values, settings);
    if (connection == nullptr)
        return nullptr;
    return std::unique_ptr<PostgresCopyConnection>(
        new PostgresCopyConnection(connection, values, settings));
}

PostgresCopyConnection::~PostgresCopyConnection() {
    if (connection_ != nullptr)
        PQfinish(connection_);
}

bool PostgresCopyConnection::Broken() const {
    return connection_ == nullptr || PQstatus(connection_) != CONNECTION_OK;
}

bool PostgresCopyConnection::Reopen() {
    if (connection_ != nullptr)
        PQfinish(connection_);
    connection_ = Connect(values_, settings_);
    return connection_ != nullptr;
}

void PostgresCopyConnection::Abandon() {
    if (connection_ != nullptr)
        PQfinish(connection_);
    connection_ = nullptr;
}

}  // namespace korvanta
