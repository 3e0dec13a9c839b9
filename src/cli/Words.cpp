#include "cli/Words.h"

#include <QString>

#include <utility>

namespace korvanta::cli {

namespace {

constexpr std::pair<const char*, IfExists> kModes[] = {
    {"ask", IfExists::kAsk},     {"replace", IfExists::kReplace},   {"skip", IfExists::kSkip},
    {"stop", IfExists::kStop},   {"truncate", IfExists::kTruncate}, {"append", IfExists::kAppend},
    {"merge", IfExists::kMerge},
};

constexpr std::pair<const char*, Into> kIntos[] = {
    {"", Into::kNone},
    {"truncate", Into::kTruncate},
    {"append", Into::kAppend},
    {"merge", Into::kMerge},
};

constexpr std::pair<const char*, Side> kSides[] = {
    {"postgresql", Side::PostgreSQL},
    {"sqlanywhere", Side::SqlAnywhere},
};

template <class Enum, std::size_t N>
std::optional<Enum> Named(const std::pair<const char*, Enum> (&words)[N], std::string_view word,
                          std::size_t first = 0) {
    const QString lower =
        QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size())).toLower();
    for (std::size_t i = first; i < N; ++i) {
        if (lower == QLatin1String(words[i].first))
            return words[i].second;
    }
    return std::nullopt;
}

template <class Enum, std::size_t N>
const char* Word(const std::pair<const char*, Enum> (&words)[N], Enum value) {
    for (const auto& [word, each] : words) {
        if (each == value)
            return word;
    }
    return words[0].first;
}

}  // namespace

// "ask" is what no option names: the question is the mode without one.
std::optional<IfExists> IfExistsNamed(std::string_view word) {
    return Named(kModes, word, 1);
}

const char* IfExistsWord(IfExists mode) {
    return Word(kModes, mode);
}

const char* IntoWord(Into into) {
    return Word(kIntos, into);
}

std::optional<Side> SideNamed(std::string_view word) {
    return Named(kSides, word);
}

const char* SideWord(Side side) {
    return Word(kSides, side);
}

}  // namespace korvanta::cli
