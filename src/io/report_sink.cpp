#include "io/report_sink.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "io/file_io.h"

namespace tallycnv {

namespace {
// The descriptor sees writes of at least this size (less the last reservation
// that did not fit), so the report reaches the file in few large writes.
constexpr std::size_t write_size = std::size_t{1} << 16;
constexpr std::size_t buffer_size = write_size + (std::size_t{1} << 12);
} // namespace

report_text make_report_text(std::string_view text) {
    report_text made;
    made.bytes.reserve(text.size());
    for (const char c : text) {
        if (c == '\n') {
            made.bytes += '\r';
            ++made.line_ends;
        }
        made.bytes += c;
    }
    return made;
}

report_sink::report_sink(int fd)
    : fd_(fd), buffer_(std::make_unique<char[]>(buffer_size)), capacity_(buffer_size) {}

report_sink::report_sink(std::function<int()> open_destination)
    : open_destination_(std::move(open_destination)), buffer_(std::make_unique<char[]>(buffer_size)),
      capacity_(buffer_size) {}

report_sink::report_sink() : report_sink(-1) {}

report_sink::~report_sink() {
    flush();
}

void report_sink::open() {
    if (open_destination_) {
        const std::function<int()> open_destination = std::move(open_destination_);
        open_destination_ = nullptr;
        fd_ = open_destination();
    }
}

// Moves the buffered bytes to the descriptor (or to memory) and empties the
// buffer; bytes for a destination not yet opened stay. The descriptor is
// written directly, not through a C stream, which would give up on a write
// interrupted by a signal.
void report_sink::drain() {
    if (used_ == 0 || open_destination_) {
        return;
    }
    if (fd_ < 0) {
        memory_.append(buffer_.get(), used_);
    } else if (!failed_ && !write_all(fd_, buffer_.get(), used_)) {
        failed_ = true;
        error_ = errno;
    }
    delivered_ += used_;
    used_ = 0;
}

void report_sink::make_room(std::size_t size) {
    drain();
    if (capacity_ - used_ < size) {
        const std::size_t grown = std::max(used_ + size, 2 * capacity_);
        std::unique_ptr<char[]> bigger = std::make_unique<char[]>(grown);
        std::memcpy(bigger.get(), buffer_.get(), used_);
        buffer_ = std::move(bigger);
        capacity_ = grown;
    }
}

void report_sink::write(std::string_view text) {
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        const std::size_t piece = nl == std::string_view::npos ? text.size() : nl;
        char* p = reserve(piece + 2);
        std::memcpy(p, text.data(), piece);
        if (nl == std::string_view::npos) {
            commit(p + piece);
            return;
        }
        end_line(p + piece);
        text.remove_prefix(nl + 1);
    }
}

void report_sink::put(char c) {
    write(std::string_view(&c, 1));
}

void report_sink::printf(const char* format, ...) {
    char local[512];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(local, sizeof local, format, args);
    va_end(args);
    if (n < 0) {
        va_end(copy);
        error_ = errno;
        failed_ = true;
        return;
    }
    if (static_cast<std::size_t>(n) < sizeof local) {
        va_end(copy);
        write(std::string_view(local, static_cast<std::size_t>(n)));
        return;
    }
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, copy);
    va_end(copy);
    big.resize(static_cast<std::size_t>(n));
    write(big);
}

bool report_sink::flush() {
    drain();
    return !failed_;
}

const std::string& report_sink::text() {
    drain();
    return memory_;
}

} // namespace tallycnv
