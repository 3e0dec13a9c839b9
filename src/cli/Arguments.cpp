#include "cli/Arguments.h"
#include "cli/Words.h"

#include <QString>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <map>

#include "adodb/TextCodec.h"
#include "cli/Help.h"
#include "engine/connections/SettingsStore.h"
#include "sql/dialect/Dialect.h"
#include "sql/model/Condition.h"

namespace korvanta::cli {

namespace {

// Which verbs an option belongs to: send, send and schema, schema, list.
enum class For { kAny, kSend, kTables, kSchema, kList };

// Long name, short letter (0: none), takes an argument, its verb, and whether its
// argument is a file's path (taken as bytes, not as text).
struct OptionDef {
    const char* name;
    char letter;
    bool argument;
    For verb;
    bool path = false;
};
constexpr OptionDef kOptions[] = {
    {"host", 'h', true, For::kAny},
    {"port", 'p', true, For::kAny},
    {"user", 'U', true, For::kAny},
    {"dbname", 'd', true, For::kAny},
    {"dsn", 0, true, For::kAny},
    {"password-file", 0, true, For::kAny, true},
    {"to", 0, true, For::kTables},
    {"all", 0, false, For::kTables},
    {"dialect", 0, true, For::kSchema},
    {"if-exists", 0, true, For::kSend},
    {"key", 0, true, For::kSend},
    {"since", 0, true, For::kSend},
    {"delete-missing", 0, false, For::kSend},
    {"where", 0, true, For::kSend},
    {"target", 0, true, For::kSend},
    {"plan", 0, true, For::kSend, true},
    {"resume", 0, false, For::kSend},
    {"state", 0, true, For::kSend, true},
    {"jobs", 'j', true, For::kSend},
    {"verify", 0, false, For::kSend},
    {"row-by-row", 0, false, For::kSend},
    {"timeout", 0, true, For::kSend},
    {"max-refused", 0, true, For::kSend},
    {"reject-file", 0, true, For::kSend, true},
    {"summary-json", 0, true, For::kSend, true},
    {"quiet", 'q', false, For::kSend},
    {"schema", 0, true, For::kSend},
    {"dry-run", 0, false, For::kSend},
    {"null", '0', false, For::kList},
    {"help", 0, false, For::kAny},
    {"version", 0, false, For::kAny},
};

// Names, patterns and data source names are UTF-8 text; an argument that is not is
// refused, never read with its bytes replaced (which could name another table).
void RequireUtf8(const std::string& arg, std::size_t position) {
    const std::size_t bad = adodb::detail::FirstInvalidUtf8(arg);
    if (bad == std::string::npos)
        return;
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02x",
                  static_cast<unsigned>(static_cast<unsigned char>(arg[bad])));
    throw UsageError("argument " + std::to_string(position) + " is not valid UTF-8 (byte " + byte +
                     " at offset " + std::to_string(bad) + ")");
}

// The arguments split into words and options, before any meaning is given to them.
struct Words {
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

const OptionDef* FindOption(const std::string& arg, std::optional<std::string>& attached) {
    const OptionDef* found = nullptr;
    if (arg[1] == '-') {
        std::string name = arg.substr(2);
        if (const auto eq = name.find('='); eq != std::string::npos) {
            attached = name.substr(eq + 1);
            name.resize(eq);
        }
        for (const OptionDef& d : kOptions) {
            if (name == d.name)
                found = &d;
        }
        return found;
    }
    for (const OptionDef& d : kOptions) {
        if (d.letter == arg[1])
            found = &d;
    }
    if (arg.size() > 2)
        attached = arg.substr(2);
    return found;
}

Words Split(const std::vector<std::string>& arguments) {
    Words words;
    bool optionsEnd = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        // Positions as the shell counts them: the program is 0.
        const std::size_t position = i + 1;
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            RequireUtf8(arg, position);
            (words.verb.empty() ? words.verb : words.operands.emplace_back()) = arg;
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        std::optional<std::string> attached;
        const OptionDef* def = FindOption(arg, attached);
        if (def == nullptr) {
            RequireUtf8(arg, position);
            throw UsageError("unknown option " + arg);
        }
        if (!def->argument) {
            if (attached)
                throw UsageError("option " + std::string(def->name) + " takes no argument");
            words.flags.push_back(def->name);
            continue;
        }
        std::size_t valuePosition = position;
        if (!attached) {
            if (i + 1 >= arguments.size())
                throw UsageError("option " + arg + " needs an argument");
            attached = arguments[++i];
            valuePosition = i + 1;
        }
        if (!def->path)
            RequireUtf8(*attached, valuePosition);
        if (!words.values.emplace(def->name, *attached).second)
            throw UsageError("option --" + std::string(def->name) + " is given twice");
    }
    return words;
}

bool OptionFits(For owner, const std::string& verb) {
    switch (owner) {
        case For::kSend:
            return verb == "send";
        case For::kTables:
            return verb == "send" || verb == "schema";
        case For::kSchema:
            return verb == "schema";
        case For::kList:
            return verb == "list";
        case For::kAny:
            break;
    }
    return true;
}

const char* Owners(For owner) {
    switch (owner) {
        case For::kSend:
            return "send";
        case For::kTables:
            return "send and schema";
        case For::kSchema:
            return "schema";
        case For::kList:
            return "list";
        case For::kAny:
            break;
    }
    return "";
}

Side ParseSide(const std::string& text) {
    if (const std::optional<Side> side = SideNamed(text))
        return *side;
    throw UsageError("unknown side \"" + text + "\" (" + kSideWords + ")");
}

// A whole number within [least, most]: nothing else, and nothing that only wraps into
// the range.
long long ParseNumber(const std::string& option, const std::string& text, long long least,
                      long long most) {
    long long n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || n < least ||
        n > most) {
        throw UsageError("--" + option + " needs a whole number from " + std::to_string(least) +
                         " to " + std::to_string(most));
    }
    return n;
}

