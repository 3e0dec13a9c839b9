#include "sql/dialect/SqliteDialect.h"

#include <cctype>
#include <charconv>
#include <cstdio>

#include "adodb/Enums.h"
#include "adodb/TextCodec.h"
#include "sql/dialect/CatalogText.h"
#include "sql/model/SqlName.h"

namespace korvanta {

namespace {

using namespace catalogtext;

bool IsInteger(TypeKind kind) {
    return kind == TypeKind::kSmallInt || kind == TypeKind::kInteger || kind == TypeKind::kBigInt;
}

// The mark before a value of quote() (see ExactRowsQuery), and the one before the hex
// digits of a value held as bytes: a byte no UTF-8 text holds.
constexpr char kMark = '\x01';
constexpr char kBytesMark = '\xff';
constexpr char kTextMark = '\xfe';  // before a text's bytes in hex (VerifyRowsQuery)

}  // namespace

const Capabilities& SqliteDialect::Can() const {
    static const Capabilities kCan = [] {
        Capabilities can;
        can.constraintsOnlyWithTable = true;
        can.namedConstraints = true;
        can.partialIndexes = true;
        can.expressionIndexes = true;
        can.deferrableKeys = true;
        can.checks = true;
        can.nullsSortFirst = true;
        can.arraysKeepFirstBinaryLength = true;
        return can;
    }();
    return kCan;
}

std::shared_ptr<const Dialect> SqliteDialect::WithSetting(std::string_view) const {
    return std::make_shared<SqliteDialect>();
}

// NUMERIC and REAL affinity turn "1.50" into 1.5: numbers that must come back as written
// are declared with TEXT affinity.
std::string SqliteDialect::Declaration(const ColumnType& type, std::string& notExact) const {
    switch (type.kind) {
        case TypeKind::kSmallInt:
            return "SMALLINT";
        case TypeKind::kInteger:
            return "INT4";
        case TypeKind::kBigInt:
            return "BIGINT";
        case TypeKind::kNumeric:
            return type.precision < 0 ? "NUMERIC TEXT" : Decimal("NUMERIC TEXT", type);
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
            return Fractional("TIMESTAMP WITH TIME ZONE", type);  // SQLite takes (n) last only
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

ExpressionSyntax SqliteDialect::Syntax() const {
    ExpressionSyntax syntax;
    syntax.bracketNames = true;
    syntax.likeIgnoresCase = true;
    syntax.typeOf = [](std::string_view name) { return ReadType(name); };
    return syntax;
}

// SQLite's LIKE ignores the case of letters; GLOB is its match that does not.
std::string SqliteDialect::MatchOperator(Expr::Match match) const {
    switch (match) {
        case Expr::Match::kLikeIgnoringCase:
            return "LIKE";
        case Expr::Match::kGlob:
            return "GLOB";
        case Expr::Match::kLike:
            break;
    }
    return {};
}

// SQLite casts to its storage classes only; a date, time, truth value or GUID it keeps as
// the text (or number) it was given, so a literal cast to one of them is the literal.
std::string SqliteDialect::Cast(const ColumnType& to, const Expr& operand,
                                const std::string& operandText, std::string& why) const {
    const char* storage = nullptr;
    switch (to.kind) {
        case TypeKind::kSmallInt:
        case TypeKind::kInteger:
        case TypeKind::kBigInt:
            storage = "INTEGER";
            break;
        case TypeKind::kReal:
        case TypeKind::kDouble:
            storage = "REAL";
            break;
        case TypeKind::kNumeric:
            storage = "NUMERIC";
            break;
        case TypeKind::kChar:
        case TypeKind::kVarChar:
        case TypeKind::kText:
        case TypeKind::kOther:
            storage = "TEXT";
            break;
        case TypeKind::kBinary:
            storage = "BLOB";
            break;
        default:
            if (operand.kind == Expr::Kind::kString || operand.kind == Expr::Kind::kNumber)
                return operandText;
            why = "a cast to " + to.name;
            return {};
    }
    return "CAST(" + operandText + " AS " + storage + ")";
}

// SQLite's strings have no escape: a line break is joined in as char(10) or char(13).
std::string SqliteDialect::OneLineString(std::string_view text) const {
    if (text.find_first_of("\r\n") == std::string_view::npos)
        return String(text);
    std::string joined = "(";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find_first_of("\r\n", start);
        joined += String(text.substr(start, end - start));
        if (end == std::string_view::npos)
            break;
        joined += text[end] == '\n' ? " || char(10) || " : " || char(13) || ";
        start = end + 1;
    }
    return joined + ")";
}

void SqliteDialect::AppendBinary(std::string& buffer, std::string_view hex) const {
    buffer += "X'";
    buffer += hex;
    buffer += '\'';
}

std::string SqliteDialect::CollationClause(const Collation& collation, std::string& why) const {
    if (collation.kind == Collation::Kind::kIgnoringCase)
        return " COLLATE NOCASE";
    return Dialect::CollationClause(collation, why);
}

// NOT NULL goes with the table or never.
namespace {

// A number of at most 15 significant digits and 17 characters, no exponent: one that any
// double holds and gives back as written (most values).
bool FewDigits(std::string_view text) {
    if (text.size() > 17)
        return false;
    std::size_t digits = 0;
    bool point = false, leading = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            leading = leading && c == '0';
            digits += leading ? 0 : 1;
        } else if (c == '.' && !point) {
            point = true;
        } else if (i != 0 || (c != '-' && c != '+')) {
            return false;
        }
    }
    return digits <= 15;
}

}  // namespace

