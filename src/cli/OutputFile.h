#pragma once

#include <string>
#include <string_view>

namespace korvanta::cli {

// A file the command line writes its results to, opened (and so its folder checked)
// before any table is touched. Every write goes whole or not at all: a write that fails
// half-way is cut back off, so the file never holds half a record. Failures are told,
// never thrown past the constructor, and kept for the run's end.
class OutputFile {
  public:
    // Creates the file, or empties an existing one (`keep`: writes after what it holds);
    // throws std::runtime_error naming the file and the reason when it cannot.
    explicit OutputFile(std::string path, bool keep = false);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Appends the text; false when it could not be written whole (nothing of it stays).
    bool Append(std::string_view text);
    // Replaces the whole content with the text.
    bool Replace(std::string_view text);
    // Closes the file; false when that failed.
    bool Close();

    const std::string& Path() const noexcept { return path_; }
    // The reason of the first failure, as the system words it; empty when none.
    const std::string& Failure() const noexcept { return failure_; }

  private:
    bool Fail();

    std::string path_;
    int fd_ = -1;
    long long end_ = 0;  // the length of what was written whole
    std::string failure_;
};

// Writes the text to standard output and flushes it; false, said on standard error, when
// it could not be written whole (a full disk, a closed pipe).
bool PrintToStandardOutput(std::string_view text);

}  // namespace korvanta::cli
