#include "sql/dialect/SqlAnywhereDialect.h"

#include <cctype>

#include "sql/dialect/CatalogText.h"
#include "sql/model/SqlName.h"

namespace korvanta {

namespace {

using namespace catalogtext;

// NUMERIC keeps at most this many digits.
constexpr int kMostDigits = 127;
// CHAR(n CHAR) and VARCHAR(n CHAR) hold at most 32767 bytes, and a character takes up to
// 4 bytes in UTF-8: longer columns are LONG VARCHAR.
constexpr int kMostCharacters = 32767 / 4;

std::string Characters(std::string_view word, int length) {
    if (length <= 0 || length > kMostCharacters)
        return "LONG VARCHAR";
    return std::string(word) + "(" + std::to_string(length) + " CHAR)";
}

}  // namespace

const Capabilities& SqlAnywhereDialect::Can() const {
    static const Capabilities kCan = [] {
        Capabilities can;
        can.namedConstraints = true;
        can.checks = true;
        can.nullsSortFirst = true;
        can.keyColumnsNeedNotNull = true;
        can.uniqueConstraintsRefuseNull = true;
        return can;
    }();
    return kCan;
}

std::shared_ptr<const Dialect> SqlAnywhereDialect::WithSetting(std::string_view) const {
    return std::make_shared<SqlAnywhereDialect>();
}

// A bare NUMERIC there means NUMERIC(30,6): an unconstrained number keeps its value only as
// text.
std::string SqlAnywhereDialect::Declaration(const ColumnType& type, std::string& notExact) const {
    switch (type.kind) {
        case TypeKind::kSmallInt:
            return "SMALLINT";
        case TypeKind::kInteger:
            return "INTEGER";
        case TypeKind::kBigInt:
            return "BIGINT";
        case TypeKind::kNumeric:
            if (type.precision > 0 && type.precision <= kMostDigits && OrdinaryScale(type))
                return Decimal("NUMERIC", type);
            notExact = type.precision < 0 ? "a number of any precision, its values as text"
                       : type.precision > kMostDigits
                           ? "more digits than SQL Anywhere's NUMERIC holds, its values as text"
                           : "a scale below 0 or above the precision, its values as text";
            return "LONG VARCHAR";
        case TypeKind::kReal:
            return "REAL";
        case TypeKind::kDouble:
            return "DOUBLE";
        case TypeKind::kChar:
            return Characters("CHAR", type.length);
        case TypeKind::kVarChar:
            return Characters("VARCHAR", type.length);
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

// Casts name SQL Anywhere's types: "numeric(10,2)", "varchar(20)", "long varchar".
ExpressionSyntax SqlAnywhereDialect::Syntax() const {
    ExpressionSyntax syntax;
    syntax.bracketNames = true;
    syntax.backslashStrings = true;
    syntax.typeOf = [](std::string_view name) {
        int width = -1, scale = -1;
        Modifiers(name, width, scale);
        return ReadType(Trim(name.substr(0, name.find('('))), width, scale);
    };
    return syntax;
}

// '...' reads a backslash as the start of an escape: every backslash is doubled too.
void SqlAnywhereDialect::AppendString(std::string& buffer, std::string_view text) const {
    buffer += '\'';
    for (const char c : text) {
        buffer += c;
        if (c == '\'' || c == '\\')
            buffer += c;
    }
    buffer += '\'';
}

// Its only escapes are \n, \xHH and \\ (a backslash before any other character is two
// characters): every other control character is written \xHH.
std::string SqlAnywhereDialect::OneLineString(std::string_view text) const {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped = "'";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\\' || c == '\'') {
            escaped += c;
            escaped += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xF];
        } else {
            escaped += c;
        }
    }
    return escaped + "'";
}

// 0x with no digits is not shown to be a binary value: an empty one is a cast.
void SqlAnywhereDialect::AppendBinary(std::string& buffer, std::string_view hex) const {
    if (hex.empty()) {
        buffer += "CAST('' AS LONG BINARY)";
        return;
    }
    buffer += "0x";
    buffer += hex;
}

