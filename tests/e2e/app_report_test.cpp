// Whole runs that write a report: the header-only listing of a vehicle-by-vehicle
// file shows the language file's names, and a report that cannot be written
// ends with exit code 3.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "support/k479_builder.h"
#include "support/run_program.h"

namespace tallycnv {
namespace {

namespace fs = std::filesystem;
using test::run_tallycnv;

const std::string banner = "TALLYCNV : ZUNO Binary to ASCII File Formatter, Version 3.5.47\n\n";
const std::string cannot_write = "\nError : Could not write to the output file\n";

struct vbv_site {
    std::string path = test::make_temp_dir();
    vbv_site() {
        test::write_file(path + "/V.DAT",
                         test::build_header("type V\nsite SITE1\nsensor_type 1 22 28 0 0 0 0 0\n"
                                            "card_type 6 6 0 0 0 0 0 0\nclass_scheme 25\n"));
    }
    vbv_site(const vbv_site&) = delete;
    vbv_site& operator=(const vbv_site&) = delete;
    ~vbv_site() { fs::remove_all(path); }
    [[nodiscard]] std::string report() const { return test::read_file(path + "/OUT.TXT"); }
};

bool has_line(const std::string& report, const std::string& line) {
    return report.starts_with(line + "\r\n") || report.find("\r\n" + line + "\r\n") != std::string::npos;
}

TEST(AppReport, HeaderShowsTheLanguageFileNames) {
    vbv_site site;
    test::run_result r = run_tallycnv({"V.DAT", "OUT.TXT", "-H"}, site.path);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, banner);
    std::string report = site.report();
    EXPECT_TRUE(report.starts_with("* BEGIN\r\n"));
    EXPECT_TRUE(has_line(report, "* SENSORS = LOOP PIEZO WEIGH-PIEZO NONE NONE NONE NONE NONE ")) << report;
    EXPECT_TRUE(has_line(report, "* UNITS = METRIC")) << report;
    EXPECT_TRUE(has_line(report, "* CLASS = SWEDISH14")) << report;

    r = run_tallycnv({"V.DAT", "OUT.TXT", "-H", "-I2"}, site.path);
    EXPECT_TRUE(has_line(site.report(), "* UNITS = IMPERIAL"));

    // -L names another language file; the program directory's is then not read.
    std::string custom;
    for (int i = 0; i < 48; ++i) {
        custom += "sensor" + std::to_string(i) + "\r\n";
    }
    for (int i = 0; i < 13 + 12; ++i) {
        custom += "other\r\n";
    }
    custom += "metrisch\r\nimperial\r\n";
    test::write_file(site.path + "/LANG.DE", test::bytes(custom.begin(), custom.end()));
    r = run_tallycnv({"V.DAT", "OUT.TXT", "-H", "-LLANG.DE"}, site.path);
    EXPECT_EQ(r.exit_code, 0);
    report = site.report();
    EXPECT_TRUE(
        has_line(report, "* SENSORS = sensor1 sensor22 sensor28 sensor0 sensor0 sensor0 sensor0 sensor0 "))
        << report;
    EXPECT_TRUE(has_line(report, "* UNITS = metrisch"));
    EXPECT_TRUE(has_line(report, "* CLASS = SWED14")); // no line 76

    // Without a language file every name is "(ns)".
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"V.DAT", "OUT.TXT", "-H", "-Lnowhere/LANG.479"},
          std::vector<std::string>{"V.DAT", "OUT.TXT", "-H", "^"}}) {
        const std::string program = args.back() == "^" ? site.path + "/tallycnv" : TALLYCNV_EXE;
        if (args.back() == "^") {
            fs::copy_file(TALLYCNV_EXE, program); // a program directory without LANG.479
        }
        r = run_tallycnv(args, site.path, program);
        EXPECT_EQ(r.exit_code, 0);
        report = site.report();
        EXPECT_TRUE(has_line(report, "* SENSORS = (ns) (ns) (ns) (ns) (ns) (ns) (ns) (ns) ")) << report;
        EXPECT_TRUE(has_line(report, "* UNITS = (ns)"));
        EXPECT_TRUE(has_line(report, "* CLASS = SWED14"));
    }
}

TEST(AppReport, ReportOnStandardOutputFollowsTheBanner) {
    vbv_site site;
    test::run_result r = run_tallycnv({"V.DAT", "-H"}, site.path);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(r.out.starts_with(banner + "* BEGIN\r\n")) << r.out;
    r = run_tallycnv({"V.DAT", "-H", "^"}, site.path);
    EXPECT_TRUE(r.out.starts_with("* BEGIN\r\n")) << r.out;
}

// Runs the program with its standard output on a pipe nobody reads.
test::run_result run_into_closed_pipe(const std::vector<std::string>& args, const std::string& dir) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    close(fds[0]);
    const std::string err_path = dir + "/stderr.txt";
    const pid_t pid = fork();
    if (pid == 0) {
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fds[1], 1);
        dup2(err, 2);
        if (chdir(dir.c_str()) != 0) {
            _exit(127);
        }
        std::vector<char*> argv{const_cast<char*>(TALLYCNV_EXE)};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(TALLYCNV_EXE, argv.data());
        _exit(127);
    }
    close(fds[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    test::run_result result;
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.err = test::read_file(err_path);
    return result;
}

TEST(AppReport, UnwritableReportEndsWithExitCode3) {
    vbv_site site;
    if (access("/dev/full", W_OK) == 0) {
        const test::run_result r = run_tallycnv({"V.DAT", "/dev/full", "-H"}, site.path);
        EXPECT_EQ(r.exit_code, 3);
        EXPECT_EQ(r.err, cannot_write);
        EXPECT_EQ(r.out, banner);
    }
    const test::run_result r = run_into_closed_pipe({"V.DAT", "-H"}, site.path);
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.err, cannot_write);
}

} // namespace
} // namespace tallycnv
