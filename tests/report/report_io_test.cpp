#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "app/fatal.h"
#include "report/byte_stream.h"
#include "report/report_sink.h"
#include "report/text_format.h"
#include "support/k479_builder.h"
#include "support/run_program.h"

namespace tallycnv {
namespace {

TEST(ReportSink, WritesCrLfAndCountsLineEnds) {
    report_sink out;
    out.printf("* SITE = %.20s%s", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "\n");
    out.write("a\nb");
    out.put('\n');
    const std::string long_text(2000, 'x'); // long formatted text is whole
    out.printf("%s|%5.1f", long_text.c_str(), 2.25);
    EXPECT_EQ(out.text(), "* SITE = ABCDEFGHIJKLMNOPQRST\r\na\r\nb\r\n" + long_text + "|  2.2");
    EXPECT_EQ(out.line_count(), 3);
}

TEST(ReportSink, FastPathEndsAndCountsLines) {
    report_sink out;
    out.write("head\n");
    std::string expected = "head\r\n";
    // Enough lines to pass through several full buffers.
    for (int i = 0; i < 20000; ++i) {
        char* p = out.reserve(64);
        p = put_text(p, "1,");
        p = put_int(p, i, 6, '0');
        out.commit(p);
        p = out.reserve(8);
        p = put_char(p, ',');
        out.end_line(p);
        char digits[16];
        std::snprintf(digits, sizeof digits, "%06d", i);
        expected += std::string("1,") + digits + ",\r\n";
    }
    char* big = out.reserve(200000 + 2); // larger than the buffer, with room for the line end
    std::memset(big, 'x', 200000);
    out.end_line(big + 200000);
    expected += std::string(200000, 'x') + "\r\n";
    EXPECT_EQ(out.text(), expected);
    EXPECT_EQ(out.line_count(), 20002);
}

// The bytes of every test source: position p holds p modulo 251, so a byte
// read tells where it came from, across every buffer boundary.
std::uint8_t pattern(std::uint64_t position) {
    return static_cast<std::uint8_t>(position % 251);
}

enum class source_kind { memory, file, pipe };

// A byte_stream over `size` pattern bytes, held in memory, in a file, or
// written into a pipe by a thread of its own (read forward only).
struct test_source {
    std::string dir = test::make_temp_dir();
    std::thread writer;
    std::optional<byte_stream> stream;

