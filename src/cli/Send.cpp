#include "cli/Send.h"

#include <fnmatch.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "cli/CommandLine.h"
#include "cli/OutputFile.h"
#include "cli/RefusedRowFile.h"
#include "cli/Summary.h"
#include "engine/NameOrder.h"
#include "engine/ReportText.h"
#include "engine/TableListing.h"
#include "engine/TransferRun.h"

namespace korvanta::cli {

namespace {

// Set by the first SIGINT or SIGTERM; the run's StopRequested() answers with it.
std::atomic<bool> g_interrupted{false};
volatile sig_atomic_t g_signals = 0;
volatile sig_atomic_t g_terminal = 0;  // standard error is a terminal
static_assert(std::atomic<bool>::is_always_lock_free, "read from a signal handler");

extern "C" void OnInterrupt(int) {
    // Only async-signal-safe calls here: write and _exit.
    if (g_signals != 0) {
        // The shell's prompt starts on a line of its own, not after the progress line.
        if (g_terminal != 0)
            (void)!write(STDERR_FILENO, "\n", 1);
        _exit(kExitInterrupted);
    }
    g_signals = 1;
    g_interrupted.store(true);
    static const char kText[] =
        "\nkorvanta: stopping after the current run of rows; interrupt again to end at once\n";
    (void)!write(STDERR_FILENO, kText, sizeof kText - 1);
}

void InstallInterruptHandlers(bool terminal) {
    g_terminal = terminal ? 1 : 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a question waiting for an answer gives up
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

std::string WithThousands(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), ",");
    return (n < 0 ? "-" : "") + digits;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

struct TableState {
    std::string name;
    bool running = false;              // its call is on it (drawn in the progress line)
    std::atomic<bool> touched{false};  // the engine said something about it: it started
    std::atomic<long long> done{0};
    std::atomic<long long> total{-1};
    std::chrono::steady_clock::time_point start;
    std::optional<TableOutcome> outcome;
    bool stoppedHere = false;  // --if-exists stop (or no answer) ended the send at this table
};

// What all the run's threads share: the tables, stderr (one writer at a time, with the
// progress line taken away before anything else is written) and the stop.
class Run {
  public:
    Run(const SendOptions& options, std::vector<std::string> tables, RefusedRowFile* rejects)
        : options_(options), tables_(tables.size()), rejects_(rejects) {
        for (std::size_t i = 0; i < tables.size(); ++i)
            tables_[i].name = std::move(tables[i]);
        terminal_ = isatty(STDERR_FILENO) != 0;
        showProgress_ = terminal_ && !options.quiet;
    }

    const SendOptions& options() const { return options_; }
    std::vector<TableState>& tables() { return tables_; }
    bool StopRequested() const { return stop_.load() || g_interrupted.load(); }
    bool Interrupted() const { return g_interrupted.load(); }

    void Started(std::size_t index) {
        std::lock_guard lock(mutex_);
        tables_[index].running = true;
        tables_[index].start = std::chrono::steady_clock::now();
    }

    bool AskOverwrite(std::size_t index, const std::string& name) {
        switch (options_.ifExists) {
            case IfExists::kReplace:
                return true;
            case IfExists::kSkip:
                return false;
            case IfExists::kStop:
                return StopAt(index, name, "exists on the target (--if-exists stop)");
            case IfExists::kAsk:
                break;
        }
        std::lock_guard lock(mutex_);
        ClearProgressLine();
        std::FILE* in = nullptr;
        std::FILE* opened = nullptr;
        if (isatty(STDIN_FILENO)) {
            in = stdin;
        } else if (terminal_) {
            opened = std::fopen("/dev/tty", "r");
            in = opened;
        }
        if (in == nullptr) {
            stop_ = true;
            tables_[index].stoppedHere = true;
            Write("korvanta: " + name +
                  " exists on the target and no terminal can answer whether to overwrite it; "
                  "stopping (see --if-exists)\n");
            return false;
        }
        Write("Would you like to overwrite " + name + "? [Y/n] ");
        char answer[64];
        const bool read = std::fgets(answer, sizeof answer, in) != nullptr;
        if (opened != nullptr)
            std::fclose(opened);
        if (!read) {
            // End of input or an interrupt: nobody said yes.
            Write("\n");
            stop_ = true;
            tables_[index].stoppedHere = true;
            return false;
        }
        const char c = answer[0];
        return c == '\n' || c == 'y' || c == 'Y';
    }

