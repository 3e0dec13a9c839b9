#include "sql/ValueCheck.h"

#include <array>
#include <cstdio>

#include "adodb/TextCodec.h"

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
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// The words of the value, in lower case: its runs of ASCII letters.
std::string LowerWords(std::string_view text) {
    std::string words;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsLetter(text[i])) {
            words += Lower(text[i]);
        } else if (!words.empty() && words.back() != ' ') {
            words += ' ';
        }
    }
    return ' ' + words + ' ';
}

bool HasWord(const std::string& words, std::string_view word) {
    return words.find(' ' + std::string(word) + ' ') != std::string::npos;
}

// Digits from `at` on, at most `most`; their value and how many were read.
std::size_t Digits(std::string_view text, std::size_t at, std::size_t most, int& value) {
    value = 0;
    std::size_t n = 0;
    while (at + n < text.size() && n < most && IsDigit(text[at + n])) {
        value = value * 10 + (text[at + n] - '0');
        ++n;
    }
    return n;
}

// The time of day the value holds, as "h:mm:ss" text, when it is not midnight; empty
// when it holds none or midnight. Found as PostgreSQL reads it: h:mm[:ss[.frac]] not
// after a sign (a zone offset such as +05:30), or ISO 8601's basic form after a 'T'
// (20240105T134500), with AM and PM; 24:00 is the end of the day, not its start.
std::string TimeOfDay(std::string_view text, const std::string& words) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        int hour = 0, minute = 0, second = 0;
        std::size_t end = i;
        bool fraction = false;
        if (IsDigit(text[i]) && (i == 0 || !IsDigit(text[i - 1]))) {
            const std::size_t h = Digits(text, i, 2, hour);
            if (h == 0 || i + h >= text.size() || text[i + h] != ':')
                continue;
            if (i > 0 && (text[i - 1] == '+' || text[i - 1] == '-'))
                continue;  // a zone offset, not a time of day
            const std::size_t m = Digits(text, i + h + 1, 2, minute);
            if (m == 0)
                continue;
            end = i + h + 1 + m;
            if (end < text.size() && text[end] == ':') {
                end += 1 + Digits(text, end + 1, 2, second);
                if (end < text.size() && (text[end] == '.' || text[end] == ',')) {
                    for (std::size_t k = end + 1; k < text.size() && IsDigit(text[k]); ++k) {
                        fraction = fraction || text[k] != '0';
                        end = k + 1;
                    }
                }
            }
        } else if ((text[i] == 'T' || text[i] == 't') && i > 0 && IsDigit(text[i - 1]) &&
                   i + 1 < text.size() && IsDigit(text[i + 1])) {
            const std::size_t h = Digits(text, i + 1, 2, hour);
            if (i + 1 + h < text.size() && text[i + 1 + h] == ':')
                continue;  // the extended form, 2024-01-05T13:45, read from its digits on
            const std::size_t m = h == 2 ? Digits(text, i + 3, 2, minute) : 0;
            const std::size_t s = m == 2 ? Digits(text, i + 5, 2, second) : 0;
            end = i + 1 + h + m + s;
            if (end < text.size() && (text[end] == '.' || text[end] == ',')) {
                for (std::size_t k = end + 1; k < text.size() && IsDigit(text[k]); ++k) {
                    fraction = fraction || text[k] != '0';
                    end = k + 1;
                }
            }
        } else {
            continue;
        }
        const bool pm = HasWord(words, "pm");
        if (HasWord(words, "am") && hour == 12)
            hour = 0;
        if (hour == 0 && minute == 0 && second == 0 && !fraction && !pm)
            return {};
        return std::string(text.substr(i, end - i)) + (pm ? " PM" : "");
    }
    return {};
}

}  // namespace

std::optional<std::string> UnstorableText(std::string_view text, Side target) {
    constexpr const char* kPrefix = "invalid byte sequence for encoding \"UTF8\": ";
    if (target == Side::PostgreSQL) {
        if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos)
            return kPrefix + QuoteBytes(text, nul);
    }
    const std::size_t bad = adodb::detail::FirstInvalidUtf8(text);
    if (bad != std::string_view::npos)
        return kPrefix + QuoteBytes(text, bad);
    return std::nullopt;
}

std::optional<std::string> MomentChangesValue(std::string_view text) {
    const std::string words = LowerWords(text);
    constexpr std::array kDaysOfTheLoad = {"now", "today", "tomorrow", "yesterday"};
    for (const char* word : kDaysOfTheLoad) {
        if (HasWord(words, word)) {
            return "The value \"" + std::string(text) +
                   "\" names a day relative to the load: the column would keep the moment "
                   "the copy ran, not the value.";
        }
    }
    return std::nullopt;
}

std::optional<std::string> DateChangesValue(std::string_view text) {
    const std::string words = LowerWords(text);
    if (HasWord(words, "now") || HasWord(words, "today") || HasWord(words, "tomorrow") ||
        HasWord(words, "yesterday")) {
        return "The date \"" + std::string(text) +
               "\" names a day relative to the load: a DATE column would keep the day the copy "
               "ran, not the value.";
    }
    std::string time = TimeOfDay(text, words);
    // A Julian day with a fraction: the fraction is a time of day.
    if (time.empty() && text.size() > 1 && (text[0] == 'J' || text[0] == 'j') && IsDigit(text[1])) {
        const std::size_t dot = text.find('.');
        if (dot != std::string_view::npos &&
            text.substr(dot + 1).find_first_not_of("0") != std::string_view::npos)
            time = std::string(text.substr(dot));
    }
    if (!time.empty()) {
        return "The date \"" + std::string(text) + "\" has a time of day (" + time +
               ") that a DATE column would drop.";
    }
    return std::nullopt;
}

std::optional<ValueProblem> UnstorableValue(std::string_view text, Side target, ValueRule rule) {
    if (std::optional<std::string> why = UnstorableText(text, target))
        return ValueProblem{std::move(*why), "22021"};
    std::optional<std::string> why;
    if (rule == ValueRule::kDate)
        why = DateChangesValue(text);
    else if (rule == ValueRule::kMoment)
        why = MomentChangesValue(text);
    if (why)
        return ValueProblem{std::move(*why), "22007"};
    return std::nullopt;
}

}  // namespace korvanta
