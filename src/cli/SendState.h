#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/Send.h"
#include "engine/send/SendJournal.h"
#include "engine/send/TransferRun.h"

namespace korvanta::cli {

// A state file that cannot be used: unreadable, or of another send.
struct StateError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What a send must remember for --resume: its plan (the tables and the options that decide
// what is written), the target tables it set out to make, and the tables it finished. A
// small JSON file, replaced whole (write, flush, rename) at each change, so that a process
// killed at any moment leaves the old state or the new one. It is a hint: the target says
// what each table holds.
class SendState final : public SendJournal {
  public:
    // The file of sends from this source to this target: $XDG_STATE_HOME/korvanta (else
    // ~/.local/state/korvanta), one per pair of databases; or `path` (--state).
    static std::string PathFor(const SendOptions& options);
    // The plan of the send of these tables with these options.
    static QJsonObject PlanOf(const SendOptions& options, const std::vector<std::string>& tables);

    // A new send: its plan, nothing made yet. Throws StateError when the file cannot be written.
    static SendState Begin(std::string path, QJsonObject plan);
    // The stopped send's state, to carry it on with the same plan. Throws StateError when
    // there is none, it cannot be read, or its plan is not `plan` (saying what differs).
    static SendState Resume(std::string path, const QJsonObject& plan);

    SendState(SendState&& other) noexcept;
    ~SendState() override;

    ResumeState Left() const;
    // Safe from the jobs' threads. A failure to write is kept, said once by the caller.
    void Creating(const std::string& table) override;
    void Writing(const std::string& table) override;
    void Finished(const std::string& table) override;
    const std::string& Failure() const { return failure_; }
    const std::string& Path() const { return path_; }

  private:
    SendState(std::string path, QJsonObject plan);
    // Takes the lock beside the file; throws StateError when another send holds it.
    void Lock();
    // Adds the table to the names and to their text; false when it was there.
    static bool Note(std::set<std::string>& names, QByteArray& text, const std::string& table);
    void Save();

    std::string path_;
    std::set<std::string> created_, finished_, writing_;
    // The file's parts as written, each made once: a save costs the file's length, not a
    // JSON document built again of every table the send has.
    QByteArray planText_, createdText_, finishedText_, writingText_;
    std::mutex mutex_;
    std::string failure_;
    // The lock beside the file, held while the send runs: two sends never carry on one state.
    int lock_ = -1;
};

}  // namespace korvanta::cli
