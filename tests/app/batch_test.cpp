// What a case cannot reach in a batch run or a single run: SIGINT, SIGTERM or
// SIGHUP while a source is still being read, the status line on a terminal,
// and the permissions of a replaced report. The source that never ends is a
// FIFO holding an interval header whose writer stays open.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/k479_builder.h"
#include "support/run_program.h"

namespace tallycnv {
namespace {

namespace fs = std::filesystem;

// A batch started in a scratch folder: GOOD.DAT (a sample), HANG.DAT (the
// endless FIFO) and LATER.DAT, formatted one after the other into out/.
class interrupted_batch : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = test::make_temp_dir();
        fs::copy_file(TALLYCNV_SOURCE_DIR "/data/SITE1.DAT", dir_ + "/GOOD.DAT");
        fs::copy_file(TALLYCNV_SOURCE_DIR "/data/SITE1.DAT", dir_ + "/LATER.DAT");
        const std::string fifo = dir_ + "/HANG.DAT";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        fifo_ = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
        ASSERT_GE(fifo_, 0);
        send_header();
    }
    // The FIFO's data: a header whose blocks never come.
    void send_header() const {
        const test::bytes header =
            test::build_header("type m\nsite HANG\nstart 2013-03-07 10:00:00\n"
                               "interval 15\nno_chans 1\nblock_size 2\nnum_records 1000\n");
        ASSERT_EQ(write(fifo_, header.data(), header.size()), static_cast<ssize_t>(header.size()));
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(fifo_);
        close(from_program_);
        fs::remove_all(dir_);
    }

    // Starts the batch with its standard output and error on a terminal, or on a pipe.
    void start(bool terminal, std::vector<std::string> args = {"--output-dir=out", "--jobs=1", "GOOD.DAT",
                                                               "HANG.DAT", "LATER.DAT"}) {
        args.insert(args.begin(), TALLYCNV_EXE);
        int ends[2] = {-1, -1};
        if (terminal) {
            pid_ = forkpty(&from_program_, nullptr, nullptr, nullptr);
        } else {
            ASSERT_EQ(pipe(ends), 0);
            pid_ = fork();
            from_program_ = ends[0];
        }
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            if (!terminal) {
                dup2(ends[1], STDOUT_FILENO);
                dup2(ends[1], STDERR_FILENO);
            }
            std::vector<char*> argv;
            argv.reserve(args.size() + 1);
            for (const std::string& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            if (chdir(dir_.c_str()) == 0) {
                execv(argv[0], argv.data());
            }
            _exit(127);
        }
        if (!terminal) {
            close(ends[1]);
        }
    }

    // Reads what the program prints until `enough` says so or ten seconds pass.
    bool read_until(const std::function<bool()>& enough) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!enough()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            pollfd ready{from_program_, POLLIN, 0};
            if (poll(&ready, 1, 50) > 0) {
                char buffer[4096];
                const ssize_t n = read(from_program_, buffer, sizeof buffer);
                if (n > 0) {
                    printed_.append(buffer, static_cast<std::size_t>(n));
                }
            }
        }
        return true;
    }

    std::vector<std::string> output_files(const std::string& folder = "/out") const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_ + folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    bool temporary_file_present() const {
        const std::vector<std::string> names = output_files();
        return std::any_of(names.begin(), names.end(),
                           [](const std::string& n) { return n.starts_with(".HANG.TXT.tmp."); });
    }

    // Signals the program and returns the signal it ended by (0: it exited).
    int stop_with(int signal_number, bool batch = true) {
        kill(pid_, signal_number);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        if (batch) {
            read_until([this] { return printed_.find("removed") != std::string::npos; });
        }
        return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }

    std::string dir_;
    int fifo_ = -1;
    int from_program_ = -1;
    pid_t pid_ = -1;
    std::string printed_;
};

