#include "engine/tables/TableNames.h"

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

std::string StoredTableName(Side target, std::string_view name) {
    if (target != Side::PostgreSQL || name.size() <= kPostgreSQLNameBytes)
        return std::string(name);
    // Back off to the first byte of a UTF-8 character: continuation bytes are 10xxxxxx.
    std::size_t length = kPostgreSQLNameBytes;
    while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
        --length;
    return std::string(name.substr(0, length));
}

void RequireNameKept(Side side, std::string_view name) {
    const std::string kept = StoredTableName(side, name);
    if (kept == name)
        return;
    throw adodb::Error("PostgreSQL keeps only the first " + std::to_string(kPostgreSQLNameBytes) +
                       " bytes of a name: " + QuotedName(name) + " would become " +
                       QuotedName(kept) + ". The table was not renamed.");
}

}  // namespace korvanta