// The simple mode's NUMERIC column has SQLite's NUMERIC affinity, which keeps a number that
// is no 64-bit integer as a double (an exact copy declares NUMERIC TEXT, which keeps the
// text): a decimal that no double holds would change.
std::optional<ValueProblem> SqliteDialect::Unstorable(std::string_view text, ValueRule rule) const {
    if (std::optional<ValueProblem> problem = Dialect::Unstorable(text, rule))
        return problem;
    if (rule.kind != ValueKind::kDecimal || !rule.simpleColumn || FewDigits(text))
        return std::nullopt;
    const std::optional<std::string> plain = PlainDecimal(text);
    if (!plain)
        return std::nullopt;  // no number: SQLite keeps it as text
    std::string_view digits = *plain;
    const bool negative = digits.front() == '-';
    if (negative)
        digits.remove_prefix(1);
    // A whole number within 64 bits becomes an INTEGER, exact; any other a double, read
    // back as its 15 significant digits.
    if (digits.find('.') == std::string_view::npos &&
        (digits.size() < 19 ||
         (digits.size() == 19 &&
          digits <= (negative ? "9223372036854775808" : "9223372036854775807"))))
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(plain->data(), plain->data() + plain->size(), value);
    std::string kept;
    adodb::detail::AppendDouble(kept, value);
    if (error == std::errc() && PlainDecimal(kept) == plain)
        return std::nullopt;
    return ValueProblem{"The value \"" + std::string(text) +
                            "\" is not kept by a NUMERIC column of SQLite, which holds it as a "
                            "double: it would become " +
                            kept + ".",
                        "22003"};
}

std::string SqliteDialect::ColumnOptions(const ColumnSchema& column) const {
    return column.notNull ? " NOT NULL" : "";
}

// SQLite numbers a table's rows itself only in an INTEGER PRIMARY KEY of one column.
std::string SqliteDialect::IdentityKeyColumn(const TableSchema& table) const {
    if (table.primaryKey.size() != 1)
        return {};
    for (const ColumnSchema& column : table.columns) {
        if (column.name == table.primaryKey[0] && column.identity && IsInteger(column.type.kind))
            return column.name;
    }
    return {};
}

std::string SqliteDialect::IdentityKeyDefinition(std::string_view quotedName,
                                                 std::string_view constraint) const {
    return std::string(quotedName) + " INTEGER " + std::string(constraint) +
           "PRIMARY KEY AUTOINCREMENT";
}

