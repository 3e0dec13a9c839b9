#include "adodb/ValueFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace adodb::detail {
namespace {

template <typename Number>
void AppendFloating(std::string& out, Number value) {
    if (std::isnan(value)) {
        out += "NaN";
    } else if (std::isinf(value)) {
        out += value < 0 ? "-Infinity" : "Infinity";
    } else {
        // The shortest text that reads back as the same number, in plain decimals within
        // the range of the type's significant digits (as PostgreSQL writes floats: 1000000
        // stays 1000000, not 1e+06), in exponent form beyond it.
        constexpr Number kPlainBelow = sizeof(Number) == sizeof(float) ? Number(1e6) : Number(1e15);
        const Number magnitude = std::fabs(value);
        const bool plain = magnitude == 0 || (magnitude >= Number(1e-4) && magnitude < kPlainBelow);
        char buffer[400];
        const auto result =
            std::to_chars(buffer, buffer + sizeof buffer, value,
                          plain ? std::chars_format::fixed : std::chars_format::scientific);
        out.append(buffer, result.ptr);
    }
}

// Writes value in decimal with leading zeros up to width digits (as "%0*ld").
void AppendPadded(std::string& out, long value, int width) {
    if (value < 0 || width > 20) {
        char buffer[32];
        const int n = std::snprintf(buffer, sizeof buffer, "%0*ld", width, value);
        out.append(buffer, static_cast<std::size_t>(n));
        return;
    }
    char buffer[20];
    char* end = buffer + sizeof buffer;
    char* p = end;
    auto rest = static_cast<unsigned long>(value);
    do {
        *--p = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    while (end - p < width)
        *--p = '0';
    out.append(p, end);
}

}  // namespace

void AppendDouble(std::string& out, double value) {
    AppendFloating(out, value);
}
void AppendFloat(std::string& out, float value) {
    AppendFloating(out, value);
}

void AppendDate(std::string& out, const SQL_DATE_STRUCT& date) {
    AppendPadded(out, date.year, 4);
    out += '-';
    AppendPadded(out, date.month, 2);
    out += '-';
    AppendPadded(out, date.day, 2);
}

void AppendTime(std::string& out, const SQL_TIME_STRUCT& time) {
    AppendPadded(out, time.hour, 2);
    out += ':';
    AppendPadded(out, time.minute, 2);
    out += ':';
    AppendPadded(out, time.second, 2);
}

void AppendTimestamp(std::string& out, const SQL_TIMESTAMP_STRUCT& stamp) {
    AppendDate(out, {stamp.year, stamp.month, stamp.day});
    out += ' ';
    AppendTime(out, {stamp.hour, stamp.minute, stamp.second});
    if (stamp.fraction != 0) {
        // fraction counts nanoseconds; trailing zeros are dropped.
        char digits[16];
        int n;
        if (stamp.fraction < 1000000000u) {
            unsigned long rest = stamp.fraction;
            digits[0] = '.';
            for (int k = 9; k >= 1; --k) {
                digits[k] = static_cast<char>('0' + rest % 10);
                rest /= 10;
            }
            n = 10;
        } else {
            n = std::snprintf(digits, sizeof digits, ".%09lu",
                              static_cast<unsigned long>(stamp.fraction));
        }
        while (digits[n - 1] == '0')
            --n;
        out.append(digits, static_cast<std::size_t>(n));
    }
}

}  // namespace adodb::detail
