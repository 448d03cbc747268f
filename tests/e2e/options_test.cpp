// The program's front door seen from outside: banner, help, option errors, exit codes,
// destination checks, language names in a report and the hand-over to the sibling converters.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "support/k479_builder.h"
#include "support/run_program.h"

namespace tallycnv {
namespace {

namespace fs = std::filesystem;
using args = std::vector<std::string>;
using test::run_tallycnv;

const std::string banner = "TALLYCNV : ZUNO Binary to ASCII File Formatter, Version 3.5.47\n\n";
const std::string corrupt = "\nError : Invalid or corrupt input file\n";
const std::string cannot_write = "\nError : Could not write to the output file\n";

// A.DAT is of an unknown type: every accepted command line ends with exit 2 before a byte of
// report is written. V.DAT is a vehicle-by-vehicle file whose header lists cleanly.
struct work_dir {
    std::string path = test::make_temp_dir();
    work_dir() {
        test::write_file(file("A.DAT"), test::build_header("type x\nsite SITE1\n"));
        test::write_file(file("V.DAT"),
                         test::build_header("type V\nsite SITE1\nsensor_type 1 22 28 0 0 0 0 0\n"
                                            "card_type 6 6 0 0 0 0 0 0\nclass_scheme 25\n"));
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

// A copy of the program laid out as `cmake --install` lays it out under `prefix` (a
// directory in `dir`): bin/tallycnv, with its help and language file in share/tallycnv/.
std::string install_copy(const work_dir& dir, const std::string& prefix) {
    const fs::path built = fs::path(TALLYCNV_EXE).parent_path();
    fs::create_directories(dir.file(prefix + "/bin"));
    fs::create_directories(dir.file(prefix + "/share/tallycnv"));
    fs::copy_file(TALLYCNV_EXE, dir.file(prefix + "/bin/tallycnv"));
    for (const char* name : {"LANG.479", "TALLYCNV.HLP"}) {
        fs::copy_file(built / name, dir.file(prefix + "/share/tallycnv/" + name));
    }
    return dir.file(prefix + "/bin/tallycnv");
}

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
    work_dir dir;
    const std::string installed = install_copy(dir, "usr");
    for (const std::string& program : {std::string(TALLYCNV_EXE), installed}) {
        for (const args& arguments : {args{}, args{"/?"}, args{"--help"}}) {
            const test::run_result r = run_tallycnv(arguments, "", program);
            EXPECT_EQ(r.exit_code, 0) << program << describe(arguments);
            EXPECT_EQ(r.out, banner + help) << program << describe(arguments);
            EXPECT_EQ(r.err, "");
        }
        const test::run_result r = run_tallycnv({"--version"}, "", program);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, banner.substr(0, banner.size() - 1)); // the banner line alone
        EXPECT_EQ(r.err, "");
    }
    // The help file comes from the program directory: none there, the banner alone.
    const std::string program = dir.file("tallycnv");
    fs::copy_file(TALLYCNV_EXE, program);
    EXPECT_EQ(run_tallycnv({}, "", program).out, banner);
    dir.write("TALLYCNV.HLP", "help line\r\n");
    const test::run_result r = run_tallycnv({"/?"}, "", program);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, banner + "help line\n"); // not a terminal: the whole text, no prompts
}

// The words of a command line written with blanks between them.
args split(const std::string& line) {
    args words;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

TEST(ProgramOptions, OptionErrorsWriteNothing) {
    const std::pair<const char*, std::vector<const char*>> groups[] = {
        {"Invalid axfactor (must be from 0.10 to 9.99)",
         {"-C0.05", "-C10", "-C9.991", "-C", "-Cabc", "-Cnan", "-Cinf", "-C-2", "-C1e300"}},
        {"Invalid start day (must be from 1 to 7)", {"-D8", "-D", "-Dx", "-D-1"}},
        {"Invalid imperial units (must be from 1 to 4)", {"-I0", "-I5", "-Ix"}},
        {"Invalid metric units (must be from 1 to 3)", {"-M4", "-Mx", "/MC", "-mc"}},
        {"Option -j is not yet implemented", {"-J", "/jx"}},
        {"Option -fnz is not yet implemented", {"-fnz", "-fNZ"}},
        {"Invalid output format", {"-fxyz", "-f", "-fI4"}},
        {"Invalid option -X", {"-X", "^ -X"}}, // quiet: still no banner
        {"Invalid option -", {"-"}},
        {"Invalid option /Query", {"/Query"}},
        {"Invalid option -NVCX", {"-NVCX"}},
        {"Invalid option /?", {"/?"}},
        {"Invalid option --help", {"--help", "!--help A.DAT"}},
        {"Invalid option --version", {"--version"}},
        {"Invalid option --HELP", {"!--HELP"}},
        {"Invalid option --verbose", {"!--verbose"}},
        {"Invalid option /out.txt", {"/out.txt"}},
        {"Parameter mismatch", {"-fmarsum", "-fmarsum 10:00 1/2/2013 11:00"}},
        {"Invalid time",
         {"-fmarsum 1000 1/2/2013 11:00 1/2/2013", "-fmarsum 100:00 1/2/2013 11:00 1/2/2013",
          "-fmarsum 10:00 1/2/2013 11.00 1/2/2013", "-fmarsum 10:00 1/2/2013 x 1/2/2013"}},
        {"Invalid date",
         {"-fmarsum 10:00 2013-02-01 11:00 1/2/2013", "-fmarsum 10:00 1/2/2013 11:00 1/2-2013",
          "-fmarsum 10:00 1/2013/2 11:00 1/2/2013",
          "-fmarsum 10:00 1/-9999999999/2013 11:00 1/2/2013"}}, // a month below any int, read first
        {"Too many files specified", {"C.TXT", "C.TXT -X"}},
        {"No input file specified", {"!-S ^ ="}}, // '!': without the files
    };
    work_dir dir;
    for (const auto& [message, cases] : groups) {
        for (const char* c : cases) {
            const args arguments = c[0] == '!' ? split(c + 1) : split(std::string("A.DAT OUT.TXT ") + c);
            fs::remove(dir.file("OUT.TXT"));
            test::run_result r = run_tallycnv(arguments, dir.path);
            EXPECT_EQ(r.exit_code, 1) << describe(arguments);
            EXPECT_EQ(r.err, std::string("\nError : ") + message + "\n") << describe(arguments);
            EXPECT_EQ(r.out, "") << describe(arguments); // no banner before an option error
            EXPECT_FALSE(dir.exists("OUT.TXT")) << describe(arguments);
            // An existing destination is left as it was.
            dir.write("OUT.TXT", "previous report\r\n");
            r = run_tallycnv(arguments, dir.path);
            EXPECT_EQ(r.exit_code, 1) << describe(arguments);
            EXPECT_EQ(dir.read("OUT.TXT"), "previous report\r\n") << describe(arguments);
        }
    }
}

TEST(ProgramOptions, AcceptedOptionsReachTheDataFile) {
    args options =
        split("-C2.5 -C0.1 -C9.99 -D1 -D7 -D0 -fI1 -fi2 -fI3 -fV1 -fv2 -fV3 -fv4 -fasb -fASB1 "
              "-fzedirozed1 -fzedirozed2 -fwk -H -headings=x -I1 -I2 -I3 -I4 -M1 -M2 -M3 /mc -S -W1 "
              "-W20 -Lnowhere/LANG.479 -location=x -NVC /noversioncheck");
    options.push_back("-fmarsum 07:00 01/02/2013 18:00 28/02/2013");
    work_dir dir;
    for (const std::string& option : options) {
        const args arguments = split("A.DAT OUT.TXT " + option);
        fs::remove(dir.file("OUT.TXT"));
        const test::run_result r = run_tallycnv(arguments, dir.path);
        EXPECT_EQ(r.exit_code, 2) << describe(arguments);
        EXPECT_EQ(r.err, corrupt) << describe(arguments);
        EXPECT_EQ(r.out, banner) << describe(arguments);
        EXPECT_FALSE(dir.exists("OUT.TXT")) << describe(arguments); // not a data file: no report
    }
}

TEST(ProgramOptions, QuietModeStandardOutputAndMissingSource) {
    work_dir dir;
    test::run_result r = run_tallycnv({"^", "A.DAT", "OUT.TXT"}, dir.path);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, corrupt);

    // Without a destination the report follows the banner on standard output.
    r = run_tallycnv({"V.DAT", "-H"}, dir.path);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(r.out.starts_with(banner + "* BEGIN\r\n")) << r.out;
    r = run_tallycnv({"V.DAT", "-H", "^"}, dir.path);
    EXPECT_TRUE(r.out.starts_with("* BEGIN\r\n")) << r.out;

    r = run_tallycnv({"MISSING.DAT", "OUT.TXT"}, dir.path);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, banner);
    EXPECT_EQ(r.err, "\nError : File MISSING.DAT does not exist\n");

