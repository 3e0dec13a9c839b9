#include "engine/send/KeysAndIndexes.h"

#include "sql/dialect/Dialect.h"

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

// Whether the connection still answers: a step's error may carry a connection's SQLSTATE
// (a parallel worker of CREATE INDEX ended by the administrator) while the session goes on.
bool StillAnswers(adodb::Connection& target) {
    try {
        target.Execute("SELECT 1");
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The rows may hold something the step cannot take (a duplicate, a NULL, a reference to
// nothing) where the database calls the refusal an integrity violation, or says nothing
// either way. Any other state is the database's own reason, such as a foreign key to a table
// without a matching key (42830).
bool RowsMayBeAtFault(const std::string& state) {
    for (const auto& dialect : EveryDialect()) {
        if (dialect->IntegrityViolation(state))
            return true;
    }
    return false;
}

}  // namespace

std::string StepResult::NameNote() const {
    return unnamed ? " (named by the target)" : std::string();
}

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
    bool rowsAtFault = false;
    for (const std::string* statement : {&step.statement, &step.unnamed}) {
        if (statement->empty())
            continue;
        try {
            TransientBudget wait = budget;
            WaitOutTransient([&] { target.Execute(*statement); }, wait);
            result = {};
            result.unnamed = statement == &step.unnamed;
            return result;
        } catch (const std::exception& e) {
            const adodb::Error error = AsError(e);
            if (result.message.empty())
                result.message = error.what();
            if (error.connectionLost() && !StillAnswers(target)) {
                result.kind = StepResult::Kind::kConnectionLost;
                return result;
            }
            rowsAtFault = rowsAtFault || RowsMayBeAtFault(error.state());
        }
    }
    result.breaking = rowsAtFault ? BreakCount(target, step.breakQuery) : -1;
    result.kind = result.breaking > 0 ? StepResult::Kind::kRowsBreakIt : StepResult::Kind::kRefused;
    return result;
}

adodb::Error StepFailure(const SchemaStep& step, std::string_view table, const StepResult& result) {
    return adodb::Error("The " + step.what + " of table " + QuotedName(table) +
                        " could not be made: " + result.Why() + ".\n" + result.message);
}

}  // namespace korvanta
