#include "sql/model/ValueCheck.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "adodb/ByteScan.h"
#include "adodb/TextCodec.h"
#include "sql/model/DateTimeInput.h"

namespace korvanta {

namespace {

// The bytes from the first offending one on, as PostgreSQL quotes them ("0xe9 0x00").
std::string QuoteBytes(std::string_view text, std::size_t at) {
    std::string quoted;
    for (std::size_t i = at; i < text.size() && i < at + 2; ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%s0x%02x", i == at ? "" : " ",
                      static_cast<unsigned>(static_cast<unsigned char>(text[i])));
        quoted += hex;
    }
    return quoted;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::string Lowered(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    return lower;
}

TemporalType TemporalOf(ValueKind kind) {
    switch (kind) {
        case ValueKind::kDate:
            return TemporalType::kDate;
        case ValueKind::kTime:
            return TemporalType::kTime;
        case ValueKind::kTimestamp:
            return TemporalType::kTimestamp;
        default:
            return TemporalType::kTimestampTz;
    }
}

bool IsTemporal(ValueKind kind) {
    return kind == ValueKind::kDate || kind == ValueKind::kTime || kind == ValueKind::kTimestamp ||
           kind == ValueKind::kTimestampTz;
}

// The plain ISO forms almost every value has ("2024-01-05", "2024-01-05 13:45:00.5"):
// what PostgreSQL makes of them is clear without reading them field by field. False for
// any other form.
bool PlainIsoKeeps(std::string_view t, ValueKind kind, int fractionDigits) {
    const auto digitsAt = [&](std::size_t at, std::size_t n) {
        return t.size() >= at + n && AllDigits(t.substr(at, n));
    };
    if (!digitsAt(0, 4) || t.size() < 10 || t[4] != '-' || !digitsAt(5, 2) || t[7] != '-' ||
        !digitsAt(8, 2) || t.substr(5, 2) > "12" || t.substr(8, 2) > "28" ||
        t.substr(5, 2) == "00" || t.substr(8, 2) == "00")
        return false;
    if (t.size() == 10)
        return kind != ValueKind::kTime;
    if (t.size() < 19 || t[10] != ' ' || !digitsAt(11, 2) || t[13] != ':' || !digitsAt(14, 2) ||
        t[16] != ':' || !digitsAt(17, 2) || t.substr(11, 2) > "23" || t.substr(14, 2) > "59" ||
        t.substr(17, 2) > "59")
        return false;
    std::string_view fraction;
    if (t.size() > 19) {
        if (t[19] != '.' || !AllDigits(t.substr(20)))
            return false;
        fraction = t.substr(20);
    }
    const bool fractionKept =
        fraction.size() <= static_cast<std::size_t>(std::max(fractionDigits, 0)) ||
        fraction.find_first_not_of('0', static_cast<std::size_t>(std::max(fractionDigits, 0))) ==
            std::string_view::npos;
    switch (kind) {
        case ValueKind::kDate:
            return t.substr(11, 8) == "00:00:00" &&
                   fraction.find_first_not_of('0') == std::string_view::npos;
        case ValueKind::kTimestamp:
        case ValueKind::kTimestampTz:
            return fractionKept;
        default:
            return false;
    }
}

// "-0", "-0.000", "-0e5": a negative zero, which no decimal type keeps.
bool IsNegativeZero(std::string_view text) {
    if (!text.empty() && text[0] >= '0' && text[0] <= '9')
        return false;  // most numbers: no sign, nothing to trim
    text = Trimmed(text);
    if (text.size() < 2 || text[0] != '-')
        return false;
    bool digit = false;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == 'e' || c == 'E')
            return digit && (i + 1 < text.size());
        if (c == '0')
            digit = true;
        else if (c != '.')
            return false;
    }
    return digit;
}

// A decimal number's plain text: no sign on zero, no leading or trailing zeros, no
// exponent ("+019000.00" and "1.9e4" give "19000"); nullopt for anything else.
std::optional<std::string> CanonicalDecimal(std::string_view text) {
    text = Trimmed(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    std::string digits;
    long long point = -1;
    std::size_t i = 0;
    for (; i < text.size() && (IsDigit(text[i]) || text[i] == '.'); ++i) {
        if (text[i] == '.') {
            if (point >= 0)
                return std::nullopt;
            point = static_cast<long long>(digits.size());
        } else {
            digits += text[i];
        }
    }
    if (digits.empty())
        return std::nullopt;
    if (point < 0)
        point = static_cast<long long>(digits.size());
    if (i < text.size()) {
        if (text[i] != 'e' && text[i] != 'E')
            return std::nullopt;
        std::string_view exponent = text.substr(i + 1);
        bool down = false;
        if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
            down = exponent[0] == '-';
            exponent.remove_prefix(1);
        }
        if (!AllDigits(exponent) || exponent.size() > 4)
            return std::nullopt;
        int e = 0;
        std::from_chars(exponent.data(), exponent.data() + exponent.size(), e);
        point += down ? -e : e;
    }
    const std::size_t lead = digits.find_first_not_of('0');
    if (lead == std::string::npos)
        return std::string("0");
    digits.erase(0, lead);
    point -= static_cast<long long>(lead);
    digits.erase(digits.find_last_not_of('0') + 1);
    std::string out = negative ? "-" : "";
    const auto size = static_cast<long long>(digits.size());
    if (point <= 0) {
        out += "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
    } else if (point >= size) {
        out += digits + std::string(static_cast<std::size_t>(point - size), '0');
    } else {
        out += digits.substr(0, static_cast<std::size_t>(point)) + "." +
               digits.substr(static_cast<std::size_t>(point));
    }
    return out;
}

std::optional<std::string> CanonicalFloat(std::string_view text) {
    text = Trimmed(text);
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    std::string out;
    adodb::detail::AppendDouble(out, value);
    return out;
}

