// The program's front door seen from outside: banner, help, option errors,
// exit codes, destination checks and the hand-over to the sibling converters.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/k479_builder.h"
#include "support/run_program.h"

namespace tallycnv {
namespace {

namespace fs = std::filesystem;
using args = std::vector<std::string>;
using test::run_tallycnv;

const std::string banner = "TALLYCNV : ZUNO Binary to ASCII File Formatter, Version 3.5.47\n\n";
const std::string corrupt = "\nError : Invalid or corrupt input file\n";

struct work_dir {
    std::string path = test::make_temp_dir();
    work_dir() {
        // A data file of an unknown type: every accepted command line ends with exit 2
        // before a byte of report is written.
        test::write_file(path + "/A.DAT", test::build_header("type x\nsite SITE1\n"));
    }
    work_dir(const work_dir&) = delete;
    work_dir& operator=(const work_dir&) = delete;
    ~work_dir() { fs::remove_all(path); }
    [[nodiscard]] std::string file(const std::string& name) const { return path + "/" + name; }
    [[nodiscard]] bool exists(const std::string& name) const { return fs::exists(file(name)); }
    void write(const std::string& name, const std::string& text) const {
        test::write_file(file(name), test::bytes(text.begin(), text.end()));
    }
    [[nodiscard]] std::string read(const std::string& name) const { return test::read_file(file(name)); }
};

std::string describe(const args& arguments) {
    std::string text;
    for (const std::string& a : arguments) {
        text += " " + a;
    }
    return text;
}

TEST(ProgramOptions, HelpRequest) {
    const std::string help = test::read_file(fs::path(TALLYCNV_EXE).parent_path().string() + "/TALLYCNV.HLP");
    ASSERT_FALSE(help.empty());
    for (const args& arguments : {args{}, args{"/?"}}) {
        const test::run_result r = run_tallycnv(arguments);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, banner + help);
        EXPECT_EQ(r.err, "");
    }
    // Together with another argument "/?" is an unknown option.
    work_dir dir;
    const test::run_result r = run_tallycnv({"/?", "A.DAT"}, dir.path);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "\nError : Invalid option /?\n");
}

TEST(ProgramOptions, HelpFileComesFromTheProgramDirectory) {
    work_dir dir;
    const std::string program = dir.file("tallycnv");
    fs::copy_file(TALLYCNV_EXE, program);
    // No help file beside the program: the banner alone.
    test::run_result r = run_tallycnv({}, "", program);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, banner);

    std::string long_help;
    for (int i = 0; i < 70; ++i) {
        long_help += "help line " + std::to_string(i) + "\r\n";
    }
    dir.write("TALLYCNV.HLP", long_help);
    r = run_tallycnv({"/?"}, "", program);
    EXPECT_EQ(r.exit_code, 0);
    std::string expected = long_help;
    for (std::size_t at = expected.find("\r\n"); at != std::string::npos; at = expected.find("\r\n", at)) {
        expected.erase(at, 1);
    }
    // Not a terminal: the whole text, no prompts.
    EXPECT_EQ(r.out, banner + expected);
}