    void Report(std::size_t index, int line, const adodb::Error& error,
                const std::string& statement) {
        const QString text = ErrorReportText(QString::fromUtf8(error.what()),
                                             SendLocationText(options_.target), line, &statement);
        std::string bytes = text.toStdString();
        // A terminal would run the report's lone CRs over each other; anything else gets
        // the window's text byte for byte.
        if (terminal_) {
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))
                    bytes[i] = '\n';
            }
        }
        std::lock_guard lock(mutex_);
        ++reports_;
        ClearProgressLine();
        if (options_.jobs > 1)
            Write("[" + tables_[index].name + "] ");
        Write(bytes + "\n");
    }

    void Refused(const RefusedRow& row) {
        ++refusedRows_;
        if (rejects_ == nullptr || rejects_->Write(row))
            return;
        // Said once, when the first row cannot be kept; the end of the run counts them.
        if (!rejectFailureTold_.exchange(true)) {
            std::lock_guard lock(mutex_);
            ClearProgressLine();
            Write("korvanta: cannot write to the reject file " + rejects_->Path() + ": " +
                  rejects_->Failure() + "; refused rows it cannot take are counted\n");
        }
    }

    void Finished(std::size_t index, const TableOutcome& outcome) {
        std::lock_guard lock(mutex_);
        tables_[index].outcome = outcome;
        if (!showProgress_)
            return;
        ClearProgressLine();
        Write((outcome.skipped ? tables_[index].name + ": skipped, the target's table kept"
                               : ProgressText(tables_[index], true)) +
              "\n");
    }

    // Redraws the progress line; called every fifth of a second while the run goes on.
    void DrawProgress() {
        if (!showProgress_)
            return;
        std::lock_guard lock(mutex_);
        std::string line;
        for (TableState& table : tables_) {
            if (!table.running || table.outcome)
                continue;
            if (!line.empty())
                line += " | ";
            line += ProgressText(table, false);
        }
        winsize size{};
        std::size_t width = 80;
        if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
            width = size.ws_col;
        if (line.size() >= width)
            line.resize(width - 1);
        Write("\r\x1b[K" + line);
        progressShown_ = !line.empty();
    }

    void EndProgress() {
        std::lock_guard lock(mutex_);
        ClearProgressLine();
    }

    // Every report that was not a refused row is a failure of its own.
    bool OtherFailures() const { return reports_ > refusedRows_.load(); }

  private:
    bool StopAt(std::size_t index, const std::string& name, const std::string& why) {
        std::lock_guard lock(mutex_);
        stop_ = true;
        tables_[index].stoppedHere = true;
        ClearProgressLine();
        Write("korvanta: " + name + " " + why + "; no further tables start\n");
        return false;
    }

    std::string ProgressText(const TableState& table, bool final) const {
        const long long done = final && table.outcome
                                   ? table.outcome->landed + table.outcome->refused
                                   : table.done.load();
        const long long total =
            final && table.outcome ? table.outcome->counted : table.total.load();
        const double seconds =
            final && table.outcome
                ? table.outcome->seconds
                : std::chrono::duration<double>(std::chrono::steady_clock::now() - table.start)
                      .count();
        std::string text = table.name + ": " + WithThousands(done);
        if (total >= 0)
            text += " of " + WithThousands(total);
        text += " rows";
        const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
        if (rate > 0)
            text += ", " + WithThousands(static_cast<long long>(rate)) + " rows/s";
        if (final) {
            text += ", " + Fixed(seconds, 1) + " s";
        } else if (rate > 0 && total > done) {
            text += ", " +
                    WithThousands(
                        static_cast<long long>(static_cast<double>(total - done) / rate + 0.5)) +
                    " s left";
        }
        return text;
    }

    void ClearProgressLine() {
        if (progressShown_) {
            Write("\r\x1b[K");
            progressShown_ = false;
        }
    }
    static void Write(const std::string& text) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    }

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

// The listener of one SendTables call: the tables of the call go in order, so the table a
// call is on is the first of them without an outcome.
class CallListener final : public TransferListener {
  public:
    CallListener(Run& run, std::vector<std::size_t> indices)
        : run_(run), indices_(std::move(indices)) {
        if (!indices_.empty())
            run_.Started(indices_.front());
    }
    // For a call that takes its tables one at a time: the table it takes next. Called on
    // the call's own thread between tables, when none of its other threads runs.
    explicit CallListener(Run& run) : run_(run) {}
    void Take(std::size_t index) {
        indices_ = {index};
        position_ = 0;
        run_.Started(index);
    }