std::string SqliteDialect::IdentityClause(std::string& why) const {
    why = "SQLite numbers only a one-column INTEGER PRIMARY KEY";
    return {};
}

// SQLite keeps each value's kind (its storage class) apart from its column's declaration: a
// TEXT column may hold bytes, a BLOB column text, an INTEGER column a double. Its driver
// fetches by the declaration: in a column it reads as text it gives bytes as the text X'..'
// and a double as SQLite's 15 significant digits, which a text may also be: the copy asks
// the database, once per column, which kinds the column holds (StoredKindQuery). 15 digits
// are another double for some doubles (1/7), and a column the driver reads as bytes gives a
// text as its bytes. So a column where doubles are at home (declared or read as floating,
// decimal or numeric, or not declared at all) or that may go as bytes is read through an
// expression: doubles as quote()'s text behind a mark (a character 1), SQLite's own 15 digits
// where they read back as the same double, else 21 digits; bytes as their hex digits behind
// a mark that no UTF-8 text starts with (the byte FF); a text that starts with either mark
// behind a character 1. Only those columns pay for the expression: over every column it
// cost a tenth of the reading.
std::string SqliteDialect::ExactRowsQuery(std::string_view from,
                                          const std::vector<SourceField>& fields,
                                          std::vector<std::uint8_t>& marks) const {
    marks.assign(fields.size(), kRendered);
    const std::string ff = "CAST(X'FF' AS TEXT)";
    std::string columns;
    bool any = false;
    for (std::size_t j = 0; j < fields.size(); ++j) {
        const std::string n = QuotedName(fields[j].name);
        columns += columns.empty() ? "" : ", ";
        if (HoldsDoubles(fields[j]) || MayHoldBytes(fields[j])) {
            marks[j] = kDouble;
            columns += "CASE typeof(" + n + ") WHEN 'real' THEN char(1) || quote(" + n +
                       ") WHEN 'text' THEN CASE WHEN substr(" + n + ", 1, 1) IN (char(1), " + ff +
                       ") THEN char(1) || " + n + " ELSE " + n + " END WHEN 'blob' THEN " + ff +
                       " || hex(" + n + ") ELSE " + n + " END AS " + n;
        } else {
            // A text column holds no double: SQLite made it text on the way in.
            const TypeKind kind = DeclaredType(fields[j]).kind;
            if (kind != TypeKind::kText && kind != TypeKind::kVarChar && kind != TypeKind::kChar)
                marks[j] = kRenderedNumber;
            columns += n;
            continue;
        }
        any = true;
    }
    return any ? "SELECT " + columns + " FROM " + std::string(from) : std::string();
}

// Every value by its own kind, whatever the column declares: doubles as quote() gives them,
// bytes and texts as their bytes' hex digits (a text's whole bytes: the driver cuts a text at
// a NUL), each behind a mark of its kind.
std::string SqliteDialect::VerifyRowsQuery(std::string_view from,
                                           const std::vector<SourceField>& fields,
                                           std::vector<std::uint8_t>& marks) const {
    marks.assign(fields.size(), kEveryKind);
    std::string columns;
    for (const SourceField& field : fields) {
        const std::string n = QuotedName(field.name);
        columns += (columns.empty() ? "" : ", ") + std::string("CASE typeof(") + n +
                   ") WHEN 'real' THEN char(1) || quote(" + n +
                   ") WHEN 'blob' THEN CAST(X'FF' AS TEXT) || hex(" + n +
                   ") WHEN 'text' THEN CAST(X'FE' AS TEXT) || hex(" + n + ") ELSE " + n +
                   " END AS " + n;
    }
    return "SELECT " + columns + " FROM " + std::string(from);
}

std::string_view SqliteDialect::MarkLeads() const {
    return "\x01\xfe\xffX";
}

// A double as the driver writes it has a point ("0.5", "1.0e+20") or is "Inf" or "-Inf".
std::string_view SqliteDialect::MarkInside(std::uint8_t mark) const {
    return mark == kRenderedNumber ? ".I" : "";
}

