#include "app/report_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

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

bool make_folder(const std::string& dir) {
    struct stat status {};
    if (::stat(dir.c_str(), &status) == 0) {
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
    const std::size_t slash = path_.find_last_of('/');
    // DIR/.NAME.tmp.PID. and a number
    std::string stem = path_.substr(0, slash + 1);
    stem.append(".").append(path_, slash + 1).append(".tmp.").append(std::to_string(::getpid())).append(".");
    const std::lock_guard<std::mutex> hold(files_.lock);
    // A name left by another batch in the same folder is passed over.
    for (int attempt = 0; attempt < 100 && !files_.abandoned; ++attempt) {
        std::string candidate = stem + std::to_string(++files_.numbered);
        const int fd = open_file(candidate, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            break;
        }
        files_.paths.push_back(candidate);
        temporary_ = std::move(candidate);
        fd_ = fd;
        return fd;
    }
    fail(3, write_failure_message);
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
    complete = close_file(fd) && complete;
    const std::lock_guard<std::mutex> hold(files_.lock);
    if (files_.abandoned) {
        return false; // the temporary file is already gone
    }
    complete = complete && rename_file(temporary_, path_);
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
