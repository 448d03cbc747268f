#include "app/options.h"

#include <gtest/gtest.h>

#include "app/fatal.h"

namespace tallycnv {
namespace {

using args = std::vector<std::string>;

run_settings parse(const args& arguments) {
    return get_parameters("/opt/tally", arguments);
}

// The message and exit code of a refused command line, or "accepted".
std::string refusal(const args& arguments) {
    try {
        get_parameters("/opt/tally", arguments);
    } catch (const fatal_error& error) {
        return std::to_string(error.exit_code) + error.message;
    }
    return "accepted";
}

TEST(GetParameters, StartState) {
    const run_settings s = parse({"SITE1.DAT"});
    EXPECT_EQ(s.sfn, "SITE1.DAT");
    EXPECT_EQ(s.dfn, "");
    EXPECT_EQ(s.lang_file, "/opt/tally/LANG.479");
    EXPECT_EQ(s.program_directory, "/opt/tally");
    EXPECT_EQ(s.k479.units, 0);
    EXPECT_EQ(s.k479.print_units, 1);
    const float axle_factor = s.k479.axle_factor;
    EXPECT_FLOAT_EQ(axle_factor, 2.0F);
    EXPECT_EQ(s.anl_format, 0);
    EXPECT_EQ(s.print_format, 1);
    EXPECT_EQ(s.col_width, 5);
    EXPECT_EQ(s.start_day_weekly, -1);
    EXPECT_FALSE(s.quiet_mode || s.quillon_mode || s.hdr_only || s.skip_partial || s.merge_cars || s.taxo ||
                 s.zedirozed || s.kappa3_format || s.fhwa_format);
    EXPECT_EQ(s.new_argv, args{"SITE1.DAT"});
}

TEST(GetParameters, OutputFormatsSetBothSelectors) {
    struct row {
        args arguments;
        int anl_format;
        int print_format;
    };
    const row rows[] = {
        {{"-fI1"}, 1, 1},          {{"-fI2"}, 2, 2},           {{"-fI3"}, 3, 1},
        {{"-fV1"}, 4, 1},          {{"-fv2"}, 5, 2},           {{"-fV3"}, 6, 3},
        {{"/Fv4"}, 7, 4},          {{"-fcordon"}, 4, 4},       {{"-fwk"}, 8, 1},
        {{"-fWK"}, 8, 1},          {{"-fV1", "-fI2"}, 2, 2},   {{"-fv4", "-fI1"}, 1, 4},
        {{"-fv3", "-fI3"}, 3, 3},  {{"-fzedirozed2"}, 0, 2},   {{"-fv3", "-fZEDIROZED1"}, 6, 1},
        {{"-fasb", "-fv2"}, 5, 2}, {{"-fv2", "-fasb1"}, 5, 2}, {{"-fwk", "-fV1"}, 4, 1},
    };
    for (const row& r : rows) {
        args arguments = r.arguments;
        arguments.insert(arguments.begin(), "A.DAT");
        const run_settings s = parse(arguments);
        EXPECT_EQ(s.anl_format, r.anl_format) << arguments[1];
        EXPECT_EQ(s.print_format, r.print_format) << arguments[1];
    }
}

TEST(GetParameters, SwitchesAndPassedOnArguments) {
    run_settings s = parse({"-fasb", "A.DAT", "^", "=", "-S", "/mc", "-H", "-fzedirozed1"});
    EXPECT_TRUE(s.taxo && s.quiet_mode && s.quillon_mode && s.skip_partial && s.merge_cars && s.hdr_only &&
                s.zedirozed);
    EXPECT_EQ(s.k479.print_units, 1);
    EXPECT_EQ(s.new_argv, args{"A.DAT"});

    s = parse({"A.DAT", "-ff1", "OUT.TXT"});
    EXPECT_TRUE(s.kappa3_format);
    EXPECT_FALSE(s.fhwa_format);
    EXPECT_EQ(s.new_argv, (args{"A.DAT", "OUT.TXT"}));

    s = parse({"/headings=N/S", "A.DAT", "-fC4", "/location=Main St/A1", "OUT.TXT", "/fc7", "-fc2"});
    EXPECT_TRUE(s.fhwa_format);
    EXPECT_FALSE(s.hdr_only);
    EXPECT_EQ(s.lang_file, "/opt/tally/LANG.479");
    EXPECT_EQ(s.new_argv,
              (args{"/headings=N/S", "A.DAT", "-fC4", "/location=Main St/A1", "OUT.TXT", "/fc7", "-fc2"}));

    // The same words introduced by '-' are the header-only switch and a language file.
    s = parse({"A.DAT", "-headings=N", "-location=x", "/Headings=y"});
    EXPECT_FALSE(s.fhwa_format);
    EXPECT_TRUE(s.hdr_only);
    EXPECT_EQ(s.lang_file, "ocation=x");
    EXPECT_EQ(s.new_argv, args{"A.DAT"});

    s = parse({"A.DAT", "-L/usr/share/tally/LANG.DE"});
    EXPECT_EQ(s.lang_file, "/usr/share/tally/LANG.DE");
    s = parse({"A.DAT", "-NVC", "/noversioncheck", "-nvc", "-NoVersionCheck"});
    EXPECT_EQ(s.sfn, "A.DAT");
}

TEST(GetParameters, AbsolutePathsAreFileNames) {
    const run_settings s = parse({"/data/SITE1.DAT", "/tmp/out/SITE1.TXT", "/fV1"});
    EXPECT_EQ(s.sfn, "/data/SITE1.DAT");
    EXPECT_EQ(s.dfn, "/tmp/out/SITE1.TXT");
    EXPECT_EQ(s.anl_format, 4);
    EXPECT_EQ(s.new_argv, (args{"/data/SITE1.DAT", "/tmp/out/SITE1.TXT"}));
    EXPECT_EQ(refusal({"A.DAT", "/out.txt"}), "1\nError : Invalid option /out.txt\n");
}

TEST(GetParameters, Units) {
    const std::pair<const char*, int> imperial[] = {{"-I1", 3}, {"-I2", 2}, {"/i3", 4}, {"-I4", 5}};
    for (const auto& [option, print_units] : imperial) {
        const run_settings s = parse({"A.DAT", option});
        EXPECT_EQ(s.k479.units, 1) << option;
        EXPECT_EQ(s.k479.print_units, print_units) << option;
    }
    const std::pair<const char*, int> metric[] = {{"-M1", 1}, {"-m2", 0}, {"-M3", 6}};
    for (const auto& [option, print_units] : metric) {
        const run_settings s = parse({"A.DAT", "-I2", option});
        EXPECT_EQ(s.k479.units, 0) << option;
        EXPECT_EQ(s.k479.print_units, print_units) << option;
    }
    // "/mc" merges the car classes and leaves the units alone.
    const run_settings s = parse({"A.DAT", "-I3", "/mc"});
    EXPECT_EQ(s.k479.units, 1);
    EXPECT_EQ(s.k479.print_units, 4);
    EXPECT_TRUE(s.merge_cars);
}

TEST(GetParameters, AxleFactorRange) {
    const std::pair<const char*, float> accepted[] = {
        {"-C0.1", 0.1F}, {"-C9.99", 9.99F}, {"/c2.5", 2.5F}, {"-C1e0", 1.0F}};
    for (const auto& [option, factor] : accepted) {
        const float read = parse({"A.DAT", option}).k479.axle_factor; // copied out of the packed record
        EXPECT_EQ(read, factor) << option;
    }
    for (const char* option :
         {"-C0.05", "-C10", "-C9.991", "-C", "-Cabc", "-Cnan", "-Cinf", "-C-2", "-C1e300"}) {
        EXPECT_EQ(refusal({"A.DAT", option}), "1\nError : Invalid axfactor (must be from 0.10 to 9.99)\n")
            << option;
    }
}

TEST(GetParameters, ColumnWidthIsClamped) {
    const std::pair<const char*, int> rows[] = {{"-W1", 3}, {"-W20", 8},  {"-W5", 5},   {"-W3", 3},
                                                {"-W8", 8}, {"-W260", 4}, {"-W255", 3}, {"-W-3", 3},
                                                {"-W", 3},  {"/w7x", 7}};
    for (const auto& [option, width] : rows) {
        EXPECT_EQ(parse({"A.DAT", option}).col_width, width) << option;
    }
}

TEST(GetParameters, StartDayOfWeeklySummary) {
    const std::pair<const char*, int> rows[] = {{"-D1", 0}, {"-D7", 6}, {"/d3", 2}, {"-D0", -1}};
    for (const auto& [option, day] : rows) {
        EXPECT_EQ(parse({"A.DAT", option}).start_day_weekly, day) << option;
    }
    for (const char* option : {"-D8", "-D9", "-D", "-Dx", "-D-1"}) {
        EXPECT_EQ(refusal({"A.DAT", option}), "1\nError : Invalid start day (must be from 1 to 7)\n")
            << option;
    }
}

TEST(GetParameters, CommandLineErrors) {
    const std::pair<args, const char*> rows[] = {
        {{"A.DAT", "-J"}, "\nError : Option -j is not yet implemented\n"},
        {{"A.DAT", "/jx"}, "\nError : Option -j is not yet implemented\n"},
        {{"A.DAT", "-fnz"}, "\nError : Option -fnz is not yet implemented\n"},
        {{"A.DAT", "-fNZ"}, "\nError : Option -fnz is not yet implemented\n"},
        {{"A.DAT", "-fxyz"}, "\nError : Invalid output format\n"},
        {{"A.DAT", "-f"}, "\nError : Invalid output format\n"},
        {{"A.DAT", "-fI4"}, "\nError : Invalid output format\n"},
        {{"A.DAT", "-X"}, "\nError : Invalid option -X\n"},
        {{"A.DAT", "-"}, "\nError : Invalid option -\n"},
        {{"A.DAT", "/?"}, "\nError : Invalid option /?\n"},
        {{"A.DAT", "-NVCX"}, "\nError : Invalid option -NVCX\n"},
        {{"A.DAT", "-I0"}, "\nError : Invalid imperial units (must be from 1 to 4)\n"},
        {{"A.DAT", "-I5"}, "\nError : Invalid imperial units (must be from 1 to 4)\n"},
        {{"A.DAT", "-Ix"}, "\nError : Invalid imperial units (must be from 1 to 4)\n"},
        {{"A.DAT", "-M4"}, "\nError : Invalid metric units (must be from 1 to 3)\n"},
        {{"A.DAT", "-Mx"}, "\nError : Invalid metric units (must be from 1 to 3)\n"},
        {{"A.DAT", "/MC"}, "\nError : Invalid metric units (must be from 1 to 3)\n"},
        {{"A.DAT", "-mc"}, "\nError : Invalid metric units (must be from 1 to 3)\n"},
        {{"A.DAT", "B.TXT", "C.TXT"}, "\nError : Too many files specified\n"},
        {{"A.DAT", "B.TXT", "C.TXT", "-X"}, "\nError : Too many files specified\n"},
        {{}, "\nError : No input file specified\n"},
        {{"-S", "^", "="}, "\nError : No input file specified\n"},
    };
    for (const auto& [arguments, message] : rows) {
        EXPECT_EQ(refusal(arguments), std::string("1") + message) << arguments.back();
    }
}

TEST(GetParameters, CordonRenamesTheDestinationOnce) {
    const std::pair<args, const char*> rows[] = {
        {{"A.DAT", "C:\\OUT\\ABC1.TXT", "-fcordon"}, "C:\\OUT\\ABCT.TXT"},
        {{"A.DAT", "-fcordon", "C:\\OUT\\ABC1.TXT"}, "C:\\OUT\\ABCT.TXT"},
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
    // The argument after -fcordon is still examined.
    const run_settings s = parse({"A.DAT", "ABC1.TXT", "-fcordon", "-S"});
    EXPECT_TRUE(s.skip_partial);
    EXPECT_EQ(cordon_destination("SITE"), "SITT");
    EXPECT_EQ(cordon_destination(""), "");
}

TEST(GetParameters, ZedirozedSummaryWindow) {
    const run_settings s = parse({"A.DAT", "-fmarsum", "7:05", "1/2/2013", "18:30", "28/02/2013", "OUT.TXT"});
    EXPECT_EQ(s.print_format, 5);
    EXPECT_TRUE(s.zedirozed);
    EXPECT_EQ(s.dfn, "OUT.TXT");
    EXPECT_EQ(s.m_hrs[0], 7);
    EXPECT_EQ(s.m_mins[0], 5);
    EXPECT_EQ(s.m_day[0], 1);
    EXPECT_EQ(s.m_mon[0], 1);
    EXPECT_EQ(s.m_yr[0], 2013);
    EXPECT_EQ(s.m_hrs[1], 18);
    EXPECT_EQ(s.m_mins[1], 30);
    EXPECT_EQ(s.m_day[1], 28);
    EXPECT_EQ(s.m_mon[1], 1);
    EXPECT_EQ(s.m_yr[1], 2013);
    EXPECT_EQ(s.mars, (instant{13, 1, 1, 7, 5, 0}));
    EXPECT_EQ(s.marf, (instant{13, 1, 28, 18, 30, 0}));
    EXPECT_TRUE(s.mars < s.marf);

    // The window values are consumed, never read as files or options.
    const run_settings t = parse({"-fmarsum", "10:00", "01/12/99", "11:00", "1/1/2000", "A.DAT"});
    EXPECT_EQ(t.sfn, "A.DAT");
    EXPECT_EQ(t.mars, (instant{99, 11, 1, 10, 0, 0}));
    EXPECT_EQ(t.marf, (instant{0, 0, 1, 11, 0, 0}));
    EXPECT_FALSE(t.mars < t.marf); // two-digit years compare as written

    const std::pair<args, const char*> rows[] = {
        {{"A.DAT", "-fmarsum", "10:00", "1/2/2013", "11:00"}, "\nError : Parameter mismatch\n"},
        {{"A.DAT", "-fmarsum"}, "\nError : Parameter mismatch\n"},
        {{"A.DAT", "-fmarsum", "1000", "1/2/2013", "11:00", "1/2/2013"}, "\nError : Invalid time\n"},
        {{"A.DAT", "-fmarsum", "100:00", "1/2/2013", "11:00", "1/2/2013"}, "\nError : Invalid time\n"},
        {{"A.DAT", "-fmarsum", "10:00", "1/2/2013", "11.00", "1/2/2013"}, "\nError : Invalid time\n"},
        {{"A.DAT", "-fmarsum", "10:00", "2013-02-01", "11:00", "1/2/2013"}, "\nError : Invalid date\n"},
        {{"A.DAT", "-fmarsum", "10:00", "1/2/2013", "11:00", "1/2-2013"}, "\nError : Invalid date\n"},
        {{"A.DAT", "-fmarsum", "10:00", "1/2013/2", "11:00", "1/2/2013"}, "\nError : Invalid date\n"},
        {{"A.DAT", "-fmarsum", "10:00", "1/2/2013", "x", "1/2/2013"}, "\nError : Invalid time\n"},
    };
    for (const auto& [arguments, message] : rows) {
        EXPECT_EQ(refusal(arguments), std::string("1") + message) << arguments.size();
    }
}

} // namespace
} // namespace tallycnv