TEST_F(interrupted_batch, SigintOnATerminalShowsTheStatusLineAndRemovesTheUnfinishedReport) {
    start(true);
    ASSERT_TRUE(read_until([this] { return printed_.find("1 of 3 files, 0 failed, ") != std::string::npos; }))
        << printed_;
    ASSERT_TRUE(temporary_file_present());
    EXPECT_NE(printed_.find("\r1 of 3 files, 0 failed, "), std::string::npos);
    EXPECT_NE(printed_.find(" left\x1b[K"), std::string::npos);

    EXPECT_EQ(stop_with(SIGINT), SIGINT);
    // The status line is cleared before the message.
    EXPECT_NE(printed_.find("\r\x1b[KInterrupted: 1 formatted, 0 skipped, 0 failed, 2 not done; unfinished "
                            "reports removed\r\n"),
              std::string::npos)
        << printed_;
    // The manifest records the report in place, for --update to carry on from.
    EXPECT_EQ(output_files(), (std::vector<std::string>{".tallycnv-manifest", "GOOD.TXT"}));
}

TEST_F(interrupted_batch, SigtermLeavesAnExistingReportAndPrintsNoStatusLineOffATerminal) {
    fs::create_directory(dir_ + "/out");
    std::ofstream(dir_ + "/out/HANG.TXT") << "the report of an earlier run\n";
    start(false);
    // GOOD.DAT's report is put in place by the main thread while HANG.DAT is
    // being read: both have happened before the signal.
    ASSERT_TRUE(
        read_until([this] { return temporary_file_present() && fs::exists(dir_ + "/out/GOOD.TXT"); }));

    EXPECT_EQ(stop_with(SIGTERM), SIGTERM);
    EXPECT_EQ(printed_.find('\r'), std::string::npos) << printed_;
    EXPECT_NE(printed_.find("\nInterrupted: 1 formatted, 0 skipped, 0 failed, 2 not done; unfinished "
                            "reports removed\n"),
              std::string::npos)
        << printed_;
    EXPECT_EQ(output_files(), (std::vector<std::string>{".tallycnv-manifest", "GOOD.TXT", "HANG.TXT"}));
    EXPECT_EQ(test::read_file(dir_ + "/out/HANG.TXT"), "the report of an earlier run\n");
}

// A single run's report is replaced only whole: an interrupting signal while
// the source stalls removes the temporary file and leaves the earlier report,
// or no file at all.
TEST_F(interrupted_batch, SignalsInASingleRunLeaveTheEarlierReportOrNone) {
    std::ofstream(dir_ + "/R.TXT") << "the report of an earlier run\n";
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        for (const char* report : {"R.TXT", "NEW.TXT"}) {
            if (signal_number != SIGINT || report != std::string("R.TXT")) {
                send_header();
            }
            start(false, {"HANG.DAT", report, "-fI1"});
            const std::string temporary = std::string(".") + report + ".tmp.";
            ASSERT_TRUE(read_until([&] {
                const std::vector<std::string> names = output_files("");
                return std::any_of(names.begin(), names.end(),
                                   [&](const std::string& n) { return n.starts_with(temporary); });
            })) << report;
            EXPECT_EQ(stop_with(signal_number, false), signal_number) << report;
            EXPECT_EQ(output_files(""),
                      (std::vector<std::string>{"GOOD.DAT", "HANG.DAT", "LATER.DAT", "R.TXT"}));
            EXPECT_EQ(test::read_file(dir_ + "/R.TXT"), "the report of an earlier run\n");
        }
    }
}

