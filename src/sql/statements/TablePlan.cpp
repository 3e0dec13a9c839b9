#include "sql/statements/TablePlan.h"

#include <algorithm>

#include "sql/model/SqlName.h"
#include "sql/statements/Datatype.h"

namespace korvanta {

namespace {

bool IsInteger(TypeKind kind) {
    return kind == TypeKind::kSmallInt || kind == TypeKind::kInteger || kind == TypeKind::kBigInt;
}

std::string Quoted(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : ", ") + QuotedName(name);
    return list;
}

std::string Plain(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : ", ") + name;
    return list;
}

std::string ActionText(ReferentialAction action) {
    switch (action) {
        case ReferentialAction::kRestrict:
            return "RESTRICT";
        case ReferentialAction::kCascade:
            return "CASCADE";
        case ReferentialAction::kSetNull:
            return "SET NULL";
        case ReferentialAction::kSetDefault:
            return "SET DEFAULT";
        case ReferentialAction::kNoAction:
            break;
    }
    return "NO ACTION";
}

// A name the target may use: one the source made up itself means nothing elsewhere.
bool UsableName(std::string_view name, bool automatic = false) {
    return !name.empty() && !automatic;
}

std::string IndexName(const IndexSchema& index, std::string_view table) {
    if (UsableName(index.name, index.automatic))
        return index.name;
    std::string name(table);
    for (const IndexKey& key : index.keys)
        name += "_" + key.column;
    return name + (index.unique ? "_key" : "_idx");
}

std::vector<std::string> Columns(const IndexSchema& index) {
    std::vector<std::string> names;
    for (const IndexKey& key : index.keys)
        names.push_back(key.column);
    return names;
}

// What the target column keeps of a value and how its values compare.
ValueRule Rule(const ColumnType& type) {
    const int fraction = type.precision >= 0 ? type.precision : 6;
    switch (type.kind) {
        case TypeKind::kSmallInt:
        case TypeKind::kInteger:
        case TypeKind::kBigInt:
            return {ValueKind::kInteger};
        case TypeKind::kNumeric:
            return {ValueKind::kDecimal};
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
        default:
            return {ValueKind::kText};
    }
}

// The common part of an exact copy: the order of its steps, the names, and the counts of
// the rows that break a key. What each database takes and how it writes it is the
// dialect's.
class Planner {
  public:
    Planner(const TableSchema& source, std::string_view target, const Dialect& dialect,
            const std::function<bool(std::string_view)>& onTarget)
        : source_(source),
          target_(target),
          table_(QuotedName(target)),
          dialect_(dialect),
          can_(dialect.Can()),
          onTarget_(onTarget) {}

