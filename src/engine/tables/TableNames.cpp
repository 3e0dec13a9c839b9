#include "engine/tables/TableNames.h"

#include "sql/dialect/Dialect.h"

#include <QString>

#include "adodb/Error.h"
#include "sql/model/SqlName.h"

namespace korvanta {

std::string LowerCaseName(std::string_view name) {
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
        .toLower()
        .toStdString();
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    return LowerCaseName(a) == LowerCaseName(b);
}

CaseBlindNames::CaseBlindNames(const std::vector<std::string>& names) {
    for (const std::string& name : names)
        Add(name);
}

void CaseBlindNames::Add(const std::string& name) {
    byLowerCase_[LowerCaseName(name)].push_back(name);
}

void CaseBlindNames::Remove(const std::string& name) {
    const auto found = byLowerCase_.find(LowerCaseName(name));
    if (found == byLowerCase_.end())
        return;
    std::erase(found->second, name);
    if (found->second.empty())
        byLowerCase_.erase(found);
}

bool CaseBlindNames::Contains(std::string_view name) const {
    return byLowerCase_.count(LowerCaseName(name)) > 0;
}

std::optional<std::string> CaseBlindNames::Spelling(std::string_view name) const {
    const auto found = byLowerCase_.find(LowerCaseName(name));
    if (found == byLowerCase_.end())
        return std::nullopt;
    return found->second.back();
}

// The side's own dialect: the ODBC side speaks SQL Anywhere's whatever its data source.
std::string StoredTableName(Side target, std::string_view name) {
    std::string why;
    return DialectOf(target, "SQL Anywhere")->StoredName(name, why).value_or(std::string(name));
}

void RequireNameKept(Side side, std::string_view name) {
    const std::shared_ptr<const Dialect> dialect = DialectOf(side, "SQL Anywhere");
    std::string why;
    const std::optional<std::string> kept = dialect->StoredName(name, why);
    if (!kept)
        throw adodb::Error(why + ". The table was not renamed.");
    if (*kept == name)
        return;
    throw adodb::Error(std::string(dialect->Name()) + " keeps only the first " +
                       std::to_string(dialect->Names().longestBytes) +
                       " bytes of a name: " + QuotedName(name) + " would become " +
                       QuotedName(*kept) + ". The table was not renamed.");
}

}  // namespace korvanta