bool SqliteDialect::MayHoldBytes(const SourceField& field) {
    return field.type == adodb::adBinary || field.type == adodb::adVarBinary ||
           field.type == adodb::adLongVarBinary || DeclaredType(field).kind == TypeKind::kBinary;
}

bool SqliteDialect::HoldsDoubles(const SourceField& field) {
    if (field.type == adodb::adDouble || field.type == adodb::adSingle)
        return true;
    if (field.declared && Trim(*field.declared).empty())
        return true;  // no declared type: any kind of value
    const TypeKind kind = DeclaredType(field).kind;
    return kind == TypeKind::kNumeric || kind == TypeKind::kReal || kind == TypeKind::kDouble ||
           kind == TypeKind::kOther;
}

ColumnType SqliteDialect::DeclaredType(const SourceField& field) {
    return ReadType(field.declared ? *field.declared : field.nativeTypeName);
}

std::string SqliteDialect::DeclaredTypesQuery(std::string_view table) const {
    return "SELECT name, type FROM pragma_table_xinfo(" + String(table) + ")";
}

namespace {

// The digits of a number's text from its first that is not 0 to its last that is not 0.
std::size_t SignificantDigits(std::string_view mantissa) {
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return 0;
    const std::size_t last = mantissa.find_last_of("123456789");
    std::size_t digits = last - first + 1;
    if (mantissa.find('.', first) < last)
        --digits;
    return digits;
}

// The driver's text of bytes: X'..' with two capital hex digits a byte.
bool RendersBytes(std::string_view text) {
    return text.size() >= 3 && text.substr(0, 2) == "X'" && text.back() == '\'' &&
           text.size() % 2 == 1 && text.find_first_not_of("0123456789ABCDEF", 2) == text.size() - 1;
}

// SQLite's text of a double (%!.15g): "0.5", "-1.0e+20", "Inf", "-Inf".
bool RendersDouble(std::string_view text) {
    if (text == "Inf" || text == "-Inf")
        return true;
    if (!text.empty() && text[0] == '-')
        text.remove_prefix(1);
    return !text.empty() && text[0] >= '0' && text[0] <= '9' &&
           text.find_first_not_of("0123456789.e+-") == std::string_view::npos &&
           text.find_first_of(".e") != std::string_view::npos;
}

}  // namespace

Dialect::ExactRead SqliteDialect::ExactValue(std::string_view text, std::uint8_t mark,
                                             std::string& scratch) const {
    if (mark == kRendered || mark == kRenderedNumber) {
        if (RendersBytes(text))
            return {text.substr(2, text.size() - 3), true, true};
        return {text, false, mark == kRenderedNumber && RendersDouble(text)};
    }
    if (!text.empty() && text[0] == kBytesMark)
        return {text.substr(1), true};
    if (mark == kEveryKind && !text.empty() && text[0] == kTextMark) {
        scratch.clear();
        for (std::size_t i = 1; i + 1 < text.size(); i += 2)
            scratch += static_cast<char>(adodb::detail::HexDigit(text[i]) * 16 +
                                         adodb::detail::HexDigit(text[i + 1]));
        return {scratch};
    }
    return {DoubleValue(text, scratch)};
}

// Whether the column holds texts that read like the driver's text of bytes, whether it holds
// bytes, and whether it holds doubles, in the snapshot of the read that runs on the same
// connection.
std::string SqliteDialect::StoredKindQuery(std::string_view from, std::string_view column) const {
    const std::string n = QuotedName(column);
    const std::string in = " FROM " + std::string(from) + " WHERE typeof(" + n + ") = ";
    return "SELECT EXISTS (SELECT 1" + in + "'text' AND " + n +
           " GLOB 'X''*''' COLLATE BINARY), EXISTS (SELECT 1" + in + "'blob'), EXISTS (SELECT 1" +
           in + "'real')";
}

