#include "sql/ValueCheck.h"

#include <cstdio>

#include "adodb/TextCodec.h"

namespace korvanta {

namespace {

// The bytes from the first offending one on, as PostgreSQL quotes them ("0xe9 0x00").
std::string QuoteBytes(std::string_view text, std::size_t at) {
    std::string quoted;
    for (std::size_t i = at; i < text.size() && i < at + 2; ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%s0x%02x", i == at ? "" : " ",
                      static_cast<unsigned>(static_cast<unsigned char>(text[i])));
        quoted += hex;
    }
    return quoted;
}

}  // namespace

std::optional<std::string> UnstorableText(std::string_view text, Side target) {
    constexpr const char* kPrefix = "invalid byte sequence for encoding \"UTF8\": ";
    if (target == Side::PostgreSQL) {
        if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos)
            return kPrefix + QuoteBytes(text, nul);
    }
    const std::size_t bad = adodb::detail::FirstInvalidUtf8(text);
    if (bad != std::string_view::npos)
        return kPrefix + QuoteBytes(text, bad);
    return std::nullopt;
}

}  // namespace korvanta
