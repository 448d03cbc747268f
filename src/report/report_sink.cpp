#include "report/report_sink.h"

#include <cstdarg>
#include <cstring>

namespace tallycnv {

namespace {
constexpr std::size_t flush_threshold = 1 << 16;
}

report_sink::report_sink(std::FILE* stream) : stream_(stream) {
    buffer_.reserve(flush_threshold + 1024);
}

report_sink::report_sink(std::function<std::FILE*()> open_destination)
    : open_destination_(std::move(open_destination)) {}

report_sink::report_sink() = default;

report_sink::~report_sink() {
    flush();
}

void report_sink::open() {
    if (open_destination_) {
        const std::function<std::FILE*()> open_destination = std::move(open_destination_);
        open_destination_ = nullptr;
        stream_ = open_destination();
        buffer_.reserve(flush_threshold + 1024);
    }
}

void report_sink::append_raw(const char* data, std::size_t size) {
    // Bytes for a destination not yet opened wait in the buffer.
    std::string& target = stream_ != nullptr || open_destination_ ? buffer_ : memory_;
    target.append(data, size);
    if (stream_ != nullptr && buffer_.size() >= flush_threshold) {
        flush();
    }
}

void report_sink::write(std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const void* found = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (found == nullptr) {
            append_raw(p, static_cast<std::size_t>(end - p));
            break;
        }
        const char* nl = static_cast<const char*>(found);
        append_raw(p, static_cast<std::size_t>(nl - p));
        append_raw("\r\n", 2);
        ++line_count_;
        p = nl + 1;
    }
}

void report_sink::put(char c) {
    if (c == '\n') {
        append_raw("\r\n", 2);
        ++line_count_;
    } else {
        append_raw(&c, 1);
    }
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
    if (stream_ == nullptr) {
        return !failed_;
    }
    if (!buffer_.empty() && !failed_) {
        if (std::fwrite(buffer_.data(), 1, buffer_.size(), stream_) != buffer_.size()) {
            failed_ = true;
        }
    }
    buffer_.clear();
    if (!failed_ && std::fflush(stream_) != 0) {
        failed_ = true;
    }
    return !failed_;
}

} // namespace tallycnv
