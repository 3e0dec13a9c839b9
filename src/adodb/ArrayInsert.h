#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "adodb/Error.h"
#include "adodb/Handles.h"

namespace adodb {

class Connection;
class ConnectionState;

// Rows of values handed to ArrayInsert: each value Null or UTF-8 text.
class TextRows {
  public:
    virtual ~TextRows() = default;
    // The value at (row, column); nullopt for Null.
    virtual std::optional<std::string_view> Value(std::size_t row, std::size_t column) const = 0;
    // Whether a NUL byte follows the value in memory, so that a driver may be handed the text
    // where it is.
    virtual bool Terminated(std::size_t, std::size_t) const { return false; }
};

// An INSERT with one "?" per column, prepared once and executed for many rows. The values
// are bound as text parameters, so the database reads each one as it reads the same text
// between apostrophes; they go in arrays (SQL_ATTR_PARAMSET_SIZE) where the driver takes
// arrays, a row per execution otherwise. A row with a value too large for a buffer goes
// alone, that value handed over in pieces at execution (SQLPutData) rather than copied.
class ArrayInsert {
  public:
    ArrayInsert(Connection& connection, std::string_view sql, std::size_t columns);
    ~ArrayInsert();
    ArrayInsert(const ArrayInsert&) = delete;
    ArrayInsert& operator=(const ArrayInsert&) = delete;

    struct Result {
        std::optional<Error> error;            // what stopped the execution, if anything did
        std::optional<std::size_t> failedRow;  // the row the driver named as failing
    };
    // Executes the rows first..last-1 in order and stops at the first failure.
    Result Execute(const TextRows& rows, std::size_t first, std::size_t last);

    // Whether the driver took arrays of parameters.

    // Columns whose values are hexadecimal digits, two per byte, that go in as the bytes
    // they spell (a binary column); the others go as text.
    void SetBinaryColumns(std::vector<bool> binary) { binary_ = std::move(binary); }
    // One row per execution: for a driver whose arrays of parameters lose values.
    void OneRowAtATime();

  private:
    struct Column {
        std::vector<char> data;
        std::vector<SQLLEN> indicator;
        std::size_t width = 0;  // bytes per row
    };
    std::size_t PlanRun(const TextRows& rows, std::size_t first, std::size_t last);
    void FillAndBind(const TextRows& rows, std::size_t first, std::size_t count);
    void BindBinary(const TextRows& rows, std::size_t first, std::size_t count, std::size_t c);
    // SQLExecute, handing over the values bound for execution time.
    SQLRETURN Run(const TextRows& rows, std::size_t row);
    void PutValue(std::string_view value, bool binary);
    bool Binary(std::size_t column) const noexcept {
        return column < binary_.size() && binary_[column];
    }
    // Frees buffers grown far beyond a usual run, and the bindings to them.
    void ReleaseLargeBuffers() noexcept;

    std::shared_ptr<ConnectionState> state_;  // outlives the statement below
    detail::StatementHandle statement_;
    std::size_t columns_;
    std::size_t maxRows_ = 1;
    std::vector<Column> bound_;
    std::vector<std::size_t> longest_;  // per column, of the run being planned
    std::vector<SQLUSMALLINT> status_;
    SQLULEN processed_ = 0;
    std::vector<SQLWCHAR> wide_;        // a piece of a value handed over at execution
    std::vector<bool> atExecution_;     // per column, of the run bound last
    std::vector<bool> binary_;          // per column: hex digits that go as bytes
    std::vector<unsigned char> bytes_;  // a piece of a binary value handed over at execution
};

}  // namespace adodb
