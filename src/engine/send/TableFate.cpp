#include "engine/send/TableFate.h"

namespace korvanta {

TableStatus StatusOf(const TableOutcome& o, bool dryRun) {
    if (o.skipped)
        return TableStatus::kSkipped;
    if (o.doneBefore)
        return TableStatus::kDoneBefore;
    if (dryRun)
        return o.complete ? TableStatus::kPlanned : TableStatus::kFailed;
    if (o.verified && !*o.verified)
        return TableStatus::kVerifyFailed;
    if (o.stopRequested)
        return TableStatus::kStopped;
    if (!o.complete)
        return TableStatus::kFailed;
    if (o.stepsMissing)
        return TableStatus::kIncomplete;
    return o.refused > 0 ? TableStatus::kRefused : TableStatus::kOk;
}

bool FinishedForResume(const TableOutcome& o) {
    return !o.skipped && o.complete && !o.stopRequested && !o.stepsMissing &&
           o.verified.value_or(true);
}

void FoldForeignKey(TableOutcome& outcome, const std::string& what,
                    TransferListener::KeyFate fate) {
    const bool made = fate == TransferListener::KeyFate::kMade;
    (made ? outcome.carried : outcome.notCarried).push_back(what);
    outcome.stepsMissing = outcome.stepsMissing || fate == TransferListener::KeyFate::kNotMade;
}

}  // namespace korvanta
