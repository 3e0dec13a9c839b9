#include "cli/PlanFile.h"
#include "cli/Words.h"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <set>
#include <string_view>

#include <QString>

#include "cli/UserPath.h"
#include "engine/connections/SettingsStore.h"
#include "sql/model/Condition.h"

namespace korvanta::cli {

namespace {

// A plan is read whole up to this size: it names each table and its settings.
constexpr std::size_t kPlanBytes = std::size_t{16} << 20;
// A plan nests a few levels (tables, a table, its key); the parser recurses once a level.
constexpr std::size_t kPlanDepth = 64;

// Why the text is no plan to parse: not UTF-8 (a file saved as UTF-16 holds NUL bytes), or
// nested deeper than any plan is; empty when it can be parsed.
std::string TextProblem(std::string_view text) {
    if (text.find('\0') != std::string_view::npos)
        return "it is not UTF-8 text (it holds NUL bytes: saved as UTF-16?)";
    std::size_t depth = 0, deepest = 0, indent = 0;
    bool lineStart = true;
    for (const char c : text) {
        if (c == '\n') {
            lineStart = true;
            indent = 0;
            continue;
        }
        if (lineStart && c == ' ') {
            deepest = std::max(deepest, ++indent / 2);
            continue;
        }
        lineStart = false;
        if (c == '[' || c == '{')
            deepest = std::max(deepest, ++depth);
        else if ((c == ']' || c == '}') && depth > 0)
            --depth;
    }
    if (deepest > kPlanDepth)
        return "it nests deeper than " + std::to_string(kPlanDepth) + " levels";
    return {};
}

// "plan.yaml, line 4: ..." (yaml-cpp counts lines from 0).
[[noreturn]] void Fail(const std::string& path, const YAML::Node& at, const std::string& what) {
    const YAML::Mark mark = at.Mark();
    throw PlanError(path +
                    (mark.is_null() ? std::string() : ", line " + std::to_string(mark.line + 1)) +
                    ": " + what);
}

std::string Text(const std::string& path, const YAML::Node& node, const std::string& key) {
    if (!node.IsScalar())
        Fail(path, node, key + " takes a single value");
    return node.Scalar();
}

bool Flag(const std::string& path, const YAML::Node& node, const std::string& key) {
    const QString text = QString::fromStdString(Text(path, node, key)).toLower();
    if (text == QLatin1String("true") || text == QLatin1String("yes"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("no"))
        return false;
    Fail(path, node, key + " takes true or false");
}

IfExists Mode(const std::string& path, const YAML::Node& node) {
    if (const std::optional<IfExists> mode = IfExistsNamed(Text(path, node, "if-exists")))
        return *mode;
    Fail(path, node, std::string("if-exists takes ") + kIfExistsWords);
}

std::vector<std::string> Key(const std::string& path, const YAML::Node& node) {
    std::vector<std::string> key;
    if (node.IsSequence()) {
        for (const YAML::Node& column : node)
            key.push_back(Text(path, column, "key"));
    } else {
        const std::string text = Text(path, node, "key");
        std::size_t start = 0;
        for (std::size_t comma; (comma = text.find(',', start)) != std::string::npos;
             start = comma + 1)
            key.push_back(text.substr(start, comma - start));
        key.push_back(text.substr(start));
    }
    for (const std::string& column : key) {
        if (column.empty())
            Fail(path, node, "key names columns");
    }
    return key;
}

// A table's settings, or the defaults'; `table` says whether `target` may be given.
TableOptions Options(const std::string& path, const YAML::Node& node, bool table) {
    TableOptions options;
    if (node.IsNull())
        return options;
    if (!node.IsMap())
        Fail(path, node, "a table's settings are keys and values");
    for (const auto& entry : node) {
        const std::string key = entry.first.Scalar();
        const YAML::Node& value = entry.second;
        if (key == "target" && table)
            options.target = Text(path, value, key);
        else if (key == "if-exists")
            options.ifExists = Mode(path, value);
        else if (key == "key")
            options.key = Key(path, value);
        else if (key == "since")
            options.since = Text(path, value, key);
        else if (key == "delete-missing")
            options.deleteMissing = Flag(path, value, key);
        else if (key == "where") {
            options.where = Text(path, value, key);
            if (const std::optional<std::string> problem = ConditionProblem(*options.where))
                Fail(path, value, "where: " + *problem);
        } else if (key == "schema") {
            options.exactSchema = SchemaModeIsExact(QString::fromStdString(Text(path, value, key)));
            if (!options.exactSchema)
                Fail(path, value, "schema takes exact or simple");
        } else {
            Fail(path, entry.first,
                 "unknown key \"" + key + "\" (" + (table ? "target, " : "") +
                     "if-exists, key, since, delete-missing, schema, where)");
        }
    }
    return options;
}

// The table's own setting where it gives one, else the default's.
template <class T>
void Over(std::optional<T>& own, const std::optional<T>& fallback) {
    if (!own)
        own = fallback;
}

}  // namespace

Plan ReadPlan(const std::string& path) {
    YAML::Node root;
    std::string text;
    try {
        text = ReadUserFile(path, path + ": cannot be read", kPlanBytes);
    } catch (const std::runtime_error& e) {
        throw PlanError(e.what());
    }
    if (const std::string why = TextProblem(text); !why.empty())
        throw PlanError(path + ": " + why);
    try {
        root = YAML::Load(text);
    } catch (const YAML::Exception& e) {
        throw PlanError(path + ", line " + std::to_string(e.mark.line + 1) + ": " + e.msg);
    }
    if (!root.IsMap())
        throw PlanError(path + ": a plan is keys and values (to, defaults, tables)");
    Plan plan;
    TableOptions defaults;
    std::set<std::string> keys;
    for (const auto& entry : root) {
        const std::string key = entry.first.Scalar();
        if (!keys.insert(key).second)
            Fail(path, entry.first, "the key \"" + key + "\" is given twice");
        if (key == "to") {
            const std::optional<Side> side = SideNamed(Text(path, entry.second, key));
            if (!side)
                Fail(path, entry.second, std::string("to takes ") + kSideWords);
            plan.target = *side;
        } else if (key == "defaults") {
            defaults = Options(path, entry.second, false);
        } else if (key != "tables") {
            Fail(path, entry.first, "unknown key \"" + key + "\" (to, defaults, tables)");
        }
    }
    const YAML::Node tables = root["tables"];
    if (!tables || !tables.IsMap() || tables.size() == 0)
        throw PlanError(path + ": tables names the tables to send, each with its settings");
    std::set<std::string> named;
    for (const auto& entry : tables) {
        PlannedTable table{Text(path, entry.first, "a table's name"),
                           Options(path, entry.second, true)};
        if (!named.insert(table.name).second)
            Fail(path, entry.first, "the table \"" + table.name + "\" is named twice");
        Over(table.options.ifExists, defaults.ifExists);
        Over(table.options.key, defaults.key);
        Over(table.options.since, defaults.since);
        Over(table.options.deleteMissing, defaults.deleteMissing);
        Over(table.options.exactSchema, defaults.exactSchema);
        Over(table.options.where, defaults.where);
        plan.tables.push_back(std::move(table));
    }
    return plan;
}

}  // namespace korvanta::cli
