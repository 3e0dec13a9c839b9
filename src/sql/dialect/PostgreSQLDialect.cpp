#include "sql/dialect/PostgreSQLDialect.h"

#include "adodb/Enums.h"
#include "sql/dialect/CatalogText.h"
#include "sql/model/SqlName.h"

namespace korvanta {

namespace {

using namespace catalogtext;

// The longest char(n) and varchar(n), and the most digits of a numeric (either side of
// the point) PostgreSQL declares.
constexpr int kMostCharacters = 10485760;
constexpr int kMostDigits = 1000;

// Case-insensitive comparison: ICU's root collation at secondary strength, which tells
// letters apart but not their case. Nondeterministic, so that equal means equal for keys.
constexpr const char* kIgnoringCase = "nocase";

}  // namespace

const Capabilities& PostgreSQLDialect::Can() const {
    static const Capabilities kCan = [] {
        Capabilities can;
        can.namedConstraints = true;
        can.indexNamesOptional = true;
        can.partialIndexes = true;
        can.expressionIndexes = true;
        can.nullsOrder = true;
        can.deferrableKeys = true;
        can.checks = true;
        can.identityIsNotNull = true;
        can.clockPrecision = true;
        return can;
    }();
    return kCan;
}

std::shared_ptr<const Dialect> PostgreSQLDialect::WithSetting(std::string_view answer) const {
    return std::make_shared<PostgreSQLDialect>(Lower(Trim(answer)) == "off");
}

std::string PostgreSQLDialect::Declaration(const ColumnType& type, std::string& notExact) const {
    switch (type.kind) {
        case TypeKind::kSmallInt:
            return "smallint";
        case TypeKind::kInteger:
            return "integer";
        case TypeKind::kBigInt:
            return "bigint";
        case TypeKind::kNumeric:
            if (type.precision < 0)
                return "numeric";
            if (type.precision > kMostDigits || type.scale > kMostDigits ||
                type.scale < -kMostDigits) {
                notExact = "more digits than PostgreSQL declares, as numeric of any size";
                return "numeric";
            }
            return Decimal("numeric", type);
        case TypeKind::kReal:
            return "real";
        case TypeKind::kDouble:
            return "double precision";
        case TypeKind::kChar:
        case TypeKind::kVarChar:
            if (type.length > kMostCharacters) {
                notExact = "longer than PostgreSQL declares, as text";
                return "text";
            }
            if (type.kind == TypeKind::kChar)
                return Sized("character", type.length > 0 ? type.length : 1);
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

ExpressionSyntax PostgreSQLDialect::Syntax() const {
    ExpressionSyntax syntax;
    syntax.typeOf = [](std::string_view name) { return ReadType(name); };
    return syntax;
}

std::string PostgreSQLDialect::MatchOperator(Expr::Match match) const {
    switch (match) {
        case Expr::Match::kLike:
            return "LIKE";
        case Expr::Match::kLikeIgnoringCase:
            return "ILIKE";
        case Expr::Match::kGlob:
            break;
    }
    return {};
}

void PostgreSQLDialect::AppendString(std::string& buffer, std::string_view text) const {
    if (!backslashStrings_ || text.find('\\') == std::string_view::npos)
        return Dialect::AppendString(buffer, text);
    // E'...' with the backslash doubled: read back unchanged, and without a warning.
    buffer += "E'";
    for (const char c : text) {
        buffer += c;
        if (c == '\'' || c == '\\')
            buffer += c;
    }
    buffer += '\'';
}

std::string PostgreSQLDialect::OneLineString(std::string_view text) const {
    if (text.find_first_of("\r\n") == std::string_view::npos)
        return String(text);
    return EscapedString("E'", text);
}

void PostgreSQLDialect::AppendBinary(std::string& buffer, std::string_view hex) const {
    AppendString(buffer, "\\x" + std::string(hex));
}

std::optional<ValueProblem> PostgreSQLDialect::Unstorable(std::string_view text,
                                                          ValueRule rule) const {
    if (std::optional<ValueProblem> problem = TextProblem(text, false))
        return problem;
    if (std::optional<ValueProblem> problem = DecimalProblem(text, rule))
        return problem;
    if (std::optional<ValueProblem> problem = BlanksPastLength(text, rule))
        return problem;
    return TemporalProblem(text, rule);
}

bool PostgreSQLDialect::Checks(ValueRule rule) const {
    switch (rule.kind) {
        case ValueKind::kText:
            return rule.length >= 0;
        case ValueKind::kDecimal:
        case ValueKind::kDate:
        case ValueKind::kTime:
        case ValueKind::kTimestamp:
        case ValueKind::kTimestampTz:
            return true;
        default:
            return false;
    }
}

std::string PostgreSQLDialect::IdentityClause(std::string&) const {
    return " GENERATED BY DEFAULT AS IDENTITY";
}

// The rows bring their own numbers; the numbering goes on after the largest (an empty
// table starts at 1), and never below the sequence's own least value (rows numbered only
// below zero leave it at its start).
std::string PostgreSQLDialect::NumberingStatement(std::string_view table,
                                                  std::string_view column) const {
    const std::string sequence =
        "pg_get_serial_sequence(" + OneLineString(table) + ", " + OneLineString(column) + ")";
    return "SELECT setval(" + sequence + ", greatest(coalesce(max(" + QuotedName(column) +
           "), 0) + 1, (SELECT seqmin FROM pg_sequence WHERE seqrelid = " + sequence +
           "::regclass)), false) FROM " + std::string(table);
}

std::string PostgreSQLDialect::AlwaysStatement(std::string_view table,
                                               std::string_view column) const {
    return "ALTER TABLE " + std::string(table) + " ALTER COLUMN " + QuotedName(column) +
           " SET GENERATED ALWAYS";
}

std::string PostgreSQLDialect::NullsNotDistinct(bool& afterColumns) const {
    afterColumns = true;
    return " NULLS NOT DISTINCT";
}

std::string PostgreSQLDialect::CollationClause(const Collation& collation, std::string& why) const {
    if (collation.kind == Collation::Kind::kIgnoringCase)
        return " COLLATE " + QuotedName(kIgnoringCase);
    return Dialect::CollationClause(collation, why);
}

std::string PostgreSQLDialect::IgnoringCaseCollation() {
    return kIgnoringCase;
}

std::string PostgreSQLDialect::CollationStatement(const Collation& collation) const {
    if (collation.kind != Collation::Kind::kIgnoringCase)
        return {};
    return "CREATE COLLATION IF NOT EXISTS " + QuotedName(kIgnoringCase) +
           " (provider = icu, locale = 'und-u-ks-level2', deterministic = false)";
}

std::string PostgreSQLDialect::TableKindQuery(std::string_view quotedTable) const {
    return "SELECT c.relkind::text FROM pg_catalog.pg_class c WHERE c.oid = to_regclass(" +
           CatalogString(quotedTable) + ")";
}

// ONLY leaves out the rows of tables that inherit from it (each is a table of its own);
// but a partitioned table holds no rows but its partitions'.
std::string PostgreSQLDialect::RowSource(std::string_view quotedTable,
                                         std::string_view kind) const {
    return kind == "p" ? std::string(quotedTable) : "ONLY " + std::string(quotedTable);
}

// The columns whose values psqlODBC would rewrite read as the server writes them: dates,
// times, timestamps and GUIDs as text (psqlODBC lost infinity, years BC, fractions and
// zones, and wrote GUIDs in capitals), money as its number (its text carries a currency
// sign and grouping).
std::string PostgreSQLDialect::ExactRowsQuery(std::string_view from,
                                              const std::vector<SourceField>& fields,
                                              std::vector<std::uint8_t>& marks) const {
    marks.clear();
    std::string columns;
    bool rewritten = false;
    for (const SourceField& field : fields) {
        const std::string name = QuotedName(field.name);
        columns += (columns.empty() ? "" : ", ") + name;
        const bool asText = field.type == adodb::adDBDate || field.type == adodb::adDBTime ||
                            field.type == adodb::adDBTimeStamp || field.type == adodb::adGUID;
        const bool money = field.nativeTypeName == "money";
        if (asText || money) {
            columns += std::string(asText ? "::text" : "::numeric") + " AS " + name;
            rewritten = true;
        }
    }
    return rewritten ? "SELECT " + columns + " FROM " + std::string(from) : std::string();
}

std::string PostgreSQLDialect::CatalogString(std::string_view text) {
    return PostgreSQLDialect(true).String(text);
}

// Its clocks are local to the session's zone; a clock in UTC is the instant seen there.
std::string PostgreSQLDialect::Clock(TypeKind kind, bool utc, int digits) const {
    const std::string p = digits >= 0 ? "(" + std::to_string(digits) + ")" : std::string();
    switch (kind) {
        case TypeKind::kDate:
            return utc ? "CAST(CURRENT_TIMESTAMP AT TIME ZONE 'UTC' AS date)" : "CURRENT_DATE";
        case TypeKind::kTime:
            return utc ? "CAST(CURRENT_TIMESTAMP" + p + " AT TIME ZONE 'UTC' AS time)"
                       : "LOCALTIME" + p;
        case TypeKind::kTimestamp:
            return utc ? "(CURRENT_TIMESTAMP" + p + " AT TIME ZONE 'UTC')" : "LOCALTIMESTAMP" + p;
        default:
            return "CURRENT_TIMESTAMP" + p;
    }
}

ColumnType PostgreSQLDialect::ReadType(std::string_view formatted) {
    const std::string t = Lower(Trim(formatted));
    int a = -1, b = -1;
    Modifiers(t, a, b);
    if (t.find("[]") != std::string::npos)
        return Of(TypeKind::kOther, formatted);
    struct Word {
        const char* name;
        TypeKind kind;
    };
    static constexpr Word kExact[] = {
        {"smallint", TypeKind::kSmallInt},
        {"integer", TypeKind::kInteger},
        {"bigint", TypeKind::kBigInt},
        {"real", TypeKind::kReal},
        {"double precision", TypeKind::kDouble},
        {"text", TypeKind::kText},
        {"bytea", TypeKind::kBinary},
        {"date", TypeKind::kDate},
        {"boolean", TypeKind::kBoolean},
        {"uuid", TypeKind::kUuid},
    };
    for (const Word& word : kExact) {
        if (t == word.name)
            return Of(word.kind, formatted);
    }
    if (StartsWith(t, "numeric"))
        return Numeric(formatted, a, b);
    if (StartsWith(t, "character varying"))
        return Of(TypeKind::kVarChar, formatted, a);
    if (StartsWith(t, "character") || t == "\"char\"")
        return Of(TypeKind::kChar, formatted, a < 0 ? 1 : a);
    if (StartsWith(t, "time") && t.find("without time zone") != std::string::npos)
        return Fraction(StartsWith(t, "timestamp") ? TypeKind::kTimestamp : TypeKind::kTime,
                        formatted, a);
    if (StartsWith(t, "timestamp") && t.find("with time zone") != std::string::npos)
        return Fraction(TypeKind::kTimestampTz, formatted, a);
    return Of(TypeKind::kOther, formatted);
}

// Before version 10 PostgreSQL stored CURRENT_DATE as ('now'::text)::date: the word is
// read at every insert, through text. ('now'::date alone is read once, when the table is
// made, and the catalog keeps the date it gave.)
namespace {

std::optional<ColumnDefault> ClockThroughText(const Expr& tree, std::string_view text) {
    if (tree.kind != Expr::Kind::kCast || tree.args[0].kind != Expr::Kind::kCast ||
        tree.args[0].args[0].kind != Expr::Kind::kString)
        return std::nullopt;
    const TypeKind to = tree.type.kind;
    const TypeKind through = tree.args[0].type.kind;
    if ((through != TypeKind::kText && through != TypeKind::kVarChar) ||
        (to != TypeKind::kDate && to != TypeKind::kTime && to != TypeKind::kTimestamp &&
         to != TypeKind::kTimestampTz))
        return std::nullopt;
    const std::string word = Lower(Trim(tree.args[0].args[0].text));
    ColumnDefault clock;
    clock.text = std::string(text);
    if (word == "now" || (word == "today" && to == TypeKind::kDate)) {
        clock.kind = to == TypeKind::kDate   ? ColumnDefault::Kind::kCurrentDate
                     : to == TypeKind::kTime ? ColumnDefault::Kind::kCurrentTime
                                             : ColumnDefault::Kind::kCurrentTimestamp;
        return clock;
    }
    if (word == "today" || word == "tomorrow" || word == "yesterday") {
        clock.kind = ColumnDefault::Kind::kOther;
        clock.why = "'" + word + "', read at every insert: no other database reads it";
        return clock;
    }
    return std::nullopt;
}

}  // namespace

ColumnDefault PostgreSQLDialect::ReadDefault(std::string_view expression, bool& identity) {
    const std::string_view text = WithoutCasts(expression);
    if (StartsWith(Lower(text), "nextval(")) {
        identity = true;
        return {};
    }
    // A clock in UTC as written above: (CURRENT_TIMESTAMP AT TIME ZONE 'UTC'::text), cast
    // to a date or a time or not at all.
    const std::string lower = Lower(expression);
    if (lower.find("current_timestamp") != std::string::npos &&
        lower.find(" at time zone 'utc'") != std::string::npos) {
        ColumnDefault clock = CommonDefault("current_timestamp", expression);
        clock.kind = lower.find("::date") != std::string::npos ? ColumnDefault::Kind::kCurrentDate
                     : lower.find("::time") != std::string::npos
                         ? ColumnDefault::Kind::kCurrentTime
                         : ColumnDefault::Kind::kCurrentTimestamp;
        clock.utc = true;
        return clock;
    }
    const SourceExpression read = PostgreSQLDialect().Read(expression);
    if (read.tree) {
        if (std::optional<ColumnDefault> clock = ClockThroughText(*read.tree, expression))
            return *clock;
    }
    return PostgreSQLDialect().WithExpression(CommonDefault(text, expression));
}

// A temporary table of the session: the COPY connection that loads it may be a new one
// for a later run, which then makes it again.
std::string PostgreSQLDialect::ByteOrder(std::string_view expression) const {
    return std::string(expression) + " COLLATE \"C\"";
}

std::string PostgreSQLDialect::AsText(std::string_view expression) const {
    return "CAST(" + std::string(expression) + " AS text)";
}

std::string PostgreSQLDialect::StagingTable(std::string_view name) const {
    return "pg_temp." + std::string(name);
}

std::string PostgreSQLDialect::CreateStaging(std::string_view name, std::string_view table,
                                             const std::vector<std::string>& columns) const {
    return "CREATE TEMPORARY TABLE IF NOT EXISTS " + std::string(name) + " AS SELECT " +
           QuotedNames(columns) + " FROM " + std::string(table) + " WITH NO DATA";
}

std::string PostgreSQLDialect::DropStaging(std::string_view name) const {
    return "DROP TABLE IF EXISTS " + StagingTable(name);
}

// A temporary table is never vacuumed: rows deleted run after run would stay behind and be
// read by every later run. TRUNCATE leaves nothing.
std::string PostgreSQLDialect::ClearStaging(std::string_view name) const {
    return "TRUNCATE " + StagingTable(name);
}

std::string PostgreSQLDialect::UpsertStatement(std::string_view staging, std::string_view table,
                                               const std::vector<std::string>& columns,
                                               const std::vector<std::string>& key) const {
    return OnConflictUpsert(staging, table, columns, key);
}

}  // namespace korvanta

namespace korvanta {

// An instant in UTC with its offset written out, whatever the session's zone: the other
// database compares it as an instant, not as the text of this session's wall clock.
std::string PostgreSQLDialect::LargestQuery(std::string_view table, std::string_view column,
                                            ValueKind kind) const {
    if (kind != ValueKind::kTimestampTz)
        return Dialect::LargestQuery(table, column, kind);
    return "SELECT to_char(max(" + QuotedName(column) +
           ") AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS.US') || '+00:00' FROM " +
           std::string(table);
}

// 55P03 lock_not_available: lock_timeout or NOWAIT met another session's lock.
bool PostgreSQLDialect::LockConflict(std::string_view state, int native) const {
    return state == "55P03" || Dialect::LockConflict(state, native);
}

}  // namespace korvanta