    TablePlan Plan() {
        identityKey_ = dialect_.IdentityKeyColumn(source_);
        std::vector<std::string> definitions;
        for (const ColumnSchema& column : source_.columns)
            definitions.push_back(Column(column));
        if (can_.constraintsOnlyWithTable)
            TableConstraints(definitions);
        plan_.createTable = "CREATE TABLE " + table_ + "(";
        for (std::size_t i = 0; i < definitions.size(); ++i)
            plan_.createTable += (i ? ", " : "") + definitions[i];
        plan_.createTable += ")";
        if (!can_.constraintsOnlyWithTable) {
            NotNull();
            PrimaryKey();
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

  private:
    std::string Column(const ColumnSchema& column) {
        std::string notExact;
        const std::string type = dialect_.Declaration(column.type, notExact);
        const std::string name = QuotedName(column.name);
        if (!notExact.empty())
            plan_.notCarried.push_back("column " + name + " (" + column.type.name +
                                       "): " + notExact);
        plan_.bare.push_back(false);
        plan_.rules.push_back(Rule(column.type));
        plan_.binary.push_back(column.type.kind == TypeKind::kBinary);
        if (column.name == identityKey_) {
            plan_.carried.push_back("identity " + name);
            return dialect_.IdentityKeyDefinition(name);
        }
        std::string definition = name + " " + type + dialect_.ColumnOptions(column);
        definition += Identity(column);
        if (column.generated) {
            plan_.notCarried.push_back("generated column " + name +
                                       ": carried as its values, not computed");
        } else if (!column.identity) {
            definition += Default(column);
        }
        return definition;
    }

    std::string Identity(const ColumnSchema& column) {
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
            plan_.sequences.push_back({std::move(numbering),
                                       "identity " + name + " going on after the largest",
                                       {},
                                       {},
                                       {}});
        return clause;
    }

    std::string Default(const ColumnSchema& column) {
        const ColumnDefault& d = column.defaultValue;
        if (d.kind == ColumnDefault::Kind::kNone)
            return {};
        const std::string text = dialect_.Default(column);
        const std::string name = QuotedName(column.name);
        if (text.empty()) {
            plan_.notCarried.push_back("default of " + name + " (" + d.text + "): no counterpart");
            return {};
        }
        plan_.carried.push_back("default of " + name + ": " + text);
        return " DEFAULT " + text;
    }

    void NotNull() {
        std::vector<std::string> columns;
        std::string anyNull;
        for (const ColumnSchema& column : source_.columns) {
            const bool inKey = std::find(source_.primaryKey.begin(), source_.primaryKey.end(),
                                         column.name) != source_.primaryKey.end();
            // A key's columns are made NOT NULL by the key itself, and so is a numbered
            // column where the database numbers it.
            if (column.notNull && !inKey && !(column.identity && can_.identityIsNotNull)) {
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

    std::string ConstraintName(std::string_view name, bool automatic = false) const {
        return can_.namedConstraints && UsableName(name, automatic)
                   ? "CONSTRAINT " + QuotedName(name) + " "
                   : std::string();
    }

    void PrimaryKey() {
        if (source_.primaryKey.empty())
            return;
        const std::string constraint = ConstraintName(source_.primaryKeyName);
        const std::string key = "PRIMARY KEY (" + Quoted(source_.primaryKey) + ")";
        plan_.afterRows.push_back(
            {"ALTER TABLE " + table_ + " ADD " + constraint + key,
             "primary key (" + Plain(source_.primaryKey) + ")",
             DuplicatesQuery(source_.primaryKey, true),
             {},
             constraint.empty() ? std::string() : "ALTER TABLE " + table_ + " ADD " + key});
    }

    // Rows that share their values in the columns (and, for a primary key, rows with a
    // NULL in one of them): those a key refuses.
    std::string DuplicatesQuery(const std::vector<std::string>& columns, bool primary) const {
        std::string notNull, anyNull;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            notNull += (i ? " AND " : "") + QuotedName(columns[i]) + " IS NOT NULL";
            anyNull += (i ? " OR " : "") + QuotedName(columns[i]) + " IS NULL";
        }
        std::string query = "SELECT coalesce(sum(n), 0)";
        if (primary)
            query += " + (SELECT count(*) FROM " + table_ + " WHERE " + anyNull + ")";
        return query + " FROM (SELECT count(*) AS n FROM " + table_ + " WHERE " + notNull +
               " GROUP BY " + Quoted(columns) + " HAVING count(*) > 1) d";
    }

    void Index(const IndexSchema& index) {
        const std::vector<std::string> columns = Columns(index);
        const std::string what = (index.unique ? std::string("unique ") : std::string()) +
                                 (index.constraint ? "constraint " : "index ") + index.name + " (" +
                                 Plain(columns) + ")";
        if (index.expression) {
            plan_.notCarried.push_back(what + ": a key is an expression");
            return;
        }
        if (TakenWithTable(index))
            return;
        if (!index.predicate.empty() && !can_.partialIndexes) {
            plan_.notCarried.push_back(what + " where " + index.predicate + ": " +
                                       std::string(dialect_.Name()) + " has no partial indexes");
            return;
        }
        const std::string breaks =
            index.unique && index.predicate.empty() ? DuplicatesQuery(columns, false) : "";
        if (index.constraint)
            return UniqueConstraint(index, what, breaks);
        CreateIndex(index, what, breaks);
    }

    void UniqueConstraint(const IndexSchema& index, const std::string& what,
                          const std::string& breaks) {
        const std::string constraint = ConstraintName(index.name, index.automatic);
        const std::string unique = "UNIQUE (" + Quoted(Columns(index)) + ")";
        plan_.afterRows.push_back(
            {"ALTER TABLE " + table_ + " ADD " + constraint + unique,
             what,
             breaks,
             {},
             constraint.empty() ? std::string() : "ALTER TABLE " + table_ + " ADD " + unique});
    }

    void CreateIndex(const IndexSchema& index, const std::string& what, const std::string& breaks) {
        std::string keys;
        for (const IndexKey& key : index.keys)
            keys += (keys.empty() ? "" : ", ") + QuotedName(key.column) +
                    (key.descending ? " DESC" : "");
        const std::string head =
            std::string("CREATE ") + (index.unique ? "UNIQUE " : "") + "INDEX ";
        std::string body = " ON " + table_ + " (" + keys + ")";
        if (!index.predicate.empty())
            body += " WHERE " + index.predicate;
        // Without the source's name a database that names indexes itself makes up a free
        // one; the others need one.
        IndexSchema derived = index;
        derived.name.clear();
        const std::string unnamed = can_.indexNamesOptional
                                        ? head + body
                                        : head + QuotedName(IndexName(derived, target_)) + body;
        const std::string name = IndexName(index, target_);
        plan_.afterRows.push_back({head + QuotedName(name) + body,
                                   what,
                                   breaks,
                                   {},
                                   name == IndexName(derived, target_) ? std::string() : unnamed});
    }

    std::string References(const ForeignKeySchema& key) const {
        return "FOREIGN KEY (" + Quoted(key.columns) + ") REFERENCES " + QuotedName(key.table) +
               " (" + Quoted(key.referencedColumns) + ") ON DELETE " + ActionText(key.onDelete) +
               " ON UPDATE " + ActionText(key.onUpdate);
    }

    SchemaStep ForeignKeyStep(const ForeignKeySchema& key) const {
        const std::string constraint = ConstraintName(key.name);
        std::string matched;
        std::string present;
        for (std::size_t i = 0; i < key.columns.size(); ++i) {
            matched += (i ? " AND " : "") + std::string("p.") +
                       QuotedName(key.referencedColumns[i]) + " = c." + QuotedName(key.columns[i]);
            present += (i ? " AND " : "") + std::string("c.") + QuotedName(key.columns[i]) +
                       " IS NOT NULL";
        }
        return {"ALTER TABLE " + table_ + " ADD " + constraint + References(key),
                "foreign key (" + Plain(key.columns) + ") to " + key.table + " (" +
                    Plain(key.referencedColumns) + ")",
                "SELECT count(*) FROM " + table_ + " c WHERE " + present +
                    " AND NOT EXISTS (SELECT 1 FROM " + QuotedName(key.table) + " p WHERE " +
                    matched + ")",
                key.table,
                constraint.empty() ? std::string()
                                   : "ALTER TABLE " + table_ + " ADD " + References(key)};
    }

    // Where keys and foreign keys go only with the table: a foreign key to a table that is
    // not there then is left out (SQLite checks none of them unless asked to).
    void TableConstraints(std::vector<std::string>& definitions) {
        if (!source_.primaryKey.empty() && identityKey_.empty()) {
            definitions.push_back("PRIMARY KEY (" + Quoted(source_.primaryKey) + ")");
            plan_.carried.push_back("primary key (" + Plain(source_.primaryKey) + ")");
        } else if (!identityKey_.empty()) {
            plan_.carried.push_back("primary key (" + identityKey_ + ")");
        }
        for (const ForeignKeySchema& key : source_.foreignKeys) {
            const SchemaStep step = ForeignKeyStep(key);
            if (key.table == target_ || onTarget_(key.table)) {
                definitions.push_back(References(key));
                plan_.carried.push_back(step.what);
            } else {
                plan_.notCarried.push_back(step.what + ": the table is not on the target");
            }
        }
        // A unique constraint stays one only when it is given with the table.
        for (const IndexSchema& index : source_.indexes) {
            if (TakenWithTable(index)) {
                definitions.push_back("UNIQUE (" + Quoted(Columns(index)) + ")");
                plan_.carried.push_back("unique constraint (" + Plain(Columns(index)) + ")");
            }
        }
        const auto notNull = std::count_if(source_.columns.begin(), source_.columns.end(),
                                           [](const ColumnSchema& c) { return c.notNull; });
        if (notNull > 0)
            plan_.carried.push_back("not null (" + std::to_string(notNull) + " columns)");
    }

    bool TakenWithTable(const IndexSchema& index) const {
        return can_.constraintsOnlyWithTable && index.constraint && !index.expression &&
               index.predicate.empty();
    }

    const TableSchema& source_;
    const std::string target_;
    const std::string table_;  // quoted
    const Dialect& dialect_;
    const Capabilities& can_;
    const std::function<bool(std::string_view)>& onTarget_;
    std::string identityKey_;
    TablePlan plan_;
};

}  // namespace

TablePlan PlanSimpleTable(Side target, std::string_view name,
                          const std::vector<SourceField>& fields) {
    CreateTableBuilder create(target, name);
    for (const SourceField& field : fields)
        create.AddColumn(field.name, field.type);
    TablePlan plan;
    plan.createTable = create.Statement();
    plan.bare = create.NumericColumns();
    plan.rules = create.Rules();
    plan.binary.assign(fields.size(), false);
    return plan;
}

TablePlan PlanExactTable(const TableSchema& source, std::string_view target, const Dialect& dialect,
                         const std::function<bool(std::string_view table)>& onTarget) {
    return Planner(source, target, dialect, onTarget).Plan();
}

}  // namespace korvanta
