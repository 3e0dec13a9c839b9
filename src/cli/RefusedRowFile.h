#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/OutputFile.h"
#include "engine/rows/TransferListener.h"

namespace korvanta::cli {

// One field as PostgreSQL's CSV reads it back: Null as nothing at all, every text
// between quotes when it is empty, holds a comma, a quote, CR, LF or is "\.".
std::string CsvField(const std::optional<std::string>& value);
// A refused row as one CSV record: table, source row, message, then its values.
std::string CsvRecord(const RefusedRow& row);

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(std::string_view bytes);
// A JSON string; bytes that are not UTF-8 become U+FFFD (for names and messages only).
std::string JsonString(std::string_view text);
// A value kept byte for byte: null, a JSON string when it is UTF-8, else {"hex":"..."}.
std::string JsonValue(const std::optional<std::string>& value);
// A refused row as one line of JSON: {"table","row","columns","values","error"}.
std::string JsonRecord(const RefusedRow& row);

// The reject file: CSV when the name ends in ".csv", JSON lines otherwise. Rows come from
// the run's threads, so each is written whole under a lock. A row that cannot be written
// (a full disk) is counted, never half in the file.
class RefusedRowFile {
  public:
    // Opens the file, replacing an existing one; throws std::runtime_error when it cannot.
    // `keep`: the rows go after those the file holds (a send carried on keeps the rows its
    // stopped run refused).
    explicit RefusedRowFile(const std::string& path, bool keep = false);

    // False when the row could not be written.
    bool Write(const RefusedRow& row);
    // Rows that could not be written, and why the first one could not.
    long long Lost() const;
    std::string Failure() const;
    // Closes the file; false when a row was lost or the file could not be closed.
    bool Close();
    const std::string& Path() const noexcept { return file_.Path(); }

  private:
    mutable std::mutex mutex_;
    OutputFile file_;
    bool csv_ = false;
    long long lost_ = 0;
};

}  // namespace korvanta::cli