    bool AskOverwrite(const std::string& table) override {
        return run_.AskOverwrite(Touch(), table);
    }
    void Failed(int line, const adodb::Error& error, const std::string& statement) override {
        run_.Report(Touch(), line, error, statement);
    }
    void Progress(long long done, long long total) override {
        TableState& table = run_.tables()[Touch()];
        table.done = done;
        table.total = total;
    }
    void RowRefused(const RefusedRow& row) override { run_.Refused(row); }
    void TableFinished(const TableOutcome& outcome) override {
        run_.Finished(Touch(), outcome);
        if (++position_ < indices_.size())
            run_.Started(indices_[position_]);
    }
    bool StopRequested() override { return run_.StopRequested(); }

  private:
    std::size_t Touch() {
        const std::size_t index = Current();
        run_.tables()[index].touched = true;
        return index;
    }
    std::size_t Current() const {
        return indices_[std::min(position_.load(), indices_.size() - 1)];
    }

    Run& run_;
    std::vector<std::size_t> indices_;
    std::atomic<std::size_t> position_{0};
};

TableStatus StatusOf(const TableState& table, bool stopped) {
    if (table.stoppedHere)
        return TableStatus::kStopped;
    if (!table.outcome)
        return stopped && !table.touched ? TableStatus::kNotStarted : TableStatus::kFailed;
    const TableOutcome& o = *table.outcome;
    if (o.skipped)
        return TableStatus::kSkipped;
    if (o.verified && !*o.verified)
        return TableStatus::kVerifyFailed;
    if (o.stopRequested)
        return TableStatus::kStopped;
    if (!o.complete)
        return TableStatus::kFailed;
    return o.refused > 0 ? TableStatus::kRefused : TableStatus::kOk;
}

void Say(const std::string& text) {
    std::fprintf(stderr, "korvanta: %s\n", text.c_str());
}

// The files a send writes its results to, opened before any table is touched.
struct ResultFiles {
    std::unique_ptr<RefusedRowFile> rejects;
    std::unique_ptr<OutputFile> summary;
};

}  // namespace

