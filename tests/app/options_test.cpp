// The option parser's tables: the values it gives accepted command lines and the message of each
// refused one. The cases of tests/cases run one command line of each kind through the program.
#include "app/options.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "io/fatal.h"

namespace tallycnv {
namespace {

using args = std::vector<std::string>;

run_settings parse(const args& arguments) {
    return get_parameters("/opt/tally", arguments);
}

TEST(GetParameters, StartStateAndSwitches) {
    run_settings s = parse({"SITE1.DAT"});
    // Not in /opt/tally: beside the running test program (which has one), else as named there.
    EXPECT_TRUE(s.lang_file == "/opt/tally/LANG.479" ||
                s.lang_file ==
                    std::string(TALLYCNV_EXE).substr(0, std::string(TALLYCNV_EXE).rfind('/')) + "/LANG.479")
        << s.lang_file;
    EXPECT_EQ(s.dfn, "");
    const float axle_factor = s.k479.axle_factor;
    EXPECT_FLOAT_EQ(axle_factor, 2.0F);
    EXPECT_EQ(s.anl_format * 100 + s.print_format * 10 + s.col_width, 15);
    EXPECT_EQ(s.start_day_weekly, -1);
    EXPECT_FALSE(s.quiet_mode || s.quillon_mode || s.hdr_only || s.skip_partial || s.merge_cars || s.taxo ||
                 s.zedirozed || s.kappa3_format || s.fhwa_format);

    s = parse({"-fasb", "A.DAT", "^", "=", "-S", "/mc", "-H", "-fzedirozed1", "-NVC", "/noversioncheck"});
    EXPECT_TRUE(s.taxo && s.quiet_mode && s.quillon_mode && s.skip_partial && s.merge_cars && s.hdr_only &&
                s.zedirozed);
    EXPECT_EQ(s.new_argv, args{"A.DAT"});

    // The same words introduced by '-' are the header-only switch and a language file.
    s = parse({"A.DAT", "-headings=N", "-location=x"});
    EXPECT_TRUE(s.hdr_only && !s.fhwa_format);
    EXPECT_EQ(s.lang_file, "ocation=x");
}

TEST(GetParameters, LongOptions) {
    run_settings s = parse({"A.DAT", "-fjson", "--speed-limit=50.5"});
    EXPECT_EQ(s.anl_format, anl_format_json);
    EXPECT_EQ(s.speed_limit, 50.5);
    EXPECT_TRUE(s.batch.output_dir.empty());
    EXPECT_FALSE(s.quality.strict);

    s = parse({"A.DAT", "-fflags", "--qc=zero_hours:9,directional_split:32.5", "--strict"});
    EXPECT_EQ(s.anl_format, anl_format_flags);
    EXPECT_EQ(s.quality[qc_rule::zero_hours], 9);
    EXPECT_EQ(s.quality[qc_rule::directional_split], 32.5);
    EXPECT_EQ(s.quality[qc_rule::over_capacity], 3000); // the others keep their defaults
    EXPECT_TRUE(s.quality.strict);

    // An approach's direction is the number after the name's last colon.
    s = parse({"A.DAT", "-fhtml", "--warrants", "--major=C:\\A.DAT:2,B:C.DAT", "--minor=D.DAT:12",
               "--minor-lanes=2", "--hours=quarter", "--isolated"});
    ASSERT_EQ(s.warrants.major.size(), 2U);
    EXPECT_EQ(s.warrants.major[0].file, "C:\\A.DAT");
    EXPECT_EQ(s.warrants.major[0].direction, 2);
    EXPECT_EQ(s.warrants.major[1].file, "B:C.DAT");
    EXPECT_EQ(s.warrants.major[1].direction, 0);
    EXPECT_EQ(s.warrants.minor[0].direction, 12);
    EXPECT_EQ(s.warrants.minor_lanes, std::vector<int>{2});
    EXPECT_TRUE(s.warrants.quarter_hours && s.warrants.isolated && !s.warrants.adequate_trial);

    // With --output-dir every file name is a source, before or after it; the
    // summary window's values stay values.
    s = parse({"A.DAT", "B.DAT", "--jobs=3", "-fmarsum", "10:00", "1/2/2013", "11:00", "1/2/2013", "C.DAT",
               "--output-dir=out/reports", "/data/D.DAT", "--update", "^"});
    EXPECT_EQ(s.batch.output_dir, "out/reports");
    EXPECT_EQ(s.batch.sources, (args{"A.DAT", "B.DAT", "C.DAT", "/data/D.DAT"}));
    EXPECT_EQ(s.batch.jobs, 3);
    EXPECT_TRUE(s.batch.update && s.quiet_mode);
    EXPECT_EQ(s.sfn, "A.DAT");
    EXPECT_EQ(s.dfn, "");

    // The value in the next argument, whatever it looks like; "--" ends the
    // options, so that a file may begin with '-' and "^" is a file too.
    s = parse({"--output-dir", "--odd", "--jobs", "2", "A.DAT", "--speed-limit", "50", "--", "-x.DAT", "^"});
    EXPECT_EQ(s.batch.output_dir, "--odd");
    EXPECT_EQ(s.batch.jobs, 2);
    EXPECT_EQ(s.speed_limit, 50);
    EXPECT_EQ(s.batch.sources, (args{"A.DAT", "-x.DAT", "^"}));
    EXPECT_FALSE(s.quiet_mode);
}

TEST(GetParameters, HelpAndVersionAnywhereBeforeTheEndOfOptions) {
    EXPECT_EQ(requested_answer({"A.DAT", "-X", "--version", "--help"}), command_line_request::version);
    EXPECT_EQ(requested_answer({"--foo", "A.DAT", "--help"}), command_line_request::help);
    EXPECT_EQ(requested_answer({"--output-dir", "--help", "A.DAT"}), command_line_request::none);
    EXPECT_EQ(requested_answer({"A.DAT", "--", "--help"}), command_line_request::none);
    EXPECT_EQ(requested_answer({"A.DAT", "--help=1", "--HELP", "/?"}), command_line_request::none);
}

TEST(GetParameters, RefusedLongOptionsAsGnuToolsSayIt) {
    const std::pair<const char*, const char*> lines[] = {
        {"--foo", "unrecognized option '--foo'"},
        {"--HELP", "unrecognized option '--HELP'"},
        {"--jobs-x=2", "unrecognized option '--jobs-x'"},
        {"--speed-limit", "option '--speed-limit' requires an argument"},
        {"--update=yes", "option '--update' doesn't allow an argument"},
        {"--help=1", "option '--help' doesn't allow an argument"},
    };
    for (const auto& [arg, problem] : lines) {
        try {
            parse({"A.DAT", arg});
            ADD_FAILURE() << "accepted: " << arg;
        } catch (const fatal_error& e) {
            EXPECT_EQ(e.exit_code, 1) << arg;
            EXPECT_EQ(e.message, "tallycnv: " + std::string(problem) +
                                     "\nTry 'tallycnv --help' for more information.\n");
        }
    }
}

TEST(GetParameters, OutputFormatsSetBothSelectors) {
    const std::tuple<args, int, int> rows[] = {
        {{"-fI1"}, 1, 1},          {{"-fI2"}, 2, 2},
        {{"-fI3"}, 3, 1},          {{"-fV1"}, 4, 1},
        {{"-fv2"}, 5, 2},          {{"-fV3"}, 6, 3},
        {{"/Fv4"}, 7, 4},          {{"-fcordon"}, 4, 4},
        {{"-fWK"}, 8, 1},          {{"-fV1", "-fI2"}, 2, 2},
        {{"-fv4", "-fI1"}, 1, 4},  {{"-fv3", "-fI3"}, 3, 3},
        {{"-fzedirozed2"}, 0, 2},  {{"-fv3", "-fZEDIROZED1"}, 6, 1},
        {{"-fasb", "-fv2"}, 5, 2}, {{"-fv2", "-fasb1"}, 5, 2},
        {{"-fwk", "-fV1"}, 4, 1},
    };
    for (const auto& [options, anl_format, print_format] : rows) {
        args arguments = options;
        arguments.insert(arguments.begin(), "A.DAT");
        const run_settings s = parse(arguments);
        EXPECT_EQ(s.anl_format, anl_format) << arguments[1];
        EXPECT_EQ(s.print_format, print_format) << arguments[1];
    }
}

TEST(GetParameters, NumericOptions) {
    // {option, units, print units, axle factor x100, column width, start day}
    const std::tuple<const char*, int, int, int, int, int> rows[] = {
        {"-I1", 1, 3, 200, 5, -1},   {"-I2", 1, 2, 200, 5, -1},    {"/i3", 1, 4, 200, 5, -1},
        {"-I4", 1, 5, 200, 5, -1},   {"-M1", 0, 1, 200, 5, -1},    {"-m2", 0, 0, 200, 5, -1},
        {"-M3", 0, 6, 200, 5, -1},   {"/mc", 1, 2, 200, 5, -1}, // merges car classes, units untouched
        {"-C0.1", 1, 2, 10, 5, -1},  {"-C9.99", 1, 2, 999, 5, -1}, {"/c2.5", 1, 2, 250, 5, -1},
        {"-C1e0", 1, 2, 100, 5, -1}, {"-W1", 1, 2, 200, 3, -1},    {"-W20", 1, 2, 200, 8, -1},
        {"-W8", 1, 2, 200, 8, -1},   {"-W260", 1, 2, 200, 4, -1},  {"-W255", 1, 2, 200, 3, -1},
        {"-W-3", 1, 2, 200, 3, -1},  {"-W", 1, 2, 200, 3, -1},     {"/w7x", 1, 2, 200, 7, -1},
        {"-D1", 1, 2, 200, 5, 0},    {"-D7", 1, 2, 200, 5, 6},     {"/d3", 1, 2, 200, 5, 2},
        {"-D0", 1, 2, 200, 5, -1},
    };
    for (const auto& [option, units, print_units, factor, width, day] : rows) {
        const run_settings s = parse({"A.DAT", "-I2", option});
        EXPECT_EQ(s.k479.units, units) << option;
        EXPECT_EQ(s.k479.print_units, print_units) << option;
        const float axle_factor = s.k479.axle_factor; // copied out of the packed record
        EXPECT_EQ(axle_factor, static_cast<float>(factor) / 100.0F) << option;
        EXPECT_EQ(s.col_width, width) << option;
        EXPECT_EQ(s.start_day_weekly, day) << option;
    }
}

TEST(GetParameters, CordonRenamesTheDestinationOnce) {
    const std::pair<args, const char*> rows[] = {
        {{"A.DAT", "C:\\OUT\\ABC1.TXT", "-fcordon"}, "C:\\OUT\\ABCT.TXT"},
        {{"-fCORDON", "A.DAT", "out/abc1.txt"}, "out/abcT.txt"},
        {{"A.DAT", "/tmp/x.y/SITE.TXT", "-fcordon"}, "/tmp/x.y/SITT.TXT"},
        {{"A.DAT", "ABC", "-fcordon"}, "ABC"},
        {{"A.DAT", "C:\\OUT\\AB", "-fcordon"}, "C:\\OUT\\AB"},
        {{"A.DAT", "-fcordon", "-fV1", "ABC1.TXT"}, "ABC1.TXT"},
        {{"A.DAT", "-fcordon", "-fI1", "ABC1.TXT"}, "ABC1.TXT"},
        {{"A.DAT", "ABC1.TXT", "-fcordon", "-fcordon"}, "ABCT.TXT"},
    };
    for (const auto& [arguments, destination] : rows) {
        EXPECT_EQ(parse(arguments).dfn, destination) << arguments[1] << " " << arguments[2];
    }
    EXPECT_TRUE(parse({"A.DAT", "ABC1.TXT", "-fcordon", "-S"}).skip_partial); // the next argument is read
    EXPECT_EQ(cordon_destination(""), "");
}

TEST(GetParameters, ZedirozedSummaryWindow) {
    const run_settings s = parse({"A.DAT", "-fmarsum", "7:05", "1/2/2013", "18:30", "28/02/2013", "OUT.TXT"});
    EXPECT_EQ(s.print_format, 5);
    EXPECT_TRUE(s.zedirozed);
    EXPECT_EQ(s.dfn, "OUT.TXT");
    EXPECT_EQ((std::array{s.m_hrs[0], s.m_mins[0], s.m_day[0], s.m_mon[0], s.m_yr[0]}),
              (std::array{7, 5, 1, 1, 2013}));
    EXPECT_EQ((std::array{s.m_hrs[1], s.m_mins[1], s.m_day[1], s.m_mon[1], s.m_yr[1]}),
              (std::array{18, 30, 28, 1, 2013}));
    EXPECT_EQ(s.mars, (instant{13, 1, 1, 7, 5, 0}));
    EXPECT_EQ(s.marf, (instant{13, 1, 28, 18, 30, 0}));
    EXPECT_TRUE(s.mars < s.marf);

    // The window values are consumed, never read as files or options.
    const run_settings t = parse({"-fmarsum", "10:00", "01/12/99", "11:00", "1/1/2000", "A.DAT"});
    EXPECT_EQ(t.sfn, "A.DAT");
    EXPECT_EQ(t.mars, (instant{99, 11, 1, 10, 0, 0}));
    EXPECT_EQ(t.marf, (instant{0, 0, 1, 11, 0, 0}));
    EXPECT_FALSE(t.mars < t.marf); // two-digit years compare as written
}

// The words of a command line written with blanks between them.
args split(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

TEST(GetParameters, RefusedCommandLines) {
    // After "A.DAT OUT.TXT" unless the line starts with '!'.
    const std::pair<const char*, std::vector<const char*>> groups[] = {
        {"Invalid axfactor (must be from 0.10 to 9.99)",
         {"-C0.05", "-C10", "-C9.991", "-C", "-Cabc", "-Cnan", "-Cinf", "-C-2", "-C1e300"}},
        {"Invalid start day (must be from 1 to 7)", {"-D8", "-D", "-Dx", "-D-1"}},
        {"Invalid imperial units (must be from 1 to 4)", {"-I0", "-I5", "-Ix"}},
        {"Invalid metric units (must be from 1 to 3)", {"-M4", "-Mx", "/MC", "-mc"}},
        {"Option -j is not yet implemented", {"-J", "/jx"}},
        {"Option -fnz is not yet implemented", {"-fnz", "-fNZ"}},
        {"Invalid output format", {"-fxyz", "-f", "-fI4"}},
        {"Invalid option -X", {"-X", "^ -X"}},
        {"Invalid option -", {"-"}},
        {"Invalid option /Query", {"/Query"}},
        {"Invalid option -NVCX", {"-NVCX"}},
        {"Invalid option /?", {"/?"}},
        {"Invalid option /out.txt", {"/out.txt"}},
        {"Parameter mismatch", {"-fmarsum", "-fmarsum 10:00 1/2/2013 11:00"}},
        {"Invalid time",
         {"-fmarsum 1000 1/2/2013 11:00 1/2/2013", "-fmarsum 100:00 1/2/2013 11:00 1/2/2013",
          "-fmarsum 10:00 1/2/2013 11.00 1/2/2013", "-fmarsum 10:00 1/2/2013 x 1/2/2013"}},
        {"Invalid date",
         {"-fmarsum 10:00 2013-02-01 11:00 1/2/2013", "-fmarsum 10:00 1/2/2013 11:00 1/2-2013",
          "-fmarsum 10:00 1/2013/2 11:00 1/2/2013"}},
        {"Too many files specified", {"C.TXT", "C.TXT -X"}},
        {"No input file specified", {"!-S ^ =", "!--output-dir=out --jobs=2"}},
        {"Invalid speed limit (must be a number above 0)",
         {"--speed-limit=", "--speed-limit=0", "--speed-limit=-50", "--speed-limit=50km", "--speed-limit=nan",
          "--speed-limit=inf", "--speed-limit=1e9"}},
        {"No output folder specified", {"--output-dir="}},
        {"Invalid data-quality threshold (must be RULE:VALUE, a rule of the manual and a number of at least "
         "0)",
         {"--qc=", "--qc=zero_hours", "--qc=zero_hours:", "--qc=zero_hours:-1", "--qc=zero:7",
          "--qc=zero_hours:7,", "--qc=clock:1s"}},
        {"Invalid number of jobs (must be from 1 to 1024)",
         {"!A.DAT --output-dir=o --jobs=0", "!A.DAT --output-dir=o --jobs=1025",
          "!A.DAT --output-dir=o --jobs=", "!A.DAT --output-dir=o --jobs=2x",
          "!A.DAT --output-dir=o --jobs=99999999999999999999"}},
        {"Options --jobs and --update need --output-dir", {"--jobs=2", "--update"}},
        {"Options --major and --minor need --warrants", {"-fjson --major=M.DAT --minor=N.DAT:1"}},
        {"Option --warrants needs a study format (-fstudy, -fjson or -fhtml)",
         {"--warrants --major=M.DAT --minor=N.DAT:1"}},
        {"Option --warrants needs --major and --minor", {"-fjson --warrants --major=M.DAT"}},
        {"Each --minor approach needs its direction (FILE:DIR)",
         {"-fjson --warrants --major=M.DAT --minor=N.DAT:1,C:\\N.DAT"}},
        {"Invalid --minor approach N.DAT:0 (must be FILE[:DIR])", {"--minor=N.DAT:0"}},
        {"Invalid --major approach :1 (must be FILE[:DIR])", {"--major=:1"}},
        {"Option --minor-lanes needs one value, or one per minor approach",
         {"-fjson --warrants --major=M.DAT --minor=N.DAT:1,N.DAT:2 --minor-lanes=1,2,2"}},
        {"Invalid --minor-lanes 3 (must be 1 or 2)", {"--minor-lanes=1,3"}},
        {"Invalid major-street speed (must be a number above 0)", {"--major-speed=fast", "--major-speed=0"}},
        {"Invalid day 2013-3-07 (must be YYYY-MM-DD)", {"--day=2013-3-07"}},
        {"Invalid hours half (must be clock or quarter)", {"--hours=half"}},
        {"Option --gap-study needs --adequate-gap or --crossing-width", {"-fjson --gap-study --rows=2"}},
        {"Option --gap-study needs a study format (-fstudy, -fjson or -fhtml)",
         {"--gap-study --adequate-gap=9"}},
        {"Invalid rows 1.5 (must be a number above 0 up to 100)", {"--rows=1.5"}},
        {"Invalid adequate gap 0 (must be a number above 0 up to 600)", {"--adequate-gap=0"}},
        {"Invalid gap measure rear (must be headway or gap)", {"--gap-measure=rear"}},
        {"Invalid crossing period 08:00-07:00 (must be HH:MM-HH:MM on the 5 minutes, the end after the "
         "start)",
         {"--crossing-period=08:00-07:00"}},
        {"Invalid crossing period 08:02-09:00 (must be HH:MM-HH:MM on the 5 minutes, the end after the "
         "start)",
         {"--crossing-period=08:02-09:00"}},
    };
    for (const auto& [message, lines] : groups) {
        for (const char* line : lines) {
            const args arguments =
                line[0] == '!' ? split(line + 1) : split(std::string("A.DAT OUT.TXT ") + line);
            try {
                parse(arguments);
                ADD_FAILURE() << "accepted: " << line;
            } catch (const fatal_error& e) {
                EXPECT_EQ(e.exit_code, 1) << line;
                EXPECT_EQ(e.message, std::string("\nError : ") + message + "\n") << line;
            }
        }
    }
}

} // namespace
} // namespace tallycnv