// quote()'s text of a double: SQLite's own text where its 15 digits are exact, kept as it is
// ("0.00012", "1.0e+20", "123456789012345.0"); else 21 digits before an exponent, "Inf" or
// "-Inf", read and written as the shortest exact text. The 15 digits' mantissa is at most 16
// characters, the longer form's 22; without an exponent SQLite's text ends with a digit, Inf
// does not.
std::string_view SqliteDialect::DoubleValue(std::string_view text, std::string& scratch) {
    if (text.empty() || text[0] != kMark)
        return text;
    text.remove_prefix(1);
    if (text.empty() || text[0] == kMark || text[0] == kBytesMark)
        return text;  // a text value that starts with a mark
    const std::size_t exponent = text.find('e');
    const std::size_t sign = text[0] == '-' ? 1 : 0;
    if (exponent == std::string_view::npos ? text.back() >= '0' && text.back() <= '9'
                                           : exponent - sign <= 17) {
        // SQLite's own text is the shortest but where it has all 15 digits: fewer digits
        // may name the same double (5e-324, which it writes 4.94065645841247e-324).
        const std::string_view mantissa = text.substr(0, exponent);
        if (mantissa.size() < 15 || SignificantDigits(mantissa) < 15)
            return text;
        double value = 0;
        if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc())
            return text;
        scratch.clear();
        adodb::detail::AppendDouble(scratch, value);
        const std::size_t e = scratch.find('e');
        return SignificantDigits(std::string_view(scratch).substr(0, e)) < 15
                   ? std::string_view(scratch)
                   : text;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return text;
    scratch.clear();
    adodb::detail::AppendDouble(scratch, value);
    return scratch;
}

bool SqliteDialect::IsOwnName(std::string_view name) {
    return Lower(name.substr(0, 7)) == "sqlite_";
}

// SQLite gives a declared type its affinity by five rules, in order: "INT" anywhere makes
// it INTEGER; "CHAR", "CLOB" or "TEXT" TEXT; "BLOB", or no type, BLOB (values kept as
// given); "REAL", "FLOA" or "DOUB" REAL; anything else NUMERIC. The kind follows the
// affinity; within NUMERIC, the names that say what their values are (dates, truth values,
// GUIDs, decimals) keep that meaning, and the other names go as text that keeps the value.
ColumnType SqliteDialect::ReadType(std::string_view declared) {
    const std::string t = Lower(Trim(declared));
    int a = -1, b = -1;
    Modifiers(t, a, b);
    const std::string base(Trim(t.substr(0, t.find('('))));
    const auto has = [&](const char* part) { return base.find(part) != std::string::npos; };
    // The declarations an exact copy writes for values that must come back as written.
    if (StartsWith(base, "numeric text"))
        return Numeric(declared, a, b);
    if (base == "real text")
        return Of(TypeKind::kReal, declared);
    if (base == "double text")
        return Of(TypeKind::kDouble, declared);
    if (has("int")) {
        if (base == "int2" || base == "smallint" || base == "tinyint")
            return Of(TypeKind::kSmallInt, declared);
        if (base == "int4" || base == "mediumint")
            return Of(TypeKind::kInteger, declared);
        // SQLite's integers are 64 bits whatever the declaration says.
        return Of(TypeKind::kBigInt, declared);
    }
    if (has("char") || has("clob") || has("text")) {
        if ((has("varchar") || has("varying")) && a > 0)
            return Of(TypeKind::kVarChar, declared, a);
        if (has("char") && a > 0)
            return Of(TypeKind::kChar, declared, a);
        return Of(TypeKind::kText, declared);
    }
    if (base.empty())
        return Of(TypeKind::kText, declared);
    if (has("blob"))
        return Of(TypeKind::kBinary, declared);
    if (has("real") || has("floa") || has("doub"))
        return Of(TypeKind::kDouble, declared);
    return NumericAffinity(declared, base, a, b);
}

