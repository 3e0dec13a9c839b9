#include "sql/statements/ExactPlanner.h"

#include <algorithm>
#include <cctype>

#include "sql/model/SqlName.h"

namespace korvanta::detail {

namespace {

bool IsInteger(TypeKind kind) {
    return kind == TypeKind::kSmallInt || kind == TypeKind::kInteger || kind == TypeKind::kBigInt;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

std::string ForeignKeyWhat(const ForeignKeySchema& key) {
    return "foreign key (" + Plain(key.columns) + ") to " + key.table + " (" +
           Plain(key.referencedColumns) + ")";
}

}  // namespace

std::string Plain(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : ", ") + name;
    return list;
}

std::string Quoted(const std::vector<std::string>& names) {
    return QuotedNames(names);
}

bool UsableName(std::string_view name, bool automatic) {
    return !name.empty() && !automatic;
}

ExactPlanner::ExactPlanner(const TableSchema& source, std::string_view target,
                           const Dialect& dialect,
                           const std::function<bool(std::string_view)>& onTarget)
    : source_(source),
      target_(target),
      table_(QuotedName(target)),
      dialect_(dialect),
      can_(dialect.Can()),
      onTarget_(onTarget) {}

TablePlan ExactPlanner::Plan() {
    identityKey_ = dialect_.IdentityKeyColumn(source_);
    std::vector<std::string> definitions, withoutCollations;
    for (const ColumnSchema& column : source_.columns) {
        std::string without;
        definitions.push_back(Column(column, without));
        withoutCollations.push_back(std::move(without));
    }
    std::vector<std::string> constraints;
    if (can_.constraintsOnlyWithTable)
        TableConstraints(constraints);
    const auto create = [&](std::vector<std::string> parts) {
        parts.insert(parts.end(), constraints.begin(), constraints.end());
        return "CREATE TABLE " + table_ + "(" + Plain(parts) + ")";
    };
    plan_.createTable = create(definitions);
    if (!plan_.beforeTable.empty())
        plan_.createTableFallback = create(withoutCollations);
    if (!can_.constraintsOnlyWithTable) {
        NotNull();
        PrimaryKey();
        Checks(constraints);
    }
    for (const IndexSchema& index : source_.indexes)
        Index(index);
    if (!can_.constraintsOnlyWithTable) {
        for (const ForeignKeySchema& key : source_.foreignKeys)
            plan_.foreignKeys.push_back(ForeignKeyStep(key));
    }
    for (const std::string& note : source_.notes)
        plan_.notCarried.push_back(note);
    return plan_;
}

std::string ExactPlanner::Column(const ColumnSchema& column, std::string& withoutCollation) {
    std::string notExact;
    const std::string type = dialect_.Declaration(column.type, notExact);
    const std::string name = QuotedName(column.name);
    if (!notExact.empty())
        plan_.notCarried.push_back("column " + name + " (" + column.type.name + "): " + notExact);
    plan_.bare.push_back(false);
    plan_.rules.push_back(Rule(column.type));
    plan_.binary.push_back(column.type.kind == TypeKind::kBinary);
    if (column.name == identityKey_) {
        plan_.carried.push_back("identity " + name);
        Always(column);
        withoutCollation =
            dialect_.IdentityKeyDefinition(name, ConstraintName(source_.primaryKeyName));
        return withoutCollation;
    }
    std::string tail = dialect_.ColumnOptions(column) + Identity(column);
    if (column.generated) {
        plan_.notCarried.push_back("generated column " + name +
                                   ": carried as its values, not computed");
    } else if (!column.identity) {
        tail += Default(column);
    }
    withoutCollation = name + " " + type + tail;
    return name + " " + type + Collated(column) + tail;
}

// A collation the target may have to make first: made before the table, and the table
// made without it (and that named) where it cannot be.
std::string ExactPlanner::Collated(const ColumnSchema& column) {
    std::string why;
    const std::string clause = dialect_.CollationClause(column.collation, why);
    const std::string name = QuotedName(column.name);
    if (!why.empty()) {
        plan_.notCarried.push_back("column " + name + ": " + why);
        return {};
    }
    if (clause.empty())
        return {};
    plan_.carried.push_back("collation of " + name + ":" + clause);
    if (std::string make = dialect_.CollationStatement(column.collation); !make.empty()) {
        const bool made = std::any_of(plan_.beforeTable.begin(), plan_.beforeTable.end(),
                                      [&](const SchemaStep& s) { return s.statement == make; });
        if (!made)
            plan_.beforeTable.push_back({make, "collation" + clause.substr(8), {}, {}, {}});
        plan_.collated.push_back(plan_.carried.back());
        plan_.withoutCollations.push_back("collation of " + name + " (" + column.collation.name +
                                          "): the collation could not be made");
    }
    return clause;
}

std::string ExactPlanner::Identity(const ColumnSchema& column) {
    if (!column.identity)
        return {};
    const std::string name = QuotedName(column.name);
    if (!IsInteger(column.type.kind)) {
        plan_.notCarried.push_back("identity " + name + ": not an integer column");
        return {};
    }
    std::string why;
    const std::string clause = dialect_.IdentityClause(why);
    if (clause.empty()) {
        plan_.notCarried.push_back("identity " + name + ": " + why);
        return {};
    }
    plan_.carried.push_back("identity " + name);
    if (std::string numbering = dialect_.NumberingStatement(table_, column.name);
        !numbering.empty())
        plan_.sequences.push_back(
            {std::move(numbering), "identity " + name + " going on after the largest", {}, {}, {}});
    Always(column);
    return clause;
}

// GENERATED ALWAYS refuses the rows' own numbers: the column is made so after them.
void ExactPlanner::Always(const ColumnSchema& column) {
    if (!column.identityAlways)
        return;
    const std::string name = QuotedName(column.name);
    std::string statement = dialect_.AlwaysStatement(table_, column.name);
    if (statement.empty()) {
        plan_.notCarried.push_back("GENERATED ALWAYS of " + name + ": " +
                                   std::string(dialect_.Name()) +
                                   " takes a number given for a numbered column");
        return;
    }
    plan_.sequences.push_back(
        {std::move(statement), "identity " + name + " GENERATED ALWAYS", {}, {}, {}});
}

std::string ExactPlanner::Default(const ColumnSchema& column) {
    const ColumnDefault& d = column.defaultValue;
    if (d.kind == ColumnDefault::Kind::kNone)
        return {};
    std::string why;
    std::string text = dialect_.Default(column, why);
    // A literal the column would read as something else ('now' read once, when the table
    // is made) is no default of the same meaning.
    if (!text.empty() && d.kind == ColumnDefault::Kind::kLiteral) {
        if (std::optional<ValueProblem> problem =
                dialect_.Unstorable(d.literal, Rule(column.type))) {
            why = problem->message;
            text.clear();
        }
    }
    const std::string name = QuotedName(column.name);
    if (text.empty()) {
        plan_.notCarried.push_back("default of " + name + " (" + d.text +
                                   "): " + (why.empty() ? "no counterpart" : why));
        return {};
    }
    plan_.carried.push_back("default of " + name + ": " + text);
    return " DEFAULT " + text;
}

void ExactPlanner::NotNull() {
    std::vector<std::string> columns;
    std::string anyNull;
    for (const ColumnSchema& column : source_.columns) {
        const bool inKey = std::find(source_.primaryKey.begin(), source_.primaryKey.end(),
                                     column.name) != source_.primaryKey.end();
        // A key's columns are made NOT NULL by the key itself where the database does so,
        // and so is a numbered column where the database numbers it.
        const bool wanted = column.notNull || (inKey && can_.keyColumnsNeedNotNull);
        const bool byKey = inKey && !can_.keyColumnsNeedNotNull;
        if (wanted && !byKey && !(column.identity && can_.identityIsNotNull)) {
            anyNull += (columns.empty() ? "" : " OR ") + QuotedName(column.name) + " IS NULL";
            columns.push_back(column.name);
        }
    }
    if (columns.empty())
        return;
    plan_.afterRows.push_back({dialect_.NotNullStatement(table_, columns),
                               "not null (" + Plain(columns) + ")",
                               "SELECT count(*) FROM " + table_ + " WHERE " + anyNull,
                               {},
                               {}});
}

std::string ExactPlanner::ConstraintName(std::string_view name, bool automatic) const {
    return can_.namedConstraints && UsableName(name, automatic)
               ? "CONSTRAINT " + QuotedName(name) + " "
               : std::string();
}

void ExactPlanner::PrimaryKey() {
    if (source_.primaryKey.empty())
        return;
    const std::string constraint = ConstraintName(source_.primaryKeyName);
    const std::string key = "PRIMARY KEY (" + Quoted(source_.primaryKey) + ")";
    std::vector<std::string> keys;
    for (const std::string& column : source_.primaryKey)
        keys.push_back(QuotedName(column));
    plan_.afterRows.push_back(
        {"ALTER TABLE " + table_ + " ADD " + constraint + key,
         "primary key (" + Plain(source_.primaryKey) + ")",
         DuplicatesQuery(keys, true),
         {},
         constraint.empty() ? std::string() : "ALTER TABLE " + table_ + " ADD " + key});
}

// Rows that share their values in the keys (and, for a primary key, rows with a NULL in
// one of them): those a key refuses. A partial index counts the rows it covers.
std::string ExactPlanner::DuplicatesQuery(const std::vector<std::string>& keys, bool primary,
                                          const std::string& predicate) const {
    std::string notNull, anyNull;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        notNull += (i ? " AND " : "") + keys[i] + " IS NOT NULL";
        anyNull += (i ? " OR " : "") + keys[i] + " IS NULL";
    }
    if (!predicate.empty())
        notNull += " AND (" + predicate + ")";
    std::string query = "SELECT coalesce(sum(n), 0)";
    if (primary)
        query += " + (SELECT count(*) FROM " + table_ + " WHERE " + anyNull + ")";
    return query + " FROM (SELECT count(*) AS n FROM " + table_ + " WHERE " + notNull +
           " GROUP BY " + Plain(keys) + " HAVING count(*) > 1) d";
}

