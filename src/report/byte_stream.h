// A binary data file held in memory, read the way a buffered C stream reads
// it: the end-of-file flag becomes true only after a read runs past the end,
// an absolute seek clears it, and one byte can be pushed back. Every read is
// bounds-checked; a short read delivers what is there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tallycnv {

class byte_stream {
  public:
    static constexpr int eof_value = -1;

    byte_stream() = default;
    explicit byte_stream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    // Reads a whole file; nullopt when it cannot be opened or read.
    static std::optional<byte_stream> open(const std::string& path);

    // One byte 0..255, or eof_value (and the end-of-file flag) past the end.
    int get();
    // Pushes one byte back in front of the read position (C ungetc: clears end-of-file).
    void unget(int byte);
    // Copies up to `size` bytes; returns the count delivered. A short read sets end-of-file.
    std::size_t read(void* destination, std::size_t size);
    // Little-endian 16-bit value made of two byte reads; a byte past the end reads as 0xFF.
    std::uint16_t read_u16();
    // Absolute position; clears end-of-file and any pushed-back byte. Positions past the
    // end are allowed (the next read then hits end-of-file).
    void seek(std::uint64_t position);
    [[nodiscard]] std::uint64_t tell() const;
    [[nodiscard]] bool eof() const { return eof_; }
    [[nodiscard]] std::uint64_t size() const { return bytes_.size(); }

  private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t pos_ = 0;
    int pushed_ = eof_value;
    bool eof_ = false;
};

} // namespace tallycnv
