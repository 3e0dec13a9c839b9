#pragma once

#include <optional>
#include <string_view>

#include "cli/Send.h"
#include "engine/rows/TransferListener.h"
#include "sql/model/Side.h"

namespace korvanta::cli {

// The words the command line, its plan files and its state files give the modes and sides:
// one table each, read case-blind, written in lower case.

std::optional<IfExists> IfExistsNamed(std::string_view word);
const char* IfExistsWord(IfExists mode);  // "ask" for the mode no user names
inline constexpr const char* kIfExistsWords = "replace, skip, stop, truncate, append or merge";

// How rows went into a table that stood there: "truncate", "append", "merge"; "" for none.
const char* IntoWord(Into into);

std::optional<Side> SideNamed(std::string_view word);
const char* SideWord(Side side);
inline constexpr const char* kSideWords = "postgresql or sqlanywhere";

}  // namespace korvanta::cli
