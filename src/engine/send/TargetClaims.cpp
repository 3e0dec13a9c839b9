#include "engine/send/TargetClaims.h"

#include "engine/tables/TableNames.h"

namespace korvanta {

std::optional<std::string> TargetClaims::Claim(std::string_view target, std::string_view source) {
    std::lock_guard lock(mutex_);
    const auto [claim, made] = claims_.try_emplace(LowerCaseName(target), source);
    if (made || claim->second == source)
        return std::nullopt;
    return claim->second;
}

}  // namespace korvanta
