#include "sql/statements/TablePlan.h"

#include <algorithm>

#include "sql/model/SqlName.h"

namespace korvanta {

namespace {

bool IsInteger(TypeKind kind) {
    return kind == TypeKind::kSmallInt || kind == TypeKind::kInteger || kind == TypeKind::kBigInt;
}

std::string Sized(std::string_view word, int n) {
    return std::string(word) + "(" + std::to_string(n) + ")";
}

std::string NumericType(const ColumnType& type, std::string_view word) {
    if (type.precision < 0)
        return std::string(word);
    return std::string(word) + "(" + std::to_string(type.precision) + "," +
           std::to_string(std::max(type.scale, 0)) + ")";
}

// A time or timestamp type with its digits of fractions of a second, where they are given.
std::string Fractional(std::string_view word, const ColumnType& type, std::string_view rest = {}) {
    std::string text(word);
    if (type.precision >= 0)
        text += "(" + std::to_string(type.precision) + ")";
    return text + std::string(rest);
}

std::string ToPostgreSQL(const ColumnType& type, std::string& notExact) {
    switch (type.kind) {
        case TypeKind::kSmallInt:
            return "smallint";
        case TypeKind::kInteger:
            return "integer";
        case TypeKind::kBigInt:
            return "bigint";
        case TypeKind::kNumeric:
            return NumericType(type, "numeric");
        case TypeKind::kReal:
            return "real";
        case TypeKind::kDouble:
            return "double precision";
        // PostgreSQL's character(n) pads its values with blanks: neither SQLite nor SQL
        // Anywhere does, so their CHAR keeps its values as varchar.
        case TypeKind::kChar:
        case TypeKind::kVarChar:
            return type.length > 0 ? Sized("varchar", type.length) : "varchar";
        case TypeKind::kText:
            return "text";
        case TypeKind::kBinary:
            return "bytea";
        case TypeKind::kDate:
            return "date";
        case TypeKind::kTime:
            return Fractional("time", type);
        case TypeKind::kTimestamp:
            return Fractional("timestamp", type);
        case TypeKind::kTimestampTz:
            return Fractional("timestamp", type, " with time zone");
        case TypeKind::kBoolean:
            return "boolean";
        case TypeKind::kUuid:
            return "uuid";
        case TypeKind::kOther:
            break;
    }
    notExact = "no counterpart, its values as text";
    return "text";
}

// SQLite keeps what a column's affinity makes of a value: NUMERIC and REAL affinity turn
// "1.50" into 1.5, so numbers that must come back as written are declared with TEXT
// affinity under a name that still says what they are.
std::string ToSqlite(const ColumnType& type, std::string& notExact) {
    switch (type.kind) {
        case TypeKind::kSmallInt:
            return "SMALLINT";
        case TypeKind::kInteger:
            return "INT4";
        case TypeKind::kBigInt:
            return "BIGINT";
        case TypeKind::kNumeric:
            return NumericType(type, "NUMERIC TEXT");
        case TypeKind::kReal:
            return "REAL TEXT";
        case TypeKind::kDouble:
            return "DOUBLE TEXT";
        case TypeKind::kChar:
            return type.length > 0 ? Sized("CHAR", type.length) : "TEXT";
        case TypeKind::kVarChar:
            return type.length > 0 ? Sized("VARCHAR", type.length) : "TEXT";
        case TypeKind::kText:
            return "TEXT";
        case TypeKind::kBinary:
            return "BLOB";
        case TypeKind::kDate:
            return "DATE";
        case TypeKind::kTime:
            return Fractional("TIME", type);
        case TypeKind::kTimestamp:
            return Fractional("TIMESTAMP", type);
        case TypeKind::kTimestampTz:
            return Fractional("TIMESTAMP", type, " WITH TIME ZONE");
        case TypeKind::kBoolean:
            return "BOOLEAN";
        case TypeKind::kUuid:
            return "UUID";
        case TypeKind::kOther:
            break;
    }
    notExact = "no counterpart, its values as text";
    return "TEXT";
}

// SQL Anywhere: lengths in characters; NUMERIC holds 127 digits at most, and a bare
// NUMERIC means NUMERIC(30,6), so an unconstrained number keeps its value only as text.
std::string ToSqlAnywhere(const ColumnType& type, std::string& notExact) {
    switch (type.kind) {
        case TypeKind::kSmallInt:
            return "SMALLINT";
        case TypeKind::kInteger:
            return "INTEGER";
        case TypeKind::kBigInt:
            return "BIGINT";
        case TypeKind::kNumeric:
            if (type.precision > 0 && type.precision <= 127)
                return NumericType(type, "NUMERIC");
            notExact = "a number of any precision, its values as text";
            return "LONG VARCHAR";
        case TypeKind::kReal:
            return "REAL";
        case TypeKind::kDouble:
            return "DOUBLE";
        case TypeKind::kChar:
            return type.length > 0 && type.length <= 8191
                       ? "CHAR(" + std::to_string(type.length) + " CHAR)"
                       : "LONG VARCHAR";
        case TypeKind::kVarChar:
            return type.length > 0 && type.length <= 8191
                       ? "VARCHAR(" + std::to_string(type.length) + " CHAR)"
                       : "LONG VARCHAR";
        case TypeKind::kText:
            return "LONG VARCHAR";
        case TypeKind::kBinary:
            return "LONG BINARY";
        case TypeKind::kDate:
            return "DATE";
        case TypeKind::kTime:
            return "TIME";
        case TypeKind::kTimestamp:
            return "TIMESTAMP";
        case TypeKind::kTimestampTz:
            return "TIMESTAMP WITH TIME ZONE";
        case TypeKind::kBoolean:
            return "BIT";
        case TypeKind::kUuid:
            return "UNIQUEIDENTIFIER";
        case TypeKind::kOther:
            break;
    }
    notExact = "no counterpart, its values as text";
    return "LONG VARCHAR";
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

// A string literal on one line, so that every statement a dry run prints is one line that
// ends with ";": a line break is written as the target's escape for it (PostgreSQL's
// escape string E'..\n..', SQL Anywhere's \n) or, in SQLite, which has none, joined in as
// char(10) and char(13).
std::string OneLineLiteral(std::string_view text, Dialect dialect, StringLiterals literals) {
    if (text.find_first_of("\r\n") == std::string_view::npos)
        return Literal(text, literals);
    if (dialect == Dialect::kSqlite) {
        std::string joined = "(";
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = text.find_first_of("\r\n", start);
            joined += Literal(text.substr(start, end - start), literals);
            if (end == std::string_view::npos)
                break;
            joined += text[end] == '\n' ? " || char(10) || " : " || char(13) || ";
            start = end + 1;
        }
        return joined + ")";
    }
    std::string escaped = dialect == Dialect::kPostgreSQL ? "E'" : "'";
    for (const char c : text) {
        if (c == '\n')
            escaped += "\\n";
        else if (c == '\r')
            escaped += "\\r";
        else if (c == '\\')
            escaped += "\\\\";
        else if (c == '\'')
            escaped += "''";
        else
            escaped += c;
    }
    return escaped + "'";
}

// The default's text for the target, empty when it has none there.
std::string DefaultText(const ColumnSchema& column, Dialect dialect, StringLiterals literals) {
    using Kind = ColumnDefault::Kind;
    const ColumnDefault& d = column.defaultValue;
    switch (d.kind) {
        case Kind::kLiteral:
            if (column.type.kind == TypeKind::kBoolean) {
                const bool yes = d.literal == "1" || d.literal == "true" || d.literal == "t";
                if (dialect == Dialect::kPostgreSQL)
                    return yes ? "true" : "false";
                return yes ? "1" : "0";
            }
            return d.isString ? OneLineLiteral(d.literal, dialect, literals) : d.literal;
        case Kind::kCurrentDate:
            return dialect == Dialect::kSqlAnywhere ? "CURRENT DATE" : "CURRENT_DATE";
        case Kind::kCurrentTime:
            return dialect == Dialect::kSqlAnywhere  ? "CURRENT TIME"
                   : dialect == Dialect::kPostgreSQL ? "LOCALTIME"
                                                     : "CURRENT_TIME";
        case Kind::kCurrentTimestamp:
            if (dialect == Dialect::kSqlAnywhere)
                return "CURRENT TIMESTAMP";
            if (dialect == Dialect::kPostgreSQL && column.type.kind != TypeKind::kTimestampTz)
                return "LOCALTIMESTAMP";
            return "CURRENT_TIMESTAMP";
        case Kind::kNone:
        case Kind::kOther:
            break;
    }
    return {};
}

// A name the target may use for an index: SQLite keeps names starting with "sqlite_" to
// itself, and its automatic ones mean nothing elsewhere.
bool UsableName(std::string_view name) {
    return !name.empty() && name.substr(0, 7) != "sqlite_";
}

std::string IndexName(const IndexSchema& index, std::string_view table) {
    if (UsableName(index.name))
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

class Planner {
  public:
    Planner(const TableSchema& source, std::string_view target, Dialect dialect,
            StringLiterals literals, const std::function<bool(std::string_view)>& onTarget)
        : source_(source),
          target_(target),
          table_(QuotedName(target)),
          dialect_(dialect),
          literals_(literals),
          onTarget_(onTarget) {}

    TablePlan Plan() {
        inlineIdentity_ = InlineIdentityColumn();
        std::vector<std::string> definitions;
        for (const ColumnSchema& column : source_.columns)
            definitions.push_back(Column(column));
        if (dialect_ == Dialect::kSqlite)
            SqliteTableConstraints(definitions);
        plan_.createTable = "CREATE TABLE " + table_ + "(";
        for (std::size_t i = 0; i < definitions.size(); ++i)
            plan_.createTable += (i ? ", " : "") + definitions[i];
        plan_.createTable += ")";
        if (dialect_ != Dialect::kSqlite) {
            NotNull();
            PrimaryKey();
        }
        for (const IndexSchema& index : source_.indexes)
            Index(index);
        if (dialect_ != Dialect::kSqlite) {
            for (const ForeignKeySchema& key : source_.foreignKeys)
                plan_.foreignKeys.push_back(ForeignKeyStep(key));
        }
        for (const std::string& note : source_.notes)
            plan_.notCarried.push_back(note);
        return plan_;
    }

  private:
    // SQLite numbers a table's rows itself only in an INTEGER PRIMARY KEY of one column:
    // that is where an identity column goes there.
    std::string InlineIdentityColumn() const {
        if (dialect_ != Dialect::kSqlite || source_.primaryKey.size() != 1)
            return {};
        for (const ColumnSchema& column : source_.columns) {
            if (column.name == source_.primaryKey[0] && column.identity &&
                IsInteger(column.type.kind))
                return column.name;
        }
        return {};
    }

    std::string Column(const ColumnSchema& column) {
        std::string notExact;
        std::string type = TargetType(column.type, dialect_, notExact);
        const std::string name = QuotedName(column.name);
        if (!notExact.empty())
            plan_.notCarried.push_back("column " + name + " (" + column.type.name +
                                       "): " + notExact);
        plan_.rules.push_back(Rule(column.type));
        plan_.binary.push_back(column.type.kind == TypeKind::kBinary);
        if (column.name == inlineIdentity_) {
            plan_.carried.push_back("identity " + name);
            return name + " INTEGER PRIMARY KEY AUTOINCREMENT";
        }
        std::string definition = name + " " + type;
        if (dialect_ == Dialect::kSqlAnywhere && column.type.kind == TypeKind::kBoolean &&
            !column.notNull)
            definition += " NULL";  // SQL Anywhere's BIT takes no NULL unless told
        if (dialect_ == Dialect::kSqlite && column.notNull)
            definition += " NOT NULL";
        definition += Identity(column);
        if (column.generated) {
            plan_.notCarried.push_back("generated column " + name +
                                       ": carried as its values, not computed");
        } else if (!column.identity) {
            definition += Default(column);
        }
        return definition;
    }

    // What the target column keeps of a value and how its values compare.
    static ValueRule Rule(const ColumnType& type) {
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

    std::string Identity(const ColumnSchema& column) {
        if (!column.identity)
            return {};
        const std::string name = QuotedName(column.name);
        if (!IsInteger(column.type.kind)) {
            plan_.notCarried.push_back("identity " + name + ": not an integer column");
            return {};
        }
        if (dialect_ == Dialect::kSqlite) {
            plan_.notCarried.push_back("identity " + name +
                                       ": SQLite numbers only a one-column INTEGER PRIMARY KEY");
            return {};
        }
        plan_.carried.push_back("identity " + name);
        if (dialect_ == Dialect::kSqlAnywhere)
            return " DEFAULT AUTOINCREMENT";
        // The rows bring their own numbers; the numbering goes on after the largest.
        plan_.sequences.push_back(
            {"SELECT setval(pg_get_serial_sequence(" + OneLineLiteral(table_, dialect_, literals_) +
                 ", " + OneLineLiteral(column.name, dialect_, literals_) + "), coalesce(max(" +
                 name + "), 0) + 1, false) FROM " + table_,
             "identity " + name + " going on after the largest",
             {},
             {},
             {}});
        return " GENERATED BY DEFAULT AS IDENTITY";
    }

    std::string Default(const ColumnSchema& column) {
        const ColumnDefault& d = column.defaultValue;
        if (d.kind == ColumnDefault::Kind::kNone)
            return {};
        const std::string text = DefaultText(column, dialect_, literals_);
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
        for (const ColumnSchema& column : source_.columns) {
            const bool inKey = std::find(source_.primaryKey.begin(), source_.primaryKey.end(),
                                         column.name) != source_.primaryKey.end();
            // A key's columns are made NOT NULL by the key itself.
            if (column.notNull && !inKey && !(column.identity && dialect_ == Dialect::kPostgreSQL))
                columns.push_back(column.name);
        }
        if (columns.empty())
            return;
        std::string statement = "ALTER TABLE " + table_;
        std::string anyNull;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            statement += (i ? ", ALTER " : " ALTER ") +
                         std::string(dialect_ == Dialect::kPostgreSQL ? "COLUMN " : "") +
                         QuotedName(columns[i]) +
                         (dialect_ == Dialect::kPostgreSQL ? " SET NOT NULL" : " NOT NULL");
            anyNull += (i ? " OR " : "") + QuotedName(columns[i]) + " IS NULL";
        }
        plan_.afterRows.push_back({statement,
                                   "not null (" + Plain(columns) + ")",
                                   "SELECT count(*) FROM " + table_ + " WHERE " + anyNull,
                                   {},
                                   {}});
    }

    void PrimaryKey() {
        if (source_.primaryKey.empty())
            return;
        std::string constraint;
        if (dialect_ == Dialect::kPostgreSQL && UsableName(source_.primaryKeyName))
            constraint = "CONSTRAINT " + QuotedName(source_.primaryKeyName) + " ";
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
        if (InlineUnique(index))
            return;  // written with the table
        if (!index.predicate.empty() && dialect_ == Dialect::kSqlAnywhere) {
            plan_.notCarried.push_back(what + " where " + index.predicate +
                                       ": SQL Anywhere has no partial indexes");
            return;
        }
        const std::string breaks =
            index.unique && index.predicate.empty() ? DuplicatesQuery(columns, false) : "";
        if (index.constraint && dialect_ != Dialect::kSqlite) {
            std::string constraint;
            if (dialect_ == Dialect::kPostgreSQL && UsableName(index.name))
                constraint = "CONSTRAINT " + QuotedName(index.name) + " ";
            const std::string unique = "UNIQUE (" + Quoted(columns) + ")";
            plan_.afterRows.push_back(
                {"ALTER TABLE " + table_ + " ADD " + constraint + unique,
                 what,
                 breaks,
                 {},
                 constraint.empty() ? std::string() : "ALTER TABLE " + table_ + " ADD " + unique});
            return;
        }
        std::string keys;
        for (const IndexKey& key : index.keys)
            keys += (keys.empty() ? "" : ", ") + QuotedName(key.column) +
                    (key.descending ? " DESC" : "");
        const std::string head =
            std::string("CREATE ") + (index.unique ? "UNIQUE " : "") + "INDEX ";
        std::string body = " ON " + table_ + " (" + keys + ")";
        if (!index.predicate.empty())
            body += " WHERE " + index.predicate;
        // Without the source's name PostgreSQL makes up a free one; the others need one.
        IndexSchema derived = index;
        derived.name.clear();
        const std::string unnamed = dialect_ == Dialect::kPostgreSQL
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
        std::string constraint;
        if (UsableName(key.name))
            constraint =
                dialect_ == Dialect::kPostgreSQL ? "CONSTRAINT " + QuotedName(key.name) + " " : "";
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

    // SQLite takes keys and foreign keys only with the table: a foreign key to a table
    // that is not there then is left out (SQLite checks none of them unless asked to).
    void SqliteTableConstraints(std::vector<std::string>& definitions) {
        if (!source_.primaryKey.empty() && inlineIdentity_.empty()) {
            definitions.push_back("PRIMARY KEY (" + Quoted(source_.primaryKey) + ")");
            plan_.carried.push_back("primary key (" + Plain(source_.primaryKey) + ")");
        } else if (!inlineIdentity_.empty()) {
            plan_.carried.push_back("primary key (" + inlineIdentity_ + ")");
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
        // A unique constraint stays one only when SQLite is given it with the table.
        for (const IndexSchema& index : source_.indexes) {
            if (InlineUnique(index)) {
                definitions.push_back("UNIQUE (" + Quoted(Columns(index)) + ")");
                plan_.carried.push_back("unique constraint (" + Plain(Columns(index)) + ")");
            }
        }
        std::size_t notNull = 0;
        for (const ColumnSchema& column : source_.columns)
            notNull += column.notNull ? 1 : 0;
        if (notNull > 0)
            plan_.carried.push_back("not null (" + std::to_string(notNull) + " columns)");
    }

    bool InlineUnique(const IndexSchema& index) const {
        return dialect_ == Dialect::kSqlite && index.constraint && !index.expression &&
               index.predicate.empty();
    }

    const TableSchema& source_;
    const std::string target_;
    const std::string table_;  // quoted
    const Dialect dialect_;
    const StringLiterals literals_;
    const std::function<bool(std::string_view)>& onTarget_;
    std::string inlineIdentity_;
    TablePlan plan_;
};

}  // namespace

Dialect TargetDialect(Side target, std::string_view dbmsName) {
    if (target == Side::PostgreSQL)
        return Dialect::kPostgreSQL;
    std::string name(dbmsName);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name.find("sqlite") != std::string::npos ? Dialect::kSqlite : Dialect::kSqlAnywhere;
}

std::string TargetType(const ColumnType& type, Dialect dialect, std::string& notExact) {
    switch (dialect) {
        case Dialect::kPostgreSQL:
            return ToPostgreSQL(type, notExact);
        case Dialect::kSqlite:
            return ToSqlite(type, notExact);
        case Dialect::kSqlAnywhere:
            break;
    }
    return ToSqlAnywhere(type, notExact);
}

TablePlan PlanExactTable(const TableSchema& source, std::string_view target, Dialect dialect,
                         StringLiterals literals,
                         const std::function<bool(std::string_view table)>& onTarget) {
    return Planner(source, target, dialect, literals, onTarget).Plan();
}

}  // namespace korvanta
