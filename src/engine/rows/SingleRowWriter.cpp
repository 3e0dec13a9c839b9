#include "engine/rows/SingleRowWriter.h"

#include <thread>

#include "engine/connections/Failure.h"

namespace korvanta {

SingleRowWriter::Outcome SingleRowWriter::Write(const std::string& statement) {
    using Kind = Outcome::Kind;
    for (;;) {
        try {
            target_.Execute(statement);
            return {};
        } catch (const std::exception& e) {
            const adodb::Error error = AsError(e);
            const AloneDecision decision = DecideAlone(error, budget_);
            switch (decision.action) {
                case AloneDecision::Action::kRetry:
                    std::this_thread::sleep_for(decision.pause);
                    budget_.Spend(decision.pause);
                    continue;
                case AloneDecision::Action::kStop:
                    return {Kind::kStop, error};
                case AloneDecision::Action::kUncertain:
                    return {Kind::kUncertain, error};
                case AloneDecision::Action::kRefused:
                    return {Kind::kRefused, error};
            }
        }
    }
}

}  // namespace korvanta
