#include "cli/OutputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "cli/UserPath.h"

namespace korvanta::cli {

OutputFile::OutputFile(std::string path, bool keep) : path_(std::move(path)) {
    fd_ = OpenUserFileToWrite(path_, "cannot write " + path_, keep);
    end_ = keep ? ::lseek(fd_, 0, SEEK_CUR) : 0;
}

OutputFile::~OutputFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool OutputFile::Fail() {
    if (failure_.empty())
        failure_ = std::strerror(errno);
    // Whatever of the text went out is taken back, so the file ends with a whole record.
    if (fd_ >= 0) {
        const int kept = errno;
        (void)!::ftruncate(fd_, end_);
        ::lseek(fd_, end_, SEEK_SET);
        errno = kept;
    }
    return false;
}

bool OutputFile::Append(std::string_view text) {
    if (fd_ < 0) {
        errno = EBADF;
        return Fail();
    }
    const long long whole = end_ + static_cast<long long>(text.size());
    while (!text.empty()) {
        const ssize_t written = ::write(fd_, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Fail();
        }
        if (written == 0) {
            errno = ENOSPC;
            return Fail();
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    end_ = whole;
    return true;
}

bool OutputFile::Replace(std::string_view text) {
    if (fd_ < 0) {
        errno = EBADF;
        return Fail();
    }
    // Only what was written is cut away: a file of no length may be no plain file at all.
    if (end_ > 0) {
        end_ = 0;
        if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0)
            return Fail();
    }
    return Append(text);
}

bool OutputFile::Close() {
    if (fd_ < 0)
        return failure_.empty();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        if (failure_.empty())
            failure_ = std::strerror(errno);
        return false;
    }
    return failure_.empty();
}

bool PrintToStandardOutput(std::string_view text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) == 0 && written && std::ferror(stdout) == 0)
        return true;
    std::fprintf(stderr, "korvanta: cannot write to standard output: %s\n",
                 errno != 0 ? std::strerror(errno) : "write error");
    return false;
}

}  // namespace korvanta::cli
