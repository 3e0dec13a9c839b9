// Expressions in a dialect's own SQL: what every database writes alike is written here
// once; the functions, pattern matches and casts each database writes its own way are
// asked of the dialect.
#include <algorithm>
#include <map>

#include "sql/dialect/CatalogText.h"
#include "sql/dialect/Dialect.h"
#include "sql/model/SqlName.h"

namespace korvanta {

namespace {

// Values of one family compare alike: a cast between two of them changes nothing a
// condition or a key sees (varchar to text, an integer literal to bigint).
enum class Family {
    kUnknown,
    kText,
    kInteger,
    kNumber,
    kBinary,
    kDate,
    kTime,
    kTimestamp,
    kTimestampTz,
    kBoolean,
    kUuid
};

Family FamilyOf(TypeKind kind) {
    switch (kind) {
        case TypeKind::kSmallInt:
        case TypeKind::kInteger:
        case TypeKind::kBigInt:
            return Family::kInteger;
        case TypeKind::kNumeric:
        case TypeKind::kReal:
        case TypeKind::kDouble:
            return Family::kNumber;
        case TypeKind::kChar:
        case TypeKind::kVarChar:
        case TypeKind::kText:
        case TypeKind::kOther:  // carried as text
            return Family::kText;
        case TypeKind::kBinary:
            return Family::kBinary;
        case TypeKind::kDate:
            return Family::kDate;
        case TypeKind::kTime:
            return Family::kTime;
        case TypeKind::kTimestamp:
            return Family::kTimestamp;
        case TypeKind::kTimestampTz:
            return Family::kTimestampTz;
        case TypeKind::kBoolean:
            return Family::kBoolean;
        case TypeKind::kUuid:
            return Family::kUuid;
    }
    return Family::kUnknown;
}

Family FamilyOf(const Expr& expr, const ColumnTypes& columns) {
    switch (expr.kind) {
        case Expr::Kind::kColumn:
            if (const ColumnType* type = columns ? columns(expr.text) : nullptr)
                return FamilyOf(type->kind);
            return Family::kUnknown;
        case Expr::Kind::kString:
            return Family::kText;
        case Expr::Kind::kNumber:
            return expr.text.find_first_of(".eE") == std::string::npos ? Family::kInteger
                                                                       : Family::kNumber;
        case Expr::Kind::kBoolean:
            return Family::kBoolean;
        case Expr::Kind::kCast:
            return FamilyOf(expr.type.kind);
        case Expr::Kind::kFunction:
            if (expr.text == "lower" || expr.text == "upper" || expr.text == "substr" ||
                expr.text == "substring" || expr.text == "trim" || expr.text == "btrim")
                return Family::kText;
            if (expr.text == "length" || expr.text == "char_length")
                return Family::kInteger;
            return Family::kUnknown;
        case Expr::Kind::kBinary:
            return expr.text == "||" ? Family::kText : Family::kUnknown;
        default:
            return Family::kUnknown;
    }
}

// A cast that changes nothing: to the family the operand is of already, or an integer
// literal to any number.
bool CastChangesNothing(const Expr& cast, const ColumnTypes& columns) {
    const Family to = FamilyOf(cast.type.kind);
    const Family from = FamilyOf(cast.args[0], columns);
    return from == to || (from == Family::kInteger && to == Family::kNumber &&
                          cast.args[0].kind == Expr::Kind::kNumber);
}

// The common name of a function some databases call otherwise.
std::string CommonName(const std::string& name) {
    static const std::map<std::string, std::string> kSynonyms = {
        {"char_length", "length"}, {"character_length", "length"},
        {"ifnull", "coalesce"},    {"substring", "substr"},
        {"btrim", "trim"},
    };
    const auto it = kSynonyms.find(name);
    return it == kSynonyms.end() ? name : it->second;
}

bool IsClock(const std::string& name) {
    return name == "current_date" || name == "current_time" || name == "current_timestamp" ||
           name == "localtime" || name == "localtimestamp" || name == "now";
}

bool ArgumentsFit(const std::string& name, std::size_t count) {
    if (name == "substr")
        return count == 2 || count == 3;
    if (name == "coalesce")
        return count >= 1;
    return count == 1;
}

// A LIKE pattern as GLOB's, and back; false where the pattern has no counterpart.
bool LikeToGlob(const std::string& like, std::string& glob) {
    for (const char c : like) {
        switch (c) {
            case '%':
                glob += '*';
                break;
            case '_':
                glob += '?';
                break;
            case '*':
            case '?':
            case '[':
                glob += std::string("[") + c + "]";
                break;
            default:
                glob += c;
        }
    }
    return true;
}

bool GlobToLike(const std::string& glob, std::string& like) {
    for (const char c : glob) {
        if (c == '*')
            like += '%';
        else if (c == '?')
            like += '_';
        else if (c == '%' || c == '_' || c == '[')
            return false;
        else
            like += c;
    }
    return true;
}

// IS NULL, IN and BETWEEN over their operands' texts.
std::string PredicateText(const Expr& expr, const std::vector<std::string>& a) {
    const std::string no = expr.negated ? " NOT" : "";
    if (expr.kind == Expr::Kind::kIsNull)
        return "(" + a[0] + " IS" + no + " NULL)";
    if (expr.kind == Expr::Kind::kBetween)
        return "(" + a[0] + no + " BETWEEN " + a[1] + " AND " + a[2] + ")";
    std::string text = "(" + a[0] + no + " IN (";
    for (std::size_t i = 1; i < a.size(); ++i)
        text += (i > 1 ? ", " : "") + a[i];
    return text + "))";
}

}  // namespace

ExpressionSyntax Dialect::Syntax() const {
    ExpressionSyntax syntax;
    syntax.typeOf = [](std::string_view name) { return catalogtext::Of(TypeKind::kOther, name); };
    return syntax;
}

SourceExpression Dialect::Read(std::string_view text) const {
    SourceExpression read;
    read.text = std::string(catalogtext::Trim(text));
    read.tree = ParseExpression(read.text, Syntax(), read.unread);
    return read;
}

std::string Dialect::Expression(const Expr& expr, const ColumnTypes& columns, bool condition,
                                std::string& why) const {
    std::string out;
    if (!Write(expr, columns, condition, out, why))
        return {};
    // The outermost parentheses are the statement's to give.
    if (out.size() > 2 && out.front() == '(' && out.back() == ')') {
        int depth = 0;
        bool whole = true;
        char quote = 0;
        for (std::size_t i = 0; i + 1 < out.size() && whole; ++i) {
            const char c = out[i];
            if (quote)
                quote = c == quote ? 0 : quote;
            else if (c == '\'' || c == '"')
                quote = c;
            else
                depth += c == '(' ? 1 : c == ')' ? -1 : 0;
            whole = depth > 0;
        }
        if (whole)
            out = out.substr(1, out.size() - 2);
    }
    return out;
}

ColumnDefault Dialect::WithExpression(ColumnDefault read) const {
    if (read.kind != ColumnDefault::Kind::kOther || !read.why.empty())
        return read;
    SourceExpression expression = Read(read.text);
    if (!expression.tree) {
        read.why = "not read: " + expression.unread;
        return read;
    }
    if (RefersToColumns(*expression.tree)) {
        read.why = "an expression over columns";
        return read;
    }
    read.kind = ColumnDefault::Kind::kExpression;
    read.expression = std::move(expression.tree);
    return read;
}

bool Dialect::WriteOperands(const Expr& expr, const ColumnTypes& columns, std::size_t from,
                            std::vector<std::string>& texts, std::string& why) const {
    // A 0 or 1 beside a truth-valued column is a truth value (SQLite keeps them as numbers).
    const bool truth = FamilyOf(expr.args[0], columns) == Family::kBoolean;
    for (std::size_t i = from; i < expr.args.size(); ++i) {
        const Expr& arg = expr.args[i];
        std::string text;
        if (truth && i > 0 && arg.kind == Expr::Kind::kNumber &&
            (arg.text == "0" || arg.text == "1"))
            text = Boolean(arg.text == "1");
        else if (!Write(arg, columns, false, text, why))
            return false;
        texts.push_back(std::move(text));
    }
    return true;
}

// A name or a constant; a truth value as a condition where this database needs it compared.
std::string Dialect::Atom(const Expr& expr, const ColumnTypes& columns, bool condition) const {
    const bool compared = condition && !BareTruthValues();
    switch (expr.kind) {
        case Expr::Kind::kColumn:
            if (compared && FamilyOf(expr, columns) == Family::kBoolean)
                return "(" + QuotedName(expr.text) + " = 1)";
            return QuotedName(expr.text);
        case Expr::Kind::kString:
            return OneLineString(expr.text);
        case Expr::Kind::kNumber:
            return expr.text;
        case Expr::Kind::kBoolean:
            if (compared)
                return expr.text == "true" ? "(1 = 1)" : "(1 = 0)";
            return Boolean(expr.text == "true");
        default:
            return "NULL";
    }
}

bool Dialect::Write(const Expr& expr, const ColumnTypes& columns, bool condition, std::string& out,
                    std::string& why) const {
    using Kind = Expr::Kind;
    std::vector<std::string> a;
    switch (expr.kind) {
        case Kind::kColumn:
        case Kind::kString:
        case Kind::kNumber:
        case Kind::kBoolean:
        case Kind::kNull:
            out = Atom(expr, columns, condition);
            return true;
        case Kind::kCast:
            if (!Write(expr.args[0], columns, condition, out, why))
                return false;
            if (!CastChangesNothing(expr, columns))
                out = Cast(expr.type, expr.args[0], out, why);
            return !out.empty();
        case Kind::kUnary: {
            const bool negation = expr.text == "NOT";
            if (!Write(expr.args[0], columns, negation, out, why))
                return false;
            out = "(" + expr.text + (negation ? " " : "") + out + ")";
            return true;
        }
        case Kind::kBinary:
            // AND and OR join conditions; the other operators values.
            if (expr.text == "AND" || expr.text == "OR") {
                a.resize(2);
                if (!Write(expr.args[0], columns, true, a[0], why) ||
                    !Write(expr.args[1], columns, true, a[1], why))
                    return false;
            } else if (!WriteOperands(expr, columns, 0, a, why)) {
                return false;
            }
            out = "(" + a[0] + " " + expr.text + " " + a[1] + ")";
            return true;
        case Kind::kIsNull:
        case Kind::kIn:
        case Kind::kBetween:
            if (!WriteOperands(expr, columns, 0, a, why))
                return false;
            out = PredicateText(expr, a);
            return true;
        case Kind::kLike:
            return WriteLike(expr, columns, out, why);
        case Kind::kFunction:
            break;
    }
    return WriteFunction(expr, columns, out, why);
}

bool Dialect::WriteFunction(const Expr& expr, const ColumnTypes& columns, std::string& out,
                            std::string& why) const {
    const std::string name = CommonName(expr.text);
    const std::string written = FunctionName(name);
    if (written.empty() || (!IsClock(name) && !ArgumentsFit(name, expr.args.size()))) {
        why = name == "array" ? "an array" : "the function " + expr.text + "()";
        return false;
    }
    if (IsClock(name)) {
        out = written;
        return true;
    }
    std::vector<std::string> a;
    if (!WriteOperands(expr, columns, 0, a, why))
        return false;
    out = written + "(";
    for (std::size_t i = 0; i < a.size(); ++i)
        out += (i ? ", " : "") + a[i];
    out += ")";
    return true;
}

// A pattern match: with this database's operator for the kind asked, else GLOB for a
// case-sensitive LIKE and back, or LIKE over lower() for one that ignores case.
bool Dialect::WriteLike(const Expr& expr, const ColumnTypes& columns, std::string& out,
                        std::string& why) const {
    // A string cast to text is the string ('a%'::text).
    const Expr* bare = &expr.args[1];
    while (bare->kind == Expr::Kind::kCast && FamilyOf(bare->type.kind) == Family::kText)
        bare = &bare->args[0];
    const Expr& pattern = *bare;
    const bool literal = pattern.kind == Expr::Kind::kString;
    // Databases read a backslash in a LIKE pattern differently (an escape, or itself).
    if (expr.match != Expr::Match::kGlob &&
        (!literal || pattern.text.find('\\') != std::string::npos)) {
        why = literal ? "a LIKE pattern with a backslash" : "a LIKE pattern that is no string";
        return false;
    }
    std::vector<std::string> a;
    if (!WriteOperands(expr, columns, 0, a, why))
        return false;
    const std::string no = expr.negated ? " NOT " : " ";
    if (std::string op = MatchOperator(expr.match); !op.empty()) {
        out = "(" + a[0] + no + op + " " + a[1] + ")";
        return true;
    }
    const bool sensitive = expr.match != Expr::Match::kLikeIgnoringCase;
    const Expr::Match other =
        expr.match == Expr::Match::kGlob ? Expr::Match::kLike : Expr::Match::kGlob;
    std::string converted;
    if (sensitive && literal && !MatchOperator(other).empty() &&
        (other == Expr::Match::kGlob ? LikeToGlob(pattern.text, converted)
                                     : GlobToLike(pattern.text, converted))) {
        out = "(" + a[0] + no + MatchOperator(other) + " " + OneLineString(converted) + ")";
        return true;
    }
    const std::string lower = FunctionName("lower");
    if (!sensitive && !MatchOperator(Expr::Match::kLike).empty() && !lower.empty()) {
        out = "(" + lower + "(" + a[0] + ")" + no + MatchOperator(Expr::Match::kLike) + " " +
              lower + "(" + a[1] + "))";
        return true;
    }
    why = "a pattern match " + std::string(Name()) + " has no counterpart for";
    return false;
}

std::string Dialect::FunctionName(std::string_view name) const {
    static const char* const kCommon[] = {"lower",  "upper", "length", "coalesce",
                                          "substr", "abs",   "trim"};
    for (const char* common : kCommon) {
        if (name == common)
            return common;
    }
    if (name == "current_date")
        return Clock(TypeKind::kDate, false, -1);
    if (name == "current_time" || name == "localtime")
        return Clock(TypeKind::kTime, false, -1);
    if (name == "localtimestamp")
        return Clock(TypeKind::kTimestamp, false, -1);
    if (name == "current_timestamp" || name == "now")
        return Clock(TypeKind::kTimestampTz, false, -1);
    return {};
}

std::string Dialect::MatchOperator(Expr::Match match) const {
    return match == Expr::Match::kLike ? "LIKE" : "";
}

std::string Dialect::Cast(const ColumnType& to, const Expr&, const std::string& operandText,
                          std::string& why) const {
    std::string notExact;
    const std::string type = Declaration(to, notExact);
    if (!notExact.empty()) {
        why = "a cast to " + to.name;
        return {};
    }
    return "CAST(" + operandText + " AS " + type + ")";
}

}  // namespace korvanta
