#include "cli/NameText.h"

#include <algorithm>
#include <cstdio>

namespace korvanta::cli {

namespace {

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

}  // namespace

std::string NameForLine(std::string_view name) {
    if (std::none_of(name.begin(), name.end(), IsControl) && name.substr(0, 2) != "$'")
        return std::string(name);
    std::string quoted = "$'";
    for (const char c : name) {
        switch (c) {
            case '\n':
                quoted += "\\n";
                break;
            case '\t':
                quoted += "\\t";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\'':
                quoted += "\\'";
                break;
            default:
                if (IsControl(c)) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\x%02x",
                                  static_cast<unsigned>(static_cast<unsigned char>(c)));
                    quoted += escape;
                } else {
                    quoted += c;
                }
        }
    }
    return quoted + "'";
}

}  // namespace korvanta::cli