void ExactPlanner::Checks(std::vector<std::string>& definitions) {
    for (const CheckSchema& check : source_.checks) {
        const std::string& source = check.expression.text;
        const std::string condition =
            source.size() > 1 && source.front() == '(' && source.back() == ')' ? source
                                                                               : "(" + source + ")";
        const std::string what =
            check.domain.empty()
                ? "check " + (check.name.empty() ? "" : check.name + " ") + condition
                : "check of domain " + check.domain + " on " + QuotedName(check.column) + " " +
                      condition;
        std::string why = std::string(dialect_.Name()) + " has no CHECK constraints";
        const std::string text = can_.checks ? Written(check.expression, true, why) : std::string();
        if (text.empty()) {
            plan_.notCarried.push_back(what + ": " + why);
            continue;
        }
        const std::string constraint = ConstraintName(check.name);
        const std::string clause = "CHECK (" + text + ")";
        if (can_.constraintsOnlyWithTable) {
            definitions.push_back(constraint + clause);
            plan_.carried.push_back(what);
            continue;
        }
        plan_.afterRows.push_back(
            {"ALTER TABLE " + table_ + " ADD " + constraint + clause,
             what,
             "SELECT count(*) FROM " + table_ + " WHERE NOT (" + text + ")",
             {},
             constraint.empty() ? std::string() : "ALTER TABLE " + table_ + " ADD " + clause});
    }
}

