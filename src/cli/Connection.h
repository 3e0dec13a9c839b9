#pragma once

#include "cli/Arguments.h"
#include "engine/connections/ConnectionValues.h"
#include "engine/connections/SettingsStore.h"

namespace korvanta::cli {

// The six values a command connects with: the saved ones, each overridden by its option;
// the password the saved one, else PGPASSWORD, else the first matching line of ~/.pgpass
// (or PGPASSFILE), else the password file's first line. Throws std::runtime_error with
// the reason when the password file gives none, and when a side that is worked on has no
// data source (`needsDataSource`).
ConnectionValues ConnectionFor(const ConnectionOptions& options, const SettingsStore& store,
                               bool needsDataSource);

}  // namespace korvanta::cli
