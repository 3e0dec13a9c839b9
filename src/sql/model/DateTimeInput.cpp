#include "sql/model/DateTimeInput.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>
#include <vector>

namespace korvanta {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool IsPunct(char c) {
    return c > ' ' && c < 0x7f && !IsDigit(c) && !IsAlpha(c);
}
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}
int Number(std::string_view digits) {
    int n = 0;
    for (char c : digits) {
        if (n > 100000000)
            return -1;  // beyond any field: refused below
        n = n * 10 + (c - '0');
    }
    return n;
}

// ---- Fields: the input cut where PostgreSQL cuts it ----

enum class Kind {
    kNumber,   // digits, perhaps with a decimal point
    kDate,     // digits with date separators, or text with separators (a zone name)
    kTime,     // digits with colons
    kWord,     // letters
    kZone,     // a sign and digits
    kSpecial,  // a sign and letters: -infinity
};

struct Field {
    Kind kind;
    std::string text;  // letters in lower case
};

// The words PostgreSQL knows itself; a word followed by digits that is none of these is
// the start of a zone name ("utc+3").
bool IsKeyword(std::string_view word) {
    static constexpr std::array kWords = {
        "ad",       "allballs", "am",      "apr",       "april",    "at",       "aug",
        "august",   "bc",       "d",       "dec",       "december", "dow",      "doy",
        "dst",      "epoch",    "feb",     "february",  "fri",      "friday",   "h",
        "infinity", "isodow",   "isoyear", "j",         "jan",      "january",  "jd",
        "jul",      "julian",   "july",    "jun",       "june",     "m",        "mar",
        "march",    "may",      "mm",      "mon",       "monday",   "nov",      "november",
        "now",      "oct",      "october", "on",        "pm",       "s",        "sat",
        "saturday", "sep",      "sept",    "september", "sun",      "sunday",   "t",
        "thu",      "thur",     "thurs",   "thursday",  "today",    "tomorrow", "tue",
        "tues",     "tuesday",  "wed",     "wednesday", "weds",     "y",        "yesterday"};
    return std::find(kWords.begin(), kWords.end(), word) != kWords.end();
}

// Reads fields off the text, one at a time, cut where PostgreSQL cuts them.
class Cutter {
  public:
    explicit Cutter(std::string_view text) : text_(text) {}

    std::optional<std::vector<Field>> Fields() {
        std::vector<Field> fields;
        while (i_ < text_.size()) {
            const char c = text_[i_];
            if (IsSpace(c) || (IsPunct(c) && c != '.' && c != '+' && c != '-')) {
                ++i_;  // blanks, and other punctuation as a separator of its own
                continue;
            }
            std::optional<Field> field = IsDigit(c)   ? Digits()
                                         : c == '.'   ? Fraction()
                                         : IsAlpha(c) ? Letters()
                                         : IsPunct(c) ? Signed()
                                                      : std::nullopt;
            if (!field)
                return std::nullopt;  // a character PostgreSQL does not read here
            fields.push_back(std::move(*field));
        }
        return fields;
    }

  private:
    template <class Accept>
    void Take(std::string& out, Accept accept) {
        while (i_ < text_.size() && accept(text_[i_]))
            out += Lower(text_[i_++]);
    }
    bool At(char c) const { return i_ < text_.size() && text_[i_] == c; }

    // Digits: a number, a time (with colons) or a date (with - / . between its parts).
    std::optional<Field> Digits() {
        Field field{Kind::kNumber, {}};
        Take(field.text, IsDigit);
        if (At(':')) {
            field.kind = Kind::kTime;
            Take(field.text, [](char d) { return IsDigit(d) || d == ':' || d == '.'; });
        } else if (At('-') || At('/') || At('.')) {
            const char delim = text_[i_];
            field.text += text_[i_++];
            if (i_ < text_.size() && IsDigit(text_[i_])) {
                field.kind = delim == '.' ? Kind::kNumber : Kind::kDate;
                Take(field.text, IsDigit);
                if (At(delim)) {
                    field.kind = Kind::kDate;
                    Take(field.text, [delim](char d) { return IsDigit(d) || d == delim; });
                }
            } else {
                field.kind = Kind::kDate;
                Take(field.text,
                     [delim](char d) { return IsDigit(d) || IsAlpha(d) || d == delim; });
            }
        }
        return field;
    }

