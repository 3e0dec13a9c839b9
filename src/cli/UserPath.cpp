#include "cli/UserPath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace korvanta::cli {

namespace {

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const noexcept { return fd_; }
    int release() noexcept { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

[[noreturn]] void Refuse(const std::string& what, const std::string& why) {
    throw std::runtime_error(what + ": " + why);
}

std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "it is a folder";
    if (S_ISLNK(mode))
        return "it is a symbolic link, which is not followed to write";
    if (S_ISFIFO(mode))
        return "it is a FIFO, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "it is a device, not a regular file";
    if (S_ISSOCK(mode))
        return "it is a socket, not a regular file";
    return {};
}

// Refuses a path that stands there and is no regular file of its own (a link included).
void WritablePath(const std::string& path, const std::string& what) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return;
        Refuse(what, std::strerror(errno));
    }
    if (const std::string kind = KindOf(info.st_mode); !kind.empty())
        Refuse(what, kind);
}

void WriteAll(int fd, std::string_view text, const std::string& what) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Refuse(what, n < 0 ? std::strerror(errno) : "nothing could be written");
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

std::string ReadUserFile(const std::string& path, const std::string& what, std::size_t limit) {
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        Refuse(what, std::strerror(errno));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        Refuse(what, std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        Refuse(what, KindOf(info.st_mode));
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Refuse(what, std::strerror(errno));
        if (n == 0)
            return text;
        if (text.size() + static_cast<std::size_t>(n) > limit)
            Refuse(what, "it is larger than " + std::to_string(limit >> 20) + " MiB");
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

bool UserPathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

int OpenUserFileToWrite(const std::string& path, const std::string& what, bool keep) {
    WritablePath(path, what);
    Descriptor fd(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        Refuse(what, errno == ELOOP ? KindOf(S_IFLNK) : std::strerror(errno));
    // What was opened, not what the path named a moment before.
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        Refuse(what, std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        Refuse(what, KindOf(info.st_mode));
    if (keep ? ::lseek(fd.get(), 0, SEEK_END) < 0 : ::ftruncate(fd.get(), 0) != 0)
        Refuse(what, std::strerror(errno));
    return fd.release();
}

void ReplaceUserFile(const std::string& path, const std::string& what, std::string_view text) {
    WritablePath(path, what);
    const std::filesystem::path target(path);
    std::error_code error;
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), error);
    const std::string beside = path + ".korvanta-new";
    ::unlink(beside.c_str());  // one left by a send killed while writing
    Descriptor fd(
        ::open(beside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        Refuse(what, std::strerror(errno));
    try {
        WriteAll(fd.get(), text, what);
        if (::fsync(fd.get()) != 0)
            Refuse(what, std::strerror(errno));
        WritablePath(path, what);  // again: the path may have changed meanwhile
        if (::rename(beside.c_str(), path.c_str()) != 0)
            Refuse(what, std::strerror(errno));
    } catch (...) {
        ::unlink(beside.c_str());
        throw;
    }
}

void RefuseSharedPaths(const std::vector<std::pair<std::string, std::string>>& paths) {
    for (std::size_t i = 0; i < paths.size(); ++i) {
        for (std::size_t j = i + 1; j < paths.size(); ++j) {
            const std::string& a = paths[i].second;
            const std::string& b = paths[j].second;
            if (a.empty() || b.empty())
                continue;
            struct stat one {
            }, other{};
            const bool same =
                a == b || (::stat(a.c_str(), &one) == 0 && ::stat(b.c_str(), &other) == 0 &&
                           one.st_dev == other.st_dev && one.st_ino == other.st_ino);
            if (same)
                throw std::runtime_error(paths[i].first + " and " + paths[j].first +
                                         " name the same file (" + a + "): each needs its own");
        }
    }
}

}  // namespace korvanta::cli