std::optional<std::string> CanonicalBoolean(std::string_view text) {
    const std::string word = Lowered(Trimmed(text));
    if (word == "t" || word == "true" || word == "y" || word == "yes" || word == "on" ||
        word == "1")
        return std::string("t");
    if (word == "f" || word == "false" || word == "n" || word == "no" || word == "off" ||
        word == "0")
        return std::string("f");
    return std::nullopt;
}

std::optional<std::string> CanonicalUuid(std::string_view text) {
    std::string hex;
    for (char c : Lowered(Trimmed(text))) {
        if (c == '-' || c == '{' || c == '}')
            continue;
        if (!IsDigit(c) && (c < 'a' || c > 'f'))
            return std::nullopt;
        hex += c;
    }
    if (hex.size() != 32)
        return std::nullopt;
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" +
           hex.substr(16, 4) + "-" + hex.substr(20);
}

}  // namespace

std::optional<std::string> PlainDecimal(std::string_view text) {
    return CanonicalDecimal(text);
}

ValueForm FormOf(ValueRule rule) {
    if (rule.kind == ValueKind::kBinary)
        return ValueForm::kBytes;
    return rule.bytesAsHex ? ValueForm::kHex : ValueForm::kText;
}

std::optional<ValueProblem> TextProblem(std::string_view text, bool nulAllowed) {
    constexpr const char* kPrefix = "invalid byte sequence for encoding \"UTF8\": ";
    if (adodb::detail::AsciiWithoutNul(text))
        return std::nullopt;
    if (!nulAllowed) {
        if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos)
            return ValueProblem{kPrefix + QuoteBytes(text, nul), "22021"};
    }
    const std::size_t bad = adodb::detail::FirstInvalidUtf8(text);
    if (bad != std::string_view::npos)
        return ValueProblem{kPrefix + QuoteBytes(text, bad), "22021"};
    return std::nullopt;
}

std::optional<ValueProblem> DecimalProblem(std::string_view text, ValueRule rule) {
    if (rule.kind != ValueKind::kDecimal)
        return std::nullopt;
    if (IsNegativeZero(text))
        return ValueProblem{"The value \"" + std::string(text) +
                                "\" is a negative zero: a decimal column would keep it as 0.",
                            "22003"};
    if (rule.precision < 0)
        return std::nullopt;  // any number of digits (its scale then means nothing)
    const std::optional<std::string> plain = CanonicalDecimal(text);
    if (!plain || *plain == "0")
        return std::nullopt;  // no number (the database refuses it itself), or zero
    const std::size_t point = plain->find('.');
    // Digits the value has past the column's last one: after the point beyond the scale, or
    // before it below a negative scale.
    const long long fraction =
        point == std::string::npos ? 0 : static_cast<long long>(plain->size() - point - 1);
    const std::size_t last =
        plain->find_last_not_of('0', point == std::string::npos ? std::string::npos : point - 1);
    const long long zeros = point != std::string::npos || last == std::string::npos
                                ? 0
                                : static_cast<long long>(plain->size() - last - 1);
    if (fraction <= std::max(rule.scale, 0) && (rule.scale >= 0 || zeros >= -rule.scale))
        return std::nullopt;
    return ValueProblem{"The value \"" + std::string(text) + "\" has more digits than the scale " +
                            std::to_string(rule.scale) + " of its column: it would be rounded.",
                        "22003"};
}

std::optional<ValueProblem> BlanksPastLength(std::string_view text, ValueRule rule) {
    if (rule.kind != ValueKind::kText || rule.length < 0 ||
        text.size() <= static_cast<std::size_t>(rule.length))
        return std::nullopt;  // no more characters than bytes
    // The byte where the character after the length starts.
    std::size_t at = 0;
    for (int characters = 0; at < text.size(); ++at) {
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && characters++ == rule.length)
            break;
    }
    if (at >= text.size() || text.find_first_not_of(' ', at) != std::string_view::npos)
        return std::nullopt;
    return ValueProblem{"The value \"" + std::string(text) + "\" is longer than the " +
                            std::to_string(rule.length) +
                            " characters of its column: PostgreSQL would cut its trailing blanks.",
                        "22001"};
}

std::optional<ValueProblem> TemporalProblem(std::string_view text, ValueRule rule) {
    if (!IsTemporal(rule.kind) || PlainIsoKeeps(text, rule.kind, rule.fractionDigits))
        return std::nullopt;
    if (std::optional<std::string> why =
            TemporalChange(text, TemporalOf(rule.kind), rule.fractionDigits))
        return ValueProblem{std::move(*why), "22007"};
    return std::nullopt;
}

std::string ComparableValue(std::string_view text, ValueRule rule) {
    std::optional<std::string> same;
    switch (rule.kind) {
        case ValueKind::kInteger:
        case ValueKind::kDecimal:
            same = CanonicalDecimal(text);
            break;
        case ValueKind::kFloat:
            same = CanonicalFloat(text);
            break;
        case ValueKind::kBoolean:
            same = CanonicalBoolean(text);
            break;
        case ValueKind::kUuid:
            same = CanonicalUuid(text);
            break;
        case ValueKind::kDate:
        case ValueKind::kTime:
        case ValueKind::kTimestamp:
        case ValueKind::kTimestampTz:
            same = CanonicalTemporal(text, TemporalOf(rule.kind));
            break;
        case ValueKind::kPaddedText:
            same = std::string(text.substr(0, text.find_last_not_of(' ') + 1));
            break;
        case ValueKind::kBinary:
            same = Lowered(text);  // hex digits, in either case
            break;
        case ValueKind::kText:
            break;
    }
    return same ? std::move(*same) : std::string(text);
}

}  // namespace korvanta
