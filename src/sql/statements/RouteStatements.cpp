#include "sql/statements/RouteStatements.h"

#include "sql/model/SqlName.h"

namespace korvanta {

std::string CountRowsQuery(std::string_view table) {
    return "SELECT count(*) FROM " + QuotedName(table);
}

std::string LastKeyQuery(const Dialect& target, std::string_view table,
                         const std::vector<OrderColumn>& key) {
    std::string select, order;
    for (std::size_t i = 0; i < key.size(); ++i) {
        const std::string qualified = "kv_t." + QuotedName(key[i].name);
        select +=
            (i == 0 ? "" : ", ") + target.AsText(qualified) + " AS kv_key" + std::to_string(i);
        order += (i == 0 ? "" : ", ") + (key[i].text ? target.ByteOrder(qualified) : qualified) +
                 " DESC";
    }
    return "SELECT " + select + " FROM " + QuotedName(table) + " kv_t ORDER BY " + order;
}

std::optional<std::vector<std::string>> KeyLiterals(const Dialect& source,
                                                    const std::vector<OrderColumn>& key,
                                                    const std::vector<std::string>& last,
                                                    std::string& problem) {
    std::vector<std::string> literals;
    for (std::size_t i = 0; i < last.size() && i < key.size(); ++i) {
        const std::string& value = last[i];
        if (key[i].text) {
            literals.push_back(source.String(value));
            continue;
        }
        const std::size_t start = !value.empty() && value[0] == '-' ? 1 : 0;
        if (value.size() <= start ||
            value.find_first_not_of("0123456789", start) != std::string::npos) {
            problem = "its key's last value " + value + " is no whole number";
            return std::nullopt;
        }
        literals.push_back(value);
    }
    return literals;
}

std::string BothConditions(const std::string& first, const std::string& second) {
    if (first.empty())
        return second;
    if (second.empty())
        return first;
    return "(" + first + ") AND (" + second + ")";
}

}  // namespace korvanta