void Expect(const Words& words, std::size_t least, std::size_t most) {
    if (words.operands.size() < least)
        throw UsageError(words.verb + ": missing argument (korvanta help " + words.verb + ")");
    if (words.operands.size() > most)
        throw UsageError(words.verb + ": too many arguments (korvanta help " + words.verb + ")");
}

IfExists ParseIfExists(const std::string& text) {
    if (const std::optional<IfExists> mode = IfExistsNamed(text))
        return *mode;
    throw UsageError(std::string("--if-exists takes ") + kIfExistsWords);
}

// A dry run writes nothing but its statements: what would need the rows or a file of its
// own cannot go with it.
void RefuseWithDryRun(const Words& words) {
    if (!words.Has("dry-run"))
        return;
    for (const char* option : {"verify", "reject-file", "summary-json", "resume"}) {
        if (words.Has(option) || words.Value(option))
            throw UsageError(std::string("--") + option + " cannot go with --dry-run");
    }
}

// send and schema: the side that receives the tables, and the tables.
// A plan file (send --plan) names the tables, and may name the side.
void ParseTables(const Words& words, SendOptions& send) {
    const auto to = words.Value("to");
    const bool plan = words.Value("plan").has_value();
    if (!to && !plan)
        throw UsageError(words.verb + ": --to postgresql|sqlanywhere is required");
    if (to) {
        send.target = ParseSide(*to);
        send.targetGiven = true;
    }
    send.operands = words.operands;
    send.all = words.Has("all");
    if (plan && (!send.operands.empty() || send.all))
        throw UsageError(words.verb + ": the plan file names the tables: no tables, no --all");
    if (send.operands.empty() && !send.all && !plan)
        throw UsageError(words.verb + ": name tables or patterns, or give --all");
}

