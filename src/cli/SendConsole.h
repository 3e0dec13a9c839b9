#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/RefusedRowFile.h"
#include "cli/Send.h"
#include "engine/rows/TransferListener.h"

namespace korvanta::cli {

// One table of a send, as the console follows it.
struct TableState {
    std::string name;
    bool running = false;              // a send is on it (drawn in the progress line)
    std::atomic<bool> touched{false};  // the engine said something about it: it started
    std::atomic<long long> done{0};
    std::atomic<long long> total{-1};
    std::chrono::steady_clock::time_point start;
    std::optional<TableOutcome> outcome;
    bool stoppedHere = false;  // --if-exists stop (or no answer) ended the send at this table
};

// What all the threads of a send share: its tables, standard error (one writer at a time,
// the progress line taken away before anything else is written), the question whether to
// overwrite, the reject file and the stop.
class SendConsole {
  public:
    SendConsole(const SendOptions& options, std::vector<std::string> tables,
                RefusedRowFile* rejects);

    std::vector<TableState>& tables() { return tables_; }
    bool StopRequested() const;

    void Started(std::size_t index);
    // --if-exists, else a question on the terminal; no terminal stops the send.
    bool AskOverwrite(std::size_t index, const std::string& name);
    void Report(std::size_t index, int line, const adodb::Error& error,
                const std::string& statement);
    void Refused(const RefusedRow& row);
    void Finished(std::size_t index, const TableOutcome& outcome);
    // A statement that changes the target: a dry run prints it on standard output.
    void SchemaStatement(const std::string& statement);
    // A foreign key added (or not) once every table was in: noted with its table.
    void ForeignKeyFinished(const std::string& source, const std::string& what,
                            TransferListener::KeyFate fate);
    // The table of that source name; the first when there is none.
    std::size_t IndexOf(const std::string& source) const;
    // Redraws the progress line on a terminal; called every fifth of a second.
    void DrawProgress();
    void EndProgress();
    // Every report that was not a refused row is a failure of its own.
    bool OtherFailures() const { return reports_ > refusedRows_.load(); }

  private:
    bool StopAt(std::size_t index, const std::string& text);
    bool AskOnTerminal(std::size_t index, const std::string& name);
    std::string ProgressText(const TableState& table, bool final) const;
    void ClearProgressLine();
    static void Write(const std::string& text);

    const SendOptions& options_;
    std::vector<TableState> tables_;
    std::mutex mutex_;
    std::atomic<bool> stop_{false};
    bool terminal_ = false;
    bool showProgress_ = false;
    bool progressShown_ = false;
    long long reports_ = 0;
    std::atomic<long long> refusedRows_{0};
    RefusedRowFile* rejects_;  // not owning; null without --reject-file
    std::atomic<bool> rejectFailureTold_{false};
};

}  // namespace korvanta::cli
