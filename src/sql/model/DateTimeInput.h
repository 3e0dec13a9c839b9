#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvanta {

// A date, time or timestamp text as PostgreSQL's date/time input reads it (ISO 8601,
// compact "20240105 134500", "January 8, 1999", Julian days, special words, time zones,
// BC), taken apart into what it says: whether it has a date, a time of day and a zone, and
// their fields. Dates with the day and month in doubt are read month first, as PostgreSQL
// does by default (DateStyle MDY).
struct DateTimeInput {
    enum class Special {
        kNone,
        kEpoch,          // 1970-01-01 00:00:00 UTC
        kInfinity,       // later than every date
        kMinusInfinity,  // earlier than every date
        kNow,            // the moment of the load
        kToday,          // midnight of the day of the load
        kTomorrow,
        kYesterday,
        kAllBalls,  // 00:00:00 UTC
    };
    Special special = Special::kNone;

    bool hasDate = false;
    int year = 0;  // as written, counting AD or BC years from 1
    int month = 0;
    int day = 0;
    bool bc = false;

    bool hasTime = false;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::string fraction;  // the digits of a second after the point, as written

    bool hasZone = false;
    std::optional<int> zoneSeconds;  // east of UTC, when the zone is an offset or UTC itself
    std::string zone;                // the zone as written

    // A time of day other than midnight (24:00 is the end of the day, not midnight).
    bool TimeOfDayIsSet() const;
    // Fraction digits beyond `kept` that are not zero: digits the column would round away.
    bool FractionBeyond(int kept) const;
};

// The value's fields, or nullopt when PostgreSQL would not read it as a date or time at
// all (then the database refuses it itself). `timeOfDayFirst`: read as a time column reads
// it, where "040506" is a time of day rather than a date.
std::optional<DateTimeInput> ReadDateTimeInput(std::string_view text, bool timeOfDayFirst = false);

// The type of a PostgreSQL column that a date/time text goes into.
enum class TemporalType { kDate, kTime, kTimestamp, kTimestampTz };

// Why the column would keep something other than the value ("has a time of day (13:45:00)
// that a date column drops"), nullopt when it keeps the value. `fractionDigits`: the
// digits of a second the column keeps (6 when it has no precision of its own).
std::optional<std::string> TemporalChange(std::string_view text, TemporalType type,
                                          int fractionDigits);

// One text for every text that means the same value of that type, so that values compare
// as the type compares ("2024-02-29 23:59:59.000" and "2024-02-29T23:59:59"); nullopt when
// the text is not such a value.
std::optional<std::string> CanonicalTemporal(std::string_view text, TemporalType type);

}  // namespace korvanta
