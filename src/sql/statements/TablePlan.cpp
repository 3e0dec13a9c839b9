#include "sql/statements/TablePlan.h"

#include "sql/statements/Datatype.h"
#include "sql/statements/ExactPlanner.h"

namespace korvanta {

TablePlan PlanSimpleTable(Side target, std::string_view name,
                          const std::vector<SourceField>& fields) {
    CreateTableBuilder create(target, name);
    for (const SourceField& field : fields)
        create.AddColumn(field.name, field.type);
    TablePlan plan;
    plan.createTable = create.Statement();
    plan.bare = create.NumericColumns();
    plan.rules = create.Rules();
    plan.binary.assign(fields.size(), false);
    return plan;
}

TablePlan PlanExactTable(const TableSchema& source, std::string_view target, const Dialect& dialect,
                         const std::function<bool(std::string_view table)>& onTarget) {
    return detail::ExactPlanner(source, target, dialect, onTarget).Plan();
}

}  // namespace korvanta
