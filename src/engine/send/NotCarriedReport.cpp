#include "engine/send/NotCarriedReport.h"

#include <algorithm>

namespace korvanta {

std::string NotCarriedLine(const std::string& item) {
    return "    not carried: " + item;
}

NotCarriedReport::Table& NotCarriedReport::Of(const std::string& source) {
    const auto it = std::find_if(tables_.begin(), tables_.end(),
                                 [&](const Table& table) { return table.name == source; });
    if (it != tables_.end())
        return *it;
    tables_.push_back({source, {}});
    return tables_.back();
}

void NotCarriedReport::TableFinished(const TableOutcome& outcome) {
    if (outcome.skipped || outcome.notCarried.empty())
        return;
    std::vector<std::string>& items = Of(outcome.source).items;
    items.insert(items.end(), outcome.notCarried.begin(), outcome.notCarried.end());
}

void NotCarriedReport::ForeignKeyFinished(const std::string& source, const std::string& what,
                                          TransferListener::KeyFate fate) {
    if (fate != TransferListener::KeyFate::kMade)
        Of(source).items.push_back(what);
}

bool NotCarriedReport::Empty() const {
    return tables_.empty();
}

std::string NotCarriedReport::Text() const {
    std::string text;
    for (const Table& table : tables_) {
        text += table.name + "\n";
        for (const std::string& item : table.items)
            text += NotCarriedLine(item) + "\n";
    }
    return text;
}

}  // namespace korvanta