// A new report gets the permissions of a plain create (0666 less the umask), a
// replaced one keeps its own, and a report named through a link replaces the
// file the link names.
TEST(ReportReplacement, PermissionsAndLinks) {
    const std::string dir = test::make_temp_dir();
    fs::copy_file(TALLYCNV_SOURCE_DIR "/data/SITE1.DAT", dir + "/SITE1.DAT");
    std::ofstream(dir + "/KEPT.TXT") << "earlier\n";
    chmod((dir + "/KEPT.TXT").c_str(), 0604);
    fs::create_directory(dir + "/real");
    std::ofstream(dir + "/real/LINKED.TXT") << "earlier\n";
    fs::create_symlink("real/LINKED.TXT", dir + "/LINKED.TXT");
    const mode_t previous = umask(027);
    for (const char* report : {"NEW.TXT", "KEPT.TXT", "LINKED.TXT"}) {
        EXPECT_EQ(test::run_tallycnv({"SITE1.DAT", report, "^"}, dir).exit_code, 0) << report;
    }
    umask(previous);
    struct stat status {};
    ASSERT_EQ(stat((dir + "/NEW.TXT").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640U);
    ASSERT_EQ(stat((dir + "/KEPT.TXT").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0604U);
    EXPECT_TRUE(fs::is_symlink(dir + "/LINKED.TXT"));
    EXPECT_EQ(test::read_file(dir + "/real/LINKED.TXT"), test::read_file(dir + "/NEW.TXT"));
    EXPECT_EQ(test::read_file(dir + "/KEPT.TXT"), test::read_file(dir + "/NEW.TXT"));
    fs::remove_all(dir);
}

// --update skips a source only when its report was made from the source as it
// is, with the same options: a change of format or of the source remakes it.
TEST(BatchUpdate, RemakesAfterAChangeOfOptionsOrSource) {
    const std::string dir = test::make_temp_dir();
    for (const char* name : {"SITE1.DAT", "SITE2.DAT"}) {
        fs::copy_file(std::string(TALLYCNV_SOURCE_DIR "/data/") + name, dir + "/" + name);
    }
    const auto summary = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"--output-dir", "out", "SITE1.DAT", "SITE2.DAT"});
        const std::string out = test::run_tallycnv(args, dir).out;
        const std::size_t at = out.find("Files: ");
        return at == std::string::npos ? out : out.substr(at, out.find(" failed", at) - at);
    };
    EXPECT_EQ(summary({"-H"}), "Files: 2 formatted, 0 skipped, 0");
    EXPECT_EQ(summary({"--update", "-H"}), "Files: 0 formatted, 2 skipped, 0");
    EXPECT_EQ(summary({"--update", "-fV1"}), "Files: 2 formatted, 0 skipped, 0");
    EXPECT_EQ(summary({"-fV1", "--update"}), "Files: 0 formatted, 2 skipped, 0");
    fs::last_write_time(dir + "/SITE2.DAT", fs::last_write_time(dir + "/SITE2.DAT") - std::chrono::hours(1));
    EXPECT_EQ(summary({"--update", "-fV1"}), "Files: 1 formatted, 1 skipped, 0");
    fs::remove(dir + "/out/SITE1.TXT");
    EXPECT_EQ(summary({"--update", "-fV1"}), "Files: 1 formatted, 1 skipped, 0");
    std::ofstream(dir + "/out/.tallycnv-manifest") << "damaged\n";
    EXPECT_EQ(summary({"--update", "-fV1"}), "Files: 2 formatted, 0 skipped, 0");
    fs::remove_all(dir);
}

// Batches sharing a folder each keep the others' records: four at once, one
// source each, then one batch over all four skips them all.
TEST(BatchUpdate, BatchesSharingAFolderKeepEachOthersRecords) {
    const std::string dir = test::make_temp_dir();
    std::vector<std::string> sources;
    for (int i = 0; i < 4; ++i) {
        sources.push_back("S" + std::to_string(i) + ".DAT");
        fs::copy_file(TALLYCNV_SOURCE_DIR "/data/SITE3.DAT", dir + "/" + sources.back());
    }
    std::vector<std::thread> batches;
    for (const std::string& source : sources) {
        batches.emplace_back([&dir, source] { test::run_tallycnv({"^", "--output-dir=out", source}, dir); });
    }
    for (std::thread& batch : batches) {
        batch.join();
    }
    sources.insert(sources.begin(), {"--update", "--output-dir=out"});
    const std::string out = test::run_tallycnv(sources, dir).out;
    EXPECT_NE(out.find("Files: 0 formatted, 4 skipped, 0 failed"), std::string::npos) << out;
    fs::remove_all(dir);
}

} // namespace
} // namespace tallycnv
