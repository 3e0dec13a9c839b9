#include "engine/send/KeysAndIndexes.h"

#include "adodb/Recordset.h"
#include "engine/connections/Failure.h"
#include "sql/model/SqlName.h"

namespace korvanta {

namespace {

// How many rows break the step, as its query counts them; -1 when that cannot be learned.
long long BreakCount(adodb::Connection& target, const std::string& query) {
    if (query.empty())
        return -1;
    try {
        adodb::Recordset count = target.Execute(query);
        if (count.IsEOF())
            return -1;
        return std::stoll(std::string(count.Fields()[0].Value().Text()));
    } catch (const std::exception&) {
        return -1;
    }
}

}  // namespace

std::string StepResult::Why() const {
    switch (kind) {
        case Kind::kMade:
            break;
        case Kind::kRowsBreakIt:
            return std::to_string(breaking) + (breaking == 1 ? " row breaks it" : " rows break it");
        case Kind::kRefused:
            return "the database refused it";
        case Kind::kConnectionLost:
            return "the connection was lost";
    }
    return {};
}

StepResult RunSchemaStep(adodb::Connection& target, const SchemaStep& step,
                         TransientBudget budget) {
    StepResult result;
    for (const std::string* statement : {&step.statement, &step.unnamed}) {
        if (statement->empty())
            continue;
        try {
            TransientBudget wait = budget;
            WaitOutTransient([&] { target.Execute(*statement); }, wait);
            return {};
        } catch (const std::exception& e) {
            const adodb::Error error = AsError(e);
            if (result.message.empty())
                result.message = error.what();
            if (error.connectionLost()) {
                result.kind = StepResult::Kind::kConnectionLost;
                return result;
            }
        }
    }
    result.breaking = BreakCount(target, step.breakQuery);
    result.kind = result.breaking > 0 ? StepResult::Kind::kRowsBreakIt : StepResult::Kind::kRefused;
    return result;
}

adodb::Error StepFailure(const SchemaStep& step, std::string_view table, const StepResult& result) {
    return adodb::Error("The " + step.what + " of table " + QuotedName(table) +
                        " could not be made: " + result.Why() + ".\n" + result.message);
}

}  // namespace korvanta
