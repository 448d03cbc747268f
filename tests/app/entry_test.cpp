#include "app/entry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/fatal.h"
#include "support/k479_builder.h"
#include "support/run_program.h"

namespace tallycnv {
namespace {

TEST(ProgramDirectory, CutAtTheLastSeparator) {
    EXPECT_EQ(program_directory("C:\\TALLY\\TALLYCNV.EXE"), "C:\\TALLY");
    EXPECT_EQ(program_directory("/usr/local/bin/tallycnv"), "/usr/local/bin");
    EXPECT_EQ(program_directory("./tallycnv"), ".");
    EXPECT_EQ(program_directory("/tallycnv"), "");
    // A bare name: the directory of the running executable.
    const std::string own = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    EXPECT_EQ(program_directory("tallycnv"), own);
}

void write_two_lines(const run_context& ctx) {
    ctx.out.write("one\ntwo\n");
}

void write_then_fail(const run_context& ctx) {
    ctx.out.write("kept\n");
    fail(2, "\nError : Invalid or corrupt input file\n");
}

struct formatter_run {
    int code;
    std::string report;
    std::string err;
};

formatter_run format_into(const std::string& path, void (*driver)(const run_context&)) {
    const run_settings settings;
    const language_texts lang = load_language("");
    std::FILE* destination = std::fopen(path.c_str(), "wb");
    EXPECT_NE(destination, nullptr);
    testing::internal::CaptureStderr();
    const int code = run_formatter(settings, lang, destination, driver);
    std::string err = testing::internal::GetCapturedStderr();
    std::fclose(destination);
    return {code, path == "/dev/full" ? "" : test::read_file(path), err};
}

TEST(RunFormatter, ExitCodesAndKeptReport) {
    const std::string dir = test::make_temp_dir();
    formatter_run run = format_into(dir + "/out.txt", write_two_lines);
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.report, "one\r\ntwo\r\n");
    EXPECT_EQ(run.err, "");

    // A fatal condition keeps what was written and reports its own code.
    run = format_into(dir + "/out.txt", write_then_fail);
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.report, "kept\r\n");
    EXPECT_EQ(run.err, "\nError : Invalid or corrupt input file\n");
    std::filesystem::remove_all(dir);

    if (access("/dev/full", W_OK) == 0) {
        run = format_into("/dev/full", write_two_lines);
        EXPECT_EQ(run.code, 3);
        EXPECT_EQ(run.err, "\nError : Could not write to the output file\n");
    }
}

} // namespace
} // namespace tallycnv