TEST(ProgramOptions, OptionErrorsWriteNothing) {
    const std::pair<args, std::string> rows[] = {
        {{"A.DAT", "OUT.TXT", "-C10"}, "\nError : Invalid axfactor (must be from 0.10 to 9.99)\n"},
        {{"A.DAT", "OUT.TXT", "-C0.05"}, "\nError : Invalid axfactor (must be from 0.10 to 9.99)\n"},
        {{"A.DAT", "OUT.TXT", "-D8"}, "\nError : Invalid start day (must be from 1 to 7)\n"},
        {{"A.DAT", "OUT.TXT", "-D"}, "\nError : Invalid start day (must be from 1 to 7)\n"},
        {{"A.DAT", "OUT.TXT", "-I5"}, "\nError : Invalid imperial units (must be from 1 to 4)\n"},
        {{"A.DAT", "OUT.TXT", "-I0"}, "\nError : Invalid imperial units (must be from 1 to 4)\n"},
        {{"A.DAT", "OUT.TXT", "-J"}, "\nError : Option -j is not yet implemented\n"},
        {{"A.DAT", "OUT.TXT", "-M4"}, "\nError : Invalid metric units (must be from 1 to 3)\n"},
        {{"A.DAT", "OUT.TXT", "-Mx"}, "\nError : Invalid metric units (must be from 1 to 3)\n"},
        {{"A.DAT", "OUT.TXT", "-X"}, "\nError : Invalid option -X\n"},
        {{"A.DAT", "OUT.TXT", "/Query"}, "\nError : Invalid option /Query\n"},
        {{"A.DAT", "OUT.TXT", "-fxyz"}, "\nError : Invalid output format\n"},
        {{"A.DAT", "OUT.TXT", "-fnz"}, "\nError : Option -fnz is not yet implemented\n"},
        {{"A.DAT", "OUT.TXT", "-fmarsum", "10:00", "1/2/2013", "11:00"}, "\nError : Parameter mismatch\n"},
        {{"A.DAT", "OUT.TXT", "-fmarsum", "1000", "1/2/2013", "11:00", "1/2/2013"},
         "\nError : Invalid time\n"},
        {{"A.DAT", "OUT.TXT", "-fmarsum", "10:00", "1-2-2013", "11:00", "1/2/2013"},
         "\nError : Invalid date\n"},
        {{"A.DAT", "OUT.TXT", "C.TXT"}, "\nError : Too many files specified\n"},
        {{"-S", "^"}, "\nError : No input file specified\n"},
        {{"^", "A.DAT", "OUT.TXT", "-X"}, "\nError : Invalid option -X\n"},
    };
    for (const auto& [arguments, message] : rows) {
        work_dir dir;
        test::run_result r = run_tallycnv(arguments, dir.path);
        EXPECT_EQ(r.exit_code, 1) << describe(arguments);
        EXPECT_EQ(r.err, message) << describe(arguments);
        EXPECT_EQ(r.out, "") << describe(arguments); // no banner before an option error
        EXPECT_FALSE(dir.exists("OUT.TXT")) << describe(arguments);

        // An existing destination is left as it was.
        dir.write("OUT.TXT", "previous report\r\n");
        r = run_tallycnv(arguments, dir.path);
        EXPECT_EQ(r.exit_code, 1) << describe(arguments);
        EXPECT_EQ(dir.read("OUT.TXT"), "previous report\r\n") << describe(arguments);
    }
}

TEST(ProgramOptions, AcceptedOptionsReachTheDataFile) {
    const args options[] = {
        {"-C2.5"},
        {"-C0.1"},
        {"-C9.99"},
        {"-D1"},
        {"-D7"},
        {"-D0"},
        {"-fI1"},
        {"-fi2"},
        {"-fI3"},
        {"-fV1"},
        {"-fv2"},
        {"-fV3"},
        {"-fv4"},
        {"-fasb"},
        {"-fASB1"},
        {"-fzedirozed1"},
        {"-fzedirozed2"},
        {"-fwk"},
        {"-H"},
        {"-headings=x"},
        {"-I1"},
        {"-I2"},
        {"-I3"},
        {"-I4"},
        {"-M1"},
        {"-M2"},
        {"-M3"},
        {"/mc"},
        {"-S"},
        {"-W1"},
        {"-W20"},
        {"-Lnowhere/LANG.479"},
        {"-location=x"},
        {"-NVC"},
        {"/noversioncheck"},
        {"-fmarsum", "07:00", "01/02/2013", "18:00", "28/02/2013"},
    };
    for (const args& option : options) {
        work_dir dir;
        args arguments = {"A.DAT", "OUT.TXT"};
        arguments.insert(arguments.end(), option.begin(), option.end());
        const test::run_result r = run_tallycnv(arguments, dir.path);
        EXPECT_EQ(r.exit_code, 2) << describe(arguments);
        EXPECT_EQ(r.err, corrupt) << describe(arguments);
        EXPECT_EQ(r.out, banner) << describe(arguments);
        EXPECT_TRUE(dir.exists("OUT.TXT")) << describe(arguments);
        EXPECT_EQ(dir.read("OUT.TXT"), "") << describe(arguments);
    }
}