ColumnType SqliteDialect::NumericAffinity(std::string_view declared, const std::string& base, int a,
                                          int b) {
    const std::string t = Lower(Trim(declared));
    if (StartsWith(base, "numeric") || StartsWith(base, "decimal"))
        return Numeric(declared, a, b);
    if ((StartsWith(base, "timestamp") && t.find("with time zone") != std::string::npos) ||
        base == "timestamptz")
        return Fraction(TypeKind::kTimestampTz, declared, a);
    if (StartsWith(base, "timestamp") || base == "datetime")
        return Fraction(TypeKind::kTimestamp, declared, a);
    if (base == "date")
        return Of(TypeKind::kDate, declared);
    if (StartsWith(base, "time"))
        return Fraction(TypeKind::kTime, declared, a);
    if (base == "boolean" || base == "bool" || base == "bit")
        return Of(TypeKind::kBoolean, declared);
    if (base == "uuid" || base == "guid" || base == "uniqueidentifier")
        return Of(TypeKind::kUuid, declared);
    if (base == "binary" || base == "varbinary")
        return Of(TypeKind::kBinary, declared);
    return Of(TypeKind::kOther, declared);
}

namespace {

// SQLite's clocks, as Clock writes them and as its catalog gives them back.
struct SqliteClock {
    TypeKind kind;
    bool utc;
    const char* text;
};
constexpr SqliteClock kClocks[] = {
    {TypeKind::kDate, true, "CURRENT_DATE"},
    {TypeKind::kTime, true, "CURRENT_TIME"},
    {TypeKind::kTimestamp, true, "CURRENT_TIMESTAMP"},
    {TypeKind::kDate, false, "(date('now', 'localtime'))"},
    {TypeKind::kTime, false, "(time('now', 'localtime'))"},
    {TypeKind::kTimestamp, false, "(datetime('now', 'localtime'))"},
    {TypeKind::kTimestampTz, false, "(strftime('%Y-%m-%d %H:%M:%f+00:00', 'now'))"},
};

std::string Squeezed(std::string_view text) {
    std::string squeezed;
    for (const char c : text) {
        if (!std::isspace(static_cast<unsigned char>(c)))
            squeezed += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return squeezed;
}

}  // namespace

// SQLite's CURRENT_DATE, CURRENT_TIME and CURRENT_TIMESTAMP are in UTC; local time and an
// instant with its zone it has only as functions of 'now'.
std::string SqliteDialect::Clock(TypeKind kind, bool utc, int) const {
    if (kind == TypeKind::kTimestampTz)
        utc = false;
    for (const SqliteClock& clock : kClocks) {
        if (clock.kind == kind && clock.utc == utc)
            return clock.text;
    }
    return {};
}

ColumnDefault SqliteDialect::ReadDefault(std::string_view text) {
    // Its catalog gives an expression's default without the parentheses it was written in.
    const std::string squeezed = Squeezed(WithoutCasts(text));
    for (const SqliteClock& clock : kClocks) {
        if (Squeezed(WithoutCasts(clock.text)) != squeezed)
            continue;
        ColumnDefault d = CommonDefault("current_timestamp", text);
        d.kind = clock.kind == TypeKind::kDate   ? ColumnDefault::Kind::kCurrentDate
                 : clock.kind == TypeKind::kTime ? ColumnDefault::Kind::kCurrentTime
                                                 : ColumnDefault::Kind::kCurrentTimestamp;
        d.utc = clock.utc;
        return d;
    }
    // A default names no column, so SQLite takes a double-quoted word there for a string:
    // DEFAULT "" is the empty string.
    if (std::optional<ColumnDefault> quoted = QuotedDefault(text, '"', text))
        return *quoted;
    return SqliteDialect().WithExpression(CommonDefault(WithoutCasts(text), text));
}

// SQLite parses MATCH and ignores it: every key is held to MATCH SIMPLE there.
std::string SqliteDialect::ReferentialClauses(const ForeignKeySchema& key,
                                              std::string& lost) const {
    ForeignKeySchema simple = key;
    simple.matchFull = false;
    std::string clauses = Dialect::ReferentialClauses(simple, lost);
    if (key.matchFull)
        lost = (lost.empty() ? "" : lost + "; ") +
               "MATCH FULL: SQLite holds every key to MATCH SIMPLE";
    return clauses;
}

// SQLite has no TRUNCATE; a DELETE without WHERE empties the table just as fast.
std::string SqliteDialect::EmptyTableStatement(std::string_view table) const {
    return "DELETE FROM " + std::string(table);
}

std::string SqliteDialect::NullSafeEqual(std::string_view a, std::string_view b) const {
    return std::string(a) + " IS " + std::string(b);
}

std::string SqliteDialect::ByteOrder(std::string_view expression) const {
    return std::string(expression) + " COLLATE BINARY";
}

std::string SqliteDialect::AsText(std::string_view expression) const {
    return "CAST(" + std::string(expression) + " AS TEXT)";
}

std::string SqliteDialect::StagingTable(std::string_view name) const {
    return "temp." + std::string(name);
}

std::string SqliteDialect::CreateStaging(std::string_view name, std::string_view table,
                                         const std::vector<std::string>& columns) const {
    return "CREATE TEMPORARY TABLE IF NOT EXISTS " + std::string(name) + " AS SELECT " +
           QuotedNames(columns) + " FROM " + std::string(table) + " WHERE 0";
}

std::string SqliteDialect::DropStaging(std::string_view name) const {
    return "DROP TABLE IF EXISTS " + StagingTable(name);
}

// SQLite names the index's schema, not the table's.
std::string SqliteDialect::IndexStaging(std::string_view name,
                                        const std::vector<std::string>& columns) const {
    return "CREATE INDEX temp." + std::string(name) + "_key ON " + std::string(name) + " (" +
           QuotedNames(columns) + ")";
}

std::string SqliteDialect::UpsertStatement(std::string_view staging, std::string_view table,
                                           const std::vector<std::string>& columns,
                                           const std::vector<std::string>& key) const {
    return OnConflictUpsert(staging, table, columns, key);
}

}  // namespace korvanta