// Its zone offsets are written +HH:MM: PostgreSQL's whole-hour "+01" gets its minutes.
// (An offset with seconds stays as it is: SQL Anywhere refuses it, and the row is reported.)
std::string_view SqlAnywhereDialect::WrittenValue(std::string_view text, ValueRule rule,
                                                  std::string& scratch) const {
    const std::size_t n = text.size();
    if (rule.kind != ValueKind::kTimestampTz || n < 4 ||
        (text[n - 3] != '+' && text[n - 3] != '-') ||
        !std::isdigit(static_cast<unsigned char>(text[n - 1])) ||
        !std::isdigit(static_cast<unsigned char>(text[n - 2])) ||
        !std::isdigit(static_cast<unsigned char>(text[n - 4])))
        return text;
    scratch.assign(text);
    scratch += ":00";
    return scratch;
}

bool SqlAnywhereDialect::WritesAsRead(ValueRule rule) const {
    return rule.kind != ValueKind::kTimestampTz;
}

// Its dates run from 0001-01-01 to 9999-12-31, and a TIMESTAMP before 1600-02-28 keeps no
// time of day. The values come as PostgreSQL writes them in ISO form ("2024-01-05 13:45:00",
// "0044-03-15 BC", "infinity").
std::optional<ValueProblem> SqlAnywhereDialect::Unstorable(std::string_view text,
                                                           ValueRule rule) const {
    if (rule.kind == ValueKind::kDecimal && rule.simpleColumn) {
        rule.precision = 30;  // a bare NUMERIC
        rule.scale = 6;
    }
    if (std::optional<ValueProblem> problem = Dialect::Unstorable(text, rule))
        return problem;
    const bool stamp = rule.kind == ValueKind::kTimestamp || rule.kind == ValueKind::kTimestampTz;
    if (!stamp && rule.kind != ValueKind::kDate)
        return std::nullopt;
    const auto refused = [&](const std::string& why) {
        return ValueProblem{"The value \"" + std::string(text) + "\" " + why + ".", "22008"};
    };
    const std::size_t dash = text.find('-', 1);
    if (text.find("infinity") != std::string_view::npos)
        return refused("has no counterpart in SQL Anywhere, whose dates end at 9999-12-31");
    if (text.size() >= 3 && text.substr(text.size() - 3) == " BC")
        return refused("is before 0001-01-01, where SQL Anywhere's dates begin");
    if (dash == std::string_view::npos || dash > 4)
        return refused("is past 9999-12-31, where SQL Anywhere's dates end");
    if (!stamp || text.substr(0, 10) >= "1600-02-28" || text.size() < 19)
        return std::nullopt;
    const std::string_view time = text.substr(11);
    if (time.find_first_not_of("0:.", 0) < time.find_first_of("+-"))
        return refused("has a time of day before 1600-02-28, which SQL Anywhere does not keep");
    return std::nullopt;
}

bool SqlAnywhereDialect::Checks(ValueRule rule) const {
    return rule.kind == ValueKind::kDecimal || rule.kind == ValueKind::kDate ||
           rule.kind == ValueKind::kTimestamp || rule.kind == ValueKind::kTimestampTz;
}

// BIT takes no NULL unless told.
std::string SqlAnywhereDialect::ColumnOptions(const ColumnSchema& column) const {
    return column.type.kind == TypeKind::kBoolean && !column.notNull ? " NULL" : "";
}

std::string SqlAnywhereDialect::IdentityClause(std::string&) const {
    return " DEFAULT AUTOINCREMENT";
}

