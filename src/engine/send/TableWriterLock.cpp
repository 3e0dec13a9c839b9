#include "engine/send/TableWriterLock.h"

#include <cstdint>
#include <string>

#include "engine/tables/TableNames.h"

namespace korvanta {

long long TableWriterLock::Key(std::string_view table) {
    // FNV-1a over a prefix of our own and the name: other programs' advisory locks use
    // small numbers or their own hashes, and a collision between two names only makes one
    // send wait for the other.
    std::uint64_t hash = 14695981039346656037ULL;
    const std::string text = "korvanta table " + LowerCaseName(table);
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    return static_cast<long long>(hash);
}

TableWriterLock::TableWriterLock(adodb::Connection& connection, std::string_view table)
    : connection_(connection), key_(Key(table)) {
    connection_.Execute("SELECT pg_advisory_lock(" + std::to_string(key_) + ")");
}

TableWriterLock::~TableWriterLock() {
    if (abandoned_)
        return;
    try {
        connection_.Execute("SELECT pg_advisory_unlock(" + std::to_string(key_) + ")");
    } catch (...) {
        // A lost session has let the lock go with it.
    }
}

}  // namespace korvanta
