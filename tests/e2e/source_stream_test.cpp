// Sources that are not plain files: endless devices, and FIFOs whose writer
// keeps them open or never stops. The program reads its source as a stream,
// so it stops as soon as it has what it needs; a run that still hangs is
// killed by a time limit and fails.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>

#include "support/interval_builder.h"
#include "support/k479_builder.h"
#include "support/run_program.h"
#include "support/vbv_builder.h"

namespace tallycnv {
namespace {

using args = std::vector<std::string>;
const std::string corrupt = "\nError : Invalid or corrupt input file\n";

// Feeds a FIFO: first `head`, then `filler` again and again (with no filler
// it just keeps the FIFO open), until destroyed. Opened for reading and
// writing, so the reader's open returns at once and never sees an end.
class fifo_feed {
  public:
    fifo_feed(const std::string& path, test::bytes head, test::bytes filler)
        : head_(std::move(head)), filler_(std::move(filler)) {
        if (mkfifo(path.c_str(), 0600) != 0 || (fd_ = open(path.c_str(), O_RDWR | O_NONBLOCK)) < 0) {
            throw std::runtime_error("cannot make a FIFO");
        }
        writer_ = std::thread([this] { feed(); });
    }
    fifo_feed(const fifo_feed&) = delete;
    fifo_feed& operator=(const fifo_feed&) = delete;
    ~fifo_feed() {
        done_ = true;
        writer_.join();
        close(fd_);
    }

  private:
    void feed() {
        const test::bytes* pending = &head_;
        std::size_t at = 0;
        while (!done_) {
            if (at == pending->size() && !filler_.empty()) {
                pending = &filler_;
                at = 0;
            }
            const ssize_t n =
                at < pending->size() ? write(fd_, pending->data() + at, pending->size() - at) : 0;
            if (n > 0) {
                at += static_cast<std::size_t>(n);
            } else {
                pollfd ready{fd_, POLLOUT, 0};
                poll(&ready, 1, 10);
            }
        }
    }

    test::bytes head_;
    test::bytes filler_;
    int fd_ = -1;
    std::atomic<bool> done_{false};
    std::thread writer_;
};

const char* const count_header = "type m\nsite FIFO\nstart 2013-03-07 10:00:00\ninterval 15\nno_chans 1\n"
                                 "block_size 2\n";

TEST(SourceStream, EndlessAndForwardOnlySources) {
    const test::bytes block = {7, 0};
    const test::bytes vehicle =
        test::build_vbv_records("type6 lane=0 axles=0 wheelbase=400 time=36050 speed=50");
    const test::bytes vbv_head = test::build_header("type V\nsite FIFO\nnum_records 3\n");
    // 40000 blocks ever written, the first lost: 80 KB to read before the wrap back to the start.
    const test::bytes wrapped_head =
        test::build_header(std::string(count_header) + "num_records 40001\nrecords_lost 1\nwrapped 1\n");
    const test::bytes wrapped_vbv = test::build_wrapped_vbv_file(
        "site FIFO\nnum_records 2\n",
        {test::build_vbv_records("type6 lane=0 axles=0 wheelbase=400 time=36070 speed=70"),
         {},
         test::build_vbv_records("type6 lane=0 axles=0 wheelbase=400 time=36060 speed=60"),
         {}});
    const struct {
        const char* name;
        std::string source; // "FIFO": the FIFO fed with `head`, then `filler` for ever
        test::bytes head;
        test::bytes filler;
        args options;
        int exit_code;
        std::string err;
        std::string report_end;
    } rows[] = {
        {"endless zeros", "/dev/zero", {}, {}, {}, 2, corrupt, ""},
        {"relative path to an endless device", "../../../../dev/full", {}, {}, {"OUT.TXT"}, 2, corrupt, ""},
        {"writer never closes", "FIFO", test::bytes(4096, 0), {}, {}, 2, corrupt, ""},
        {"endless blocks, three recorded",
         "FIFO",
         test::build_header(std::string(count_header) + "num_records 3\n"),
         block,
         {},
         0,
         "",
         "070313 1015 1    3    3    3\r\n* END 25 FFFF\r\n"},
        {"endless vehicles, three recorded",
         "FIFO",
         vbv_head,
         vehicle,
         {"-fv2"},
         0,
         "",
         "1,000003,000100,0100,05,00,000000, 1,1, 0.0,99.9, 50,  400,  ,\"  "
         "\"\r\n21,\"END\",23,\"FFFF\"\r\n"},
        {"wrapped, back to the start within the buffer",
         "FIFO",
         wrapped_vbv,
         {},
         {"-fv2"},
         0,
         "",
         "1,000002,000100,0100,07,00,000000, 1,1, 1.0, 0.8, 70,  400,  ,\"  "
         "\"\r\n21,\"END\",22,\"FFFF\"\r\n"},
        {"wrapped, back to the start past the buffer", "FIFO", wrapped_head, block, {}, 2, corrupt, ""},
    };
    for (const auto& row : rows) {
        const std::string dir = test::make_temp_dir();
        std::unique_ptr<fifo_feed> feed;
        if (row.source == "FIFO") {
            feed = std::make_unique<fifo_feed>(dir + "/FIFO", row.head, row.filler);
        }
        // A run that hangs is killed after three seconds.
        args arguments = {"-s", "KILL", "3", TALLYCNV_EXE, "^", row.source};
        arguments.insert(arguments.end(), row.options.begin(), row.options.end());
        const auto started = std::chrono::steady_clock::now();
        const test::run_result r = test::run_tallycnv(arguments, dir, "/usr/bin/timeout");
        const auto took = std::chrono::steady_clock::now() - started;
        feed.reset();
        EXPECT_EQ(r.exit_code, row.exit_code) << row.name;
        EXPECT_EQ(r.err, row.err) << row.name;
        EXPECT_TRUE(r.out.ends_with(row.report_end)) << row.name << "\n" << r.out;
        EXPECT_LT(took, std::chrono::seconds(1)) << row.name;
        EXPECT_FALSE(std::filesystem::exists(dir + "/OUT.TXT")) << row.name; // no report, none replaced
        std::filesystem::remove_all(dir);
    }
}

} // namespace
} // namespace tallycnv