    test_source(source_kind kind, std::size_t size) {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = pattern(i);
        }
        if (kind == source_kind::memory) {
            stream.emplace(std::move(bytes));
        } else if (kind == source_kind::file) {
            test::write_file(dir + "/SOURCE.DAT", bytes);
            stream = byte_stream::open(dir + "/SOURCE.DAT");
        } else {
            std::signal(SIGPIPE, SIG_IGN); // a writer left behind gets an error instead
            int fds[2];
            EXPECT_EQ(pipe(fds), 0);
            stream = byte_stream::open("/proc/self/fd/" + std::to_string(fds[0]));
            close(fds[0]);
            writer = std::thread([fd = fds[1], data = std::move(bytes)] {
                std::size_t at = 0;
                for (ssize_t n = 0; at < data.size() && n >= 0; at += static_cast<std::size_t>(n)) {
                    n = write(fd, data.data() + at, data.size() - at);
                }
                close(fd);
            });
        }
    }
    ~test_source() {
        stream.reset(); // a writer still writing then fails and ends
        if (writer.joinable()) {
            writer.join();
        }
        std::filesystem::remove_all(dir);
    }
};

enum class op { get, unget, read, read_u16, seek, tell, eof };
constexpr std::int64_t fails = -2; // a seek that ends the run as a corrupt input file

// One call and its result: a byte (or eof_value), a count delivered (the
// bytes are checked against the pattern), a position, the end-of-file flag,
// or `fails`.
struct step {
    op call;
    std::uint64_t arg;
    std::int64_t expect;
};

constexpr std::uint64_t cap = byte_stream::buffer_capacity;

TEST(ByteStream, BehavesLikeABufferedCStream) {
    const auto all = {source_kind::memory, source_kind::file, source_kind::pipe};
    const auto seekable = {source_kind::memory, source_kind::file};
    const struct {
        const char* name;
        std::initializer_list<source_kind> kinds;
        std::size_t size;
        std::vector<step> steps;
    } rows[] = {
        {"end of file only after a read runs past the end",
         all,
         3,
         {{op::read, 3, 3}, {op::eof, 0, 0}, {op::get, 0, byte_stream::eof_value}, {op::eof, 0, 1}}},
        {"a seek clears end of file, positions past the end read as the end",
         all,
         3,
         {{op::seek, 1000, 0},
          {op::get, 0, byte_stream::eof_value},
          {op::eof, 0, 1},
          {op::seek, 1, 0},
          {op::eof, 0, 0},
          {op::get, 0, 1}}},
        {"one byte of push-back",
         all,
         3,
         {{op::get, 0, 0},
          {op::unget, 0, 0},
          {op::tell, 0, 0},
          {op::read_u16, 0, 0x0100},
          {op::unget, 9, 0},
          {op::tell, 0, 1},
          {op::get, 0, 9},
          {op::read, 4, 1},
          {op::eof, 0, 1},
          {op::unget, 7, 0},
          {op::eof, 0, 0},
          {op::get, 0, 7}}},
        {"a short read delivers what is there; a missing high byte reads as 0xFF",
         all,
         10,
         {{op::seek, 7, 0}, {op::read, 5, 3}, {op::eof, 0, 1}, {op::seek, 9, 0}, {op::read_u16, 0, 0xFF09}}},
        {"reads across buffer boundaries",
         all,
         3 * cap + 10,
         {{op::seek, cap - 2, 0},
          {op::read, 5, 5},
          {op::read, 2 * cap, 2 * cap},
          {op::read_u16, 0, (pattern(3 * cap + 4) << 8) | pattern(3 * cap + 3)},
          {op::read, 10, 5},
          {op::eof, 0, 1}}},
        {"seeks anywhere in a seekable source",
         seekable,
         3 * cap,
         {{op::seek, 2 * cap + 7, 0},
          {op::get, 0, pattern(2 * cap + 7)},
          {op::seek, 3, 0},
          {op::read, cap, cap},
          {op::seek, cap - 1, 0},
          {op::tell, 0, cap - 1},
          {op::read_u16, 0, (pattern(cap) << 8) | pattern(cap - 1)}}},
        {"a pipe: forward seeks read and discard, seeks back within the buffer",
         {source_kind::pipe},
         3 * cap,
         {{op::read, 100, 100},
          {op::seek, 3, 0},
          {op::get, 0, 3},
          {op::seek, 2 * cap + 7, 0},
          {op::get, 0, pattern(2 * cap + 7)},
          {op::seek, 2 * cap, 0},
          {op::read, 10, 10},
          {op::tell, 0, 2 * cap + 10}}},
        {"a pipe: the last buffer stays at hand after the end",
         {source_kind::pipe},
         cap,
         {{op::read, cap, cap}, {op::get, 0, byte_stream::eof_value}, {op::seek, 5, 0}, {op::get, 0, 5}}},
        {"a pipe: a seek back past the buffer fails",
         {source_kind::pipe},
         3 * cap,
         {{op::seek, cap + 1, 0}, {op::get, 0, pattern(cap + 1)}, {op::seek, cap - 1, fails}}},
    };
    for (const auto& row : rows) {
        for (const source_kind kind : row.kinds) {
            test_source source(kind, row.size);
            ASSERT_TRUE(source.stream.has_value()) << row.name;
            byte_stream& in = *source.stream;
            EXPECT_EQ(in.seekable(), kind != source_kind::pipe);
            for (std::size_t i = 0; i < row.steps.size(); ++i) {
                const step& s = row.steps[i];
                const std::string where = std::string(row.name) + ", source " +
                                          std::to_string(static_cast<int>(kind)) + ", step " +
                                          std::to_string(i);
                const std::uint64_t at = in.tell();
                std::vector<std::uint8_t> got(s.call == op::read ? s.arg : 0);
                std::int64_t result = 0;
                switch (s.call) {
                case op::get:
                    result = in.get();
                    break;
                case op::unget:
                    in.unget(static_cast<int>(s.arg));
                    break;
                case op::read:
                    result = static_cast<std::int64_t>(in.read(got.data(), got.size()));
                    break;
                case op::read_u16:
                    result = in.read_u16();
                    break;
                case op::seek:
                    try {
                        in.seek(s.arg);
                    } catch (const fatal_error& error) {
                        EXPECT_EQ(error.exit_code, 2) << where;
                        EXPECT_EQ(error.message, "\nError : Invalid or corrupt input file\n") << where;
                        result = fails;
                    }
                    break;
                case op::tell:
                    result = static_cast<std::int64_t>(in.tell());
                    break;
                case op::eof:
                    result = in.eof() ? 1 : 0;
                    break;
                }
                EXPECT_EQ(result, s.expect) << where;
                for (std::size_t k = 0; s.call == op::read && k < static_cast<std::size_t>(result); ++k) {
                    ASSERT_EQ(got[k], pattern(at + k)) << where << ", byte " << k;
                }
            }
        }
    }
}

} // namespace
} // namespace tallycnv