namespace korvanta {

namespace {

constexpr int kSqliteBusy = 5;  // SQLITE_BUSY

bool General(std::string_view state) {
    return state == "HY000" || state == "S1000";
}

bool IsTimeKind(ValueKind kind) {
    return kind == ValueKind::kDate || kind == ValueKind::kTime || kind == ValueKind::kTimestamp ||
           kind == ValueKind::kTimestampTz;
}

}  // namespace

// SQLite holds times as text in any of its forms, with or without an offset: they compare as
// instants (julianday reads each form and its offset), a second early, so that no row of the
// same instant is missed by rounding (a merge reads a row twice without harm); a value no
// form reads is read too.
std::string SqliteDialect::AtOrAfter(std::string_view column, std::string_view largest,
                                     ValueKind kind) const {
    if (!IsTimeKind(kind))
        return Dialect::AtOrAfter(column, largest, kind);
    const std::string day = "julianday(" + QuotedName(column) + ")";
    return "(" + day + " IS NULL OR " + day + " >= julianday(" + String(largest) +
           ") - 1.0 / 86400)";
}

// The latest instant, not the largest text: texts of other forms or offsets order otherwise.
std::string SqliteDialect::LargestQuery(std::string_view table, std::string_view column,
                                        ValueKind kind) const {
    if (!IsTimeKind(kind))
        return Dialect::LargestQuery(table, column, kind);
    const std::string day = "julianday(" + QuotedName(column) + ")";
    return "SELECT CAST(" + QuotedName(column) + " AS TEXT) FROM " + std::string(table) +
           " WHERE " + day + " IS NOT NULL ORDER BY " + day + " DESC LIMIT 1";
}

// sqliteodbc reports a busy database as a general error with SQLite's result code.
bool SqliteDialect::LockConflict(std::string_view state, int native) const {
    return General(state) && native == kSqliteBusy;
}

// sqliteodbc reports every refusal as a general error: a broken constraint may be among them.
bool SqliteDialect::IntegrityViolation(std::string_view state) const {
    return General(state) || state.empty() || Dialect::IntegrityViolation(state);
}

}  // namespace korvanta
