#include "sql/dialect/Dialect.h"

#include <algorithm>

#include "sql/dialect/CatalogText.h"
#include "sql/dialect/OdbcDialect.h"
#include "sql/dialect/PostgreSQLDialect.h"
#include "sql/dialect/SqlAnywhereDialect.h"
#include "sql/dialect/SqliteDialect.h"
#include "sql/model/SqlName.h"

namespace korvanta {

void Dialect::AppendString(std::string& buffer, std::string_view text) const {
    buffer += '\'';
    for (;;) {
        const std::size_t at = text.find('\'');
        if (at == std::string_view::npos)
            break;
        buffer.append(text.data(), at + 1);
        buffer += '\'';
        text.remove_prefix(at + 1);
    }
    buffer.append(text);
    buffer += '\'';
}

std::string Dialect::String(std::string_view text) const {
    std::string literal;
    AppendString(literal, text);
    return literal;
}

std::string Dialect::EscapedString(std::string_view opening, std::string_view text) {
    std::string escaped(opening);
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

// Standard SQL has no escape for a line break: the literal keeps it.
std::string Dialect::OneLineString(std::string_view text) const {
    return String(text);
}

std::optional<ValueProblem> Dialect::Unstorable(std::string_view text, ValueRule rule) const {
    if (std::optional<ValueProblem> problem = TextProblem(text, true))
        return problem;
    return DecimalProblem(text, rule);
}

bool Dialect::Checks(ValueRule rule) const {
    return rule.kind == ValueKind::kDecimal;
}

std::string_view Dialect::WrittenValue(std::string_view text, ValueRule, std::string&) const {
    return text;
}

bool Dialect::WritesAsRead(ValueRule) const {
    return true;
}

// A binary column's default given as a string: PostgreSQL's hex form ('\x00ff') written as
// this database's binary literal; a string of plain characters as their bytes; any other
// escape form is not carried.
std::string Dialect::BinaryDefault(std::string_view literal, std::string& why) const {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    if (literal.substr(0, 2) == "\\x") {
        hex = std::string(literal.substr(2));
        const bool digits = hex.size() % 2 == 0 &&
                            hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
        if (!digits) {
            why = "a binary default that is not hex digits";
            return {};
        }
    } else if (literal.find('\\') != std::string_view::npos) {
        why = "a binary default in escape form";
        return {};
    } else {
        for (const char c : literal) {
            hex += kHex[static_cast<unsigned char>(c) >> 4];
            hex += kHex[static_cast<unsigned char>(c) & 0xF];
        }
    }
    std::string out;
    AppendBinary(out, hex);
    return out;
}

std::string Dialect::Default(const ColumnSchema& column, std::string& why) const {
    using Kind = ColumnDefault::Kind;
    const ColumnDefault& d = column.defaultValue;
    const TypeKind stamp =
        column.type.kind == TypeKind::kTimestampTz ? TypeKind::kTimestampTz : TypeKind::kTimestamp;
    std::string clock;
    switch (d.kind) {
        case Kind::kLiteral:
            if (column.type.kind == TypeKind::kBoolean)
                return Boolean(d.literal == "1" || d.literal == "true" || d.literal == "t");
            if (column.type.kind == TypeKind::kBinary && d.isString)
                return BinaryDefault(d.literal, why);
            return d.isString ? OneLineString(d.literal) : d.literal;
        case Kind::kCurrentDate:
            clock = Clock(TypeKind::kDate, d.utc, -1);
            break;
        case Kind::kCurrentTime:
            clock = Clock(TypeKind::kTime, d.utc, d.precision);
            break;
        case Kind::kCurrentTimestamp:
            clock = Clock(stamp, d.utc, d.precision);
            break;
        case Kind::kExpression: {
            const std::string text = Expression(*d.expression, nullptr, false, why);
            return text.empty() ? text : "(" + text + ")";
        }
        case Kind::kOther:
            why = d.why.empty() ? "no counterpart" : d.why;
            break;
        case Kind::kNone:
            return {};
    }
    if (clock.empty() && why.empty())
        why = std::string("a clock in ") + (d.utc ? "UTC" : "local time") + ": " +
              std::string(Name()) + " has no such default";
    return clock;
}

std::string Dialect::AlwaysStatement(std::string_view, std::string_view) const {
    return {};
}

namespace {

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

}  // namespace

std::string Dialect::ReferentialClauses(const ForeignKeySchema& key, std::string& lost) const {
    std::string clauses = std::string(key.matchFull ? " MATCH FULL" : "") + " ON DELETE " +
                          ActionText(key.onDelete) + " ON UPDATE " + ActionText(key.onUpdate);
    if (key.deferrable && !Can().deferrableKeys)
        lost = key.initiallyDeferred ? "DEFERRABLE INITIALLY DEFERRED" : "DEFERRABLE";
    else if (key.deferrable)
        clauses += key.initiallyDeferred ? " DEFERRABLE INITIALLY DEFERRED" : " DEFERRABLE";
    return clauses;
}

std::string Dialect::NullsNotDistinct(bool&) const {
    return {};
}

// A declared NULLS order is carried only where the target's catalog keeps it: one whose
// indexes keep none is named, even where its own order happens to be the one asked for.
std::string Dialect::NullsClause(const IndexKey& key, std::string& why) const {
    if (key.nulls == NullsOrder::kDefault)
        return {};
    const bool first = key.nulls == NullsOrder::kFirst;
    const char* asked = first ? "NULLS FIRST" : "NULLS LAST";
    // Ascending, NULLs come where they sort; descending, the other end.
    const bool ownOrder = first == (Can().nullsSortFirst != key.descending);
    if (!Can().nullsOrder) {
        why = std::string(asked) + ": " + std::string(Name()) +
              "'s indexes keep no order of NULLs (its own puts them " +
              (ownOrder == first ? "first" : "last") + " here)";
        return {};
    }
    return ownOrder ? std::string() : " " + std::string(asked);
}

std::string Dialect::CollationClause(const Collation& collation, std::string& why) const {
    if (collation.kind == Collation::Kind::kDefault)
        return {};
    why = "collation " + collation.name + ": no counterpart";
    return {};
}

std::string Dialect::CollationStatement(const Collation&) const {
    return {};
}

std::string Dialect::ColumnOptions(const ColumnSchema&) const {
    return {};
}

std::string Dialect::IdentityKeyColumn(const TableSchema&) const {
    return {};
}

std::string Dialect::IdentityKeyDefinition(std::string_view quotedName, std::string_view) const {
    return std::string(quotedName);
}

std::string Dialect::NumberingStatement(std::string_view, std::string_view) const {
    return {};
}

std::string Dialect::NotNullStatement(std::string_view table,
                                      const std::vector<std::string>& columns) const {
    std::string statement = "ALTER TABLE " + std::string(table);
    for (std::size_t i = 0; i < columns.size(); ++i)
        statement +=
            (i ? ", ALTER COLUMN " : " ALTER COLUMN ") + QuotedName(columns[i]) + " SET NOT NULL";
    return statement;
}

std::string Dialect::LargestQuery(std::string_view table, std::string_view column,
                                  ValueKind) const {
    return "SELECT " + AsText("max(" + QuotedName(column) + ")") + " FROM " + std::string(table);
}

std::string Dialect::AtOrAfter(std::string_view column, std::string_view largest, ValueKind) const {
    return QuotedName(column) + " >= " + String(largest);
}

std::string Dialect::EmptyTableStatement(std::string_view table) const {
    return "TRUNCATE TABLE " + std::string(table);
}

std::string Dialect::ByteOrder(std::string_view) const {
    return {};
}

std::string Dialect::AsText(std::string_view expression) const {
    return "CAST(" + std::string(expression) + " AS LONG VARCHAR)";
}

std::string Dialect::NullSafeEqual(std::string_view a, std::string_view b) const {
    return std::string(a) + " IS NOT DISTINCT FROM " + std::string(b);
}

std::string Dialect::StagingTable(std::string_view name) const {
    return std::string(name);
}

std::string Dialect::CreateStaging(std::string_view name, std::string_view table,
                                   const std::vector<std::string>& columns) const {
    return "SELECT " + QuotedNames(columns) + " INTO LOCAL TEMPORARY TABLE " + std::string(name) +
           " FROM " + std::string(table) + " WHERE 1 = 0";
}

// A local temporary table hides a table of the same name: the drop reaches it first.
std::string Dialect::DropStaging(std::string_view name) const {
    return "DROP TABLE IF EXISTS " + std::string(name);
}

namespace {

bool InKey(const std::vector<std::string>& key, const std::string& column) {
    return std::find(key.begin(), key.end(), column) != key.end();
}

}  // namespace

std::string Dialect::Unchanged(const std::vector<std::string>& columns,
                               const std::vector<std::string>& key, std::string_view left,
                               std::string_view right) const {
    std::string all;
    for (const std::string& c : columns) {
        if (InKey(key, c))
            continue;
        all +=
            (all.empty() ? "" : " AND ") + NullSafeEqual(std::string(left) + "." + QuotedName(c),
                                                         std::string(right) + "." + QuotedName(c));
    }
    return all.empty() ? "1 = 1" : all;
}

std::string Dialect::ClearStaging(std::string_view name) const {
    return "DELETE FROM " + StagingTable(name);
}

std::string Dialect::IndexStaging(std::string_view name,
                                  const std::vector<std::string>& columns) const {
    return "CREATE INDEX " + std::string(name) + "_key ON " + StagingTable(name) + " (" +
           QuotedNames(columns) + ")";
}

// The standard's MERGE: a matched row is updated only where a value differs.
std::string Dialect::UpsertStatement(std::string_view staging, std::string_view table,
                                     const std::vector<std::string>& columns,
                                     const std::vector<std::string>& key) const {
    std::string on, set, values;
    for (const std::string& k : key)
        on += (on.empty() ? "kv_t." : " AND kv_t.") + QuotedName(k) + " = kv_s." + QuotedName(k);
    for (const std::string& c : columns) {
        values += (values.empty() ? "kv_s." : ", kv_s.") + QuotedName(c);
        if (!InKey(key, c))
            set += (set.empty() ? "" : ", ") + QuotedName(c) + " = kv_s." + QuotedName(c);
    }
    std::string merge = "MERGE INTO " + std::string(table) + " AS kv_t USING " +
                        std::string(staging) + " AS kv_s ON " + on;
    if (!set.empty())
        merge += " WHEN MATCHED AND NOT (" + Unchanged(columns, key, "kv_t", "kv_s") +
                 ") THEN UPDATE SET " + set;
    return merge + " WHEN NOT MATCHED THEN INSERT (" + QuotedNames(columns) + ") VALUES (" +
           values + ")";
}

// The rows are read from the staging table under a WHERE, so that SQLite does not take ON
// for a join's.
std::string Dialect::OnConflictUpsert(std::string_view staging, std::string_view table,
                                      const std::vector<std::string>& columns,
                                      const std::vector<std::string>& key) const {
    std::string set;
    for (const std::string& c : columns) {
        if (!InKey(key, c))
            set += (set.empty() ? "" : ", ") + QuotedName(c) + " = excluded." + QuotedName(c);
    }
    std::string upsert = "INSERT INTO " + std::string(table) + " AS kv_t (" + QuotedNames(columns) +
                         ") SELECT " + QuotedNames(columns) + " FROM " + std::string(staging) +
                         " WHERE 1 = 1 ON CONFLICT (" + QuotedNames(key) + ") DO ";
    if (set.empty())
        return upsert + "NOTHING";
    return upsert + "UPDATE SET " + set + " WHERE NOT (" +
           Unchanged(columns, key, "kv_t", "excluded") + ")";
}

std::string Dialect::TableKindQuery(std::string_view) const {
    return {};
}

std::string Dialect::RowSource(std::string_view quotedTable, std::string_view) const {
    return std::string(quotedTable);
}

std::string Dialect::ExactRowsQuery(std::string_view, const std::vector<SourceField>&,
                                    std::vector<std::uint8_t>& marks) const {
    marks.clear();
    return {};
}

Dialect::ExactRead Dialect::ExactValue(std::string_view text, std::uint8_t, std::string&) const {
    return {text};
}

std::string Dialect::VerifyRowsQuery(std::string_view from, const std::vector<SourceField>& fields,
                                     std::vector<std::uint8_t>& marks) const {
    return ExactRowsQuery(from, fields, marks);
}

std::string Dialect::DeclaredTypesQuery(std::string_view) const {
    return {};
}

std::string_view Dialect::MarkLeads() const {
    return {};
}

std::string_view Dialect::MarkInside(std::uint8_t) const {
    return {};
}

std::string Dialect::StoredKindQuery(std::string_view, std::string_view) const {
    return {};
}

std::optional<std::string> Dialect::StoredName(std::string_view name, std::string& why) const {
    const NameRules rules = Names();
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((rules.refusesControls && (byte < 0x20 || byte == 0x7F)) ||
            rules.refusedCharacters.find(c) != std::string_view::npos) {
            why = std::string(Name()) + " takes no name holding " +
                  (byte < 0x20 || byte == 0x7F ? std::string("a control character")
                                               : "the character " + std::string(1, c)) +
                  ": " + QuotedName(name);
            return std::nullopt;
        }
    }
    if (rules.longestBytes == 0 || name.size() <= rules.longestBytes)
        return std::string(name);
    if (!rules.cutsLonger) {
        why = std::string(Name()) + " takes names of at most " +
              std::to_string(rules.longestBytes) + " bytes; " + QuotedName(name) + " has " +
              std::to_string(name.size());
        return std::nullopt;
    }
    // Back off to the first byte of a UTF-8 character: continuation bytes are 10xxxxxx.
    std::size_t length = rules.longestBytes;
    while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
        --length;
    return std::string(name.substr(0, length));
}

bool Dialect::SameName(std::string_view a, std::string_view b) const {
    if (!Names().caseBlind)
        return a == b;
    return catalogtext::Lower(a) == catalogtext::Lower(b);
}

std::string Dialect::RenameTableStatement(std::string_view from, std::string_view to) const {
    return "ALTER TABLE " + QuotedName(from) + " RENAME TO " + QuotedName(to) + ";";
}

// Class 40 is a transaction rolled back by the database (a serialization failure, a
// deadlock), except 40002/40003: a constraint at COMMIT, an unknown outcome.
bool Dialect::LockConflict(std::string_view state, int) const {
    return state.substr(0, 2) == "40" && state != "40002" && state != "40003";
}

bool Dialect::IntegrityViolation(std::string_view state) const {
    return state.substr(0, 2) == "23";
}

bool Dialect::IsOwnTable(std::string_view) const {
    return false;
}

std::string Dialect::Boolean(bool value) const {
    return value ? "1" : "0";
}

// Standard SQL's clocks are local; one in UTC it has not.
std::string Dialect::Clock(TypeKind kind, bool utc, int) const {
    if (kind == TypeKind::kTimestampTz)
        return "CURRENT_TIMESTAMP";
    if (utc)
        return {};
    return kind == TypeKind::kDate   ? "CURRENT_DATE"
           : kind == TypeKind::kTime ? "CURRENT_TIME"
                                     : "CURRENT_TIMESTAMP";
}

std::shared_ptr<const Dialect> DialectOf(Side side, std::string_view dbmsName) {
    if (side == Side::PostgreSQL)
        return std::make_shared<PostgreSQLDialect>();
    const std::string name = catalogtext::Lower(dbmsName);
    // SQL Anywhere's drivers name it "SQL Anywhere"; older ones "Adaptive Server Anywhere".
    if (name.find("sql anywhere") != std::string::npos ||
        name.find("adaptive server anywhere") != std::string::npos)
        return std::make_shared<SqlAnywhereDialect>();
    if (name.find("sqlite") != std::string::npos)
        return std::make_shared<SqliteDialect>();
    // A PostgreSQL database reached through its ODBC driver: the driver would rewrite its
    // dates and GUIDs, which PostgreSQL's dialect reads as the server's own text.
    if (name == "postgresql")
        return std::make_shared<PostgreSQLDialect>();
    return std::make_shared<OdbcDialect>();
}

const std::vector<std::shared_ptr<const Dialect>>& EveryDialect() {
    static const std::vector<std::shared_ptr<const Dialect>> kEvery = {
        std::make_shared<PostgreSQLDialect>(), std::make_shared<SqlAnywhereDialect>(),
        std::make_shared<SqliteDialect>(), std::make_shared<OdbcDialect>()};
    return kEvery;
}

std::shared_ptr<const Dialect> DialectNamed(std::string_view name) {
    const std::string word = catalogtext::Lower(name);
    if (word == "postgresql")
        return std::make_shared<PostgreSQLDialect>();
    if (word == "sqlanywhere")
        return std::make_shared<SqlAnywhereDialect>();
    if (word == "sqlite")
        return std::make_shared<SqliteDialect>();
    if (word == "odbc")
        return std::make_shared<OdbcDialect>();
    return nullptr;
}

}  // namespace korvanta
