#include "engine/FailurePolicy.h"

#include <algorithm>

#include "engine/TransientFailure.h"

namespace korvanta {

using Action = Decision::Action;
using Kind = WriteOutcome::Kind;

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
            const std::chrono::milliseconds pause = RetryDelay(budget.attempts + 1);
            if (budget.waited + pause > budget.limit) {
                decision.action = Action::kStop;
                return decision;
            }
            decision.action = from >= last ? Action::kDone : Action::kRetry;
            decision.pause = pause;
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
    if (from >= last) {
        decision.action = Action::kDone;
    } else if (last - from == 1) {
        decision.action = Action::kIsolate;
        decision.row = from;
    } else if (outcome.failedRow && *outcome.failedRow >= from && *outcome.failedRow < last) {
        decision.action = Action::kWriteBefore;
        decision.row = *outcome.failedRow;
    } else {
        // No row named: halve the run until the refused rows stand alone.
        decision.action = Action::kSplit;
        decision.row = from + (last - from) / 2;
    }
    return decision;
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
                budget.waited += decision.pause;
                ++budget.attempts;
                first = decision.from;
                break;
            case Action::kWriteBefore:
                if (!WriteRows(target, decision.from, decision.row, budget) ||
                    !target.WriteAlone(decision.row))
                    return false;
                first = decision.row + 1;
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

}  // namespace korvanta
