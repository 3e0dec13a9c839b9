#include "sql/model/TypeFit.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace korvanta {

namespace {

bool IsInteger(TypeKind kind) {
    return kind == TypeKind::kSmallInt || kind == TypeKind::kInteger || kind == TypeKind::kBigInt;
}

// Decimal digits of the largest value of an integer kind.
int IntegerDigits(TypeKind kind) {
    return kind == TypeKind::kSmallInt ? 5 : kind == TypeKind::kInteger ? 10 : 19;
}

// The characters the longest value's text takes: an integer's sign and digits.
int LongestText(const ColumnType& type) {
    if (IsInteger(type.kind))
        return IntegerDigits(type.kind) + 1;
    if (type.kind == TypeKind::kChar || type.kind == TypeKind::kVarChar)
        return type.length;
    return -1;  // any length
}

// "a date", "an integer" ("a uuid": the letter u is read as a consonant there).
std::string A(const std::string& text) {
    const bool vowel =
        !text.empty() && std::string_view("aeioAEIO").find(text[0]) != std::string_view::npos;
    return (vowel ? "an " : "a ") + text;
}

// "is a date, the source a timestamp".
std::string Unlike(const ColumnType& column, const ColumnType& source) {
    return "is " + A(TypeText(column)) + ", the source " + A(TypeText(source));
}

bool SameTypeName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool Unconstrained(const ColumnType& type) {
    return type.precision < 0;
}

// Digits before the point a numeric column takes; -1: any.
int WholeDigits(const ColumnType& type) {
    if (type.kind != TypeKind::kNumeric)
        return IsInteger(type.kind) ? IntegerDigits(type.kind) : -1;
    if (Unconstrained(type))
        return -1;
    return type.precision - std::max(type.scale, 0);
}

int Scale(const ColumnType& type) {
    if (IsInteger(type.kind))
        return 0;
    return Unconstrained(type) ? -1 : std::max(type.scale, 0);
}

// Digits of a second a time kind keeps; -1 (none given) is the databases' default of 6.
int SecondDigits(const ColumnType& type) {
    return type.precision >= 0 ? type.precision : 6;
}

std::string Numeric(const ColumnType& column, const ColumnType& source) {
    if (!IsInteger(source.kind) && source.kind != TypeKind::kNumeric)
        return "takes exact numbers only";
    if (Unconstrained(column))
        return {};
    if (source.kind == TypeKind::kNumeric && Unconstrained(source))
        return "holds " + std::to_string(column.precision) + " digits, the source any number";
    if (Scale(source) > Scale(column))
        return "keeps " + std::to_string(Scale(column)) + " digits after the point, the source " +
               std::to_string(Scale(source));
    if (WholeDigits(source) > WholeDigits(column))
        return "takes " + std::to_string(WholeDigits(column)) +
               " digits before the point, the source " + std::to_string(WholeDigits(source));
    return {};
}

std::string Integer(const ColumnType& column, const ColumnType& source) {
    if (IsInteger(source.kind)) {
        if (IntegerDigits(source.kind) > IntegerDigits(column.kind) ||
            (source.kind == TypeKind::kBigInt && column.kind != TypeKind::kBigInt) ||
            (source.kind == TypeKind::kInteger && column.kind == TypeKind::kSmallInt))
            return "is a smaller integer than the source's";
        return {};
    }
    if (source.kind == TypeKind::kNumeric && !Unconstrained(source) && Scale(source) == 0 &&
        WholeDigits(source) < IntegerDigits(column.kind))
        return {};
    return "takes whole numbers only";
}

std::string Text(const ColumnType& column, const ColumnType& source) {
    if (source.kind == TypeKind::kBinary)
        return "takes text, the source holds bytes";
    if (column.kind == TypeKind::kText || column.length < 0)
        return {};
    // Blanks at the end of a fixed-length value do not count; in a varying one they do.
    if (column.kind == TypeKind::kChar && source.kind != TypeKind::kChar)
        return "pads its values with blanks, the source's keep their own length";
    const int longest = LongestText(source);
    if (longest < 0)
        return "holds " + std::to_string(column.length) +
               " characters, the source values of any length";
    if (longest > column.length)
        return "holds " + std::to_string(column.length) + " characters, the source up to " +
               std::to_string(longest);
    return {};
}

std::string Temporal(const ColumnType& column, const ColumnType& source) {
    if (source.kind != column.kind)
        return Unlike(column, source);
    if (column.kind != TypeKind::kDate && SecondDigits(source) > SecondDigits(column))
        return "keeps " + std::to_string(SecondDigits(column)) +
               " digits of a second, the source " + std::to_string(SecondDigits(source));
    return {};
}

}  // namespace