int RunSend(const SendOptions& options) {
    // Where the results go is checked first: a run whose refused rows or summary could not
    // be kept must not start.
    ResultFiles files;
    try {
        if (!options.rejectFile.empty())
            files.rejects = std::make_unique<RefusedRowFile>(options.rejectFile);
        if (!options.summaryJson.empty())
            files.summary = std::make_unique<OutputFile>(options.summaryJson);
    } catch (const std::exception& e) {
        Say(e.what());
        return kExitFailed;
    }

    const Side source = OtherSide(options.target);
    std::vector<std::string> sourceList, targetList;
    try {
        sourceList = ListTableNames(source, options.values);
        targetList = ListTableNames(options.target, options.values);
    } catch (const std::exception& e) {
        Say(std::string("cannot list the tables: ") + e.what());
        return kExitFailed;
    }
    const NameOrder order;
    std::stable_sort(sourceList.begin(), sourceList.end(), [&](const auto& a, const auto& b) {
        return order.Compare(QString::fromStdString(a), QString::fromStdString(b)) < 0;
    });

    // The tables in the order given: a pattern brings its matches in the list's order, a
    // plain name goes as written even when the list does not show it.
    bool unmatched = false;
    std::vector<std::string> tables;
    const auto add = [&](const std::string& name) {
        if (std::find(tables.begin(), tables.end(), name) == tables.end())
            tables.push_back(name);
    };
    if (options.all) {
        for (const std::string& name : sourceList)
            add(name);
    }
    for (const std::string& operand : options.operands) {
        if (operand.find_first_of("*?[") == std::string::npos) {
            add(operand);
            continue;
        }
        bool any = false;
        for (const std::string& name : sourceList) {
            if (fnmatch(operand.c_str(), name.c_str(), 0) == 0) {
                add(name);
                any = true;
            }
        }
        if (!any) {
            Say("no table matches " + operand);
            unmatched = true;
        }
    }

    auto run = std::make_unique<Run>(options, tables, files.rejects.get());
    InstallInterruptHandlers(isatty(STDERR_FILENO) != 0);

    const auto begin = std::chrono::steady_clock::now();
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    std::thread progress([&] {
        std::unique_lock lock(doneMutex);
        while (!doneSignal.wait_for(lock, std::chrono::milliseconds(200), [&] { return done; })) {
            lock.unlock();
            run->DrawProgress();
            lock.lock();
        }
    });

    // The sends of this run write fresh tables only, and no two of them the same one.
    const auto claims = std::make_shared<TargetClaims>();
    const auto request = [&](std::vector<std::string> names) {
        SendRequest r;
        r.target = options.target;
        r.tables = std::move(names);
        r.targetTables = targetList;
        r.values = options.values;
        r.settings = options.settings;
        r.freshTablesOnly = true;
        r.claims = claims;
        r.statementPerTable = options.jobs > 1;
        return r;
    };
    if (options.jobs <= 1 || tables.size() <= 1) {
        // One pair of connections for all the tables, as the window's send button has.
        std::vector<std::size_t> indices(tables.size());
        for (std::size_t i = 0; i < indices.size(); ++i)
            indices[i] = i;
        if (!tables.empty() && !run->StopRequested()) {
            CallListener listener(*run, indices);
            SendTables(request(tables), listener);
        }
    } else {
        // `jobs` sends at a time, each over a pair of connections of its own that it keeps
        // from table to table, taking the next table of the shared list when it is free.
        std::atomic<std::size_t> next{0};
        std::vector<std::thread> workers;
        const int count = std::min<int>(options.jobs, static_cast<int>(tables.size()));
        for (int w = 0; w < count; ++w) {
            workers.emplace_back([&] {
                CallListener listener(*run);
                // A send whose connection broke ends; the next one opens new connections, but
                // one that could take no table at all (its connections never opened) ends
                // the worker.
                for (bool took = true; took && !run->StopRequested();) {
                    // The first table is taken before the connections open, so that a
                    // failure to open them is that table's.
                    std::size_t first = next++;
                    if (first >= tables.size())
                        break;
                    listener.Take(first);
                    took = false;
                    SendRequest r = request({});
                    r.nextTable = [&](std::string& name) {
                        if (run->StopRequested())
                            return false;
                        std::size_t i = first;
                        if (took) {
                            i = next++;
                            if (i >= tables.size())
                                return false;
                            listener.Take(i);
                        }
                        name = tables[i];
                        took = true;
                        return true;
                    };
                    SendTables(r, listener);
                }
            });
        }
        for (std::thread& worker : workers)
            worker.join();
    }
    {
        std::lock_guard lock(doneMutex);
        done = true;
    }
    doneSignal.notify_all();
    progress.join();
    run->EndProgress();

    // The accounting: read = landed + refused for every table, however it ended.
    const bool stopped = run->StopRequested();
    Summary summary;
    summary.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    summary.interrupted = run->Interrupted();
    bool failed = unmatched || stopped || run->OtherFailures();
    bool refused = false;
    for (const TableState& table : run->tables()) {
        SummaryLine line;
        line.table = table.name;
        line.status = StatusOf(table, stopped);
        if (table.outcome) {
            line.landed = table.outcome->landed;
            line.refused = table.outcome->refused;
            line.counted = table.outcome->counted;
            line.seconds = table.outcome->seconds;
        }
        if (line.status != TableStatus::kOk && line.status != TableStatus::kRefused &&
            line.status != TableStatus::kSkipped)
            failed = true;
        refused = refused || line.refused > 0;
        summary.lines.push_back(line);
    }
    if (files.rejects && !files.rejects->Close()) {
        summary.rejectFileLost = files.rejects->Lost();
        Say(std::to_string(summary.rejectFileLost) + " refused rows are not in the reject file " +
            files.rejects->Path() + ": " + files.rejects->Failure());
        failed = true;
    }
    summary.exitStatus = failed ? kExitFailed : refused ? kExitRefused : kExitOk;

    // The JSON goes first: a summary that could not be written changes the exit status,
    // and the one printed must show the status the program ends with.
    bool jsonWritten = false;
    if (files.summary) {
        jsonWritten = files.summary->Replace(summary.Json());
        if (!jsonWritten) {
            Say("cannot write the summary to " + files.summary->Path() + ": " +
                files.summary->Failure());
            summary.exitStatus = kExitFailed;
        }
    }
    if (!options.quiet && !PrintToStandardOutput(summary.Text())) {
        summary.exitStatus = kExitFailed;
        if (jsonWritten)
            files.summary->Replace(summary.Json());
    }
    if (files.summary && !files.summary->Close() && jsonWritten) {
        Say("cannot write the summary to " + files.summary->Path() + ": " +
            files.summary->Failure());
        summary.exitStatus = kExitFailed;
    }
    return summary.exitStatus;
}

}  // namespace korvanta::cli
