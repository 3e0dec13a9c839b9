#include "engine/rows/FailurePolicy.h"

#include <algorithm>
#include <string>
#include <thread>

namespace korvanta {

using Action = Decision::Action;
using Kind = WriteOutcome::Kind;

std::optional<std::chrono::milliseconds> TransientBudget::NextPause() const {
    const std::chrono::milliseconds pause = RetryDelay(attempts + 1);
    if (waited + pause > limit)
        return std::nullopt;
    return pause;
}

void TransientBudget::Spend(std::chrono::milliseconds pause) {
    waited += pause;
    ++attempts;
}

void WaitOutTransient(const std::function<void()>& action, TransientBudget& budget) {
    for (;;) {
        try {
            action();
            return;
        } catch (const adodb::Error& error) {
            const std::optional<std::chrono::milliseconds> pause = budget.NextPause();
            if (!IsTransient(error) || !pause)
                throw;
            std::this_thread::sleep_for(*pause);
            budget.Spend(*pause);
        }
    }
}

namespace {

// A run the target refused, the rows before `from` in: the refused row alone when it is
// known, else halves until the refused rows stand alone.
Decision DecideRefused(std::size_t from, std::size_t last, const WriteOutcome& outcome) {
    Decision decision;
    decision.from = from;
    if (from >= last) {
        decision.action = Action::kDone;
    } else if (last - from == 1 || outcome.failedRow == from) {
        decision.action = Action::kIsolate;
        decision.row = from;
    } else if (outcome.failedRow && *outcome.failedRow > from && *outcome.failedRow < last) {
        // Named, but the rows before it are not in: they go as a run of their own first.
        decision.action = Action::kSplit;
        decision.row = *outcome.failedRow;
    } else {
        decision.action = Action::kSplit;
        decision.row = from + (last - from) / 2;
    }
    return decision;
}

}  // namespace

Decision Decide(std::size_t first, std::size_t last, const WriteOutcome& outcome,
                const TransientBudget& budget) {
    Decision decision;
    decision.from = std::min(last, first + outcome.written);
    const std::size_t from = decision.from;
    switch (outcome.kind) {
        case Kind::kWritten:
            decision.action = Action::kDone;
            decision.from = last;
            return decision;
        case Kind::kCommitUnknown:
            // Whether the run is in could not be learned: resending could double it.
            decision.action = Action::kStop;
            return decision;
        case Kind::kTransient: {
            const std::optional<std::chrono::milliseconds> pause = budget.NextPause();
            if (!pause) {
                decision.action = Action::kStop;
                return decision;
            }
            decision.action = from >= last ? Action::kDone : Action::kRetry;
            decision.pause = *pause;
            return decision;
        }
        case Kind::kUnusable:
            // A connection that is gone for good ends the table; a writer that only cannot
            // do runs hands the rows to single-row INSERTs.
            if (outcome.error && outcome.error->connectionLost())
                decision.action = Action::kStop;
            else
                decision.action = from >= last ? Action::kDone : Action::kDropWriter;
            return decision;
        case Kind::kRejected:
            break;
    }
    return DecideRefused(from, last, outcome);
}

adodb::Error CommitUnknownError(const WriteOutcome& outcome) {
    std::string text =
        "The connection was lost while a run of rows was being committed, and whether they "
        "arrived could not be learned; they were not sent again.";
    if (outcome.error)
        text += "\n" + std::string(outcome.error->what());
    if (outcome.error && outcome.error->connectionLost())
        return adodb::Error(text, outcome.error->state(), outcome.error->native());
    return adodb::Error(text, "08S01");
}

AloneDecision DecideAlone(const adodb::Error& error, const TransientBudget& budget) {
    if (IsTransient(error)) {
        if (const std::optional<std::chrono::milliseconds> pause = budget.NextPause())
            return {AloneDecision::Action::kRetry, *pause};
        return {AloneDecision::Action::kStop, {}};
    }
    if (error.connectionLost())
        return {AloneDecision::Action::kUncertain, {}};
    return {AloneDecision::Action::kRefused, {}};
}

bool WriteRows(RunTarget& target, std::size_t first, std::size_t last, TransientBudget& budget) {
    while (first < last) {
        const std::optional<WriteOutcome> outcome = target.WriteRun(first, last);
        if (!outcome) {
            for (std::size_t row = first; row < last; ++row) {
                if (!target.WriteAlone(row))
                    return false;
            }
            return true;
        }
        const Decision decision = Decide(first, last, *outcome, budget);
        switch (decision.action) {
            case Action::kDone:
                return true;
            case Action::kRetry:
                target.Pause(decision.pause);
                budget.Spend(decision.pause);
                first = decision.from;
                break;
            case Action::kSplit:
                if (!WriteRows(target, decision.from, decision.row, budget))
                    return false;
                first = decision.row;
                break;
            case Action::kIsolate:
                if (!target.WriteAlone(decision.row))
                    return false;
                first = decision.row + 1;
                break;
            case Action::kDropWriter:
                target.DropWriter();
                first = decision.from;
                break;
            case Action::kStop:
                target.Stopped(decision.from, last, *outcome);
                return false;
        }
    }
    return true;
}

TransientBudget BudgetFor(const TransferSettings& settings) {
    TransientBudget budget;
    budget.limit = std::chrono::seconds(settings.transientWaitSeconds);
    return budget;
}

}  // namespace korvanta