namespace {

// SQL Anywhere's referential actions: RESTRICT, its default, is left unwritten, and so is
// NO ACTION, which it has not (it checks at once, as RESTRICT does).
std::string Action(std::string_view clause, ReferentialAction action) {
    switch (action) {
        case ReferentialAction::kCascade:
            return " " + std::string(clause) + " CASCADE";
        case ReferentialAction::kSetNull:
            return " " + std::string(clause) + " SET NULL";
        case ReferentialAction::kSetDefault:
            return " " + std::string(clause) + " SET DEFAULT";
        case ReferentialAction::kRestrict:
        case ReferentialAction::kNoAction:
            break;
    }
    return {};
}

}  // namespace

// ON UPDATE before ON DELETE, as its grammar shows them; a key checked at the end of the
// transaction is CHECK ON COMMIT, and there is no key that may be deferred but is not.
std::string SqlAnywhereDialect::ReferentialClauses(const ForeignKeySchema& key,
                                                   std::string& lost) const {
    // MATCH comes before the actions in its grammar, as in PostgreSQL's.
    std::string clauses = std::string(key.matchFull ? " MATCH FULL" : "") +
                          Action("ON UPDATE", key.onUpdate) + Action("ON DELETE", key.onDelete);
    if (key.initiallyDeferred)
        clauses += " CHECK ON COMMIT";
    else if (key.deferrable)
        lost = "DEFERRABLE INITIALLY IMMEDIATE: SQL Anywhere checks a key at once or at commit";
    return clauses;
}

std::string SqlAnywhereDialect::NullsNotDistinct(bool& afterColumns) const {
    afterColumns = false;
    return " WITH NULLS NOT DISTINCT";
}

std::string SqlAnywhereDialect::CollationClause(const Collation& collation,
                                                std::string& why) const {
    if (collation.kind == Collation::Kind::kIgnoringCase) {
        why =
            "comparison that ignores case: SQL Anywhere's case rule belongs to the whole "
            "database";
        return {};
    }
    return Dialect::CollationClause(collation, why);
}

// Its clocks are local, but for CURRENT UTC TIMESTAMP; none takes digits of a second.
std::string SqlAnywhereDialect::Clock(TypeKind kind, bool utc, int) const {
    switch (kind) {
        case TypeKind::kDate:
            return utc ? std::string() : "CURRENT DATE";
        case TypeKind::kTime:
            return utc ? std::string() : "CURRENT TIME";
        case TypeKind::kTimestamp:
            return utc ? "CURRENT UTC TIMESTAMP" : "CURRENT TIMESTAMP";
        default:
            return "CURRENT TIMESTAMP";
    }
}

// IS NOT DISTINCT FROM is not SQL Anywhere's.
std::string SqlAnywhereDialect::NullSafeEqual(std::string_view a, std::string_view b) const {
    const std::string x(a), y(b);
    return "(" + x + " = " + y + " OR " + x + " IS NULL AND " + y + " IS NULL)";
}

std::string SqlAnywhereDialect::NotNullStatement(std::string_view table,
                                                 const std::vector<std::string>& columns) const {
    std::string statement = "ALTER TABLE " + std::string(table);
    for (std::size_t i = 0; i < columns.size(); ++i)
        statement += (i ? ", ALTER " : " ALTER ") + QuotedName(columns[i]) + " NOT NULL";
    return statement;
}