void ParseSend(const Words& words, Command& command) {
    SendOptions& send = command.send;
    ParseTables(words, send);
    if (const auto mode = words.Value("if-exists"))
        send.ifExists = ParseIfExists(*mode);
    for (const char* option : {"key", "since", "delete-missing"}) {
        if ((words.Value(option) || words.Has(option)) && send.ifExists != IfExists::kMerge)
            throw UsageError(std::string("--") + option + " goes with --if-exists merge");
    }
    send.since = words.Value("since").value_or("");
    send.where = words.Value("where").value_or("");
    if (const std::optional<std::string> problem = ConditionProblem(send.where))
        throw UsageError("--where: " + *problem);
    send.targetName = words.Value("target").value_or("");
    send.planFile = words.Value("plan").value_or("");
    send.resume = words.Has("resume");
    send.stateFile = words.Value("state").value_or("");
    if (!send.targetName.empty() && (send.all || send.operands.size() != 1 ||
                                     send.operands[0].find_first_of("*?[") != std::string::npos))
        throw UsageError("--target names the table of one table sent: name that one table");
    send.deleteMissing = words.Has("delete-missing");
    if (const auto key = words.Value("key")) {
        std::size_t start = 0;
        for (std::size_t comma; (comma = key->find(',', start)) != std::string::npos;
             start = comma + 1)
            send.key.push_back(key->substr(start, comma - start));
        send.key.push_back(key->substr(start));
        if (std::find(send.key.begin(), send.key.end(), std::string()) != send.key.end())
            throw UsageError("--key names columns, separated by commas");
    }
    if (const auto jobs = words.Value("jobs"))
        send.jobs = static_cast<int>(ParseNumber("jobs", *jobs, 1, kMostJobs));
    send.quiet = words.Has("quiet");
    send.rejectFile = words.Value("reject-file").value_or("");
    send.summaryJson = words.Value("summary-json").value_or("");
    command.rowByRow = words.Has("row-by-row");
    send.settings.verify = words.Has("verify");
    if (const auto timeout = words.Value("timeout"))
        send.settings.commandTimeoutSeconds =
            static_cast<int>(ParseNumber("timeout", *timeout, 1, std::numeric_limits<int>::max()));
    if (const auto most = words.Value("max-refused"))
        send.settings.maxRefusedRows =
            ParseNumber("max-refused", *most, 0, std::numeric_limits<long long>::max());
    if (const auto schema = words.Value("schema")) {
        command.exactSchema = SchemaModeIsExact(QString::fromStdString(*schema));
        if (!command.exactSchema)
            throw UsageError("--schema takes exact or simple");
    }
    RefuseWithDryRun(words);
    send.dryRun = words.Has("dry-run");
    if (send.dryRun)
        send.jobs = 1;  // its statements in the order of the tables
}

// schema: the tables as send takes them, and the dialect of the statements.
void ParseSchema(const Words& words, Command& command) {
    command.verb = Verb::kSchema;
    ParseTables(words, command.send);
    command.dialect = words.Value("dialect").value_or(SideWord(command.send.target));
    if (!DialectNamed(command.dialect))
        throw UsageError("--dialect takes postgresql, sqlanywhere, sqlite or odbc");
}

// The verb's arguments; the help and version were dealt with before.
void ParseVerb(const Words& words, Command& command) {
    if (words.verb == "list") {
        command.verb = Verb::kList;
        Expect(words, 1, 1);
        command.nulls = words.Has("null");
    } else if (words.verb == "delete") {
        command.verb = Verb::kDelete;
        Expect(words, 2, static_cast<std::size_t>(-1));
    } else if (words.verb == "rename") {
        command.verb = Verb::kRename;
        Expect(words, 3, 3);
    } else if (words.verb == "schema") {
        return ParseSchema(words, command);
    } else {
        command.verb = Verb::kSend;
        ParseSend(words, command);
        return;
    }
    command.side = ParseSide(words.operands[0]);
    command.names.assign(words.operands.begin() + 1, words.operands.end());
}

}  // namespace

Command ParseCommand(const std::vector<std::string>& arguments) {
    const Words words = Split(arguments);
    Command command;
    if (words.Has("version")) {
        command.verb = Verb::kVersion;
        return command;
    }
    if (words.verb.empty() || words.verb == "help" || words.Has("help")) {
        command.verb = Verb::kHelp;
        command.helpTopic =
            words.verb == "help" ? (words.operands.empty() ? "" : words.operands[0]) : words.verb;
        if (!HelpText(command.helpTopic))
            throw UsageError("unknown verb \"" + command.helpTopic + "\"");
        return command;
    }
    if (!IsVerb(words.verb))
        throw UsageError("unknown verb \"" + words.verb + "\"");
    for (const OptionDef& def : kOptions) {
        if (OptionFits(def.verb, words.verb) || !(words.Has(def.name) || words.Value(def.name)))
            continue;
        throw UsageError("--" + std::string(def.name) + " is an option of " + Owners(def.verb) +
                         " only");
    }
    ParseVerb(words, command);
    ConnectionOptions& c = command.connection;
    c.host = words.Value("host");
    c.port = words.Value("port");
    if (c.port)
        ParseNumber("port", *c.port, 1, 65535);
    c.user = words.Value("user");
    c.dbname = words.Value("dbname");
    c.dsn = words.Value("dsn");
    c.passwordFile = words.Value("password-file");
    return command;
}

}  // namespace korvanta::cli
