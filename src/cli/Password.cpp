#include "cli/Password.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace korvanta::cli {

namespace {

// Splits one line at its unescaped colons, taking the escapes away; the fifth field keeps
// the rest of the line, colons and all, as libpq reads it.
std::vector<std::string> Fields(std::string_view line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            fields.back() += line[++i];
        } else if (c == ':' && fields.size() < 5) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

bool Matches(const std::string& field, const std::string& value) {
    return field == "*" || field == value;
}

}  // namespace

std::optional<std::string> PasswordFromPgpassText(std::string_view text, const PasswordKey& key) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        start = end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        const std::vector<std::string> f = Fields(line);
        if (f.size() < 5)
            continue;
        if (Matches(f[0], key.host) && Matches(f[1], key.port) && Matches(f[2], key.database) &&
            Matches(f[3], key.user))
            return f[4];
    }
    return std::nullopt;
}

std::optional<std::string> PasswordFromPgpassFile(const std::string& path, const PasswordKey& key) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    // A file others could read is ignored, like libpq does: the password would be known.
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return PasswordFromPgpassText(text.str(), key);
}

std::string PasswordFileLine(const std::string& path) {
    const std::string what = "the password file " + path;
    // Opened without waiting (a FIFO would wait for a writer for ever) and read only if it
    // is a regular file; at most one line of kPasswordLineBytes is read (a device such as
    // /dev/zero has no end).
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot read " + what + ": " + std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        throw std::runtime_error("cannot read " + what + ": " + std::strerror(errno));
    if (S_ISDIR(info.st_mode))
        throw std::runtime_error("cannot read " + what + ": it is a folder");
    if (!S_ISREG(info.st_mode))
        throw std::runtime_error("cannot read " + what + ": it is not a regular file");
    std::string text(kPasswordLineBytes + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw std::runtime_error("cannot read " + what + ": " + std::strerror(errno));
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
        if (text.find('\n') < got)
            break;
    }
    text.resize(got);
    const std::size_t end = text.find('\n');
    if (end == std::string::npos && got > kPasswordLineBytes)
        throw std::runtime_error(what + ": its first line is longer than " +
                                 std::to_string(kPasswordLineBytes) + " bytes");
    std::string line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty())
        throw std::runtime_error(what + " has no password on its first line");
    return line;
}

}  // namespace korvanta::cli
