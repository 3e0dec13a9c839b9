#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvanta::cli {

// The connection a password is looked up for, as ~/.pgpass names it.
struct PasswordKey {
    std::string host, port, database, user;
};

// The password of the first line of a password file (libpq's format:
// host:port:database:user:password, "*" matching anything, "\:" and "\\" escaped) that
// matches the key; nothing when no line does.
std::optional<std::string> PasswordFromPgpassText(std::string_view text, const PasswordKey& key);

// The same from a file, read only when it is a regular file that neither group nor others
// may read or write (as libpq insists); nothing otherwise.
std::optional<std::string> PasswordFromPgpassFile(const std::string& path, const PasswordKey& key);

// The longest first line a password file may have.
inline constexpr std::size_t kPasswordLineBytes = 4096;

// The first line of a password file, without its line end. Throws std::runtime_error with
// the reason when the file cannot be read, is not a regular file (a FIFO would wait for a
// writer, a device such as /dev/zero would never end), has a first line longer than
// kPasswordLineBytes, or has nothing on it.
std::string PasswordFileLine(const std::string& path);

}  // namespace korvanta::cli
