#include "engine/send/TableVerify.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

#include "engine/rows/TableChecksum.h"
#include "engine/rows/TableRows.h"
#include "sql/model/SqlName.h"

namespace korvanta {

namespace {

// A side's rows read to the end, each given to `row` with its place among the rows read
// (from 1, refused rows counted) while `row` returns true.
template <class F>
void EachRow(const VerifyRead& side, bool source, const std::vector<ValueRule>& rules,
             const std::vector<long long>& refused, F&& row) {
    TableRows rows;
    if (source)
        rows.OpenToVerify(side.connection, side.dialect, side.table, side.where, side.orderBy);
    else
        rows.Open(side.connection, side.dialect, side.table, side.wire);
    rows.Into(rules);
    auto skip = refused.begin();
    bool more = true;
    for (long long place = 1; more && rows.Next(); ++place) {
        while (skip != refused.end() && *skip < place)
            ++skip;
        if (skip != refused.end() && *skip == place)
            continue;
        more = row(place, rows);
    }
    rows.Close();
}

struct Fingerprint {
    TableChecksum sums;
    std::vector<std::pair<std::uint64_t, long long>> rows;  // each row's hash and place
    std::vector<std::string> names;
};

constexpr std::size_t kRowsHeld = 10'000'000;  // rows whose hashes a failed check holds

Fingerprint Read(const VerifyRead& side, bool source, const std::vector<ValueRule>& rules,
                 const std::vector<long long>& refused, bool keepRows) {
    Fingerprint print{TableChecksum(rules.size(), rules), {}, {}};
    EachRow(side, source, rules, refused, [&](long long place, TableRows& rows) {
        if (print.names.empty()) {
            for (const SourceField& field : rows.Fields())
                print.names.push_back(field.name);
        }
        for (std::size_t j = 0; j < rows.Fields().size(); ++j)
            print.sums.AddValue(j, rows.Value(j));
        const std::uint64_t hash = print.sums.EndRow();
        if (keepRows && print.rows.size() < kRowsHeld)
            print.rows.emplace_back(hash, place);
        return true;
    });
    return print;
}

// The first row (by place) of `one` whose hash `other` lacks, as many times as it has it.
std::optional<long long> FirstUnmatched(std::vector<std::pair<std::uint64_t, long long>> one,
                                        std::vector<std::pair<std::uint64_t, long long>> other) {
    std::sort(one.begin(), one.end());
    std::sort(other.begin(), other.end());
    std::optional<long long> first;
    auto o = other.begin();
    for (const auto& [hash, place] : one) {
        while (o != other.end() && o->first < hash)
            ++o;
        if (o != other.end() && o->first == hash) {
            ++o;
            continue;
        }
        if (!first || place < *first)
            first = place;
    }
    return first;
}

// The values of the row at `place`, as a report shows them.
std::vector<std::optional<std::string>> RowAt(const VerifyRead& side, bool source,
                                              const std::vector<ValueRule>& rules,
                                              const std::vector<long long>& refused,
                                              long long place) {
    std::vector<std::optional<std::string>> values;
    EachRow(side, source, rules, refused, [&](long long at, TableRows& rows) {
        if (at != place)
            return true;
        for (std::size_t j = 0; j < rows.Fields().size(); ++j) {
            const std::optional<std::string_view> value = rows.Value(j);
            values.push_back(value ? std::optional<std::string>(*value) : std::nullopt);
        }
        return false;
    });
    return values;
}

// Control characters as \xHH, so that a report stays one line and shows a NUL.
std::string Printable(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            out += c;
            continue;
        }
        constexpr char kHex[] = "0123456789abcdef";
        out += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
    }
    return out;
}

std::string Shown(const std::vector<std::optional<std::string>>& values,
                  const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t j = 0; j < values.size() && j < names.size(); ++j) {
        std::string value = values[j] ? "'" + Printable(values[j]->substr(0, 100)) + "'" : "NULL";
        text += (text.empty() ? "" : ", ") + QuotedName(names[j]) + " = " + value;
    }
    return text;
}

}  // namespace

std::string VerifyTable(const VerifyRead& source, const VerifyRead& target,
                        const std::vector<ValueRule>& rules,
                        const std::vector<long long>& refused) {
    const Fingerprint read = Read(source, true, rules, refused, false);
    const Fingerprint back = Read(target, false, rules, {}, false);
    std::string difference = read.sums.Difference(back.sums, back.names);
    if (difference.empty())
        return {};
    // Which rows: both sides again, each row's hash kept, the first of each without a match.
    const Fingerprint readRows = Read(source, true, rules, refused, true);
    const Fingerprint backRows = Read(target, false, rules, {}, true);
    if (const auto row = FirstUnmatched(readRows.rows, backRows.rows))
        difference += "; the source's row " + std::to_string(*row) + " (" +
                      Shown(RowAt(source, true, rules, refused, *row), readRows.names) +
                      ") is not on the target";
    if (const auto row = FirstUnmatched(backRows.rows, readRows.rows))
        difference += "; the target's row " + std::to_string(*row) + " (" +
                      Shown(RowAt(target, false, rules, {}, *row), backRows.names) +
                      ") is not in the source";
    return difference;
}

}  // namespace korvanta