std::string TypeText(const ColumnType& type) {
    const auto sized = [&](const char* name, int n) {
        return n >= 0 ? std::string(name) + "(" + std::to_string(n) + ")" : std::string(name);
    };
    switch (type.kind) {
        case TypeKind::kSmallInt:
            return "smallint";
        case TypeKind::kInteger:
            return "integer";
        case TypeKind::kBigInt:
            return "bigint";
        case TypeKind::kNumeric:
            if (type.precision < 0)
                return "numeric";
            return "numeric(" + std::to_string(type.precision) + "," +
                   std::to_string(std::max(type.scale, 0)) + ")";
        case TypeKind::kReal:
            return "real";
        case TypeKind::kDouble:
            return "double precision";
        case TypeKind::kChar:
            return sized("char", type.length);
        case TypeKind::kVarChar:
            return sized("varchar", type.length);
        case TypeKind::kText:
            return "text";
        case TypeKind::kBinary:
            return "binary";
        case TypeKind::kDate:
            return "date";
        case TypeKind::kTime:
            return sized("time", type.precision);
        case TypeKind::kTimestamp:
            return sized("timestamp", type.precision);
        case TypeKind::kTimestampTz:
            return sized("timestamp with time zone", type.precision);
        case TypeKind::kBoolean:
            return "boolean";
        case TypeKind::kUuid:
            return "uuid";
        case TypeKind::kOther:
            break;
    }
    return type.name.empty() ? "type of its own" : type.name;
}

std::string WhyNotHeld(const ColumnType& column, const ColumnType& source) {
    switch (column.kind) {
        case TypeKind::kText:
        case TypeKind::kVarChar:
        case TypeKind::kChar:
            return Text(column, source);
        case TypeKind::kSmallInt:
        case TypeKind::kInteger:
        case TypeKind::kBigInt:
            return Integer(column, source);
        case TypeKind::kNumeric:
            return Numeric(column, source);
        case TypeKind::kReal:
            // Its 24 bits hold a smallint exactly, and nothing wider.
            return source.kind == TypeKind::kReal || source.kind == TypeKind::kSmallInt
                       ? std::string()
                       : "is a 4-byte floating-point number, the source " + A(TypeText(source));
        case TypeKind::kDouble:
            return source.kind == TypeKind::kDouble || source.kind == TypeKind::kReal ||
                           source.kind == TypeKind::kSmallInt || source.kind == TypeKind::kInteger
                       ? std::string()
                       : "is a floating-point number, the source " + A(TypeText(source));
        case TypeKind::kDate:
        case TypeKind::kTime:
        case TypeKind::kTimestamp:
        case TypeKind::kTimestampTz:
            return Temporal(column, source);
        case TypeKind::kBoolean:
        case TypeKind::kUuid:
        case TypeKind::kBinary:
            return source.kind == column.kind ? std::string() : Unlike(column, source);
        case TypeKind::kOther:
            // A type of the target's own takes the same type only.
            if (source.kind == TypeKind::kOther && SameTypeName(source.name, column.name))
                return {};
            return Unlike(column, source);
    }
    return {};
}

}  // namespace korvanta
