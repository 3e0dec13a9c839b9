#pragma once

#include <string>

#include "cli/Send.h"

namespace korvanta::cli {

// The schema verb: the statements an exact send of the tables would run on an empty
// database of the dialect named, printed one per line; returns the exit status.
int PrintSchema(const SendOptions& options, const std::string& dialect,
                const ConnectionValues& values);

}  // namespace korvanta::cli
