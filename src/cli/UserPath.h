#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvanta::cli {

// Every path a user gives (state, plan, reject file, summary, password file) is opened by
// one rule: a regular file or a missing path, never a device, a FIFO or a socket; never a
// symbolic link followed to write; read with a bound; its bytes kept as given. Each
// function throws std::runtime_error naming `what` (e.g. "the state file x") and why.

// The whole of a regular file (a link to one is followed to read it), at most `limit`
// bytes. Opened without waiting, so that a FIFO never blocks.
std::string ReadUserFile(const std::string& path, const std::string& what, std::size_t limit);

// Whether a path names something: false for a missing path (then nothing to read).
bool UserPathExists(const std::string& path);

// Opens a file to write: created, or an existing regular file emptied (or, `keep`, written
// after its end); refused for anything else (a link, a device, a FIFO, a folder). Returns the
// descriptor, placed where the writing goes on.
int OpenUserFileToWrite(const std::string& path, const std::string& what, bool keep = false);

// Replaces a file's content whole: written beside it and renamed over it, so that a reader
// finds the old text or the new, never half; only over a regular file or a missing path.
// The folder is made when missing.
void ReplaceUserFile(const std::string& path, const std::string& what, std::string_view text);

// Refuses one file in two roles (--reject-file X --summary-json X, --state equal to
// --plan): two paths naming the same file, by their own spelling or through links.
// `paths`: each role's name and its path (an empty path: the role is unused).
void RefuseSharedPaths(const std::vector<std::pair<std::string, std::string>>& paths);

}  // namespace korvanta::cli
