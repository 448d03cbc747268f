// Whole VBV reports formatted in-process: header, vehicle and event lines in
// file order, Zedirozed summaries and the END record.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/fatal.h"
#include "app/language.h"
#include "headers/vbv_header.h"
#include "interval/output_file.h"
#include "support/run_program.h"
#include "support/vbv_builder.h"

namespace tallycnv {
namespace {

std::string crlf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

// One formatting run of a data file held in a temporary directory.
struct report_run {
    run_settings settings;
    language_texts lang = load_language("/nonexistent/LANG.479");
    report_sink out;
    std::string dir = test::make_temp_dir();

    ~report_run() { std::filesystem::remove_all(dir); }

    // Formats `file`; returns the fatal message, empty when the run ended normally.
    std::string format(const test::bytes& file) {
        settings.sfn = dir + "/SITE1.DAT";
        test::write_file(settings.sfn, file);
        try {
            output_file(run_context{settings, lang, out});
        } catch (const fatal_error& error) {
            return error.message;
        }
        return "";
    }
};

const char* const site_header = "site SITE1\n"
                                "serial_number 4711\n"
                                "start 2013-03-07 10:00:00\n"
                                "stop 2013-03-08 09:30:00\n"
                                "battery 124\n"
                                "vbv_filter.operand 13\n"
                                "vbv_day 7\n"
                                "vbv_month 2\n"
                                "vbv_year 2013\n"
                                "last_time 0 360000\n"
                                "stream_param 0x47\n"
                                "closed_ok 1\n"
                                "num_records 9\n";

// Every record type; the record count stops before the last vehicle.
const char* const every_type =
    "base lane=0 axles=2 wheelbase=300 overhang=100 class=3 speed=80 time=360000 "
    "headway=30 gap=20\n"
    "event card=13 input=1 code=0 data=1234 a=500 b=480\n"
    "skip\n"
    "date 2013 12 25\n"
    "type6 lane=1 axles=2 wheelbase=300 overhang=150 gross=100 weights=100,155 "
    "time=360100 speed=50 chassis=2 class=4\n"
    "type4 number=99 lane=2 dir=1 axles=0 wheelbase=520 time=360200 speed=90 headway=55 "
    "gap=41 class=1 chassis=4\n"
    "mask 0x47\n"
    "stream number=7 time=360250 lane=1 speed=60\n"
    "type7 lane=1 headway=40 speed=70 axles=2 wheelbase=280 overhang=90 class=2\n"
    "type9 lane=0 time=3603000 speed=1004 axles=2 wheelbase=310 class=5\n"
    "base lane=0 axles=2 wheelbase=300 speed=99 time=360500\n";

TEST(VbvReport, RecordCodedWholeReport) {
    report_run run;
    run.settings.anl_format = 5;
    run.settings.print_format = 2;
    EXPECT_EQ(run.format(test::build_vbv_file(site_header, test::build_vbv_records(every_type))), "");
    const std::string expected =
        crlf("20,\"BEGIN\"\n"
             "22,\"FORMAT\",\"VBV-2\"\n"
             "23,\"FORMATTER\",\"TALLYCNV\",\"Release\",3.5.47\n"
             "24,\"INSTRUMENT\",\"K479\",\"Serial\",4711,\"Release\",2.00\n"
             "25,\"FILENAME\",\"\"\n"
             "26,\"SITE\",\"SITE1\"\n"
             "27,\"LOCATION\",\"\"\n"
             "31,\"GRIDREF\",\"\"\n"
             "32,\"HEADINGS\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\n"
             "72,\"STARTREC\",10,00,07,03,13\n"
             "73,\"STOPREC\",09,30,08,03,13\n"
             "28,\"BATTERY\",12.40,12.40 \n"
             "29,\"SENSORS\",\"(ns)\",\"(ns)\",\"(ns)\",\"(ns)\",\"(ns)\",\"(ns)\",\"(ns)\",\"(ns)\"\n"
             "30,\"DATEFORM\",\"DD/MM/YY\"\n"
             "89,\"UNITS\",\"(ns)\"\n"
             "80,\"PRUNITS\",\"KPH-CM-10KG\"\n"
             "60,\"CLASS\",\"NONE\"\n"
             "39,\"HEAD DDMMYY HHMM SS HH RESCOD  L D HEAD  GAP SPD LENTH    CS CH\"\n"
             "1,000001,070313,1000,00,00,000000, 1,1, 3.0, 2.0, 80,  400, 3,\"  \"\n"
             "0,1,02,1,0,00001234,00000,000500,000020,000000\n"
             "1,000002,251213,1000,10,00,000000, 2,1,10.0,10.0, 50,  450, 4,\" L\"\n"
             "1,000100,251213,1000,20,00,000000, 3,2, 5.5, 4.1, 90,  520, 1,\" H\"\n"
             "1,000008,251213,1000,25,00,000000, 2,1,15.0,14.7, 60,     ,  ,\"  \"\n"
             "1,000003,251213,1000,29,00,000000, 2,1, 4.0, 4.0, 70,  370, 2,\"  \"\n"
             "1,000004,251213,1000,30,00,000000, 1,1,99.9,99.9,100,     , 5,\"  \"\n"
             "21,\"END\",26,\"FFFF\"\n");
    EXPECT_EQ(run.out.text(), expected);
}

// The report as the header writer alone starts it, for the layouts whose
// header is not the subject here.
std::string header_alone(const run_settings& settings, const language_texts& lang, const test::bytes& file) {
    byte_stream input(file);
    k479_defn header{};
    read_header_block(input, header);
    run_settings copy = settings;
    copy.k479.date_format = header.date_format;
    report_sink out;
    print_vbv_header(run_context{copy, lang, out}, header);
    return out.text();
}

TEST(VbvReport, EmptyDataAreaGivesHeaderAndEnd) {
    for (int print_format : {1, 2, 3, 4}) {
        report_run run;
        run.settings.print_format = print_format;
        run.settings.anl_format = static_cast<std::int8_t>(print_format == 1 ? 0 : print_format + 3);
        const test::bytes file = test::build_vbv_file("wrap_start 5\nclosed_ok 0", {});
        EXPECT_EQ(run.format(file), "");
        const std::string header = header_alone(run.settings, run.lang, file);
        const long lines = std::count(header.begin(), header.end(), '\n') + 1;
        const std::string end = print_format == 2 ? "21,\"END\"," + std::to_string(lines) + ",\"FFFF\"\r\n"
                                                  : "* END " + std::to_string(lines) + " FFFF\r\n";
        EXPECT_EQ(run.out.text(), header + end) << "VBV-" << print_format;
    }
}

TEST(VbvReport, LabelledAndPictureLayoutsCountEveryLine) {
    const test::bytes file = test::build_vbv_file(
        "card_type 6 6\nclosed_ok 1\nnum_records 3\nvbv_day 7\nvbv_month 2\nvbv_year 2013",
        test::build_vbv_records("base lane=1 axles=3 wheelbase=600 overhang=150 gross=300 weights=85,85,85 "
                                "spacings=128 speed=72 time=360000 headway=25 gap=15 class=6\n"
                                "event card=5 input=0 code=2 data=7 a=12 b=34\n"
                                "base lane=0 axles=0 wheelbase=420 speed=50 time=360100\n"));
    struct layout_case {
        int print_format;
        std::string body;
    };
    const layout_case cases[] = {
        {3, "000001 070313 10:00:00.00 000000 LA=2 DN=1 SP=72 GP=1.5 HD=2.5\n"
            "AX=3  CS=6  MTR  6.00   3.01 2.99\n"
            "OK          TNE  1.36   0.45 0.45 0.45\n"
            "0 1 01 4 2 00000007 00034 000012 000000 000000\n"
            "000002 070313 10:00:10.00 000000 LA=1 DN=1 SP=50 GP=0.0 HD=0.0\n"
            "AX=0  CS=0  MTR  0.00  \n"
            "OK          TNE  0.00  \n"},
        {4, "10:00:00 2  2  72  3  6 OK       h------h-----h\n"
            "0 1 01 4 2 00000007 00034 000012 000000 000000\n"
            "10:00:10 1     50  0  0 OK\n"},
    };
    for (const layout_case& c : cases) {
        report_run run;
        run.settings.print_format = c.print_format;
        run.settings.anl_format = static_cast<std::int8_t>(c.print_format + 3);
        EXPECT_EQ(run.format(file), "");
        const std::string header = header_alone(run.settings, run.lang, file);
        const std::string body = crlf(c.body);
        const long lines =
            std::count(header.begin(), header.end(), '\n') + std::count(body.begin(), body.end(), '\n');
        EXPECT_EQ(run.out.text(), header + body + "* END " + std::to_string(lines + 1) + " FFFF\r\n")
            << "VBV-" << c.print_format;
    }
}

TEST(VbvReport, ZedirozedSummaryAtTheFirstVehicleAndAtTheEnd) {
    report_run run;
    run.settings.print_format = 5;
    run.settings.zedirozed = true;
    run.settings.m_hrs[0] = 9;
    run.settings.m_hrs[1] = 12;
    run.settings.m_day[0] = run.settings.m_day[1] = 7;
    run.settings.m_mon[0] = run.settings.m_mon[1] = 2;
    run.settings.m_yr[0] = run.settings.m_yr[1] = 2013;
    run.settings.mars = instant{13, 2, 7, 9, 0, 0};
    run.settings.marf = instant{13, 2, 7, 12, 0, 0};
    const test::bytes file =
        test::build_vbv_file("vbv_day 7\nvbv_month 2\nvbv_year 2013",
                             test::build_vbv_records("base lane=0 axles=2 wheelbase=250 time=360000\n"
                                                     "event card=13 input=0 data=1 a=2 b=1\n"
                                                     "base lane=1 axles=2 wheelbase=300 time=360100\n"
                                                     "base lane=0 axles=3 wheelbase=900 time=360200\n"));
    EXPECT_EQ(run.format(file), "");
    const std::string header = header_alone(run.settings, run.lang, file);
    auto summary = [](int c1, int c2, int c5) {
        return "\nZedirozed Summary\n=================\nStart Time = 09:00\nStart Date = 07/03/13\n"
               "Stop  Time = 12:00\nStop  Date = 07/03/13\n\nClass  1 = " +
               std::to_string(c1) + "\nClass  2 = " + std::to_string(c2) +
               "\nClass  3 = 0\nClass  4 = 0\nClass  5 = " + std::to_string(c5) + "\nClass 14 = 0\n\n";
    };
    // The first vehicle finds no earlier time, so a summary follows it at
    // once; the window is still open at the end, so the full one follows too.
    const std::string body =
        crlf(summary(1, 0, 0) + "0 1 01 1 0 00000001 00000 000002 000001 000000\n" + summary(1, 1, 1));
    const long lines =
        std::count(header.begin(), header.end(), '\n') + std::count(body.begin(), body.end(), '\n');
    EXPECT_EQ(run.out.text(), header + body + "* END " + std::to_string(lines + 1) + " FFFF\r\n");
}

TEST(VbvReport, ZedirozedSummaryNeedsBaseFormatVehicles) {
    report_run run;
    run.settings.print_format = 5;
    run.settings.zedirozed = true;
    run.settings.mars = instant{13, 2, 7, 9, 0, 0};
    run.settings.marf = instant{13, 2, 7, 12, 0, 0};
    const test::bytes file = test::build_vbv_file(
        "", test::build_vbv_records("date 2013 3 7\ntype6 axles=2 wheelbase=300 time=360000\n"));
    EXPECT_EQ(run.format(file), "");
    const std::string header = header_alone(run.settings, run.lang, file);
    const long lines = std::count(header.begin(), header.end(), '\n');
    EXPECT_EQ(run.out.text(), header + "* END " + std::to_string(lines + 1) + " FFFF\r\n");
}

TEST(VbvReport, FatalRecordKeepsTheLinesBeforeItAndWritesNoEnd) {
    report_run run;
    const test::bytes file =
        test::build_vbv_file("", test::build_vbv_records("base axles=0 wheelbase=450 speed=33 time=360000\n"
                                                         "raw 00 00 00 00\n"));
    EXPECT_EQ(run.format(file), "\nError : Input file not closed correctly\n");
    const std::string text = run.out.text();
    EXPECT_NE(text.find("\r\n000001 000100 1000 00 00 000000  1 1  0.0  0.0  33   450         \r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("END"), std::string::npos);
}

} // namespace
} // namespace tallycnv
