#include "report/byte_stream.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace tallycnv {

std::optional<byte_stream> byte_stream::open(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[1 << 16];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (n < sizeof chunk) {
            break;
        }
    }
    if (std::ferror(file.get()) != 0) {
        return std::nullopt;
    }
    return byte_stream(std::move(bytes));
}

int byte_stream::get() {
    if (pushed_ != eof_value) {
        const int byte = pushed_;
        pushed_ = eof_value;
        return byte;
    }
    if (pos_ >= bytes_.size()) {
        eof_ = true;
        return eof_value;
    }
    return bytes_[pos_++];
}

void byte_stream::unget(int byte) {
    if (byte == eof_value) {
        return;
    }
    pushed_ = byte & 0xFF;
    eof_ = false;
}

std::size_t byte_stream::read(void* destination, std::size_t size) {
    auto* out = static_cast<std::uint8_t*>(destination);
    std::size_t done = 0;
    if (size > 0 && pushed_ != eof_value) {
        out[done++] = static_cast<std::uint8_t>(pushed_);
        pushed_ = eof_value;
    }
    const std::uint64_t available = pos_ < bytes_.size() ? bytes_.size() - pos_ : 0;
    const std::size_t wanted = size - done;
    const std::size_t n = available < wanted ? static_cast<std::size_t>(available) : wanted;
    if (n > 0) {
        std::memcpy(out + done, bytes_.data() + pos_, n);
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
    pos_ = position;
    pushed_ = eof_value;
    eof_ = false;
}

std::uint64_t byte_stream::tell() const {
    return pushed_ != eof_value && pos_ > 0 ? pos_ - 1 : pos_;
}

} // namespace tallycnv