std::string ExactPlanner::Written(const SourceExpression& expression, bool condition,
                                  std::string& why) const {
    return ExpressionIn(dialect_, source_, expression, condition, why);
}

std::string ExactPlanner::ForeignKeyClause(const ForeignKeySchema& key) {
    std::string lost;
    const std::string clause = "FOREIGN KEY (" + Quoted(key.columns) + ") REFERENCES " +
                               QuotedName(key.table) + " (" + Quoted(key.referencedColumns) + ")" +
                               dialect_.ReferentialClauses(key, lost);
    if (!lost.empty())
        plan_.notCarried.push_back(ForeignKeyWhat(key) + ": " + lost);
    return clause;
}

SchemaStep ExactPlanner::ForeignKeyStep(const ForeignKeySchema& key) {
    const std::string constraint = ConstraintName(key.name);
    std::string matched;
    std::string present;
    for (std::size_t i = 0; i < key.columns.size(); ++i) {
        matched += (i ? " AND " : "") + std::string("p.") + QuotedName(key.referencedColumns[i]) +
                   " = c." + QuotedName(key.columns[i]);
        present +=
            (i ? " AND " : "") + std::string("c.") + QuotedName(key.columns[i]) + " IS NOT NULL";
    }
    const std::string clause = ForeignKeyClause(key);
    return {
        "ALTER TABLE " + table_ + " ADD " + constraint + clause, ForeignKeyWhat(key),
        "SELECT count(*) FROM " + table_ + " c WHERE " + present +
            " AND NOT EXISTS (SELECT 1 FROM " + QuotedName(key.table) + " p WHERE " + matched + ")",
        key.table, constraint.empty() ? std::string() : "ALTER TABLE " + table_ + " ADD " + clause};
}

