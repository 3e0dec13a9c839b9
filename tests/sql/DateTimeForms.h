#pragma once

// Date and time texts in the forms PostgreSQL's date/time input takes (its documentation's
// tables of date, time, time zone and special inputs, and the forms found in real data),
// with what a column of each type makes of them, as PostgreSQL 15 does with DateStyle
// "ISO, MDY": 'K' keeps the value, 'C' changes it without a word (a time of day or a
// date dropped, a zone dropped, a word resolved at load time, digits of a second rounded),
// 'R' refuses it. 'c' is a change the server-side check cannot see by comparing values
// (rounded digits, 24:00 as the end of a day); it is checked by the program alone.
namespace datetimeforms {

struct Form {
    const char* text;
    char date, time, timestamp;
};

inline constexpr Form kForms[] = {
    // Dates.
    {"1999-01-08", 'K', 'R', 'K'},
    {"January 8, 1999", 'K', 'R', 'K'},
    {"1/8/1999", 'K', 'R', 'K'},
    {"1/18/1999", 'K', 'R', 'K'},
    {"01/02/03", 'K', 'R', 'K'},
    {"1999-Jan-08", 'K', 'R', 'K'},
    {"Jan-08-1999", 'K', 'R', 'K'},
    {"08-Jan-1999", 'K', 'R', 'K'},
    {"08-Jan-99", 'K', 'R', 'K'},
    {"Jan-08-99", 'K', 'R', 'K'},
    {"19990108", 'K', 'R', 'K'},
    {"990108", 'K', 'R', 'K'},
    {"1999.008", 'K', 'R', 'K'},
    {"J2451187", 'K', 'R', 'K'},
    {"January 8, 99 BC", 'K', 'R', 'K'},
    {"0044-03-15 BC", 'K', 'R', 'K'},
    {"y2024m01d05", 'K', 'R', 'K'},
    {"2024-1-5", 'K', 'R', 'K'},
    {"2024-02-30", 'R', 'R', 'R'},
    // Times, with and without zones.
    {"04:05:06.789", 'R', 'K', 'R'},
    {"04:05", 'R', 'K', 'R'},
    {"040506", 'K', 'K', 'K'},
    {"04:05 AM", 'R', 'K', 'R'},
    {"04:05 PM", 'R', 'K', 'R'},
    {"04:05:06.789-8", 'R', 'C', 'R'},
    {"04:05-08:00", 'R', 'C', 'R'},
    {"040506-08", 'R', 'C', 'R'},
    {"040506+0730", 'K', 'C', 'C'},
    {"04:05:06 PST", 'R', 'C', 'R'},
    // Timestamps.
    {"1999-01-08 04:05:06", 'C', 'C', 'K'},
    {"1999-01-08 04:05:06 -8:00", 'C', 'C', 'C'},
    {"2003-04-12 04:05:06 America/New_York", 'C', 'C', 'C'},
    {"January 8 04:05:06 1999 PST", 'C', 'R', 'C'},
    {"Fri Jan 05 13:45:00 2024", 'C', 'R', 'K'},
    {"2024-01-05 134500", 'C', 'R', 'K'},
    {"20240105 134500", 'C', 'R', 'K'},
    {"20240105T134500", 'C', 'R', 'K'},
    {"2024-01-05T13:45:00Z", 'C', 'R', 'C'},
    {"2024-01-05+05:30", 'K', 'R', 'C'},
    {"2024-01-05 00:00:00+05", 'K', 'C', 'C'},
    {"2024-01-05 12:00 AM", 'K', 'C', 'K'},
    {"2024-01-05 12:00 PM", 'C', 'C', 'K'},
    {"2024-01-05 24:00:00", 'C', 'c', 'K'},
    {"2024-02-29 23:59:59.000", 'C', 'C', 'K'},
    {"2024-01-05 13:45:00.1234567", 'C', 'C', 'c'},
    {"J2451187.5", 'C', 'C', 'K'},
    // Special values.
    {"epoch", 'C', 'R', 'C'},
    {"infinity", 'K', 'R', 'K'},
    {"-infinity", 'K', 'R', 'K'},
    {"now", 'C', 'C', 'C'},
    {"today", 'C', 'R', 'C'},
    {"tomorrow", 'C', 'R', 'C'},
    {"yesterday", 'C', 'R', 'C'},
    {"allballs", 'R', 'C', 'R'},
};

}  // namespace datetimeforms
