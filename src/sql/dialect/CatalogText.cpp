#include "sql/dialect/CatalogText.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace korvanta::catalogtext {

namespace {

// A string literal between apostrophes (or `quote`s), two standing for one: its value;
// nothing when the text is no such literal (whatever follows its closing quote).
bool StringLiteral(std::string_view text, std::string& value, std::string_view& rest,
                   char quote = '\'') {
    if (text.empty() || text.front() != quote)
        return false;
    value.clear();
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] != quote) {
            value += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == quote) {
            value += quote;
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

}  // namespace

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

void Modifiers(std::string_view text, int& first, int& second) {
    first = -1;
    second = kNoScale;
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

ColumnType Of(TypeKind kind, std::string_view name, int length) {
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
    type.scale = precision < 0 ? -1 : scale == kNoScale ? 0 : scale;
    return type;
}

// A default every database writes alike: a string, a number, a truth value, the current
// date, time or timestamp in their common spellings; kOther for anything else.
std::optional<ColumnDefault> QuotedDefault(std::string_view text, char quote,
                                           std::string_view original) {
    std::string value;
    std::string_view rest;
    if (!StringLiteral(Trim(text), value, rest, quote) || !Trim(rest).empty())
        return std::nullopt;
    return Literal(std::move(value), true, original);
}

ColumnDefault CommonDefault(std::string_view text, std::string_view original) {
    using Kind = ColumnDefault::Kind;
    std::string value;
    std::string_view rest;
    if (StringLiteral(text, value, rest) && Trim(rest).empty())
        return Literal(value, true, original);
    if (IsNumber(text))
        return Literal(std::string(text), false, original);
    std::string word = Lower(text);
    if (word == "true" || word == "false")
        return Literal(word, false, original);
    if (word == "null")
        return {};
    // A clock may ask for its digits of a second: CURRENT_TIMESTAMP(3).
    int precision = -1;
    if (const std::size_t open = word.find('(');
        open != std::string::npos && word.back() == ')' && open + 2 < word.size() &&
        word.find_first_not_of("0123456789", open + 1) == word.size() - 1) {
        precision = std::atoi(word.c_str() + open + 1);
        word.erase(open);
    }
    ColumnDefault clock;
    if (word == "current_date" || word == "current date")
        clock = Special(Kind::kCurrentDate, original);
    else if (word == "current_time" || word == "current time" || word == "localtime")
        clock = Special(Kind::kCurrentTime, original);
    else if (word == "current_timestamp" || word == "current timestamp" || word == "now()" ||
             word == "localtimestamp" || word == "statement_timestamp()" ||
             word == "transaction_timestamp()" || word == "clock_timestamp()" ||
             word == "getdate()")
        clock = Special(Kind::kCurrentTimestamp, original);
    if (clock.kind != Kind::kNone) {
        clock.precision = precision;
        return clock;
    }
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

std::string Sized(std::string_view word, int n) {
    return std::string(word) + "(" + std::to_string(n) + ")";
}

std::string Fractional(std::string_view word, const ColumnType& type, std::string_view rest) {
    std::string text(word);
    if (type.precision >= 0)
        text += "(" + std::to_string(type.precision) + ")";
    return text + std::string(rest);
}

std::string Decimal(std::string_view word, const ColumnType& type) {
    return std::string(word) + "(" + std::to_string(type.precision) + "," +
           std::to_string(type.scale) + ")";
}

bool OrdinaryScale(const ColumnType& type) {
    return type.scale >= 0 && type.scale <= type.precision;
}

}  // namespace korvanta::catalogtext
