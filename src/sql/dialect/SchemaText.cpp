#include "sql/dialect/SchemaText.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

namespace korvanta {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The numbers between the first parentheses: "(12,2)" gives 12 and 2; -1 where none is.
void Modifiers(std::string_view text, int& first, int& second) {
    first = second = -1;
    const std::size_t open = text.find('(');
    if (open == std::string_view::npos)
        return;
    const std::string inside(text.substr(open + 1, text.find(')', open) - open - 1));
    char* end = nullptr;
    const long a = std::strtol(inside.c_str(), &end, 10);
    if (end == inside.c_str())
        return;
    first = static_cast<int>(a);
    while (*end == ' ')
        ++end;
    if (*end == ',')
        second = static_cast<int>(std::strtol(end + 1, nullptr, 10));
}

ColumnType Of(TypeKind kind, std::string_view name, int length = -1) {
    ColumnType type;
    type.kind = kind;
    type.name = std::string(name);
    type.length = length;
    return type;
}

// A time or timestamp with the digits of its fractions of a second, when given.
ColumnType Fraction(TypeKind kind, std::string_view name, int digits) {
    ColumnType type = Of(kind, name);
    type.precision = digits;
    return type;
}

ColumnType Numeric(std::string_view name, int precision, int scale) {
    ColumnType type = Of(TypeKind::kNumeric, name);
    type.precision = precision;
    type.scale = precision >= 0 ? std::max(scale, 0) : -1;
    return type;
}

// A string literal between apostrophes, '' standing for one: its value; nothing when the
// text is no such literal (whatever follows its closing apostrophe).
bool StringLiteral(std::string_view text, std::string& value, std::string_view& rest) {
    if (text.empty() || text.front() != '\'')
        return false;
    value.clear();
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] != '\'') {
            value += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\'') {
            value += '\'';
            ++i;
            continue;
        }
        rest = text.substr(i + 1);
        return true;
    }
    return false;
}

bool IsNumber(std::string_view text) {
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    if (text.empty())
        return false;
    bool digits = false, point = false, exponent = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits = true;
        } else if (c == '.' && !point && !exponent) {
            point = true;
        } else if ((c == 'e' || c == 'E') && digits && !exponent) {
            exponent = true;
            digits = false;
            if (i + 1 < text.size() && (text[i + 1] == '-' || text[i + 1] == '+'))
                ++i;
        } else {
            return false;
        }
    }
    return digits;
}

ColumnDefault Literal(std::string value, bool isString, std::string_view text) {
    ColumnDefault d;
    d.kind = ColumnDefault::Kind::kLiteral;
    d.literal = std::move(value);
    d.isString = isString;
    d.text = std::string(text);
    return d;
}

ColumnDefault Special(ColumnDefault::Kind kind, std::string_view text) {
    ColumnDefault d;
    d.kind = kind;
    d.text = std::string(text);
    return d;
}

// A default every database writes alike: a string, a number, a truth value, the current
// date, time or timestamp in their common spellings; kOther for anything else.
ColumnDefault CommonDefault(std::string_view text, std::string_view original) {
    using Kind = ColumnDefault::Kind;
    std::string value;
    std::string_view rest;
    if (StringLiteral(text, value, rest) && Trim(rest).empty())
        return Literal(value, true, original);
    if (IsNumber(text))
        return Literal(std::string(text), false, original);
    const std::string word = Lower(text);
    if (word == "true" || word == "false")
        return Literal(word, false, original);
    if (word == "null")
        return {};
    if (word == "current_date" || word == "current date")
        return Special(Kind::kCurrentDate, original);
    if (word == "current_time" || word == "current time" || word == "localtime")
        return Special(Kind::kCurrentTime, original);
    if (word == "current_timestamp" || word == "current timestamp" || word == "now()" ||
        word == "localtimestamp" || word == "statement_timestamp()" ||
        word == "transaction_timestamp()" || word == "getdate()")
        return Special(Kind::kCurrentTimestamp, original);
    return Special(Kind::kOther, original);
}

// Takes PostgreSQL's trailing casts off a default: "'n/a'::text", "'1'::integer",
// "(-1)". Parentheses around the whole go too.
std::string_view WithoutCasts(std::string_view text) {
    for (;;) {
        text = Trim(text);
        const std::size_t cast = text.rfind("::");
        if (cast != std::string_view::npos) {
            // Only a cast at the end, outside a string: the rest is a type name.
            const std::string_view type = text.substr(cast + 2);
            if (type.find('\'') == std::string_view::npos &&
                type.find(')') == std::string_view::npos) {
                text = text.substr(0, cast);
                continue;
            }
        }
        if (text.size() >= 2 && text.front() == '(' && text.back() == ')') {
            text = text.substr(1, text.size() - 2);
            continue;
        }
        return text;
    }
}

}  // namespace

