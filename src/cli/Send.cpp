#include "cli/Send.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "cli/ExitStatus.h"
#include "cli/Interrupt.h"
#include "cli/Jobs.h"
#include "cli/OutputFile.h"
#include "cli/PlanFile.h"
#include "cli/RefusedRowFile.h"
#include "cli/SendConsole.h"
#include "cli/SendState.h"
#include "cli/Summary.h"
#include "cli/TableSelection.h"
#include "cli/UserPath.h"
#include "engine/send/ForeignKeys.h"
#include "engine/send/TransferRun.h"
#include "engine/tables/TableListing.h"

namespace korvanta::cli {

namespace {

void Say(const std::string& text) {
    std::fprintf(stderr, "korvanta: %s\n", text.c_str());
}

// The files a send writes its results to, opened before any table is touched.
struct ResultFiles {
    std::unique_ptr<RefusedRowFile> rejects;
    std::unique_ptr<OutputFile> summary;
};

// Nothing when a file cannot be written: the send must not start.
std::optional<ResultFiles> OpenResultFiles(const SendOptions& options) {
    ResultFiles files;
    try {
        if (!options.rejectFile.empty())
            files.rejects = std::make_unique<RefusedRowFile>(options.rejectFile, options.resume);
        if (!options.summaryJson.empty())
            files.summary = std::make_unique<OutputFile>(options.summaryJson);
    } catch (const std::exception& e) {
        Say(e.what());
        return std::nullopt;
    }
    return files;
}

// A table the engine never spoke of was not started: the run stopped before it (asked to,
// or after a lost connection ended it).
TableStatus StatusOf(const TableState& table, bool dryRun) {
    if (table.stoppedHere)
        return TableStatus::kStopped;
    if (!table.outcome)
        return table.touched ? TableStatus::kFailed : TableStatus::kNotStarted;
    return korvanta::StatusOf(*table.outcome, dryRun);
}

// Runs the work while a thread redraws the console's progress line.
template <class Work>
void WithProgressLine(SendConsole& console, Work&& work) {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    std::thread progress([&] {
        std::unique_lock lock(mutex);
        while (!changed.wait_for(lock, std::chrono::milliseconds(200), [&] { return done; })) {
            lock.unlock();
            console.DrawProgress();
            lock.lock();
        }
    });
    work();
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    changed.notify_all();
    progress.join();
    console.EndProgress();
}

// The accounting: read = landed + refused for every table, however it ended. The exit
// status counts what the console and the reject file saw besides.
Summary Summarize(SendConsole& console, bool failedBefore, RefusedRowFile* rejects, bool dryRun) {
    const bool stopped = console.StopRequested();
    Summary summary;
    summary.interrupted = Interrupted();
    bool failed = failedBefore || stopped || console.OtherFailures();
    bool refused = false;
    for (const TableState& table : console.tables()) {
        SummaryLine line;
        line.table = table.name;
        line.status = StatusOf(table, dryRun);
        if (table.outcome)
            line.outcome = *table.outcome;
        failed = failed ||
                 (line.status != TableStatus::kOk && line.status != TableStatus::kRefused &&
                  line.status != TableStatus::kSkipped && line.status != TableStatus::kPlanned &&
                  line.status != TableStatus::kDoneBefore);
        refused = refused || line.outcome.refused > 0;
        summary.lines.push_back(line);
    }
    if (rejects != nullptr && !rejects->Close()) {
        summary.rejectFileLost = rejects->Lost();
        Say(std::to_string(summary.rejectFileLost) + " refused rows are not in the reject file " +
            rejects->Path() + ": " + rejects->Failure());
        failed = true;
    }
    summary.exitStatus = failed ? kExitFailed : refused ? kExitRefused : kExitOk;
    return summary;
}

// The JSON goes first: a summary that could not be written changes the exit status, and
// the one printed must show the status the program ends with. A dry run's standard output
// is its statements: its summary follows them as SQL comments.
int WriteSummary(Summary summary, OutputFile* json, bool quiet, bool dryRun) {
    bool jsonWritten = false;
    if (json != nullptr) {
        jsonWritten = json->Replace(summary.Json());
        if (!jsonWritten) {
            Say("cannot write the summary to " + json->Path() + ": " + json->Failure());
            summary.exitStatus = kExitFailed;
        }
    }
    if (!quiet && !PrintToStandardOutput(dryRun ? summary.CommentText() : summary.Text())) {
        summary.exitStatus = kExitFailed;
        if (jsonWritten)
            json->Replace(summary.Json());
    }
    if (json != nullptr && !json->Close() && jsonWritten) {
        Say("cannot write the summary to " + json->Path() + ": " + json->Failure());
        summary.exitStatus = kExitFailed;
    }
    return summary.exitStatus;
}

// What the engine does with a table the target holds: the modes that write into it; the
// others ask the console (SendConsole::AskOverwrite).
IntoExisting ExistingOf(IfExists mode, const std::vector<std::string>& key,
                        const std::string& since, bool deleteMissing) {
    IntoExisting existing;
    switch (mode) {
        case IfExists::kTruncate:
            existing.mode = IntoExisting::Mode::kTruncate;
            break;
        case IfExists::kAppend:
            existing.mode = IntoExisting::Mode::kAppend;
            break;
        case IfExists::kMerge:
            existing.mode = IntoExisting::Mode::kMerge;
            existing.key = key;
            existing.since = since;
            existing.deleteMissing = deleteMissing;
            break;
        default:
            break;
    }
    return existing;
}

// A plan file's tables and settings into the options; false, said, when it cannot be used.
bool TakePlan(SendOptions& options) {
    Plan plan;
    try {
        plan = ReadPlan(options.planFile);
    } catch (const PlanError& e) {
        Say(e.what());
        return false;
    }
    if (plan.target && options.targetGiven && *plan.target != options.target) {
        Say(options.planFile + ": to names the other side than --to");
        return false;
    }
    if (!plan.target && !options.targetGiven) {
        Say(options.planFile + ": to (or --to) names the side that receives the tables");
        return false;
    }
    if (plan.target)
        options.target = *plan.target;
    for (PlannedTable& table : plan.tables) {
        options.operands.push_back(table.name);
        options.tables[table.name] = std::move(table.options);
    }
    return true;
}

SendRequest RequestFor(const SendOptions& options, std::vector<std::string> targetList) {
    SendRequest request;
    request.target = options.target;
    request.targetTables = std::move(targetList);
    request.values = options.values;
    request.settings = options.settings;
    // The sends of this run write fresh tables only, and no two of them the same one.
    request.freshTablesOnly = true;
    request.claims = std::make_shared<TargetClaims>();
    request.statementPerTable = options.jobs > 1;
    request.dryRun = options.dryRun;
    request.foreignKeys = std::make_shared<ForeignKeyQueue>();
    request.existing =
        ExistingOf(options.ifExists, options.key, options.since, options.deleteMissing);
    for (const auto& [table, own] : options.tables) {
        TableSettings& settings = request.tableSettings[table];
        settings.target = own.target;
        if (own.ifExists || own.key || own.since || own.deleteMissing)
            settings.existing =
                ExistingOf(own.ifExists.value_or(options.ifExists), own.key.value_or(options.key),
                           own.since.value_or(options.since),
                           own.deleteMissing.value_or(options.deleteMissing));
        settings.exactSchema = own.exactSchema;
        settings.where = own.where.value_or(options.where);
    }
    return request;
}

// False, said, when one file would serve two of the send's roles.
bool PathsApart(const SendOptions& options) {
    try {
        RefuseSharedPaths(
            {{"--plan", options.planFile},
             {"--reject-file", options.rejectFile},
             {"--summary-json", options.summaryJson},
             {"--state", options.dryRun ? std::string() : SendState::PathFor(options)}});
        return true;
    } catch (const std::runtime_error& e) {
        Say(e.what());
        return false;
    }
}

// What a later --resume needs (nothing for a dry run); the exit status when the send must
// not start: a state that cannot be kept would leave an older one for a later --resume to
// carry on as if it were this one's.
std::optional<int> KeepState(const SendOptions& options, const std::vector<std::string>& tables,
                             std::shared_ptr<SendState>& state) {
    if (options.dryRun)
        return std::nullopt;
    const QJsonObject plan = SendState::PlanOf(options, tables);
    const std::string path = SendState::PathFor(options);
    try {
        state = std::make_shared<SendState>(options.resume ? SendState::Resume(path, plan)
                                                           : SendState::Begin(path, plan));
    } catch (const StateError& e) {
        Say(e.what() +
            std::string(options.resume ? "" : "; give --state FILE where it can be kept"));
        return options.resume ? kExitUsage : kExitFailed;
    }
    return std::nullopt;
}

// A plan names tables the source holds: one it does not is a mistake in the plan, found
// before any table is touched.
bool PlanTablesKnown(const SendOptions& options, const std::vector<std::string>& sourceList) {
    if (options.planFile.empty())
        return true;
    bool known = true;
    for (const std::string& table : options.operands) {
        if (std::find(sourceList.begin(), sourceList.end(), table) == sourceList.end()) {
            Say(options.planFile + ": the source has no table \"" + table + "\"");
            known = false;
        }
    }
    return known;
}

}  // namespace

int RunSend(SendOptions options) {
    if (!PathsApart(options))
        return kExitUsage;
    if (!options.planFile.empty() && !TakePlan(options))
        return kExitUsage;
    // Where the results go is checked first: a send whose refused rows or summary could
    // not be kept must not start.
    std::optional<ResultFiles> files = OpenResultFiles(options);
    if (!files)
        return kExitFailed;
    std::vector<std::string> sourceList, targetList;
    try {
        sourceList = SortedTableNames(OtherSide(options.target), options.values);
        targetList = ListTableNames(options.target, options.values);
    } catch (const std::exception& e) {
        Say(std::string("cannot list the tables: ") + e.what());
        return kExitFailed;
    }
    TableSelection selection = SelectTables(options.operands, options.all, sourceList);
    for (const std::string& pattern : selection.unmatched)
        Say("no table matches " + pattern);
    if (!PlanTablesKnown(options, sourceList))
        return kExitUsage;
    // --target and --where go with the tables of the command line.
    for (const std::string& table : selection.tables) {
        TableOptions& own = options.tables[table];
        if (!options.targetName.empty())
            own.target = options.targetName;
    }

    std::shared_ptr<SendState> state;
    if (const std::optional<int> refused = KeepState(options, selection.tables, state))
        return *refused;
    SendRequest request = RequestFor(options, std::move(targetList));
    if (options.resume && state)
        request.resume = state->Left();
    request.journal = state;
    SendConsole console(options, std::move(selection.tables), files->rejects.get());
    InstallInterruptHandlers(isatty(STDERR_FILENO) != 0);
    const auto begin = std::chrono::steady_clock::now();
    WithProgressLine(console, [&] { SendWithJobs(console, std::move(request), options.jobs); });
    if (state && !state->Failure().empty())
        Say("cannot keep the send's state in " + state->Path() + ": " + state->Failure() +
            "; --resume cannot carry this send on");
    Summary summary =
        Summarize(console, !selection.unmatched.empty(), files->rejects.get(), options.dryRun);
    summary.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return WriteSummary(std::move(summary), files->summary.get(), options.quiet, options.dryRun);
}

}  // namespace korvanta::cli
