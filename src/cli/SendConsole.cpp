#include "cli/SendConsole.h"

#include "engine/send/TableFate.h"

#include "cli/SendState.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <QString>

#include <cstdio>

#include "cli/Interrupt.h"
#include "engine/send/ReportText.h"

namespace korvanta::cli {

namespace {

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

// A terminal would run the report's lone CRs over each other; anything else gets the
// window's text byte for byte.
void LoneCarriageReturnsToLineEnds(std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))
            bytes[i] = '\n';
    }
}

}  // namespace

SendConsole::SendConsole(const SendOptions& options, std::vector<std::string> tables,
                         RefusedRowFile* rejects)
    : options_(options), tables_(tables.size()), rejects_(rejects) {
    for (std::size_t i = 0; i < tables.size(); ++i)
        tables_[i].name = std::move(tables[i]);
    terminal_ = isatty(STDERR_FILENO) != 0;
    showProgress_ = terminal_ && !options.quiet && !options.dryRun;
}

bool SendConsole::StopRequested() const {
    return stop_.load() || Interrupted();
}

void SendConsole::Started(std::size_t index) {
    std::lock_guard lock(mutex_);
    tables_[index].running = true;
    tables_[index].start = std::chrono::steady_clock::now();
}

bool SendConsole::AskOverwrite(std::size_t index, const std::string& name) {
    IfExists mode = options_.ifExists;
    if (const auto own = options_.tables.find(tables_[index].name);
        own != options_.tables.end() && own->second.ifExists)
        mode = *own->second.ifExists;
    switch (mode) {
        case IfExists::kReplace:
            return true;
        case IfExists::kSkip:
            return false;
        case IfExists::kStop:
            return StopAt(index, "korvanta: " + name +
                                     " exists on the target (--if-exists stop); no further "
                                     "tables start\n");
        case IfExists::kAsk:
            break;
        case IfExists::kTruncate:
        case IfExists::kAppend:
        case IfExists::kMerge:
            return false;  // the send writes into the table itself: never asked
    }
    return AskOnTerminal(index, name);
}

bool SendConsole::AskOnTerminal(std::size_t index, const std::string& name) {
    std::unique_lock lock(mutex_);
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
        lock.unlock();
        return StopAt(index, "korvanta: " + name +
                                 " exists on the target and no terminal can answer whether to "
                                 "overwrite it; stopping (see --if-exists)\n");
    }
    Write(OverwriteQuestion(name) + " [Y/n] ");
    char answer[64];
    const bool read = std::fgets(answer, sizeof answer, in) != nullptr;
    if (opened != nullptr)
        std::fclose(opened);
    if (!read) {
        // End of input or an interrupt: nobody said yes.
        lock.unlock();
        return StopAt(index, "\n");
    }
    const char c = answer[0];
    return c == '\n' || c == 'y' || c == 'Y';
}

void SendConsole::Report(std::size_t index, int line, const adodb::Error& error,
                         const std::string& statement) {
    const QString text = ErrorReportText(QString::fromUtf8(error.what()),
                                         SendLocationText(options_.target), line, &statement);
    std::string bytes = text.toStdString();
    if (terminal_)
        LoneCarriageReturnsToLineEnds(bytes);
    std::lock_guard lock(mutex_);
    ++reports_;
    ClearProgressLine();
    if (options_.jobs > 1)
        Write("[" + tables_[index].name + "] ");
    Write(bytes + "\n");
}

void SendConsole::Refused(const RefusedRow& row) {
    ++refusedRows_;
    if (rejects_ == nullptr || rejects_->Write(row))
        return;
    // Said once, when the first row cannot be kept; the end of the send counts them.
    if (!rejectFailureTold_.exchange(true)) {
        std::lock_guard lock(mutex_);
        ClearProgressLine();
        Write("korvanta: cannot write to the reject file " + rejects_->Path() + ": " +
              rejects_->Failure() + "; refused rows it cannot take are counted\n");
    }
}

void SendConsole::Finished(std::size_t index, const TableOutcome& outcome) {
    std::lock_guard lock(mutex_);
    tables_[index].outcome = outcome;
    if (!showProgress_)
        return;
    ClearProgressLine();
    Write((outcome.skipped ? tables_[index].name + ": skipped, the target's table kept"
                           : ProgressText(tables_[index], true)) +
          "\n");
}

void SendConsole::SchemaStatement(const std::string& statement) {
    if (!options_.dryRun)
        return;
    std::lock_guard lock(mutex_);
    ClearProgressLine();
    const std::string line = statement + ";\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
}

void SendConsole::ForeignKeyFinished(const std::string& source, const std::string& what,
                                     TransferListener::KeyFate fate) {
    std::lock_guard lock(mutex_);
    TableState& table = tables_[IndexOf(source)];
    if (!table.outcome)
        return;
    FoldForeignKey(*table.outcome, what, fate);
}

std::size_t SendConsole::IndexOf(const std::string& source) const {
    for (std::size_t i = 0; i < tables_.size(); ++i) {
        if (tables_[i].name == source)
            return i;
    }
    return 0;
}

void SendConsole::DrawProgress() {
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

void SendConsole::EndProgress() {
    std::lock_guard lock(mutex_);
    ClearProgressLine();
}

bool SendConsole::StopAt(std::size_t index, const std::string& text) {
    std::lock_guard lock(mutex_);
    stop_ = true;
    tables_[index].stoppedHere = true;
    ClearProgressLine();
    Write(text);
    return false;
}

std::string SendConsole::ProgressText(const TableState& table, bool final) const {
    const bool ended = final && table.outcome;
    const long long done =
        ended ? table.outcome->landed + table.outcome->refused : table.done.load();
    const long long total = ended ? table.outcome->counted : table.total.load();
    const double seconds =
        ended
            ? table.outcome->seconds
            : std::chrono::duration<double>(std::chrono::steady_clock::now() - table.start).count();
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
        const double left = static_cast<double>(total - done) / rate + 0.5;
        text += ", " + WithThousands(static_cast<long long>(left)) + " s left";
    }
    return text;
}

void SendConsole::ClearProgressLine() {
    if (progressShown_) {
        Write("\r\x1b[K");
        progressShown_ = false;
    }
}

void SendConsole::Write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace korvanta::cli
