#include "cli/Arguments.h"

#include <QString>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "cli/Help.h"

namespace korvanta::cli {

namespace {

// Long name, short letter (0: none), takes an argument, only for `send`.
struct OptionDef {
    const char* name;
    char letter;
    bool argument;
    bool sendOnly;
};
constexpr OptionDef kOptions[] = {
    {"host", 'h', true, false},     {"port", 'p', true, false},
    {"user", 'U', true, false},     {"dbname", 'd', true, false},
    {"dsn", 0, true, false},        {"password-file", 0, true, false},
    {"to", 0, true, true},          {"all", 0, false, true},
    {"if-exists", 0, true, true},   {"jobs", 'j', true, true},
    {"verify", 0, false, true},     {"row-by-row", 0, false, true},
    {"timeout", 0, true, true},     {"max-refused", 0, true, true},
    {"reject-file", 0, true, true}, {"summary-json", 0, true, true},
    {"quiet", 'q', false, true},    {"schema", 0, true, true},
    {"dry-run", 0, false, true},    {"help", 0, false, false},
    {"version", 0, false, false},
};

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
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            (words.verb.empty() ? words.verb : words.operands.emplace_back()) = arg;
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        std::optional<std::string> attached;
        const OptionDef* def = FindOption(arg, attached);
        if (def == nullptr)
            throw UsageError("unknown option " + arg);
        if (!def->argument) {
            if (attached)
                throw UsageError("option " + std::string(def->name) + " takes no argument");
            words.flags.push_back(def->name);
            continue;
        }
        if (!attached) {
            if (i + 1 >= arguments.size())
                throw UsageError("option " + arg + " needs an argument");
            attached = arguments[++i];
        }
        words.values[def->name] = *attached;
    }
    return words;
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

void Expect(const Words& words, std::size_t least, std::size_t most) {
    if (words.operands.size() < least)
        throw UsageError(words.verb + ": missing argument (korvanta help " + words.verb + ")");
    if (words.operands.size() > most)
        throw UsageError(words.verb + ": too many arguments (korvanta help " + words.verb + ")");
}

IfExists ParseIfExists(const std::string& mode) {
    if (mode == "replace")
        return IfExists::kReplace;
    if (mode == "skip")
        return IfExists::kSkip;
    if (mode == "stop")
        return IfExists::kStop;
    throw UsageError("--if-exists takes replace, skip or stop");
}

void ParseSend(const Words& words, Command& command) {
    SendOptions& send = command.send;
    const auto to = words.Value("to");
    if (!to)
        throw UsageError("send: --to postgresql|sqlanywhere is required");
    send.target = ParseSide(*to);
    send.operands = words.operands;
    send.all = words.Has("all");
    if (send.operands.empty() && !send.all)
        throw UsageError("send: name tables or patterns, or give --all");
    if (const auto mode = words.Value("if-exists"))
        send.ifExists = ParseIfExists(*mode);
    if (const auto jobs = words.Value("jobs"))
        send.jobs = static_cast<int>(ParseNumber("jobs", *jobs, 1));
    send.quiet = words.Has("quiet");
    send.rejectFile = words.Value("reject-file").value_or("");
    send.summaryJson = words.Value("summary-json").value_or("");
    command.rowByRow = words.Has("row-by-row");
    send.settings.verify = words.Has("verify");
    if (const auto timeout = words.Value("timeout"))
        send.settings.commandTimeoutSeconds = static_cast<int>(ParseNumber("timeout", *timeout, 1));
    if (const auto most = words.Value("max-refused"))
        send.settings.maxRefusedRows = ParseNumber("max-refused", *most, 0);
    if (const auto schema = words.Value("schema")) {
        if (*schema != "exact" && *schema != "simple")
            throw UsageError("--schema takes exact or simple");
        command.exactSchema = *schema == "exact";
    }
    send.dryRun = words.Has("dry-run");
}

// The verb's arguments; the help and version were dealt with before.
void ParseVerb(const Words& words, Command& command) {
    if (words.verb == "list") {
        command.verb = Verb::kList;
        Expect(words, 1, 1);
    } else if (words.verb == "delete") {
        command.verb = Verb::kDelete;
        Expect(words, 2, static_cast<std::size_t>(-1));
    } else if (words.verb == "rename") {
        command.verb = Verb::kRename;
        Expect(words, 3, 3);
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
    if (words.verb != "send") {
        for (const OptionDef& def : kOptions) {
            if (def.sendOnly && (words.Has(def.name) || words.Value(def.name)))
                throw UsageError("--" + std::string(def.name) + " is an option of send only");
        }
    }
    ParseVerb(words, command);
    ConnectionOptions& c = command.connection;
    c.host = words.Value("host");
    c.port = words.Value("port");
    c.user = words.Value("user");
    c.dbname = words.Value("dbname");
    c.dsn = words.Value("dsn");
    c.passwordFile = words.Value("password-file");
    return command;
}

}  // namespace korvanta::cli
