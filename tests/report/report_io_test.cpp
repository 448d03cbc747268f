#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "report/byte_stream.h"
#include "report/report_sink.h"
#include "report/text_format.h"

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
    char* big = out.reserve(200000); // a reservation larger than the buffer
    std::memset(big, 'x', 200000);
    out.end_line(big + 200000);
    expected += std::string(200000, 'x') + "\r\n";
    EXPECT_EQ(out.text(), expected);
    EXPECT_EQ(out.line_count(), 20002);
}

TEST(ReportSink, ReportsWriteFailure) {
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (full == nullptr) {
        GTEST_SKIP() << "no /dev/full";
    }
    {
        report_sink out(full);
        out.write("line\n");
        EXPECT_FALSE(out.flush());
        EXPECT_TRUE(out.failed());
    }
    std::fclose(full);
}

TEST(ByteStream, PushBackAndShortReads) {
    byte_stream in({0x34, 0x12, 0x56});
    std::uint8_t buf[4] = {};
    EXPECT_EQ(in.read(buf, 3), 3U);
    EXPECT_FALSE(in.eof()); // reading up to the end is not past it
    in.seek(0);
    const int first = in.get();
    in.unget(first);
    EXPECT_EQ(in.tell(), 0U);
    EXPECT_EQ(in.read_u16(), 0x1234);
    EXPECT_EQ(in.read(buf, 4), 1U);
    EXPECT_EQ(buf[0], 0x56);
    EXPECT_TRUE(in.eof()); // only after a read ran past the end
    EXPECT_EQ(in.get(), byte_stream::eof_value);
    in.seek(2);
    EXPECT_EQ(in.read_u16(), 0xFF56); // the missing high byte reads as end of file
    in.seek(1);                       // seeking clears end of file
    EXPECT_FALSE(in.eof());
    EXPECT_EQ(in.get(), 0x12);
    in.seek(1000);
    EXPECT_EQ(in.get(), byte_stream::eof_value);
    EXPECT_EQ(in.read(buf, 2), 0U);
}

} // namespace
} // namespace tallycnv