    // An absolute path is a file name, not an option.
    r = run_tallycnv({dir.file("V.DAT"), dir.file("OUT.TXT"), "-H"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(dir.read("OUT.TXT").starts_with("* BEGIN\r\n"));
}

// The destination is replaced only once the source shows a known file type: a run that
// fails before keeps the report the user has. An empty argument names a source too.
TEST(ProgramOptions, DestinationKeptUntilTheSourceIsADataFile) {
    const std::string previous = "previous report\r\n";
    const struct {
        args arguments;
        int exit_code;
        std::string err;
        const char* report; // nullptr: the destination as it was
    } rows[] = {
        {{"MISSING.DAT", "OUT.TXT"}, 1, "\nError : File MISSING.DAT does not exist\n", nullptr},
        {{"", "OUT.TXT"}, 1, "\nError : File  does not exist\n", nullptr},
        {{""}, 1, "\nError : File  does not exist\n", nullptr},
        {{"SUB", "OUT.TXT"}, 1, "\nError : File SUB does not exist\n", nullptr}, // a directory
        {{"A.DAT", "OUT.TXT"}, 2, corrupt, nullptr},
        {{"A.DAT", "OUT.TXT", "-H"}, 2, corrupt, nullptr},
        {{"A.DAT", "OUT.TXT", "-fcordon"}, 2, corrupt, nullptr},
        // A known type opens the destination, whatever follows.
        {{"V.DAT", "OUT.TXT", "-fI1"}, 1, "\nError : Can't display a VBV file in an interval format\n", ""},
        {{"V.DAT", "OUT.TXT", "-H"}, 0, "", "* BEGIN\r\n"},
    };
    work_dir dir;
    fs::create_directory(dir.file("SUB"));
    for (const auto& row : rows) {
        dir.write("OUT.TXT", previous);
        const test::run_result r = run_tallycnv(row.arguments, dir.path);
        EXPECT_EQ(r.exit_code, row.exit_code) << describe(row.arguments);
        EXPECT_EQ(r.err, row.err) << describe(row.arguments);
        EXPECT_EQ(r.out, banner) << describe(row.arguments);
        const std::string report = dir.read("OUT.TXT");
        if (row.report == nullptr) {
            EXPECT_EQ(report, previous) << describe(row.arguments);
        } else {
            EXPECT_TRUE(report != previous && report.starts_with(row.report)) << describe(row.arguments);
        }
    }
}

TEST(ProgramOptions, CordonNamesTheDestination) {
    for (const args& arguments :
         {args{"V.DAT", "ABC1.TXT", "-fcordon", "-H"}, args{"-fcordon", "V.DAT", "ABC1.TXT", "-H"}}) {
        work_dir dir;
        const test::run_result r = run_tallycnv(arguments, dir.path);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_TRUE(dir.exists("ABCT.TXT") && !dir.exists("ABC1.TXT")) << describe(arguments);
    }
}

// Runs the program with its standard output on a pipe nobody reads.
test::run_result run_into_closed_pipe(const args& arguments, const std::string& dir) {
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
        for (const std::string& a : arguments) {
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

TEST(ProgramOptions, DestinationChecks) {
    work_dir dir;
    const std::string source = dir.read("A.DAT");
    fs::create_symlink("A.DAT", dir.file("LINK.DAT"));
    fs::create_hard_link(dir.file("A.DAT"), dir.file("HARD.DAT"));
    for (const args& arguments :
         {args{"A.DAT", "a.dat"}, args{"A.DAT", "A.DAT"}, args{"A.DAT", "./A.DAT"}, args{"A.DAT", "LINK.DAT"},
          args{"LINK.DAT", "HARD.DAT"}, args{"A.DAT", dir.file("A.DAT")}}) {
        const test::run_result r = run_tallycnv(arguments, dir.path);
        EXPECT_EQ(r.exit_code, 1) << describe(arguments);
        EXPECT_EQ(r.err, "\nError : Source and destination files have the same name\n")
            << describe(arguments);
        EXPECT_EQ(r.out, banner) << describe(arguments);
        EXPECT_EQ(dir.read("A.DAT"), source) << describe(arguments);
    }
    std::vector<std::string> unwritable = {"NODIR/OUT.TXT", dir.path};
    if (access("/dev/full", W_OK) == 0) {
        unwritable.push_back("/dev/full");
    }
    for (const std::string& destination : unwritable) {
        const test::run_result r = run_tallycnv({"V.DAT", destination, "-H"}, dir.path);
        EXPECT_EQ(r.exit_code, 3) << destination;
        EXPECT_EQ(r.err, cannot_write) << destination;
        EXPECT_EQ(r.out, banner);
    }
    const test::run_result r = run_into_closed_pipe({"V.DAT", "-H"}, dir.path);
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.err, cannot_write);
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
    EXPECT_EQ(control.substr(555, 37), "###\x02"
                                       "62" +
                                           std::string(28, '\0') + "###");
}

bool has_line(const std::string& report, const std::string& line) {
    return report.starts_with(line + "\r\n") || report.find("\r\n" + line + "\r\n") != std::string::npos;
}

TEST(ProgramOptions, HeaderShowsTheLanguageFileNames) {
    work_dir dir;
    std::string custom; // -L names another language file; the program directory's is then not read
    for (int i = 0; i < 48; ++i) {
        custom += "sensor" + std::to_string(i) + "\r\n";
    }
    for (int i = 0; i < 13 + 12; ++i) {
        custom += "other\r\n";
    }
    dir.write("LANG.DE", custom + "metrisch\r\nimperial\r\n");
    const std::string bare = dir.file("tallycnv"); // a program directory without LANG.479
    fs::copy_file(TALLYCNV_EXE, bare);
    const std::string installed = install_copy(dir, "usr");
    const std::string beside = install_copy(dir, "opt"); // a LANG.479 beside it wins
    dir.write("opt/bin/LANG.479", custom);
    const std::string none = "(ns) (ns) (ns) (ns) (ns) (ns) (ns) (ns) ";
    const std::string named = "LOOP PIEZO WEIGH-PIEZO NONE NONE NONE NONE NONE ";
    const std::string custom_named = "sensor1 sensor22 sensor28 sensor0 sensor0 sensor0 sensor0 sensor0 ";
    struct row {
        args options;
        std::string program, sensors, units, scheme;
    };
    const row rows[] = {
        {{}, TALLYCNV_EXE, named, "METRIC", "SWEDISH14"},
        {{"-I2"}, TALLYCNV_EXE, named, "IMPERIAL", "SWEDISH14"},
        {{"-LLANG.DE"}, TALLYCNV_EXE, custom_named, "metrisch", "SWED14"}, // no line 76
        {{"-Lnowhere/LANG.479"}, TALLYCNV_EXE, none, "(ns)", "SWED14"},
        {{"^"}, bare, none, "(ns)", "SWED14"},
        {{"-I2"}, installed, named, "IMPERIAL", "SWEDISH14"},
        {{"-LLANG.DE"}, installed, custom_named, "metrisch", "SWED14"},
        {{}, beside, custom_named, "other", "SWED14"},
    };
    for (const row& r : rows) {
        args arguments = {"V.DAT", "OUT.TXT", "-H"};
        arguments.insert(arguments.end(), r.options.begin(), r.options.end());
        const test::run_result run = run_tallycnv(arguments, dir.path, r.program);
        EXPECT_EQ(run.exit_code, 0) << describe(arguments);
        EXPECT_EQ(run.err, "");
        const std::string report = dir.read("OUT.TXT");
        EXPECT_TRUE(report.starts_with("* BEGIN\r\n")) << report;
        EXPECT_TRUE(has_line(report, "* SENSORS = " + r.sensors)) << report;
        EXPECT_TRUE(has_line(report, "* UNITS = " + r.units)) << report;
        EXPECT_TRUE(has_line(report, "* CLASS = " + r.scheme)) << report;
    }
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
    [[nodiscard]] test::run_result run(const args& arguments, const std::string& path) const {
        return run_tallycnv(arguments, dir.path, TALLYCNV_EXE, {"PATH=" + path});
    }
};

TEST(ProgramOptions, HandOverToSiblingConverters) {
    const std::pair<args, std::string> rows[] = {
        {{"A.DAT", "OUT.TXT", "-fc2"}, "TALLYUS.EXE [/QUIET] [A.DAT] [OUT.TXT] [-fc2]\n"},
        {{"-fC7", "A.DAT"}, "TALLYUS.EXE [/QUIET] [-fC7] [A.DAT]\n"},
        {{"", "-fc2"}, "TALLYUS.EXE [/QUIET] [] [-fc2]\n"},
        {{"A.DAT", "/headings=N/S", "-fc4", "/location=High St/North"},
         "TALLYUS.EXE [/QUIET] [A.DAT] [/headings=N/S] [-fc4] [/location=High St/North]\n"},
        {{"A.DAT", "OUT.TXT", "-ff1", "-S", "-fc2"}, "TALLYC1.EXE [/QUIET] [A.DAT] [OUT.TXT] [-fc2]\n"},
        {{"/FF1", "/data/in.dat"}, "TALLYC1.EXE [/QUIET] [/data/in.dat]\n"},
        {{"A.DAT", "OUT.TXT", "-fc2", "-fc4", "-fc7", "-fc2", "-fc4", "-fc7", "/headings=a", "/location=b"},
         "TALLYUS.EXE [/QUIET] [A.DAT] [OUT.TXT] [-fc2] [-fc4] [-fc7] [-fc2] [-fc4] [-fc7] [/headings=a] "
         "[/location=b]\n"},
    };
    converters fake;
    const std::string path = fake.bin + ":/usr/bin:/bin";
    for (const auto& [arguments, received] : rows) {
        test::run_result r = fake.run(arguments, path);
        EXPECT_EQ(r.exit_code, 5) << describe(arguments);
        EXPECT_EQ(r.out, banner + received) << describe(arguments);
        EXPECT_EQ(r.err, "") << describe(arguments);
        EXPECT_FALSE(fake.dir.exists("OUT.TXT")) << describe(arguments);
        args quiet = arguments;
        quiet.push_back("^");
        EXPECT_EQ(fake.run(quiet, path).out, received) << describe(quiet);
    }
    // Option errors stop the run before any hand-over.
    const test::run_result r = fake.run({"A.DAT", "-fc2", "-X"}, path);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "");

    // A converter that cannot be found.
    fs::create_directory(fake.dir.file("empty"));
    const std::pair<args, std::string> missing[] = {
        {{"A.DAT", "OUT.TXT", "-fc2"}, "TALLYUS.EXE"},
        {{"A.DAT", "OUT.TXT", "/location=x"}, "TALLYUS.EXE"},
        {{"A.DAT", "OUT.TXT", "-ff1"}, "TALLYC1.EXE"},
    };
    for (const auto& [arguments, name] : missing) {
        const test::run_result m = fake.run(arguments, fake.dir.file("empty"));
        EXPECT_EQ(m.exit_code, 3) << describe(arguments);
        EXPECT_EQ(m.err, "\nError : Could not find " + name + "\n") << describe(arguments);
        EXPECT_EQ(m.out, banner) << describe(arguments);
        EXPECT_FALSE(fake.dir.exists("OUT.TXT"));
    }
}

} // namespace
} // namespace tallycnv