TEST(ProgramOptions, QuietModeStandardOutputAndMissingSource) {
    work_dir dir;
    test::run_result r = run_tallycnv({"^", "A.DAT", "OUT.TXT"}, dir.path);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, corrupt);

    // Without a destination the report would follow the banner on standard output.
    r = run_tallycnv({"A.DAT"}, dir.path);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, banner);

    r = run_tallycnv({"MISSING.DAT", "OUT.TXT"}, dir.path);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, banner);
    EXPECT_EQ(r.err, "\nError : File MISSING.DAT does not exist\n");

    // An absolute path is a file name, not an option.
    r = run_tallycnv({dir.file("A.DAT"), dir.file("OUT.TXT")});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, corrupt);
    EXPECT_TRUE(dir.exists("OUT.TXT"));
}

TEST(ProgramOptions, CordonNamesTheDestination) {
    for (const args& arguments :
         {args{"A.DAT", "ABC1.TXT", "-fcordon"}, args{"-fcordon", "A.DAT", "ABC1.TXT"}}) {
        work_dir dir;
        const test::run_result r = run_tallycnv(arguments, dir.path);
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.err, corrupt);
        EXPECT_TRUE(dir.exists("ABCT.TXT")) << describe(arguments);
        EXPECT_FALSE(dir.exists("ABC1.TXT")) << describe(arguments);
    }
}

TEST(ProgramOptions, DestinationChecks) {
    work_dir dir;
    const std::string source = dir.read("A.DAT");
    const std::string same = "\nError : Source and destination files have the same name\n";
    fs::create_symlink("A.DAT", dir.file("LINK.DAT"));
    fs::create_hard_link(dir.file("A.DAT"), dir.file("HARD.DAT"));
    for (const args& arguments :
         {args{"A.DAT", "a.dat"}, args{"A.DAT", "A.DAT"}, args{"A.DAT", "./A.DAT"}, args{"A.DAT", "LINK.DAT"},
          args{"LINK.DAT", "HARD.DAT"}, args{"A.DAT", dir.file("A.DAT")}}) {
        const test::run_result r = run_tallycnv(arguments, dir.path);
        EXPECT_EQ(r.exit_code, 1) << describe(arguments);
        EXPECT_EQ(r.err, same) << describe(arguments);
        EXPECT_EQ(r.out, banner) << describe(arguments);
        EXPECT_EQ(dir.read("A.DAT"), source) << describe(arguments);
    }

    const std::string cannot_write = "\nError : Could not write to the output file\n";
    for (const std::string& destination : {std::string("NODIR/OUT.TXT"), dir.path}) {
        const test::run_result r = run_tallycnv({"A.DAT", destination}, dir.path);
        EXPECT_EQ(r.exit_code, 3) << destination;
        EXPECT_EQ(r.err, cannot_write) << destination;
        EXPECT_EQ(r.out, banner);
    }
}

TEST(ProgramOptions, ControlFileMode) {
    work_dir dir;
    dir.write("CONTROL.INF", std::string(600, '#'));
    const test::run_result r = run_tallycnv({"A.DAT", "OUT.TXT", "="}, dir.path);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, corrupt);
    EXPECT_EQ(fs::file_size(dir.file("SITE1.INT")), 96U);
    const std::string control = dir.read("CONTROL.INF");
    ASSERT_EQ(control.size(), 600U);
    EXPECT_EQ(control.substr(555, 37), "###" +
                                           std::string("\x02"
                                                       "62") +
                                           std::string(28, '\0') + "###");
}

