#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "adodb/ByteScan.h"
#include "adodb/Connection.h"
#include "adodb/Recordset.h"
#include "adodb/RowSink.h"
#include "adodb/Variant.h"
#include "engine/rows/PostgresRows.h"
#include "engine/rows/RowBatch.h"
#include "sql/dialect/Dialect.h"
#include "sql/model/SourceField.h"

namespace korvanta {

// The rows of one table, read as its dialect says they arrive as the database holds them:
// its own rows only (a PostgreSQL table's, not those of tables that inherit from it), with
// what the driver would change undone (psqlODBC's dates, the SQLite driver's 15-digit
// doubles), floating-point values as numbers from a driver that holds them so. A send
// reads its source so, and a verification reads the target back the same way.
//
// Given a libpq connection to the same PostgreSQL database, the rows come over it with COPY
// (the driver only describes the columns): the server's own text, at the server's speed,
// and a server that goes away mid-read is an error, never the driver's crash.
class TableRows {
  public:
    // Opens SELECT * over the table's rows on `connection`, a database of that dialect.
    // Raises the driver's error when they cannot be read.
    // `where`: a condition in the database's SQL that the rows read (and counted) meet;
    // empty: every row. `columns`: the columns read; empty: all of them (SELECT *).
    // `orderBy`: what the rows come in the order of, in the database's SQL ("a", "b" COLLATE
    // "C"); empty: the database's own order.
    void Open(adodb::Connection& connection, std::shared_ptr<const Dialect> dialect,
              const std::string& table, PostgresCopyConnection* wire = nullptr,
              const std::string& where = {}, const std::vector<std::string>& columns = {},
              const std::vector<std::string>& orderBy = {});

    // Opens the same rows as Open(), through the source's driver, for a verification: by
    // the dialect's statement for that, not the one a send reads with.
    void OpenToVerify(adodb::Connection& connection, std::shared_ptr<const Dialect> dialect,
                      const std::string& table, const std::string& where,
                      const std::vector<std::string>& orderBy);

    // The table's columns as SELECT * describes them, reading no row.
    static std::vector<SourceField> Describe(adodb::Connection& connection, const Dialect& dialect,
                                             const std::string& table);
    // The columns as SELECT * describes them.
    const std::vector<SourceField>& Fields() const noexcept { return fields_; }
    // The statement reading the rows.
    const std::string& Statement() const noexcept { return statement_; }
    // The number of rows, or nullopt when they cannot be counted. Before the first Next.
    std::optional<long long> Count(adodb::Connection& connection);

    // Moves to the first row, then to each next; false after the last. Raises the
    // driver's error.
    bool Next();
    // Moves to the next row as Next() does and, where the driver's buffers allow, adds it to
    // the batch, each value as Value() would give it (kGiven: Value() then has none).
    // kCurrent: the row is read through Value(). Raises the driver's error; a row whose
    // values did not fit in memory is kCurrent, its values unreadable.
    adodb::SinkRead NextInto(RowBatch& batch);
    // A value of the current row as the database holds it, nullopt for Null; valid until the
    // next call. Raises the driver's error.
    std::optional<std::string_view> Value(std::size_t column);
    // The memory of the current row, handed over: the values Value() gave of it stay where
    // they are for as long as `memory` lives.
    struct HeldRow {
        std::shared_ptr<const void> memory;
        std::string_view bytes;   // where the row's values are
        bool terminated = false;  // each value in it is followed by a NUL byte
    };
    // nullopt when the row cannot be handed over (its values are then copied).
    std::optional<HeldRow> TakeRow();
    // The current row whole, as Value() would give each of its values, with the memory they
    // all lie in; nullopt when a value must be read on its own (one the dialect reads
    // differently). Valid until the next call. Raises the driver's error.
    struct RowView {
        std::string_view memory;
        std::span<const adodb::Variant> values;
    };
    std::optional<RowView> RowAsRead();
    // Ends the reading (before its end, too).
    void Close();

    // The current row's values as a report shows them (bytes as hex digits), after Value()
    // refused one of them. Raises the driver's error.
    std::vector<std::optional<std::string>> ShownRow();
    // What each column's target takes of a value whose kind is not its column's (see
    // ValueForm); before the first row. Unless told, a binary column takes bytes and any
    // other takes text.
    void Into(const std::vector<ValueRule>& rules);

  private:
    // What the source holds in a column, once asked: values that read as its driver's text
    // of bytes as bytes, as texts, and doubles.
    struct StoredKinds {
        bool asked = false;
        bool bytesLikeTexts = false;
        bool bytes = false;
        bool doubles = false;
    };

    // A value as the dialect reads it and its target takes it. Most values are as they
    // read: told by their bytes, without a call.
    std::string_view Exact(std::size_t column, std::string_view text) {
        if (column >= everyValue_.size() || everyValue_[column] || text.empty() ||
            leads_[static_cast<unsigned char>(text.front())])
            return ReadExactly(column, text);
        if (const std::array<unsigned char, 2>& inside = inside_[column];
            inside[0] != 0 && adodb::detail::HoldsEither(text, inside[0], inside[1]))
            return ReadExactly(column, text);
        return text;
    }
    std::string_view ReadExactly(std::size_t column, std::string_view text);
    void Declared(adodb::Connection& connection, const std::string& table);
    void Marked();
    // Notes which columns read every value, once the forms are known.
    void Formed();
    // A value as a report shows it: bytes as their hex digits; never asks the database.
    std::string_view Shown(std::size_t column, std::string_view text);
    bool Doubtless(std::size_t column, const Dialect::ExactRead& read, std::string_view text);
    // The values of the batch's last row as a report shows them (bytes as hex digits).
    std::vector<std::optional<std::string>> ShownValues(const RowBatch& batch, std::size_t row);

    adodb::Recordset records_;
    std::unique_ptr<PostgresRows> wire_;
    bool started_ = false;
    std::vector<SourceField> fields_;
    std::string from_;   // what the statements read: the quoted name, after ONLY when needed
    std::string where_;  // " WHERE ..." or empty
    std::string statement_;
    std::shared_ptr<const Dialect> dialect_;
    bool verifying_ = false;           // opened by OpenToVerify
    std::vector<std::uint8_t> marks_;  // per column, how the dialect reads its values
    std::vector<ValueForm> forms_;     // per column, what its target takes
    std::vector<StoredKinds> kinds_;   // per column, once asked
    std::array<bool, 256> leads_{};    // the first bytes of values the dialect reads
    std::vector<char> everyValue_;     // per column: each value is read (bytes from a text)
    // Per column, up to two bytes that anywhere in a value make it worth reading (0: none).
    std::vector<std::array<unsigned char, 2>> inside_;
    adodb::Connection* connection_ = nullptr;  // the source's, for those questions
    std::string hex_;                          // a text's bytes as hex digits
    adodb::Variant value_;                     // the driver's last value
    std::string scratch_;                      // a value the dialect read
    std::vector<adodb::Variant> row_;          // what RowAsRead() gave of a row read over libpq
    std::vector<std::size_t> markedColumns_;   // the columns the dialect reads, by number
};

}  // namespace korvanta