ColumnType SqlAnywhereDialect::ReadType(std::string_view domain, int width, int scale) {
    const std::string d = Lower(Trim(domain));
    struct Word {
        const char* name;
        TypeKind kind;
    };
    // TINYINT is unsigned there (0 to 255); the unsigned types take the next width. CHAR
    // is variable length and never padded: VARCHAR keeps its values.
    static constexpr Word kWords[] = {
        {"smallint", TypeKind::kSmallInt},
        {"tinyint", TypeKind::kSmallInt},
        {"unsigned smallint", TypeKind::kInteger},
        {"integer", TypeKind::kInteger},
        {"int", TypeKind::kInteger},
        {"unsigned int", TypeKind::kBigInt},
        {"unsigned integer", TypeKind::kBigInt},
        {"bigint", TypeKind::kBigInt},
        {"real", TypeKind::kReal},
        {"double", TypeKind::kDouble},
        {"float", TypeKind::kDouble},
        {"long varchar", TypeKind::kText},
        {"long nvarchar", TypeKind::kText},
        {"text", TypeKind::kText},
        {"ntext", TypeKind::kText},
        {"xml", TypeKind::kOther},
        {"binary", TypeKind::kBinary},
        {"varbinary", TypeKind::kBinary},
        {"long binary", TypeKind::kBinary},
        {"image", TypeKind::kBinary},
        {"date", TypeKind::kDate},
        {"time", TypeKind::kTime},
        {"timestamp", TypeKind::kTimestamp},
        {"datetime", TypeKind::kTimestamp},
        {"smalldatetime", TypeKind::kTimestamp},
        {"timestamp with time zone", TypeKind::kTimestampTz},
        {"datetimeoffset", TypeKind::kTimestampTz},
        {"bit", TypeKind::kBoolean},
        {"uniqueidentifier", TypeKind::kUuid},
        {"uniqueidentifierstr", TypeKind::kUuid},
    };
    for (const Word& word : kWords) {
        if (d == word.name)
            return Of(word.kind, domain);
    }
    if (d == "unsigned bigint")
        return Numeric(domain, 20, 0);
    if (d == "numeric" || d == "decimal")
        return Numeric(domain, width, scale);
    if (d == "money")
        return Numeric(domain, 19, 4);
    if (d == "smallmoney")
        return Numeric(domain, 10, 4);
    if (d == "char" || d == "varchar" || d == "nchar" || d == "nvarchar")
        return Of(TypeKind::kVarChar, domain, width);
    return Of(TypeKind::kOther, domain);
}

ColumnDefault SqlAnywhereDialect::ReadDefault(std::string_view text, bool& identity) {
    const std::string word = Lower(Trim(text));
    if (word == "autoincrement" || StartsWith(word, "global autoincrement")) {
        identity = true;
        return {};
    }
    // Its strings read backslash escapes: the value is what the parser makes of them.
    const SqlAnywhereDialect dialect;
    const SourceExpression read = dialect.Read(text);
    if (read.tree && read.tree->kind == Expr::Kind::kString) {
        ColumnDefault d;
        d.kind = ColumnDefault::Kind::kLiteral;
        d.literal = read.tree->text;
        d.isString = true;
        d.text = std::string(text);
        return d;
    }
    if (word == "current utc timestamp") {
        ColumnDefault d = CommonDefault("current timestamp", text);
        d.utc = true;
        return d;
    }
    return dialect.WithExpression(CommonDefault(Trim(text), text));
}

}  // namespace korvanta

namespace korvanta {

// RENAME without TO: SQL Anywhere's own form of the statement.
std::string SqlAnywhereDialect::RenameTableStatement(std::string_view from,
                                                     std::string_view to) const {
    return "ALTER TABLE " + QuotedName(from) + " RENAME " + QuotedName(to) + ";";
}

// Its own SQLSTATEs for the lock conflicts whose ODBC state is general, and its SQLCODEs
// (the driver's native code), which no other driver gives: sqliteodbc gives SQLite's result
// codes or -1, psqlODBC its own numbers from -6 up.
bool SqlAnywhereDialect::LockConflict(std::string_view state, int native) const {
    constexpr int kLockCodes[] = {
        -210,   // SQLE_LOCKED: User '%1' has the row in '%2' locked
        -306,   // SQLE_DEADLOCK
        -307,   // SQLE_THREAD_DEADLOCK: all threads are blocked
        -684,   // rollback occurred due to deadlock during prefetch
        -1175,  // SQLE_LOCK_TIMEOUT: unable to acquire table locks in specified time
    };
    if (state == "42W18" || state == "42WC4" || Dialect::LockConflict(state, native))
        return true;
    for (const int code : kLockCodes) {
        if (native == code)
            return true;
    }
    return false;
}

}  // namespace korvanta
