#pragma once

#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/TransferListener.h"

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
// the run's threads, so each is written whole under a lock and flushed.
class RefusedRowFile {
  public:
    // Opens (truncating) the file; throws std::runtime_error when it cannot.
    explicit RefusedRowFile(const std::string& path);
    ~RefusedRowFile();
    RefusedRowFile(const RefusedRowFile&) = delete;
    RefusedRowFile& operator=(const RefusedRowFile&) = delete;

    void Write(const RefusedRow& row);

  private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    bool csv_ = false;
};

}  // namespace korvanta::cli
