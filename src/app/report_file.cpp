#include "app/report_file.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "app/output_file.h"
#include "io/fatal.h"
#include "io/file_io.h"

namespace tallycnv {

void abandon_reports(temporary_files& files) {
    const std::lock_guard<std::mutex> hold(files.lock);
    files.abandoned = true;
    // A file that cannot be removed stays under its hidden temporary name,
    // never under a report's name; there is nothing more to do about it.
    for (const std::string& path : files.paths) {
        remove_file(path);
    }
    files.paths.clear();
}

sigset_t interrupting_signals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(s, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
            sigaddset(&signals, s);
        }
    }
    return signals;
}

void end_by_signal(int signal_number) {
    std::signal(signal_number, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    std::raise(signal_number);
    _exit(128 + signal_number);
}

interrupt_cleanup::interrupt_cleanup(temporary_files& files) {
    const sigset_t signals = interrupting_signals();
    pthread_sigmask(SIG_BLOCK, &signals, &previous_);
    signal_fd_ = signalfd(-1, &signals, SFD_CLOEXEC);
    stop_fd_ = eventfd(0, EFD_CLOEXEC);
    if (signal_fd_ < 0 || stop_fd_ < 0) {
        return; // the signals stay blocked until the run ends: it is not cut short
    }
    try {
        watcher_ = std::thread([this, &files] {
            pollfd watched[2] = {{signal_fd_, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
            while (poll(watched, 2, -1) < 0 && errno == EINTR) {
            }
            signalfd_siginfo info{};
            if ((watched[0].revents & POLLIN) == 0 || ::read(signal_fd_, &info, sizeof info) != sizeof info) {
                return;
            }
            abandon_reports(files);
            end_by_signal(static_cast<int>(info.ssi_signo));
        });
    } catch (const std::system_error&) {
        // No thread: the signals stay blocked until the run ends.
    }
}

interrupt_cleanup::~interrupt_cleanup() {
    if (watcher_.joinable()) {
        const std::uint64_t one = 1;
        if (::write(stop_fd_, &one, sizeof one) == sizeof one) {
            watcher_.join();
        } else {
            watcher_.detach();
        }
    }
    for (const int fd : {signal_fd_, stop_fd_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

std::string write_failure_reason(const std::string& path, int error) {
    return "\nError : Could not write to the output file " + path + ": " + std::strerror(error) + "\n";
}

bool make_folder(const std::string& dir) {
    struct stat status {};
    if (::stat(dir.c_str(), &status) == 0) {
        errno = ENOTDIR;
        return S_ISDIR(status.st_mode);
    }
    const std::size_t end = dir.find_last_not_of('/');
    const std::size_t slash = end == std::string::npos ? std::string::npos : dir.find_last_of('/', end);
    if (slash != std::string::npos && slash > 0 && !make_folder(dir.substr(0, slash))) {
        return false;
    }
    if (make_directory(dir, 0777)) {
        return true;
    }
    // Another process may have made it in the meantime.
    return errno == EEXIST && ::stat(dir.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

report_file::report_file(temporary_files& files, std::string path) : files_(files), path_(std::move(path)) {}

report_file::~report_file() {
    discard();
}

int report_file::create() {
    const int fd = try_create();
    if (fd < 0) {
        fail(3, write_failure_reason(path_, error_));
    }
    return fd;
}

int report_file::try_create() {
    const std::size_t slash = path_.find_last_of('/');
    // DIR/.NAME.tmp.PID. and a number
    std::string stem = path_.substr(0, slash + 1);
    stem.append(".").append(path_, slash + 1).append(".tmp.").append(std::to_string(::getpid())).append(".");
    struct stat replaced {};
    const bool replacing = ::stat(path_.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode);
    const std::lock_guard<std::mutex> hold(files_.lock);
    error_ = EINTR; // an interrupted batch creates nothing
    // A name left by another batch in the same folder is passed over.
    for (int attempt = 0; attempt < 100 && !files_.abandoned; ++attempt) {
        std::string candidate = stem + std::to_string(++files_.numbered);
        const int fd = open_file(candidate, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        error_ = errno;
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            break;
        }
        // The replacement keeps the permissions the report had (a new one has
        // those of a plain create); a failure leaves those.
        if (replacing && ::fchmod(fd, replaced.st_mode & 07777) != 0) {
            // nothing more to do about it
        }
        files_.paths.push_back(candidate);
        temporary_ = std::move(candidate);
        fd_ = fd;
        return fd;
    }
    errno = error_;
    return -1;
}

bool report_file::commit() {
    if (fd_ < 0) {
        return false;
    }
    const int fd = fd_;
    fd_ = -1;
    struct stat written {};
    // Synced before the rename, so that after a crash the final name holds
    // the whole report or the one it replaced, never a short one.
    bool complete = sync_file(fd) && ::fstat(fd, &written) == 0;
    error_ = complete ? 0 : errno;
    if (!close_file(fd) && complete) {
        error_ = errno;
        complete = false;
    }
    const std::lock_guard<std::mutex> hold(files_.lock);
    if (files_.abandoned) {
        error_ = EINTR;
        return false; // the temporary file is already gone
    }
    if (complete && !rename_file(temporary_, path_)) {
        error_ = errno;
        complete = false;
    }
    if (!complete) {
        remove_file(temporary_);
    }
    forget(temporary_);
    temporary_.clear();
    size_ = written.st_size;
    return complete;
}

// The report failed already: a failure to close or remove its temporary
// file changes nothing of that, and the file never takes the report's name.
void report_file::discard() {
    if (fd_ >= 0) {
        close_file(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        const std::lock_guard<std::mutex> hold(files_.lock);
        // An interrupted batch has removed the file already.
        if (std::find(files_.paths.begin(), files_.paths.end(), temporary_) != files_.paths.end()) {
            remove_file(temporary_);
            forget(temporary_);
        }
        temporary_.clear();
    }
}

// Takes a temporary file out of the batch's list (the caller holds the lock).
void report_file::forget(const std::string& path) {
    const auto at = std::find(files_.paths.begin(), files_.paths.end(), path);
    if (at != files_.paths.end()) {
        files_.paths.erase(at);
    }
}

} // namespace tallycnv
