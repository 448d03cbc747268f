#include "io/file_io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tallycnv {

namespace {

// Waits until a descriptor that reported it would block is ready for `events`.
void wait_for(int fd, short events) {
    pollfd ready{fd, events, 0};
    while (::poll(&ready, 1, -1) < 0 && errno == EINTR) {
    }
}

bool would_block(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

} // namespace

int open_file(const std::string& path, int flags, mode_t mode) {
    for (;;) {
        const int fd = ::open(path.c_str(), flags, mode);
        if (fd >= 0 || errno != EINTR) {
            return fd;
        }
    }
}

ssize_t read_some(int fd, void* to, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, to, size);
        if (n >= 0) {
            return n;
        }
        if (would_block(errno)) {
            wait_for(fd, POLLIN);
        } else if (errno != EINTR) {
            return -1;
        }
    }
}

ssize_t read_full(int fd, void* to, std::size_t size) {
    auto* bytes = static_cast<char*>(to);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = read_some(fd, bytes + done, size - done);
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool write_all(int fd, const void* from, std::size_t size) {
    const auto* bytes = static_cast<const char*>(from);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n > 0) {
            bytes += n;
            size -= static_cast<std::size_t>(n);
        } else if (n < 0 && would_block(errno)) {
            wait_for(fd, POLLOUT);
        } else if (n == 0 || errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool close_file(int fd) {
    return ::close(fd) == 0 || errno == EINTR;
}

bool sync_file(int fd) {
    for (;;) {
        if (::fsync(fd) == 0 || errno == EINVAL) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

bool rename_file(const std::string& from, const std::string& to) {
    for (;;) {
        if (::rename(from.c_str(), to.c_str()) == 0) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

bool remove_file(const std::string& path) {
    for (;;) {
        if (::unlink(path.c_str()) == 0) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

bool make_directory(const std::string& path, mode_t mode) {
    for (;;) {
        if (::mkdir(path.c_str(), mode) == 0) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

std::optional<std::string> read_file_head(const std::string& path, std::size_t limit) {
    const int fd = open_file(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string text(limit, '\0');
    const ssize_t n = read_full(fd, text.data(), limit);
    const int error = errno;
    close_file(fd);
    if (n < 0) {
        errno = error;
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(n));
    return text;
}

bool is_absent(int error) {
    return error == ENOENT || error == ENOTDIR || error == EISDIR || error == EACCES || error == EPERM ||
           error == ELOOP || error == ENAMETOOLONG;
}

} // namespace tallycnv