ColumnType PostgreSQLType(std::string_view formatted) {
    const std::string t = Lower(Trim(formatted));
    int a = -1, b = -1;
    Modifiers(t, a, b);
    if (t.find("[]") != std::string::npos)
        return Of(TypeKind::kOther, formatted);
    if (t == "smallint")
        return Of(TypeKind::kSmallInt, formatted);
    if (t == "integer")
        return Of(TypeKind::kInteger, formatted);
    if (t == "bigint")
        return Of(TypeKind::kBigInt, formatted);
    if (StartsWith(t, "numeric"))
        return Numeric(formatted, a, b);
    if (t == "real")
        return Of(TypeKind::kReal, formatted);
    if (t == "double precision")
        return Of(TypeKind::kDouble, formatted);
    if (StartsWith(t, "character varying"))
        return Of(TypeKind::kVarChar, formatted, a);
    if (StartsWith(t, "character") || t == "\"char\"")
        return Of(TypeKind::kChar, formatted, a < 0 ? 1 : a);
    if (t == "text")
        return Of(TypeKind::kText, formatted);
    if (t == "bytea")
        return Of(TypeKind::kBinary, formatted);
    if (t == "date")
        return Of(TypeKind::kDate, formatted);
    if (StartsWith(t, "time") && t.find("without time zone") != std::string::npos)
        return Fraction(StartsWith(t, "timestamp") ? TypeKind::kTimestamp : TypeKind::kTime,
                        formatted, a);
    if (StartsWith(t, "timestamp") && t.find("with time zone") != std::string::npos)
        return Fraction(TypeKind::kTimestampTz, formatted, a);
    if (t == "boolean")
        return Of(TypeKind::kBoolean, formatted);
    if (t == "uuid")
        return Of(TypeKind::kUuid, formatted);
    return Of(TypeKind::kOther, formatted);
}

ColumnType SqliteType(std::string_view declared) {
    const std::string t = Lower(Trim(declared));
    int a = -1, b = -1;
    Modifiers(t, a, b);
    const std::string word = t.substr(0, t.find('('));
    const std::string base(Trim(word));
    // The declarations an exact copy writes for values that must come back as written.
    if (StartsWith(base, "numeric text"))
        return Numeric(declared, a, b);
    if (base == "real text")
        return Of(TypeKind::kReal, declared);
    if (base == "double text")
        return Of(TypeKind::kDouble, declared);
    if (base == "int2" || base == "smallint" || base == "tinyint")
        return Of(TypeKind::kSmallInt, declared);
    if (base == "int4" || base == "mediumint")
        return Of(TypeKind::kInteger, declared);
    // SQLite's integers are 64 bits whatever the declaration says.
    if (base.find("int") != std::string::npos)
        return Of(TypeKind::kBigInt, declared);
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
    if (base.find("blob") != std::string::npos || base.find("binary") != std::string::npos)
        return Of(TypeKind::kBinary, declared);
    if (base.find("real") != std::string::npos || base.find("floa") != std::string::npos ||
        base.find("doub") != std::string::npos)
        return Of(TypeKind::kDouble, declared);
    if ((base.find("varchar") != std::string::npos || base.find("varying") != std::string::npos) &&
        a > 0)
        return Of(TypeKind::kVarChar, declared, a);
    if (base.find("char") != std::string::npos && a > 0)
        return Of(TypeKind::kChar, declared, a);
    return Of(TypeKind::kText, declared);
}

ColumnType SqlAnywhereType(std::string_view domain, int width, int scale) {
    const std::string d = Lower(Trim(domain));
    // TINYINT is unsigned there (0 to 255); the unsigned types take the next width.
    if (d == "smallint" || d == "tinyint")
        return Of(TypeKind::kSmallInt, domain);
    if (d == "unsigned smallint" || d == "integer" || d == "int")
        return Of(TypeKind::kInteger, domain);
    if (d == "unsigned int" || d == "unsigned integer" || d == "bigint")
        return Of(TypeKind::kBigInt, domain);
    if (d == "unsigned bigint")
        return Numeric(domain, 20, 0);
    if (d == "numeric" || d == "decimal")
        return Numeric(domain, width, scale);
    if (d == "money")
        return Numeric(domain, 19, 4);
    if (d == "smallmoney")
        return Numeric(domain, 10, 4);
    if (d == "real")
        return Of(TypeKind::kReal, domain);
    if (d == "double" || d == "float")
        return Of(TypeKind::kDouble, domain);
    // SQL Anywhere's CHAR is variable length and never padded: VARCHAR keeps its values.
    if (d == "char" || d == "varchar" || d == "nchar" || d == "nvarchar")
        return Of(TypeKind::kVarChar, domain, width);
    if (d == "long varchar" || d == "long nvarchar" || d == "text" || d == "ntext" || d == "xml")
        return Of(d == "xml" ? TypeKind::kOther : TypeKind::kText, domain);
    if (d == "binary" || d == "varbinary" || d == "long binary" || d == "image")
        return Of(TypeKind::kBinary, domain);
    if (d == "date")
        return Of(TypeKind::kDate, domain);
    if (d == "time")
        return Of(TypeKind::kTime, domain);
    if (d == "timestamp" || d == "datetime" || d == "smalldatetime")
        return Of(TypeKind::kTimestamp, domain);
    if (d == "timestamp with time zone" || d == "datetimeoffset")
        return Of(TypeKind::kTimestampTz, domain);
    if (d == "bit")
        return Of(TypeKind::kBoolean, domain);
    if (d == "uniqueidentifier" || d == "uniqueidentifierstr")
        return Of(TypeKind::kUuid, domain);
    return Of(TypeKind::kOther, domain);
}

ColumnDefault PostgreSQLDefault(std::string_view expression, bool& identity) {
    const std::string_view text = WithoutCasts(expression);
    if (StartsWith(Lower(text), "nextval(")) {
        identity = true;
        return {};
    }
    return CommonDefault(text, expression);
}

ColumnDefault SqliteDefault(std::string_view text) {
    return CommonDefault(WithoutCasts(text), text);
}

ColumnDefault SqlAnywhereDefault(std::string_view text, bool& identity) {
    const std::string word = Lower(Trim(text));
    if (word == "autoincrement" || word == "global autoincrement" ||
        StartsWith(word, "global autoincrement")) {
        identity = true;
        return {};
    }
    return CommonDefault(Trim(text), text);
}

}  // namespace korvanta