// Fake sibling converters that list the arguments they were given.
struct converters {
    work_dir dir;
    std::string bin = dir.file("bin");
    converters() {
        fs::create_directory(bin);
        for (const char* name : {"TALLYUS.EXE", "TALLYC1.EXE"}) {
            const std::string path = bin + "/" + name;
            const std::string script = std::string("#!/bin/sh\nprintf '%s' ") + name +
                                       "\nfor a in \"$@\"; do printf ' [%s]' \"$a\"; done\necho\nexit 5\n";
            test::write_file(path, test::bytes(script.begin(), script.end()));
            fs::permissions(path, fs::perms::owner_all);
        }
    }
    [[nodiscard]] test::run_result run(const args& arguments) const {
        return run_tallycnv(arguments, dir.path, TALLYCNV_EXE, {"PATH=" + bin + ":/usr/bin:/bin"});
    }
};

TEST(ProgramOptions, HandOverToSiblingConverters) {
    const std::pair<args, std::string> rows[] = {
        {{"A.DAT", "OUT.TXT", "-fc2"}, "TALLYUS.EXE [/QUIET] [A.DAT] [OUT.TXT] [-fc2]\n"},
        {{"-fC7", "A.DAT"}, "TALLYUS.EXE [/QUIET] [-fC7] [A.DAT]\n"},
        {{"A.DAT", "/headings=N/S", "-fc4", "/location=High St/North"},
         "TALLYUS.EXE [/QUIET] [A.DAT] [/headings=N/S] [-fc4] [/location=High St/North]\n"},
        {{"A.DAT", "OUT.TXT", "-ff1", "-S", "-fc2"}, "TALLYC1.EXE [/QUIET] [A.DAT] [OUT.TXT] [-fc2]\n"},
        {{"/FF1", "/data/in.dat"}, "TALLYC1.EXE [/QUIET] [/data/in.dat]\n"},
        {{"A.DAT", "OUT.TXT", "-fc2", "-fc4", "-fc7", "-fc2", "-fc4", "-fc7", "/headings=a", "/location=b"},
         "TALLYUS.EXE [/QUIET] [A.DAT] [OUT.TXT] [-fc2] [-fc4] [-fc7] [-fc2] [-fc4] [-fc7] [/headings=a] "
         "[/location=b]\n"},
    };
    converters fake;
    for (const auto& [arguments, received] : rows) {
        test::run_result r = fake.run(arguments);
        EXPECT_EQ(r.exit_code, 5) << describe(arguments);
        EXPECT_EQ(r.out, banner + received) << describe(arguments);
        EXPECT_EQ(r.err, "") << describe(arguments);
        EXPECT_FALSE(fake.dir.exists("OUT.TXT")) << describe(arguments);

        args quiet = arguments;
        quiet.push_back("^");
        r = fake.run(quiet);
        EXPECT_EQ(r.out, received) << describe(quiet);
    }
    // Option errors stop the run before any hand-over.
    const test::run_result r = fake.run({"A.DAT", "-fc2", "-X"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "");
}

TEST(ProgramOptions, MissingConverter) {
    work_dir dir;
    fs::create_directory(dir.file("empty"));
    const std::pair<args, std::string> rows[] = {
        {{"A.DAT", "OUT.TXT", "-fc2"}, "\nError : Could not find TALLYUS.EXE\n"},
        {{"A.DAT", "OUT.TXT", "/location=x"}, "\nError : Could not find TALLYUS.EXE\n"},
        {{"A.DAT", "OUT.TXT", "-ff1"}, "\nError : Could not find TALLYC1.EXE\n"},
    };
    for (const auto& [arguments, message] : rows) {
        const test::run_result r =
            run_tallycnv(arguments, dir.path, TALLYCNV_EXE, {"PATH=" + dir.file("empty")});
        EXPECT_EQ(r.exit_code, 3) << describe(arguments);
        EXPECT_EQ(r.err, message) << describe(arguments);
        EXPECT_EQ(r.out, banner) << describe(arguments);
        EXPECT_FALSE(dir.exists("OUT.TXT"));
    }
}

} // namespace
} // namespace tallycnv
