#include "engine/send/KeysAndIndexes.h"

#include "adodb/Recordset.h"
#include "engine/connections/Failure.h"

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

std::string RunSchemaStep(adodb::Connection& target, const SchemaStep& step, TransientBudget budget,
                          std::string& error) {
    for (const std::string* statement : {&step.statement, &step.unnamed}) {
        if (statement->empty())
            continue;
        try {
            TransientBudget wait = budget;
            WaitOutTransient([&] { target.Execute(*statement); }, wait);
            return {};
        } catch (const std::exception& e) {
            if (error.empty())
                error = AsError(e).what();
            if (AsError(e).connectionLost())
                return "the connection was lost";
        }
    }
    const long long breaking = BreakCount(target, step.breakQuery);
    if (breaking > 0)
        return std::to_string(breaking) + (breaking == 1 ? " row breaks it" : " rows break it");
    return "the database refused it";
}

}  // namespace korvanta
