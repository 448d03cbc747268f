// The system calls the program makes on its files (the source, the report,
// the language, help and site-record files), made whole: a call interrupted
// by a signal is made again, a descriptor that would block is waited for, and
// a short write goes on with the rest. What is left is a real failure, with
// errno telling which.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

namespace tallycnv {

// open(2); -1 when it fails.
int open_file(const std::string& path, int flags, mode_t mode = 0);
// One read(2) that delivered something or found the end: the count, 0 at the
// end, -1 on a failure.
ssize_t read_some(int fd, void* to, std::size_t size);
// Reads until `size` bytes or the end: the count, -1 on a failure.
ssize_t read_full(int fd, void* to, std::size_t size);
// Writes every byte; false on a failure.
bool write_all(int fd, const void* from, std::size_t size);
// close(2); false on a failure. Linux releases the descriptor whatever close
// reports, so an interrupted close is a closed descriptor and is not repeated.
bool close_file(int fd);

// fsync(2), rename(2), unlink(2) and mkdir(2), repeated when interrupted;
// false on a failure. A file system that cannot sync (EINVAL) has nothing
// more to give: that is not a failure.
bool sync_file(int fd);
bool rename_file(const std::string& from, const std::string& to);
bool remove_file(const std::string& path);
bool make_directory(const std::string& path, mode_t mode);

// The first `limit` bytes of a small text file (all of a shorter one);
// nullopt, errno set, when it cannot be opened or read.
std::optional<std::string> read_file_head(const std::string& path, std::size_t limit);
// True for the errors that say a file is not there to be read (no such file,
// no permission, a directory), as opposed to a failing device.
bool is_absent(int error);

} // namespace tallycnv
