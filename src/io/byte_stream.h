// A binary data file read the way a buffered C stream reads it: the
// end-of-file flag becomes true only after a read runs past the end, an
// absolute seek clears it, one byte can be pushed back, and a short read
// delivers what is there. Every read is bounds-checked.
//
// The bytes pass through one buffer of fixed size, whether they come from a
// file or from memory, so a source of any length (even an endless device)
// costs the same memory and the first byte is at hand at once. A source that
// cannot seek (a pipe, a FIFO, a terminal) is read forward only: a forward
// seek reads and discards, and a seek back before what the buffer still
// holds ends the run as a corrupt input file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace tallycnv {

class byte_stream {
  public:
    static constexpr int eof_value = -1;
    static constexpr std::size_t buffer_capacity = std::size_t{1} << 16;

    byte_stream() = default;
    // Reads bytes held in memory.
    explicit byte_stream(std::vector<std::uint8_t> bytes);

    // Opens a file (or device, pipe, FIFO) for reading; nullopt when it cannot
    // be opened or is a directory.
    static std::optional<byte_stream> open(const std::string& path);

    // The record readers call get, peek and read once or more per record: the
    // bytes already buffered are served inline, the rest out of line.

    // One byte 0..255, or eof_value (and the end-of-file flag) past the end.
    int get() {
        if (pushed_ == eof_value && holds(pos_)) {
            return buffer_[pos_++ - buffer_start_];
        }
        return get_slow();
    }
    // The byte get() would return, left in place (the end-of-file flag is set as get sets it).
    int peek() {
        if (pushed_ == eof_value && holds(pos_)) {
            return buffer_[pos_ - buffer_start_];
        }
        return peek_slow();
    }
    // Pushes one byte back in front of the read position (C ungetc: clears end-of-file).
    void unget(int byte);
    // Copies up to `size` bytes; returns the count delivered. A short read sets end-of-file.
    std::size_t read(void* destination, std::size_t size) {
        if (pushed_ == eof_value && holds(pos_) && buffered_ - (pos_ - buffer_start_) >= size) {
            std::memcpy(destination, buffer_.data() + (pos_ - buffer_start_), size);
            pos_ += size;
            return size;
        }
        return read_slow(destination, size);
    }
    // Little-endian 16-bit value made of two byte reads; a byte past the end reads as 0xFF.
    std::uint16_t read_u16();
    // Absolute position; clears end-of-file and any pushed-back byte. Positions past the
    // end are allowed (the next read then hits end-of-file).
    void seek(std::uint64_t position);
    [[nodiscard]] std::uint64_t tell() const;
    [[nodiscard]] bool eof() const { return eof_; }
    // False for a source read forward only.
    [[nodiscard]] bool seekable() const { return seekable_; }

  private:
    // Owns the descriptor of an opened source; -1 for bytes held in memory.
    class descriptor {
      public:
        descriptor() = default;
        explicit descriptor(int fd) : fd_(fd) {}
        descriptor(descriptor&& other) noexcept : fd_(other.release()) {}
        descriptor& operator=(descriptor&& other) noexcept;
        descriptor(const descriptor&) = delete;
        descriptor& operator=(const descriptor&) = delete;
        ~descriptor();
        [[nodiscard]] int get() const { return fd_; }

      private:
        int release();
        int fd_ = -1;
    };

    [[nodiscard]] bool holds(std::uint64_t position) const {
        return position >= buffer_start_ && position - buffer_start_ < buffered_;
    }
    int get_slow();
    int peek_slow();
    std::size_t read_slow(void* destination, std::size_t size);
    // Makes the buffer hold the read position; false when the source ends before it.
    bool fill();
    // Appends source bytes to the buffer; 0 at the end of the source.
    std::size_t read_source(std::uint8_t* to, std::size_t room);
    // Empties the buffer and moves the source to `position` (seekable sources only).
    void reposition(std::uint64_t position);

    descriptor file_;
    std::vector<std::uint8_t> memory_; // the source when no file is open
    bool seekable_ = true;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t buffer_start_ = 0; // source position of the first buffered byte
    std::size_t buffered_ = 0;       // bytes of the buffer that hold source bytes
    // Where a read found the end of the source: a reader that tries again
    // byte by byte past the end costs no more calls.
    std::uint64_t source_end_ = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t pos_ = 0;
    int pushed_ = eof_value;
    bool eof_ = false;
};

} // namespace tallycnv