    // ".123": a fraction of a second.
    std::optional<Field> Fraction() {
        Field field{Kind::kNumber, std::string(1, text_[i_++])};
        Take(field.text, IsDigit);
        return field;
    }

    // A word; with separators or digits after it, a date with a month's name or a zone's
    // name ("jan-08-1999", "america/new_york", "utc+3").
    std::optional<Field> Letters() {
        Field field{Kind::kWord, {}};
        Take(field.text, IsAlpha);
        const bool zoneOrDate =
            At('-') || At('/') || At('.') ||
            ((At('+') || (i_ < text_.size() && IsDigit(text_[i_]))) && !IsKeyword(field.text));
        if (zoneOrDate) {
            field.kind = Kind::kDate;
            Take(field.text, [](char d) {
                return IsDigit(d) || IsAlpha(d) || d == '+' || d == '-' || d == '/' || d == '_' ||
                       d == '.' || d == ':';
            });
        }
        return field;
    }

    // A sign: a zone offset ("+05:30") or a signed word ("-infinity").
    std::optional<Field> Signed() {
        Field field{Kind::kZone, std::string(1, text_[i_++])};
        while (i_ < text_.size() && IsSpace(text_[i_]))
            ++i_;
        if (i_ < text_.size() && IsDigit(text_[i_])) {
            Take(field.text, [](char d) { return IsDigit(d) || d == ':' || d == '.' || d == '-'; });
            return field;
        }
        if (i_ < text_.size() && IsAlpha(text_[i_])) {
            field.kind = Kind::kSpecial;
            Take(field.text, IsAlpha);
            return field;
        }
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t i_ = 0;
};

// ---- Reading the fields ----

int MonthOf(std::string_view word) {
    static constexpr std::array<std::pair<const char*, int>, 24> kMonths = {{
        {"jan", 1},   {"january", 1},   {"feb", 2},       {"february", 2},  {"mar", 3},
        {"march", 3}, {"apr", 4},       {"april", 4},     {"may", 5},       {"jun", 6},
        {"june", 6},  {"jul", 7},       {"july", 7},      {"aug", 8},       {"august", 8},
        {"sep", 9},   {"sept", 9},      {"september", 9}, {"oct", 10},      {"october", 10},
        {"nov", 11},  {"november", 11}, {"dec", 12},      {"december", 12},
    }};
    for (const auto& [name, month] : kMonths) {
        if (word == name)
            return month;
    }
    return 0;
}

bool IsDayOfWeek(std::string_view word) {
    static constexpr std::array kDays = {
        "sun",       "sunday", "mon",  "monday", "tue",      "tues", "tuesday", "wed", "weds",
        "wednesday", "thu",    "thur", "thurs",  "thursday", "fri",  "friday",  "sat", "saturday"};
    return std::find(kDays.begin(), kDays.end(), word) != kDays.end();
}

// Zones whose offset is fixed: enough to compare the values that carry them.
std::optional<int> FixedZone(std::string_view word) {
    static constexpr std::array<std::pair<const char*, int>, 22> kZones = {{
        {"z", 0},           {"zulu", 0},        {"utc", 0},         {"ut", 0},
        {"gmt", 0},         {"est", -5 * 3600}, {"edt", -4 * 3600}, {"cst", -6 * 3600},
        {"cdt", -5 * 3600}, {"mst", -7 * 3600}, {"mdt", -6 * 3600}, {"pst", -8 * 3600},
        {"pdt", -7 * 3600}, {"wet", 0},         {"west", 3600},     {"cet", 3600},
        {"cest", 7200},     {"eet", 7200},      {"eest", 10800},    {"msk", 10800},
        {"jst", 9 * 3600},  {"bst", 3600},
    }};
    for (const auto& [name, seconds] : kZones) {
        if (word == name)
            return seconds;
    }
    return std::nullopt;
}

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a day of the proleptic Gregorian calendar (year 0 is 1 BC).
long long DaysFromCivil(long long y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, long long& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

class Reader {
  public:
    explicit Reader(bool timeFirst) : timeFirst_(timeFirst) {}

    std::optional<DateTimeInput> Read(const std::vector<Field>& fields) {
        for (const Field& field : fields) {
            if (!Take(field))
                return std::nullopt;
        }
        if (marker_ != Marker::kNone || !Finish())
            return std::nullopt;
        return v_;
    }

  private:
    enum class Marker { kNone, kTime, kJulian, kYear, kMonth, kDay, kHour, kMinute, kSecond };

    bool Take(const Field& f) {
        switch (f.kind) {
            case Kind::kWord:
                return Word(f.text);
            case Kind::kSpecial:
                if (f.text == "-infinity")
                    return Special(DateTimeInput::Special::kMinusInfinity);
                if (f.text == "+infinity")
                    return Special(DateTimeInput::Special::kInfinity);
                return false;
            case Kind::kZone:
                return Zone(f.text);
            case Kind::kTime:
                // "T" before a time written with colons marks nothing more.
                if (marker_ == Marker::kTime)
                    marker_ = Marker::kNone;
                return Time(f.text);
            case Kind::kDate:
                return DateOrZoneName(f.text);
            case Kind::kNumber:
                return NumberField(f.text);
        }
        return false;
    }

    bool Special(DateTimeInput::Special special) {
        if (v_.special != DateTimeInput::Special::kNone)
            return false;
        v_.special = special;
        return true;
    }

    bool Word(const std::string& w) {
        using S = DateTimeInput::Special;
        if (w == "epoch")
            return Special(S::kEpoch);
        if (w == "infinity")
            return Special(S::kInfinity);
        if (w == "now")
            return Special(S::kNow);
        if (w == "today")
            return Special(S::kToday);
        if (w == "tomorrow")
            return Special(S::kTomorrow);
        if (w == "yesterday")
            return Special(S::kYesterday);
        if (w == "allballs")
            return Special(S::kAllBalls);
        if (const int month = MonthOf(w)) {
            if (month_ != 0)
                return false;
            month_ = month;
            textMonth_ = true;
            return true;
        }
        if (IsDayOfWeek(w) || w == "at" || w == "on" || w == "ad")
            return true;
        if (w == "bc") {
            v_.bc = true;
            return true;
        }
        if (w == "am" || w == "pm") {
            if (meridiem_ != 0)
                return false;
            meridiem_ = w == "am" ? 1 : 2;
            return true;
        }
        const auto mark = [&](Marker m) {
            if (marker_ != Marker::kNone)
                return false;
            marker_ = m;
            return true;
        };
        if (w == "t")
            return mark(Marker::kTime);
        if (w == "j" || w == "jd" || w == "julian")
            return mark(Marker::kJulian);
        if (w == "y")
            return mark(Marker::kYear);
        if (w == "m")
            return mark(month_ != 0 && v_.hasTime ? Marker::kMinute : Marker::kMonth);
        if (w == "d")
            return mark(Marker::kDay);
        if (w == "h")
            return mark(Marker::kHour);
        if (w == "mm")
            return mark(Marker::kMinute);
        if (w == "s")
            return mark(Marker::kSecond);
        return ZoneName(w, FixedZone(w));
    }

    bool ZoneName(const std::string& name, std::optional<int> seconds) {
        if (v_.hasZone)
            return false;
        v_.hasZone = true;
        v_.zone = name;
        v_.zoneSeconds = seconds;
        return true;
    }

    // +hh, +hhmm, +hh:mm, +hh:mm:ss.
    bool Zone(const std::string& text) {
        if (v_.hasZone)
            return false;
        const int sign = text[0] == '-' ? -1 : 1;
        std::string_view rest = std::string_view(text).substr(1);
        int hours = 0, minutes = 0, seconds = 0;
        if (const std::size_t colon = rest.find(':'); colon != std::string_view::npos) {
            std::string_view h = rest.substr(0, colon), m = rest.substr(colon + 1);
            std::string_view s;
            if (const std::size_t second = m.find(':'); second != std::string_view::npos) {
                s = m.substr(second + 1);
                m = m.substr(0, second);
            }
            if (!AllDigits(h) || !AllDigits(m) || (!s.empty() && !AllDigits(s)))
                return false;
            hours = Number(h);
            minutes = Number(m);
            seconds = s.empty() ? 0 : Number(s);
        } else if (AllDigits(rest) && rest.size() <= 2) {
            hours = Number(rest);
        } else if (AllDigits(rest) && rest.size() == 4) {
            hours = Number(rest.substr(0, 2));
            minutes = Number(rest.substr(2));
        } else if (AllDigits(rest) && rest.size() == 6) {
            hours = Number(rest.substr(0, 2));
            minutes = Number(rest.substr(2, 2));
            seconds = Number(rest.substr(4));
        } else {
            return false;
        }
        if (hours > 15 || minutes > 59 || seconds > 59)
            return false;
        v_.hasZone = true;
        v_.zone = text;
        v_.zoneSeconds = sign * (hours * 3600 + minutes * 60 + seconds);
        return true;
    }

    // h:mm[:ss[.fff]]
    bool Time(const std::string& text) {
        if (v_.hasTime)
            return false;
        std::vector<std::string_view> parts;
        std::string_view rest = text;
        for (;;) {
            const std::size_t colon = rest.find(':');
            parts.push_back(rest.substr(0, colon));
            if (colon == std::string_view::npos)
                break;
            rest = rest.substr(colon + 1);
        }
        if (parts.size() < 2 || parts.size() > 3)
            return false;
        std::string_view last = parts.back();
        std::string fraction;
        if (const std::size_t dot = last.find('.'); dot != std::string_view::npos) {
            fraction = std::string(last.substr(dot + 1));
            last = last.substr(0, dot);
            if (!fraction.empty() && !AllDigits(fraction))
                return false;
        }
        parts.back() = last;
        for (std::string_view p : parts) {
            if (!AllDigits(p))
                return false;
        }
        v_.hour = Number(parts[0]);
        v_.minute = Number(parts[1]);
        v_.second = parts.size() == 3 ? Number(parts[2]) : 0;
        v_.fraction = fraction;
        v_.hasTime = true;
        return true;
    }

    // hh[mm[ss]][.fff] run together.
    bool CompactTime(std::string_view digits) {
        if (v_.hasTime)
            return false;
        std::string_view fraction;
        if (const std::size_t dot = digits.find('.'); dot != std::string_view::npos) {
            fraction = digits.substr(dot + 1);
            digits = digits.substr(0, dot);
        }
        if (!AllDigits(digits) || (!fraction.empty() && !AllDigits(fraction)))
            return false;
        if (digits.size() != 2 && digits.size() != 4 && digits.size() != 6)
            return false;
        v_.hour = Number(digits.substr(0, 2));
        v_.minute = digits.size() >= 4 ? Number(digits.substr(2, 2)) : 0;
        v_.second = digits.size() == 6 ? Number(digits.substr(4, 2)) : 0;
        v_.fraction = std::string(fraction);
        v_.hasTime = true;
        return true;
    }

    bool Julian(std::string_view text) {
        std::string_view digits = text, fraction;
        if (const std::size_t dot = text.find('.'); dot != std::string_view::npos) {
            digits = text.substr(0, dot);
            fraction = text.substr(dot + 1);
        }
        if (!AllDigits(digits) || (!fraction.empty() && !AllDigits(fraction)) || HaveDate())
            return false;
        const int julian = Number(digits);
        if (julian < 0)
            return false;
        long long y = 0;
        CivilFromDays(julian - 2440588LL, y, month_, day_);
        if (y <= 0) {
            v_.bc = true;
            y = 1 - y;
        }
        SetYear(y);
        if (fraction.find_first_not_of('0') != std::string_view::npos) {
            // The fraction of a day is a time of day.
            double part = 0;
            for (std::size_t k = 0; k < fraction.size() && k < 15; ++k)
                part += (fraction[k] - '0') * Pow10(-static_cast<int>(k) - 1);
            const long long micros = static_cast<long long>(part * 86400e6 + 0.5);
            if (v_.hasTime)
                return false;
            v_.hasTime = true;
            v_.hour = static_cast<int>(micros / 3600000000LL);
            v_.minute = static_cast<int>(micros / 60000000LL % 60);
            v_.second = static_cast<int>(micros / 1000000LL % 60);
            char text6[8];
            std::snprintf(text6, sizeof text6, "%06lld", micros % 1000000LL);
            v_.fraction = text6;
        }
        return true;
    }

    static double Pow10(int e) {
        double p = 1;
        for (int k = 0; k > e; --k)
            p /= 10;
        return p;
    }

    bool NumberField(const std::string& text) {
        if (marker_ != Marker::kNone)
            return Marked(text);
        const std::size_t dot = text.find('.');
        if (dot != std::string::npos) {
            if (dot == 0) {
                // ".123" after a time: its fraction of a second.
                if (!v_.hasTime || !v_.fraction.empty() || !AllDigits(text.substr(1)))
                    return false;
                v_.fraction = text.substr(1);
                return true;
            }
            if (!HaveDate() && !timeFirst_)
                return DateParts(text, '.');
            if (dot > 2)
                return CompactTime(text);
            return false;
        }
        if (timeFirst_ && !v_.hasTime && (text.size() == 4 || text.size() == 6))
            return CompactTime(text);
        if (!HaveDate() && year_ < 0 && month_ == 0 && day_ == 0) {
            if (text.size() == 8) {  // yyyymmdd
                SetYear(Number(text.substr(0, 4)));
                month_ = Number(text.substr(4, 2));
                day_ = Number(text.substr(6, 2));
                return true;
            }
            if (text.size() == 6) {  // yymmdd
                SetTwoDigitYear(text.substr(0, 2));
                month_ = Number(text.substr(2, 2));
                day_ = Number(text.substr(4, 2));
                return true;
            }
        }
        if (HaveDate() && !v_.hasTime && (text.size() == 4 || text.size() == 6))
            return CompactTime(text);
        return AssignDatePart(text);
    }

    bool Marked(const std::string& text) {
        const Marker marker = std::exchange(marker_, Marker::kNone);
        if (marker == Marker::kTime)
            return CompactTime(text);
        if (marker == Marker::kJulian)
            return Julian(text);
        if (!AllDigits(text))
            return marker == Marker::kSecond && SecondsWithFraction(text);
        const int n = Number(text);
        switch (marker) {
            case Marker::kYear:
                SetYear(n);
                return true;
            case Marker::kMonth:
                month_ = n;
                return true;
            case Marker::kDay:
                day_ = n;
                return true;
            case Marker::kHour:
                v_.hasTime = true;
                v_.hour = n;
                return true;
            case Marker::kMinute:
                v_.hasTime = true;
                v_.minute = n;
                return true;
            case Marker::kSecond:
                v_.hasTime = true;
                v_.second = n;
                return true;
            default:
                return false;
        }
    }

    bool SecondsWithFraction(std::string_view text) {
        const std::size_t dot = text.find('.');
        if (dot == std::string_view::npos || !AllDigits(text.substr(0, dot)) ||
            !AllDigits(text.substr(dot + 1)))
            return false;
        v_.hasTime = true;
        v_.second = Number(text.substr(0, dot));
        v_.fraction = std::string(text.substr(dot + 1));
        return true;
    }

    // A text with separators: a date ("2024-01-05", "1/8/1999", "8-jan-1999"), or, once
    // the date is known or when it starts with letters, a zone name ("america/new_york").
    bool DateOrZoneName(const std::string& text) {
        const bool letters = IsAlpha(text[0]);
        if (letters && MonthOf(text.substr(0, text.find_first_of("-/."))) == 0)
            return ZoneName(text, std::nullopt);
        // "hhmmss-zz": a time run together with its zone, after a date or in a time.
        const bool oneMinus = std::count(text.begin(), text.end(), '-') == 1 &&
                              text.find_first_of("/.") == std::string::npos;
        if ((HaveDate() || timeFirst_) && !letters && oneMinus)
            return ZoneAfterCompactTime(text);
        char delim = 0;
        for (char c : text) {
            if (c == '-' || c == '/' || c == '.') {
                delim = c;
                break;
            }
        }
        return DateParts(text, delim);
    }

    // "134500-08": a compact time with a zone after it.
    bool ZoneAfterCompactTime(const std::string& text) {
        const std::size_t minus = text.find('-');
        if (minus == std::string::npos)
            return false;
        return CompactTime(std::string_view(text).substr(0, minus)) && Zone(text.substr(minus));
    }

    bool DateParts(std::string_view text, char delim) {
        std::vector<std::string_view> parts;
        for (;;) {
            const std::size_t at = text.find(delim);
            parts.push_back(text.substr(0, at));
            if (at == std::string_view::npos)
                break;
            text = text.substr(at + 1);
        }
        // Letters first: a month named is unambiguous, and tells what the numbers are.
        for (std::string_view part : parts) {
            if (part.empty() || !IsAlpha(part[0]))
                continue;
            const std::string word(part);
            if (const int month = MonthOf(word); month != 0 && month_ == 0) {
                month_ = month;
                textMonth_ = true;
            } else if (word == "bc") {
                v_.bc = true;
            } else if (!IsDayOfWeek(word) && word != "ad") {
                return false;
            }
        }
        for (std::string_view part : parts) {
            if (part.empty() || IsAlpha(part[0]))
                continue;
            if (!AllDigits(part) || !AssignDatePart(part))
                return false;
        }
        return true;
    }

    // A number of a date, placed as PostgreSQL places it: three digits or more make the
    // year, a month named makes the others day then year, else month, day, year (MDY).
    bool AssignDatePart(std::string_view digits) {
        if (!AllDigits(digits))
            return false;
        const int n = Number(digits);
        if (digits.size() == 3 && year_ >= 0 && month_ == 0 && day_ == 0) {
            // yyyy.ddd: a day of the year.
            long long y = 0;
            const long long first = DaysFromCivil(year_, 1, 1);
            CivilFromDays(first + n - 1, y, month_, day_);
            return n >= 1 && n <= (IsLeap(year_) ? 366 : 365);
        }
        if (digits.size() >= 3 && year_ < 0) {
            SetYear(n);
            return true;
        }
        if (year_ >= 0 && month_ == 0 && !textMonth_) {
            month_ = n;
            return true;
        }
        if (textMonth_ || month_ != 0) {
            if (day_ == 0) {
                day_ = n;
                return true;
            }
            if (year_ < 0) {
                if (digits.size() <= 2)
                    SetTwoDigitYear(digits);
                else
                    SetYear(n);
                return true;
            }
            return false;
        }
        month_ = n;
        return true;
    }

    void SetYear(long long y) {
        year_ = static_cast<int>(y);
        twoDigits_ = false;
    }
    void SetTwoDigitYear(std::string_view digits) {
        year_ = Number(digits);
        twoDigits_ = true;
    }

    bool HaveDate() const { return year_ >= 0 && month_ != 0 && day_ != 0; }

    bool Finish() {
        using S = DateTimeInput::Special;
        if (v_.special != S::kNone) {
            // Only the days relative to the load take a time of day beside them.
            const bool relativeDay = v_.special == S::kToday || v_.special == S::kTomorrow ||
                                     v_.special == S::kYesterday;
            if (!relativeDay && (year_ >= 0 || month_ != 0 || day_ != 0 || v_.hasTime))
                return false;
            return year_ < 0 && month_ == 0 && day_ == 0;
        }
        if (year_ >= 0 || month_ != 0 || day_ != 0) {
            if (!HaveDate())
                return false;
            int year = year_;
            if (v_.bc) {
                if (year <= 0)
                    return false;
            } else if (twoDigits_) {
                year += year < 70 ? 2000 : 1900;
            } else if (year == 0) {
                return false;
            }
            if (month_ < 1 || month_ > 12 || day_ < 1)
                return false;
            // BC years count from 1 BC, the proleptic year 0.
            const int proleptic = v_.bc ? 1 - year : year;
            if (day_ > DaysInMonth(proleptic, month_))
                return false;
            v_.hasDate = true;
            v_.year = year;
            v_.month = month_;
            v_.day = day_;
        } else if (v_.bc) {
            return false;
        }
        if (meridiem_ != 0) {
            if (v_.hour > 12)
                return false;
            v_.hasTime = true;
            if (meridiem_ == 2 && v_.hour != 12)
                v_.hour += 12;
            else if (meridiem_ == 1 && v_.hour == 12)
                v_.hour = 0;
        }
        if (v_.hasTime) {
            const bool fractionSet = v_.fraction.find_first_not_of('0') != std::string::npos;
            if (v_.hour > 24 || v_.minute > 59 || v_.second > 60 ||
                (v_.hour == 24 && (v_.minute > 0 || v_.second > 0 || fractionSet)))
                return false;
        }
        return v_.hasDate || v_.hasTime;
    }

    bool timeFirst_;
    DateTimeInput v_;
    Marker marker_ = Marker::kNone;
    int year_ = -1;
    int month_ = 0;
    int day_ = 0;
    bool twoDigits_ = false;
    bool textMonth_ = false;
    int meridiem_ = 0;  // 1 am, 2 pm
};

std::string TwoDigits(int n) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

std::string TrimmedFraction(std::string fraction) {
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    return fraction.empty() ? std::string() : "." + fraction;
}

std::string TimeText(int hour, int minute, int second, const std::string& fraction) {
    return TwoDigits(hour) + ":" + TwoDigits(minute) + ":" + TwoDigits(second) +
           TrimmedFraction(fraction);
}

// YYYY-MM-DD of a proleptic year (0 is 1 BC), without the era.
std::string DatePart(long long proleptic, int month, int day) {
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d", proleptic <= 0 ? 1 - proleptic : proleptic,
                  month, day);
    return text;
}

std::string Era(long long proleptic) {
    return proleptic <= 0 ? " BC" : "";
}

long long FloorDiv(long long a, long long b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

std::string SpecialText(DateTimeInput::Special special) {
    return special == DateTimeInput::Special::kInfinity ? "infinity" : "-infinity";
}

bool IsInfinity(DateTimeInput::Special special) {
    return special == DateTimeInput::Special::kInfinity ||
           special == DateTimeInput::Special::kMinusInfinity;
}

std::string TimeOf(const DateTimeInput& v) {
    return TimeText(v.hour, v.minute, v.second, v.fraction);
}

}  // namespace

bool DateTimeInput::TimeOfDayIsSet() const {
    return hasTime && (hour != 0 || minute != 0 || second != 0 ||
                       fraction.find_first_not_of('0') != std::string::npos);
}

bool DateTimeInput::FractionBeyond(int kept) const {
    return kept >= 0 && static_cast<std::size_t>(kept) < fraction.size() &&
           fraction.find_first_not_of('0', static_cast<std::size_t>(kept)) != std::string::npos;
}

std::optional<DateTimeInput> ReadDateTimeInput(std::string_view text, bool timeFirst) {
    const std::optional<std::vector<Field>> fields = Cutter(text).Fields();
    if (!fields || fields->empty())
        return std::nullopt;
    return Reader(timeFirst).Read(*fields);
}

std::optional<std::string> TemporalChange(std::string_view text, TemporalType type,
                                          int fractionDigits) {
    using S = DateTimeInput::Special;
    const std::optional<DateTimeInput> v = ReadDateTimeInput(text, type == TemporalType::kTime);
    if (!v)
        return std::nullopt;  // not a value the column takes: the database refuses it
    const std::string quoted = "\"" + std::string(text) + "\"";
    const char* column = type == TemporalType::kDate        ? "a date column"
                         : type == TemporalType::kTime      ? "a time column"
                         : type == TemporalType::kTimestamp ? "a timestamp column"
                                                            : "a timestamp with time zone column";
    switch (v->special) {
        case S::kNone:
            break;
        case S::kInfinity:
        case S::kMinusInfinity:
            return std::nullopt;  // kept as it is (or refused by a time column)
        case S::kEpoch:
            return "The value " + quoted + " means 1970-01-01 00:00:00 UTC: " + column +
                   " would keep that date and time, not the word.";
        case S::kAllBalls:
            return "The value " + quoted + " means 00:00:00 UTC: " + column +
                   " would keep that time, not the word.";
        case S::kNow:
        case S::kToday:
        case S::kTomorrow:
        case S::kYesterday:
            return "The value " + quoted + " names a day relative to the load: " + column +
                   " would keep the day or moment the copy ran, not the value.";
    }
    // A date column given no date, or a time column given no time, refuses the value itself.
    if (type == TemporalType::kTime ? !v->hasTime : !v->hasDate)
        return std::nullopt;
    if (type == TemporalType::kDate) {
        if (v->TimeOfDayIsSet()) {
            return "The date " + quoted + " has a time of day (" + TimeOf(*v) +
                   ") that a date column would drop.";
        }
        return std::nullopt;
    }
    if (type == TemporalType::kTime && v->hasDate) {
        const long long proleptic = v->bc ? 1 - v->year : v->year;
        return "The value " + quoted + " has a date (" + DatePart(proleptic, v->month, v->day) +
               Era(proleptic) + ") that a time column would drop.";
    }
    if (v->hasZone && type != TemporalType::kTimestampTz) {
        return "The value " + quoted + " has a time zone (" + v->zone + ") that " + column +
               " without time zone would drop.";
    }
    if (v->FractionBeyond(fractionDigits)) {
        return "The value " + quoted + " has more digits of a second than " + column + " keeps (" +
               std::to_string(fractionDigits) + "): they would be rounded away.";
    }
    return std::nullopt;
}

std::optional<std::string> CanonicalTemporal(std::string_view text, TemporalType type) {
    std::optional<DateTimeInput> v = ReadDateTimeInput(text, type == TemporalType::kTime);
    if (!v)
        return std::nullopt;
    if (IsInfinity(v->special))
        return SpecialText(v->special);
    if (v->special == DateTimeInput::Special::kAllBalls && type == TemporalType::kTime)
        return std::string("00:00:00");
    if (v->special != DateTimeInput::Special::kNone)
        return std::nullopt;
    if (type == TemporalType::kTime)
        return v->hasTime ? std::optional(TimeOf(*v)) : std::nullopt;
    if (!v->hasDate)
        return std::nullopt;
    const long long proleptic = v->bc ? 1 - v->year : v->year;
    if (type == TemporalType::kDate)
        return DatePart(proleptic, v->month, v->day) + Era(proleptic);
    // A timestamp: 24:00 is the start of the next day; a zone known by its offset is
    // taken to UTC, so that one instant gives one text whatever zone wrote it.
    long long seconds = DaysFromCivil(proleptic, v->month, v->day) * 86400 + v->hour * 3600LL +
                        v->minute * 60LL + v->second;
    if (type == TemporalType::kTimestampTz && v->zoneSeconds)
        seconds -= *v->zoneSeconds;
    const long long days = FloorDiv(seconds, 86400);
    seconds -= days * 86400;
    long long year = 0;
    int month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    std::string out =
        DatePart(year, month, day) + " " +
        TimeText(static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                 static_cast<int>(seconds % 60), v->fraction);
    if (type == TemporalType::kTimestampTz && v->hasZone && !v->zoneSeconds)
        out += " " + v->zone;
    return out + Era(year);
}

}  // namespace korvanta
