#include "engine/send/MeaningProbe.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "adodb/Recordset.h"
#include "sql/model/SqlName.h"
#include "sql/model/ValueCheck.h"
#include "sql/statements/ExactPlanner.h"
#include "sql/statements/TablePlan.h"

namespace korvanta {

namespace {

ColumnType TextType() {
    ColumnType type;
    type.kind = TypeKind::kText;
    return type;
}

// What a query of one value gave: its text (nullopt: NULL), or that it failed.
struct Answer {
    bool failed = false;
    std::optional<std::string> value;
    std::string error;
};

Answer Ask(adodb::Connection& connection, const std::string& query) {
    try {
        adodb::Recordset answer = connection.Execute(query);
        Answer result;
        if (!answer.IsEOF() && !answer.Fields()[0].Value().IsNull())
            result.value = std::string(answer.Fields()[0].Value().Text());
        answer.Close();
        return result;
    } catch (const std::exception& e) {
        return {true, std::nullopt, e.what()};
    }
}

// Values of each kind that a condition over a column may tell apart: around the bounds such
// conditions name, in both letter cases, both signs, empty and blank.
std::vector<std::string> ProbesOf(TypeKind kind) {
    switch (kind) {
        case TypeKind::kSmallInt:
        case TypeKind::kInteger:
        case TypeKind::kBigInt:
            return {"0", "1", "-1", "7", "10", "99", "100", "101", "-100", "1000"};
        case TypeKind::kNumeric:
        case TypeKind::kReal:
        case TypeKind::kDouble:
            return {"0", "1", "-1", "5.5", "9", "10", "99", "99.5", "100", "100.5", "-0.5", "1000"};
        case TypeKind::kDate:
            return {"2024-02-29", "1999-12-31", "2000-01-01", "2038-01-19"};
        case TypeKind::kTime:
            return {"00:00:00", "09:30:00", "12:00:00", "23:59:59"};
        case TypeKind::kTimestamp:
        case TypeKind::kTimestampTz:
            return {"2024-02-29 12:30:00", "1999-12-31 23:59:59", "2000-01-01 00:00:00"};
        case TypeKind::kBoolean:
            return {"true", "false"};
        case TypeKind::kUuid:
            return {"a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11"};
        case TypeKind::kBinary:
            return {};
        default:
            return {"",   "a",  "A", "abc", "ABC", "Z",  "z",
                    " a", "a ", "0", "10",  "9",   "a%", "draft"};
    }
}

// The columns an expression refers to.
std::vector<const ColumnSchema*> ColumnsOf(const TableSchema& table, const Expr& expr) {
    std::set<std::string> names;
    Expr copy = expr;
    std::string why;
    RenameColumns(
        copy,
        [&](std::string_view name) -> std::optional<std::string> {
            names.emplace(name);
            return std::string(name);
        },
        why);
    std::vector<const ColumnSchema*> columns;
    for (const std::string& name : names) {
        const ColumnSchema* column = ColumnNamed(table, name);
        if (column && std::find(columns.begin(), columns.end(), column) == columns.end())
            columns.push_back(column);
    }
    return columns;
}

std::string Declared(const Dialect& dialect, const ColumnType& type) {
    std::string notExact;
    return dialect.Declaration(type, notExact);
}

// One probe row of values (the source's own text of each, nullopt: NULL) as a derived
// table of the columns, each value cast to the column's type on that side.
std::string ProbeTable(const Dialect& dialect, const std::vector<const ColumnSchema*>& columns,
                       const std::vector<std::optional<std::string>>& row, bool source) {
    std::string select;
    for (std::size_t j = 0; j < columns.size(); ++j) {
        const std::string type =
            source ? columns[j]->type.name : Declared(dialect, columns[j]->type);
        std::string value = row[j] ? dialect.String(*row[j]) : std::string("NULL");
        // A truth value arrives as 1 or 0, as a send reads it.
        if (row[j] && !source && columns[j]->type.kind == TypeKind::kBoolean)
            value = ComparableValue(*row[j], {ValueKind::kBoolean}) == "t" ? "1" : "0";
        select += std::string(select.empty() ? "" : ", ") + "CAST(" + value + " AS " + type +
                  ") AS " + QuotedName(columns[j]->name);
    }
    return "(SELECT " + select + ") AS kv_probe";
}

// Whether a condition holds (true or NULL, as a CHECK takes it) or not; nullopt when the
// side could not evaluate it.
std::optional<bool> Holds(adodb::Connection& connection, const std::string& condition,
                          const std::string& from) {
    const Answer answer = Ask(connection, "SELECT CASE WHEN " + condition + " THEN 1 WHEN NOT (" +
                                              condition + ") THEN 0 END FROM " + from);
    if (answer.failed)
        return std::nullopt;
    return !answer.value || *answer.value != "0";
}

// The source's probe rows: each column's probes, as the source holds them once cast to its
// type (a probe it cannot hold is left out), zipped in two offsets, and a row of NULLs.
std::vector<std::vector<std::optional<std::string>>> ProbeRows(
    const ProbeSides& sides, const std::vector<const ColumnSchema*>& columns) {
    std::vector<std::vector<std::string>> held(columns.size());
    for (std::size_t j = 0; j < columns.size(); ++j) {
        for (const std::string& probe : ProbesOf(columns[j]->type.kind)) {
            const Answer cast =
                Ask(sides.source, "SELECT CAST(CAST(" + sides.sourceDialect.String(probe) + " AS " +
                                      columns[j]->type.name + ") AS " +
                                      Declared(sides.sourceDialect, TextType()) + ")");
            if (!cast.failed && cast.value)
                held[j].push_back(*cast.value);
        }
    }
    std::size_t most = 0;
    for (const auto& probes : held)
        most = std::max(most, probes.size());
    std::vector<std::vector<std::optional<std::string>>> rows;
    for (std::size_t offset : {std::size_t{0}, std::size_t{3}}) {
        for (std::size_t i = 0; i < most; ++i) {
            std::vector<std::optional<std::string>> row;
            for (std::size_t j = 0; j < columns.size(); ++j) {
                const auto& probes = held[j];
                row.push_back(probes.empty()
                                  ? std::nullopt
                                  : std::optional(probes[(i + j * offset) % probes.size()]));
            }
            rows.push_back(std::move(row));
        }
    }
    rows.emplace_back(columns.size(), std::nullopt);
    return rows;
}

// Why the condition does not keep its meaning on the target; empty when it does.
std::string ConditionChange(const TableSchema& table, const SourceExpression& expression,
                            const ProbeSides& sides) {
    if (!expression.tree)
        return {};  // not read: named by the plan already
    std::string why;
    const std::string target = ExpressionIn(sides.targetDialect, table, expression, true, why);
    if (target.empty())
        return {};  // not written: named by the plan already
    const std::vector<const ColumnSchema*> columns = ColumnsOf(table, *expression.tree);
    for (const auto& row : ProbeRows(sides, columns)) {
        const std::optional<bool> there =
            Holds(sides.source, "(" + expression.text + ")",
                  ProbeTable(sides.sourceDialect, columns, row, true));
        if (!there)
            continue;  // a row the source itself cannot evaluate
        const std::optional<bool> here = Holds(
            sides.target, "(" + target + ")", ProbeTable(sides.targetDialect, columns, row, false));
        if (here == there)
            continue;
        std::string values;
        for (std::size_t j = 0; j < columns.size(); ++j)
            values += (values.empty() ? "" : ", ") + QuotedName(columns[j]->name) + " = " +
                      (row[j] ? sides.sourceDialect.String(*row[j]) : std::string("NULL"));
        if (!here)
            return "the target cannot evaluate it (" + target + ")";
        return "its meaning changes on the target: with " + values + " the source's " +
               (*there ? "holds" : "fails") + " and the target's " + target + " " +
               (*here ? "holds" : "fails");
    }
    return {};
}

// Why the target cannot read a constant default as its column's type ('n/a' for a number, 0
// for a timestamp); empty when it can. A text column reads any string.
std::string LiteralUnread(const ColumnSchema& column, const ProbeSides& sides) {
    switch (column.type.kind) {
        case TypeKind::kChar:
        case TypeKind::kVarChar:
        case TypeKind::kText:
        case TypeKind::kOther:
            return {};
        default:
            break;
    }
    std::string why;
    const std::string target = sides.targetDialect.Default(column, why);
    if (target.empty())
        return {};  // not written: named by the plan already
    const std::string declared = Declared(sides.targetDialect, column.type);
    const Answer here = Ask(sides.target, "SELECT CAST(" + target + " AS " + declared + ")");
    if (!here.failed)
        return {};
    // The driver's first line says it: the rest is its own trailer.
    std::string error = here.error.substr(0, here.error.find('\n'));
    if (!error.empty() && error.back() == ';')
        error.pop_back();
    return "the target cannot read it as " + declared + " (" + target + "): " + error;
}

// Why a default gives the target another value, or none it can read; empty when not.
std::string DefaultChange(const ColumnSchema& column, const ProbeSides& sides) {
    const ColumnDefault& d = column.defaultValue;
    if (d.kind == ColumnDefault::Kind::kLiteral)
        return LiteralUnread(column, sides);
    if (d.kind != ColumnDefault::Kind::kExpression)
        return {};
    std::string why;
    const std::string target = sides.targetDialect.Default(column, why);
    if (target.empty())
        return {};  // not written: named by the plan already
    const Answer there =
        Ask(sides.source, "SELECT CAST((" + d.text + ") AS " + column.type.name + ")");
    if (there.failed)
        return {};
    const Answer here = Ask(sides.target, "SELECT CAST(" + target + " AS " +
                                              Declared(sides.targetDialect, column.type) + ")");
    if (here.failed)
        return "the target cannot evaluate it (" + target + "): " + here.error;
    const ValueRule rule = detail::Rule(column.type);
    const auto shown = [&](const std::optional<std::string>& v) { return v ? *v : "NULL"; };
    if (there.value.has_value() == here.value.has_value() &&
        (!there.value || ComparableValue(*there.value, rule) == ComparableValue(*here.value, rule)))
        return {};
    return "its meaning changes on the target: evaluated now, the source gives " +
           shown(there.value) + " and the target's " + target + " " + shown(here.value);
}

}  // namespace

TableSchema WithMeaningsKept(const TableSchema& table, const ProbeSides& sides) {
    TableSchema kept = table;
    for (ColumnSchema& column : kept.columns) {
        if (std::string why = DefaultChange(column, sides); !why.empty()) {
            column.defaultValue.kind = ColumnDefault::Kind::kOther;
            column.defaultValue.why = std::move(why);
        }
    }
    std::vector<CheckSchema> checks;
    for (CheckSchema& check : kept.checks) {
        const std::string why = ConditionChange(table, check.expression, sides);
        if (why.empty()) {
            checks.push_back(std::move(check));
            continue;
        }
        kept.notes.push_back("check " + (check.name.empty() ? "" : check.name + " ") + "(" +
                             check.expression.text + "): " + why);
    }
    kept.checks = std::move(checks);
    for (IndexSchema& index : kept.indexes) {
        if (index.predicate.empty())
            continue;
        if (const std::string why = ConditionChange(table, index.predicate, sides); !why.empty()) {
            kept.notes.push_back("index " + index.name + " (WHERE " + index.predicate.text +
                                 "): " + why);
            index.keys.clear();  // left out whole: a partial index of another meaning
        }
    }
    std::erase_if(kept.indexes, [](const IndexSchema& index) { return index.keys.empty(); });
    return kept;
}

}  // namespace korvanta