// Where keys, checks and foreign keys go only with the table: a foreign key to a table
// that is not there then is left out (SQLite checks none of them unless asked to).
void ExactPlanner::TableConstraints(std::vector<std::string>& definitions) {
    if (!source_.primaryKey.empty() && identityKey_.empty()) {
        definitions.push_back(ConstraintName(source_.primaryKeyName) + "PRIMARY KEY (" +
                              Quoted(source_.primaryKey) + ")");
        plan_.carried.push_back("primary key (" + Plain(source_.primaryKey) + ")");
    } else if (!identityKey_.empty()) {
        plan_.carried.push_back("primary key (" + identityKey_ + ")");
    }
    for (const ForeignKeySchema& key : source_.foreignKeys) {
        if (key.table == target_ || onTarget_(key.table)) {
            definitions.push_back(ConstraintName(key.name) + ForeignKeyClause(key));
            plan_.carried.push_back(ForeignKeyWhat(key));
        } else {
            plan_.notCarried.push_back(ForeignKeyWhat(key) + ": the table is not on the target");
        }
    }
    // A unique constraint stays one only when it is given with the table.
    for (const IndexSchema& index : source_.indexes) {
        if (!TakenWithTable(index))
            continue;
        std::vector<std::string> columns;
        for (const IndexKey& key : index.keys)
            columns.push_back(key.column);
        definitions.push_back(ConstraintName(index.name, index.automatic) + "UNIQUE (" +
                              Quoted(columns) + ")");
        plan_.carried.push_back("unique constraint (" + Plain(columns) + ")");
    }
    Checks(definitions);
    const auto notNull = std::count_if(source_.columns.begin(), source_.columns.end(),
                                       [](const ColumnSchema& c) { return c.notNull; });
    if (notNull > 0)
        plan_.carried.push_back("not null (" + std::to_string(notNull) + " columns)");
}

// What the target column keeps of a value and how its values compare.
ValueRule Rule(const ColumnType& type) {
    const int fraction = type.precision >= 0 ? type.precision : 6;
    switch (type.kind) {
        case TypeKind::kSmallInt:
        case TypeKind::kInteger:
        case TypeKind::kBigInt:
            return {ValueKind::kInteger};
        case TypeKind::kNumeric: {
            ValueRule rule{ValueKind::kDecimal};
            rule.precision = type.precision;
            rule.scale = type.scale;
            return rule;
        }
        case TypeKind::kVarChar: {
            ValueRule rule{ValueKind::kText};
            rule.length = type.length;
            return rule;
        }
        case TypeKind::kReal:
        case TypeKind::kDouble:
            return {ValueKind::kFloat};
        case TypeKind::kBinary:
            return {ValueKind::kBinary};
        case TypeKind::kDate:
            return {ValueKind::kDate};
        case TypeKind::kTime:
            return {ValueKind::kTime, fraction};
        case TypeKind::kTimestamp:
            return {ValueKind::kTimestamp, fraction};
        case TypeKind::kTimestampTz:
            return {ValueKind::kTimestampTz, fraction};
        case TypeKind::kBoolean:
            return {ValueKind::kBoolean};
        case TypeKind::kUuid:
            return {ValueKind::kUuid};
        case TypeKind::kChar: {
            ValueRule rule{ValueKind::kPaddedText};
            rule.length = type.length;
            return rule;
        }
        default:
            return {ValueKind::kText};
    }
}

}  // namespace korvanta::detail

namespace korvanta {

// The source's names of columns as the table has them (SQLite's and SQL Anywhere's names
// match whatever their case).
const ColumnSchema* ColumnNamed(const TableSchema& table, std::string_view name) {
    for (const ColumnSchema& c : table.columns) {
        if (c.name == name)
            return &c;
    }
    for (const ColumnSchema& c : table.columns) {
        if (detail::SameName(c.name, name))
            return &c;
    }
    return nullptr;
}

std::string ExpressionIn(const Dialect& dialect, const TableSchema& table,
                         const SourceExpression& expression, bool condition, std::string& why) {
    if (!expression.tree) {
        why = "not read: " + expression.unread;
        return {};
    }
    Expr tree = *expression.tree;
    const auto column = [&](std::string_view name) { return ColumnNamed(table, name); };
    if (!RenameColumns(
            tree,
            [&](std::string_view name) -> std::optional<std::string> {
                const ColumnSchema* c = column(name);
                return c ? std::optional<std::string>(c->name) : std::nullopt;
            },
            why))
        return {};
    return dialect.Expression(
        tree,
        [&](std::string_view name) -> const ColumnType* {
            const ColumnSchema* c = column(name);
            return c ? &c->type : nullptr;
        },
        condition, why);
}

}  // namespace korvanta
