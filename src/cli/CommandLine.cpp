#include "cli/CommandLine.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/OutputFile.h"
#include "cli/Password.h"
#include "cli/Send.h"
#include "engine/NameOrder.h"
#include "engine/SettingsStore.h"
#include "engine/TableChanges.h"
#include "engine/TableListing.h"

namespace korvanta::cli {

namespace {

const char kUsage[] =
    "Usage: korvanta [VERB [ARGUMENT...] [OPTION...]]\n"
    "Copies whole tables between PostgreSQL and SQL Anywhere. Without arguments the\n"
    "windows start; with a verb the program works on the command line, no display needed.\n"
    "\n"
    "Verbs:\n"
    "  list postgresql|sqlanywhere          the side's tables, one per line, as the window lists "
    "them\n"
    "  send --to postgresql|sqlanywhere [TABLE|PATTERN...] [--all]\n"
    "                                       copy tables from the other side to this one\n"
    "  delete postgresql|sqlanywhere TABLE...   drop tables\n"
    "  rename postgresql|sqlanywhere OLD NEW    rename a table\n"
    "  help [VERB]                          this text, or a verb's\n"
    "\n"
    "Connection options (default: the values the connection window saved):\n"
    "  -h, --host HOST         PostgreSQL server\n"
    "  -p, --port PORT         PostgreSQL port\n"
    "  -U, --user USER         PostgreSQL user\n"
    "  -d, --dbname DATABASE   PostgreSQL database\n"
    "      --dsn NAME          ODBC data source of the SQL Anywhere side\n"
    "      --password-file FILE  the password on the file's first line, used when the\n"
    "                          settings, PGPASSWORD and ~/.pgpass (mode 0600) have none\n"
    "\n"
    "Send options:\n"
    "      --to SIDE           the side that receives the tables (required)\n"
    "      --all               every table the source side lists\n"
    "      --if-exists replace|skip|stop\n"
    "                          a table the target already has: drop and send it again, keep it,\n"
    "                          or stop there (default: ask on a terminal, else stop)\n"
    "  -j, --jobs N            N tables at a time, each over connections of its own\n"
    "      --verify            read each table back and compare counts and checksums\n"
    "      --row-by-row        one INSERT per row, each committed on its own\n"
    "      --timeout SECONDS   longest wait for any one statement (default 5000)\n"
    "      --max-refused N     stop a table once more than N of its rows were refused\n"
    "      --reject-file FILE  keep every refused row: CSV when FILE ends in .csv, else JSON "
    "lines\n"
    "      --summary-json FILE the summary as JSON\n"
    "  -q, --quiet             no progress and no summary (reports still go to stderr)\n"
    "\n"
    "      --help              this text\n"
    "      --version           the program's version\n"
    "\n"
    "Exit status: 0 every row landed; 1 rows were refused; 2 a table, a connection or a\n"
    "verification failed, or the run was stopped or interrupted; 64 usage error;\n"
    "130 a second interrupt ended the program at once.\n";

const std::map<std::string, std::string> kVerbHelp = {
    {"list",
     "Usage: korvanta list postgresql|sqlanywhere [connection options]\n"
     "Writes the side's tables to standard output, one name per line, in the order and\n"
     "with the filter of the table window's lists. Exit status 2 when the side cannot be\n"
     "reached.\n"},
    {"send",
     "Usage: korvanta send --to postgresql|sqlanywhere [TABLE|PATTERN...] [--all] [options]\n"
     "Sends tables of the other side to SIDE exactly as the window's send button does:\n"
     "each table is created anew on the target and its rows copied; rows go only into a\n"
     "table the send created.\n"
     "  TABLE     a table name, sent as written even when the list does not show it\n"
     "  PATTERN   a shell pattern (*, ?, [...]) matched against the source's list\n"
     "  --all     every table of the source's list, in the list's order\n"
     "Tables go in the order given. Options: --if-exists replace|skip|stop, -j/--jobs N,\n"
     "--verify, --row-by-row, --timeout SECONDS, --max-refused N, --reject-file FILE,\n"
     "--summary-json FILE, -q/--quiet, and the connection options (korvanta --help).\n"
     "Error reports go to standard error with the window's text; the summary (table,\n"
     "read, landed, refused, seconds, rows/s, status) to standard output. Status is one of\n"
     "ok, refused, skipped, stopped, failed, verify-failed, not-started.\n"
     "Ctrl-C stops after the current run of rows (committed rows stay); a second Ctrl-C\n"
     "ends at once.\n"
     "Exit status: 0 every row landed; 1 rows were refused; 2 a table, a connection or a\n"
     "verification failed, or the run was stopped; 64 usage error.\n"},
    {"delete",
     "Usage: korvanta delete postgresql|sqlanywhere TABLE... [connection options]\n"
     "Drops each table (DROP TABLE), as \"Delete Table/s\" does. Exit status 2 when one\n"
     "could not be dropped.\n"},
    {"rename",
     "Usage: korvanta rename postgresql|sqlanywhere OLD NEW [connection options]\n"
     "Renames the table, as \"Rename Table\" does. Exit status 2 when it fails.\n"},
    {"help", "Usage: korvanta help [VERB]\nThe program's help, or a verb's.\n"},
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Arguments {
    std::string verb;
    std::vector<std::string> operands;
    std::map<std::string, std::string> values;  // long option name -> its argument
    std::vector<std::string> flags;             // long option names without an argument
    bool Has(const std::string& flag) const {
        return std::find(flags.begin(), flags.end(), flag) != flags.end();
    }
    std::optional<std::string> Value(const std::string& name) const {
        const auto found = values.find(name);
        return found == values.end() ? std::nullopt : std::optional(found->second);
    }
};

// Long name, short letter (0: none), takes an argument, only for `send`.
struct OptionDef {
    const char* name;
    char letter;
    bool argument;
    bool sendOnly;
};
const OptionDef kOptions[] = {
    {"host", 'h', true, false},     {"port", 'p', true, false},
    {"user", 'U', true, false},     {"dbname", 'd', true, false},
    {"dsn", 0, true, false},        {"password-file", 0, true, false},
    {"to", 0, true, true},          {"all", 0, false, true},
    {"if-exists", 0, true, true},   {"jobs", 'j', true, true},
    {"verify", 0, false, true},     {"row-by-row", 0, false, true},
    {"timeout", 0, true, true},     {"max-refused", 0, true, true},
    {"reject-file", 0, true, true}, {"summary-json", 0, true, true},
    {"quiet", 'q', false, true},    {"help", 0, false, false},
    {"version", 0, false, false},
};

Arguments Parse(int argc, char* argv[]) {
    Arguments args;
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            if (args.verb.empty())
                args.verb = arg;
            else
                args.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        const OptionDef* def = nullptr;
        std::optional<std::string> attached;
        if (arg[1] == '-') {
            std::string name = arg.substr(2);
            if (const auto eq = name.find('='); eq != std::string::npos) {
                attached = name.substr(eq + 1);
                name.resize(eq);
            }
            for (const OptionDef& d : kOptions) {
                if (name == d.name)
                    def = &d;
            }
        } else {
            for (const OptionDef& d : kOptions) {
                if (d.letter == arg[1])
                    def = &d;
            }
            if (arg.size() > 2)
                attached = arg.substr(2);
        }
        if (def == nullptr)
            throw UsageError("unknown option " + arg);
        if (!def->argument) {
            if (attached)
                throw UsageError("option " + std::string(def->name) + " takes no argument");
            args.flags.push_back(def->name);
            continue;
        }
        if (!attached) {
            if (i + 1 >= argc)
                throw UsageError("option " + arg + " needs an argument");
            attached = argv[++i];
        }
        args.values[def->name] = *attached;
    }
    return args;
}

Side ParseSide(const std::string& text) {
    const QString side = QString::fromStdString(text).toLower();
    if (side == QLatin1String("postgresql"))
        return Side::PostgreSQL;
    if (side == QLatin1String("sqlanywhere"))
        return Side::SqlAnywhere;
    throw UsageError("unknown side \"" + text + "\" (postgresql or sqlanywhere)");
}

long long ParseNumber(const std::string& option, const std::string& text, long long least) {
    char* end = nullptr;
    const long long n = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || n < least)
        throw UsageError("--" + option + " needs a whole number of at least " +
                         std::to_string(least));
    return n;
}

// The six values: the settings store's, then the options; the password from the store,
// PGPASSWORD, ~/.pgpass or the password file, in that order.
ConnectionValues Connection(const Arguments& args, const SettingsStore& store) {
    ConnectionValues v;
    v.server = store.Read(keys::kServer, keys::kServerDefault);
    v.port = store.Read(keys::kPort, keys::kPortDefault);
    v.user = store.Read(keys::kUser);
    v.password = store.Read(keys::kPassword);
    v.database = store.Read(keys::kDatabase);
    v.dataSourceName = store.Read(keys::kDataSourceName);
    const auto override = [&](const char* name, QString& value) {
        if (const auto given = args.Value(name))
            value = QString::fromStdString(*given);
    };
    override("host", v.server);
    override("port", v.port);
    override("user", v.user);
    override("dbname", v.database);
    override("dsn", v.dataSourceName);
    if (!v.password.isEmpty())
        return v;
    if (const char* env = std::getenv("PGPASSWORD"); env != nullptr && *env != '\0') {
        v.password = QString::fromUtf8(env);
        return v;
    }
    std::string pgpass;
    if (const char* file = std::getenv("PGPASSFILE"); file != nullptr && *file != '\0')
        pgpass = file;
    else if (const char* home = std::getenv("HOME"); home != nullptr)
        pgpass = std::string(home) + "/.pgpass";
    const PasswordKey key{v.server.toStdString(),
                          v.port.isEmpty() ? std::string("5432") : v.port.toStdString(),
                          v.database.toStdString(), v.user.toStdString()};
    if (!pgpass.empty()) {
        if (const auto found = PasswordFromPgpassFile(pgpass, key)) {
            v.password = QString::fromStdString(*found);
            return v;
        }
    }
    if (const auto file = args.Value("password-file"))
        v.password = QString::fromStdString(PasswordFileLine(*file));
    return v;
}

// The SQL Anywhere side is reached through a data source only: without one there is
// nothing to open, and the driver manager's own words would not say what to do.
void RequireDataSource(const ConnectionValues& values) {
    if (values.dataSourceName.isEmpty()) {
        throw std::runtime_error(
            "no ODBC data source is set for the SQL Anywhere side: give one with --dsn NAME, "
            "or save it in the connection window");
    }
}

void Expect(const Arguments& args, std::size_t least, std::size_t most) {
    if (args.operands.size() < least)
        throw UsageError(args.verb + ": missing argument (korvanta help " + args.verb + ")");
    if (args.operands.size() > most)
        throw UsageError(args.verb + ": too many arguments (korvanta help " + args.verb + ")");
}

int Run(const Arguments& args) {
    if (args.Has("version")) {
        std::printf("korvanta %s\n", KV_VERSION);
        return kExitOk;
    }
    if (args.verb.empty() || args.verb == "help" || args.Has("help")) {
        std::string topic =
            args.verb == "help" ? (args.operands.empty() ? "" : args.operands[0]) : args.verb;
        if (topic.empty()) {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        const auto found = kVerbHelp.find(topic);
        if (found == kVerbHelp.end())
            throw UsageError("unknown verb \"" + topic + "\"");
        std::fputs(found->second.c_str(), stdout);
        return kExitOk;
    }
    if (!kVerbHelp.contains(args.verb))
        throw UsageError("unknown verb \"" + args.verb + "\"");
    if (args.verb != "send") {
        for (const OptionDef& def : kOptions) {
            if (def.sendOnly && (args.Has(def.name) || args.Value(def.name)))
                throw UsageError("--" + std::string(def.name) + " is an option of send only");
        }
    }

    SettingsStore store;
    // The connection values of the sides a verb works on.
    const auto connection = [&](std::optional<Side> side) {
        const ConnectionValues values = Connection(args, store);
        if (side != Side::PostgreSQL)
            RequireDataSource(values);
        return values;
    };
    if (args.verb == "list") {
        Expect(args, 1, 1);
        const Side side = ParseSide(args.operands[0]);
        const ConnectionValues values = connection(side);
        std::vector<std::string> names = ListTableNames(side, values);
        const NameOrder order;
        std::stable_sort(names.begin(), names.end(), [&](const auto& a, const auto& b) {
            return order.Compare(QString::fromStdString(a), QString::fromStdString(b)) < 0;
        });
        std::string text;
        for (const std::string& name : names)
            text += name + '\n';
        return PrintToStandardOutput(text) ? kExitOk : kExitFailed;
    }
    if (args.verb == "delete") {
        Expect(args, 2, static_cast<std::size_t>(-1));
        const Side side = ParseSide(args.operands[0]);
        const ConnectionValues values = connection(side);
        int status = kExitOk;
        for (std::size_t i = 1; i < args.operands.size(); ++i) {
            try {
                DropTable(side, values, args.operands[i]);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "korvanta: cannot delete %s: %s\n", args.operands[i].c_str(),
                             e.what());
                status = kExitFailed;
            }
        }
        return status;
    }
    if (args.verb == "rename") {
        Expect(args, 3, 3);
        const Side side = ParseSide(args.operands[0]);
        RenameTable(side, connection(side), args.operands[1], args.operands[2]);
        return kExitOk;
    }

    // send
    SendOptions options;
    const auto to = args.Value("to");
    if (!to)
        throw UsageError("send: --to postgresql|sqlanywhere is required");
    options.target = ParseSide(*to);
    options.operands = args.operands;
    options.all = args.Has("all");
    if (options.operands.empty() && !options.all)
        throw UsageError("send: name tables or patterns, or give --all");
    if (const auto mode = args.Value("if-exists")) {
        if (*mode == "replace")
            options.ifExists = IfExists::kReplace;
        else if (*mode == "skip")
            options.ifExists = IfExists::kSkip;
        else if (*mode == "stop")
            options.ifExists = IfExists::kStop;
        else
            throw UsageError("--if-exists takes replace, skip or stop");
    }
    if (const auto jobs = args.Value("jobs"))
        options.jobs = static_cast<int>(ParseNumber("jobs", *jobs, 1));
    options.quiet = args.Has("quiet");
    options.rejectFile = args.Value("reject-file").value_or("");
    options.summaryJson = args.Value("summary-json").value_or("");
    options.settings.oneStatementPerRow =
        args.Has("row-by-row") ||
        store.Read(keys::kOneStatementPerRow).trimmed() == QStringLiteral("1");
    options.settings.verify = args.Has("verify");
    if (const auto timeout = args.Value("timeout"))
        options.settings.commandTimeoutSeconds =
            static_cast<int>(ParseNumber("timeout", *timeout, 1));
    if (const auto most = args.Value("max-refused"))
        options.settings.maxRefusedRows = ParseNumber("max-refused", *most, 0);
    options.values = connection(std::nullopt);
    return RunSend(options);
}

}  // namespace

int RunCommandLine(int argc, char* argv[]) {
    try {
        return Run(Parse(argc, argv));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "korvanta: %s\nTry \"korvanta --help\".\n", e.what());
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "korvanta: %s\n", e.what());
        return kExitFailed;
    }
}

}  // namespace korvanta::cli
