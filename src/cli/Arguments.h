#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/Send.h"
#include "sql/model/Side.h"

namespace korvanta::cli {

// Arguments that make no command: an unknown verb or option, a missing or bad value.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The connection options given; each overrides the saved value.
struct ConnectionOptions {
    std::optional<std::string> host, port, user, dbname, dsn, passwordFile;
};

enum class Verb { kHelp, kVersion, kList, kSend, kSchema, kDelete, kRename };

// What the arguments ask for.
struct Command {
    Verb verb = Verb::kHelp;
    std::string helpTopic;           // help: a verb, or empty for the program's help
    Side side = Side::PostgreSQL;    // list, delete and rename: the side worked on
    std::vector<std::string> names;  // delete: the tables; rename: the old and new name
    ConnectionOptions connection;
    SendOptions send;       // send and schema: all but the connection values and the saved settings
    std::string dialect;    // schema: the dialect whose statements are written; empty: the side's
    bool rowByRow = false;  // send: --row-by-row (the saved settings may ask for it too)
    std::optional<bool> exactSchema;  // send: --schema, over the saved setting
    bool nulls = false;               // list: each name ends with a NUL byte, not a line end
};

// --jobs at most: each job holds two connections (three towards PostgreSQL).
inline constexpr int kMostJobs = 64;

// argv[1] on. Pure: reads nothing but the arguments; throws UsageError.
Command ParseCommand(const std::vector<std::string>& arguments);

}  // namespace korvanta::cli
