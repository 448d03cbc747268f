#include "io/byte_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "io/fatal.h"
#include "io/file_io.h"

namespace tallycnv {

namespace {

[[noreturn]] void unreadable() {
    fail(2, "\nError : Could not read the input file\n");
}

} // namespace

byte_stream::descriptor& byte_stream::descriptor::operator=(descriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            close_file(fd_);
        }
        fd_ = other.release();
    }
    return *this;
}

byte_stream::descriptor::~descriptor() {
    if (fd_ >= 0) {
        close_file(fd_);
    }
}

int byte_stream::descriptor::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

byte_stream::byte_stream(std::vector<std::uint8_t> bytes)
    : memory_(std::move(bytes)), buffer_(std::min(memory_.size(), buffer_capacity)) {}

std::optional<byte_stream> byte_stream::open(const std::string& path) {
    descriptor file(open_file(path, O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || S_ISDIR(status.st_mode)) {
        return std::nullopt;
    }
    byte_stream input;
    input.seekable_ = ::lseek(file.get(), 0, SEEK_CUR) >= 0;
    input.file_ = std::move(file);
    input.buffer_.resize(buffer_capacity);
    return input;
}

std::size_t byte_stream::read_source(std::uint8_t* to, std::size_t room) {
    const std::uint64_t at = buffer_start_ + buffered_;
    if (file_.get() < 0) {
        if (at >= memory_.size()) {
            return 0;
        }
        const std::size_t n = std::min<std::uint64_t>(room, memory_.size() - at);
        std::memcpy(to, memory_.data() + at, n);
        return n;
    }
    if (at == source_end_) {
        return 0;
    }
    // One read call: a pipe or FIFO delivers what its writer has written so
    // far, which is all the caller may need. A read that fails mid-file (a
    // failing disk or network share) ends the run.
    const ssize_t n = read_some(file_.get(), to, room);
    if (n < 0) {
        unreadable();
    }
    if (n == 0) {
        source_end_ = at;
    }
    return static_cast<std::size_t>(n);
}

void byte_stream::reposition(std::uint64_t position) {
    if (file_.get() >= 0) {
        if (position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) ||
            ::lseek(file_.get(), static_cast<off_t>(position), SEEK_SET) < 0) {
            unreadable();
        }
    }
    buffer_start_ = position;
    buffered_ = 0;
}

bool byte_stream::fill() {
    // The source stands at the end of the buffered bytes. A seekable source
    // moves to any other read position; a forward-only one reads on to it,
    // keeping the bytes of the current buffer while there is room.
    if (seekable_ && pos_ != buffer_start_ + buffered_) {
        reposition(pos_);
    }
    while (!holds(pos_)) {
        const bool full = buffered_ == buffer_.size();
        if (full) {
            buffer_start_ += buffered_;
            buffered_ = 0;
        }
        const std::size_t n = read_source(buffer_.data() + buffered_, buffer_.size() - buffered_);
        if (n == 0) {
            if (full) { // nothing came: the last bytes stay at hand for a seek back
                buffer_start_ -= buffer_.size();
                buffered_ = buffer_.size();
            }
            return false;
        }
        buffered_ += n;
    }
    return true;
}

int byte_stream::get_slow() {
    if (pushed_ != eof_value) {
        const int byte = pushed_;
        pushed_ = eof_value;
        return byte;
    }
    if (!holds(pos_) && !fill()) {
        eof_ = true;
        return eof_value;
    }
    return buffer_[pos_++ - buffer_start_];
}

int byte_stream::peek_slow() {
    if (pushed_ != eof_value) {
        return pushed_;
    }
    if (!holds(pos_) && !fill()) {
        eof_ = true;
        return eof_value;
    }
    return buffer_[pos_ - buffer_start_];
}

void byte_stream::unget(int byte) {
    if (byte == eof_value) {
        return;
    }
    pushed_ = byte & 0xFF;
    eof_ = false;
}

std::size_t byte_stream::read_slow(void* destination, std::size_t size) {
    auto* out = static_cast<std::uint8_t*>(destination);
    std::size_t done = 0;
    if (size > 0 && pushed_ != eof_value) {
        out[done++] = static_cast<std::uint8_t>(pushed_);
        pushed_ = eof_value;
    }
    while (done < size && (holds(pos_) || fill())) {
        const std::size_t offset = pos_ - buffer_start_;
        const std::size_t n = std::min(size - done, buffered_ - offset);
        std::memcpy(out + done, buffer_.data() + offset, n);
        pos_ += n;
        done += n;
    }
    if (done < size) {
        eof_ = true;
    }
    return done;
}

std::uint16_t byte_stream::read_u16() {
    const int lo = get();
    const int hi = get();
    return static_cast<std::uint16_t>((lo & 0xFF) | ((hi & 0xFF) << 8));
}

void byte_stream::seek(std::uint64_t position) {
    // Bytes that went past a forward-only source cannot be read again.
    if (!seekable_ && position < buffer_start_) {
        fail(2, "\nError : Invalid or corrupt input file\n");
    }
    pos_ = position;
    pushed_ = eof_value;
    eof_ = false;
}

std::uint64_t byte_stream::tell() const {
    return pushed_ != eof_value && pos_ > 0 ? pos_ - 1 : pos_;
}

} // namespace tallycnv
