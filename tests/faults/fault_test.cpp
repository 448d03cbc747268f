// The program under I/O faults. The seam (fault_inject.c, preloaded) counts
// the program's calls on files; a clean run tells how many there are, then the
// program runs once for every N up to that number and every kind of fault,
// with the Nth call failing. Each run must end either as the clean run did
// (exit 0, the same report; interrupted calls, calls that would block and
// short counts are the program's to retry) or with one of the documented
// messages, its exit code, and no report that looks complete: what a single
// run leaves is a part of the report that stops before its END record.
//
// A configuration is a command line, its input files and the reports it
// writes. A batch run becomes one more: its command line (with --jobs=1, so
// that the calls come in one order), its sources and reports; where a single
// run may leave a part of its report, a batch leaves none under its name.
//
// Under AddressSanitizer the seam is loaded ahead of the sanitizer's runtime,
// which it accepts with verify_asan_link_order=0: the program's calls then
// pass through the seam, the sanitizer's checks and the C library in turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/interval_builder.h"
#include "support/k479_builder.h"
#include "support/run_program.h"
#include "support/vbv_builder.h"

namespace tallycnv::test {
namespace {

namespace fs = std::filesystem;

struct fault_mode {
    const char* name;
    const char* calls; // the kinds of call it is tried on
    bool retried;      // the program repeats the call: the run must end as the clean one
};

const fault_mode fault_modes[] = {
    {"eio", "open,read,write,close,rename,unlink", false},
    {"enospc", "open,read,write,close,rename,unlink", false},
    {"eintr", "open,read,write,close,rename,unlink", true},
    {"eagain", "read,write", true},
    {"short", "read,write", true},
};

struct configuration {
    std::vector<std::string> args;       // file names relative to the run's directory
    std::map<std::string, bytes> inputs; // written before every run
    std::vector<std::string> reports;    // the files the run writes
    // Files the run updates besides (control-file mode), whose failures are
    // silent: they must end as in the clean run when the fault is retried.
    std::vector<std::string> side_files;
};

// One run: its result and what the seam counted.
struct seam_run {
    run_result result;
    std::map<std::string, long> counts; // per kind, "fopen" and "faulted"
    std::map<std::string, std::string> reports;
    std::map<std::string, std::string> side_files;
};

std::string language_file() {
    const std::string program = TALLYCNV_EXE;
    return program.substr(0, program.rfind('/')) + "/LANG.479";
}

class fault_runner {
  public:
    explicit fault_runner(configuration config) : config_(std::move(config)) {
        fs::create_directories(run_dir_);
    }
    ~fault_runner() { fs::remove_all(dir_); }
    fault_runner(const fault_runner&) = delete;
    fault_runner& operator=(const fault_runner&) = delete;

    // A run with the `at`th call of the kinds `calls` failing as `mode` (at 0: none fails).
    seam_run run(const std::string& calls, long at, const std::string& mode) {
        for (const auto& [name, data] : config_.inputs) {
            write_file(run_dir_ / name, data);
        }
        for (const std::string& report : config_.reports) {
            fs::remove(run_dir_ / report);
        }
        const char* asan = std::getenv("ASAN_OPTIONS");
        seam_run r;
        r.result = run_tallycnv(
            config_.args, run_dir_, TALLYCNV_EXE,
            {std::string("LD_PRELOAD=") + TALLYCNV_FAULT_SEAM, "TALLYCNV_FAULT_CALLS=" + calls,
             "TALLYCNV_FAULT_AT=" + std::to_string(at), "TALLYCNV_FAULT_MODE=" + mode,
             "TALLYCNV_FAULT_COUNTS=" + counts_.string(),
             "ASAN_OPTIONS=" + std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0"});
        std::ifstream counts(counts_);
        std::string kind;
        long n = 0;
        while (counts >> kind >> n) {
            r.counts[kind] = n;
        }
        fs::remove(counts_);
        for (const std::string& report : config_.reports) {
            if (fs::exists(run_dir_ / report)) {
                r.reports[report] = read_file(run_dir_ / report);
            }
        }
        for (const std::string& side : config_.side_files) {
            r.side_files[side] = fs::exists(run_dir_ / side) ? read_file(run_dir_ / side) : "";
        }
        return r;
    }

  private:
    configuration config_;
    fs::path dir_ = make_temp_dir();
    fs::path run_dir_ = dir_ / "run";
    fs::path counts_ = dir_ / "counts";
};

// A message a run under a fault may end with, and its exit code.
struct failure {
    std::string message;
    int exit_code;
    const char* name;
};

// How report `name` of a run differs from `whole` (a report is too long to show).
std::string difference(const std::map<std::string, std::string>& reports, const std::string& name,
                       const std::string& whole) {
    const auto report = reports.find(name);
    if (report == reports.end()) {
        return name + " missing";
    }
    const std::string& text = report->second;
    if (text == whole) {
        return "";
    }
    const auto first = std::mismatch(text.begin(), text.end(), whole.begin(), whole.end());
    return name + " holds " + std::to_string(text.size()) + " bytes instead of " +
           std::to_string(whole.size()) + ", the first difference at byte " +
           std::to_string(first.first - text.begin());
}

// The number of calls of the comma-separated `kinds` among `counts`.
long calls_of(const std::map<std::string, long>& counts, const std::string& kinds) {
    long n = 0;
    for (const auto& [kind, count] : counts) {
        if (("," + kinds + ",").find("," + kind + ",") != std::string::npos) {
            n += count;
        }
    }
    return n;
}

// Runs `config` under every fault at every call; returns the failures seen, by
// name ("read" or "read, part of the report written" and so on). The source
// is the first argument.
std::set<std::string> run_under_faults(const configuration& config) {
    const std::vector<failure> failures = {
        {"\nError : Could not write to the output file\n", 3, "write"},
        {"\nError : Could not read the input file\n", 2, "read"},
        {"\nError : File " + config.args.front() + " does not exist\n", 1, "open source"},
        {"\nError : Could not read the language file " + language_file() + "\n", 2, "language file"},
    };
    fault_runner runner(config);
    const seam_run clean = runner.run("", 0, "");
    EXPECT_EQ(clean.result.exit_code, 0) << clean.result.err;
    EXPECT_EQ(clean.result.out + clean.result.err, "");
    EXPECT_EQ(clean.reports.size(), config.reports.size()) << "a clean run writes every report";
    if (clean.counts.empty()) {
        ADD_FAILURE() << "the seam " TALLYCNV_FAULT_SEAM " counted nothing";
        return {};
    }
    EXPECT_EQ(clean.counts.at("fopen"), 0) << "a file opened as a C stream escapes the seam";
    std::set<std::string> seen;
    int runs = 0;
    for (const fault_mode& mode : fault_modes) {
        const long calls = calls_of(clean.counts, mode.calls);
        for (long at = 1; at <= calls; ++at, ++runs) {
            const std::string where = std::string(mode.name) + " at call " + std::to_string(at);
            seam_run r = runner.run(mode.calls, at, mode.name);
            if (r.result.exit_code >= 128) {
                ADD_FAILURE() << where << ": ended by a signal\n" << r.result.err;
                continue;
            }
            EXPECT_EQ(r.counts["faulted"], at) << where << ": the fault was not made";
            EXPECT_EQ(r.result.out, "") << where;
            if (mode.retried || r.result.exit_code == 0) {
                EXPECT_EQ(r.result.exit_code, 0) << where << r.result.err;
                EXPECT_EQ(r.result.err, "") << where;
                for (const auto& [name, whole] : clean.reports) {
                    EXPECT_EQ(difference(r.reports, name, whole), "") << where;
                }
                if (mode.retried) {
                    EXPECT_EQ(r.side_files, clean.side_files) << where;
                }
                continue;
            }
            const auto message = std::find_if(failures.begin(), failures.end(),
                                              [&](const failure& f) { return f.message == r.result.err; });
            if (message == failures.end()) {
                ADD_FAILURE() << where << ": exit " << r.result.exit_code << ", message " << r.result.err;
                continue;
            }
            EXPECT_EQ(r.result.exit_code, message->exit_code) << where << r.result.err;
            bool written = false;
            for (const auto& [name, text] : r.reports) {
                const std::string& whole = clean.reports.at(name);
                // A part of the report, ending before the END record's text is whole.
                EXPECT_LT(text.size() + 2, whole.size()) << where << ": " << name << " looks complete";
                EXPECT_EQ(whole.compare(0, text.size(), text), 0) << where << ": " << name << " differs";
                written = written || !text.empty();
            }
            seen.insert(std::string(message->name) + (written ? ", part of the report written" : ""));
        }
    }
    std::string counted;
    for (const auto& [kind, n] : clean.counts) {
        counted += " " + kind + " " + std::to_string(n);
    }
    std::printf("calls of a clean run:%s; %d runs under faults\n", counted.c_str(), runs);
    return seen;
}

// `count` vehicles of a weigh site; 4000 make a source of two reads and a
// report of several writes.
bytes vehicle_file(int count) {
    std::string records;
    for (int i = 0; i < count; ++i) {
        records += "base lane=" + std::to_string(i % 4) + " dir=" + std::to_string(i % 2) +
                   " axles=3 class=" + std::to_string(1 + i % 13) +
                   " time=" + std::to_string(360000 + 25 * i) + " speed=" + std::to_string(40 + i % 90) +
                   " gap=" + std::to_string(10 + i % 200) + " headway=" + std::to_string(20 + i % 300) +
                   " wheelbase=" + std::to_string(300 + i % 900) +
                   " gross=" + std::to_string(100 + i % 4000) + " spacings=100,155 weights=60,60,135\n";
    }
    return build_vbv_file("site FAULTS\nsensor_type 28 28 1 1\ncard_type 6 6 0 0\nvbv_day 7\nvbv_month 2\n"
                          "vbv_year 2013\nclosed_ok 1\nnum_records " +
                              std::to_string(count),
                          build_vbv_records(records));
}

// Two channels of speed and length bins, hourly with a quarter-hourly morning peak.
bytes interval_file() {
    header_builder h;
    h.describe(R"(
        type m
        site FAULTS
        headings N S
        card_type 1 1 0 0 0 0 0 0
        sensor_type 1 1 1 1 1 1 1 1
        no_chans 2
        channel_assignment 1 2
        start 2013-03-07 05:00:00
        interval 60
        peak_interval 15
        peak_times 7 0 9 0
        speed_bins.threshold 0 30 50 70 250
        speed_bins.count 4
        length_bins.threshold 0 520 1200 2500
        length_bins.count 3
        spec_count 2
        operands 1 4 0
        operators 0 0
        block_size 28
        num_records 2500
    )");
    std::string blocks;
    for (int b = 0; b < 2500; ++b) {
        blocks += " ch1:";
        for (int i = 0; i < 7; ++i) {
            blocks += " " + std::to_string((b * 7 + i * 13) % 61);
        }
        blocks += " ch2:";
        for (int i = 0; i < 7; ++i) {
            blocks += " " + std::to_string((b * 11 + i * 5) % 47);
        }
        blocks += "\n";
    }
    return build_interval_file(h, blocks, 7);
}

const std::set<std::string> every_failure = {
    "open source",
    "language file",
    "read",                              // the header
    "read, part of the report written",  // mid-file: the first test of this path
    "write, part of the report written", // a full disk mid-report
    "write", // the destination cannot be created or written at all, or its close fails
};

TEST(IoFaults, VehicleListingToANamedFile) {
    const std::set<std::string> seen = run_under_faults(
        {{"VBV.DAT", "OUT.TXT", "^", "-fV1"}, {{"VBV.DAT", vehicle_file(4000)}}, {"OUT.TXT"}, {}});
    EXPECT_EQ(seen, every_failure);
}

// Control-file mode reads and writes the site record and writes the verdict
// into CONTROL.INF; their failures are silent and leave the report as it is.
TEST(IoFaults, ControlFileModeToANamedFile) {
    std::string control_inf(600, '\0');
    for (std::size_t i = 0; i < control_inf.size(); ++i) {
        control_inf[i] = static_cast<char>('A' + i % 26);
    }
    const configuration config{{"VBV.DAT", "OUT.TXT", "^", "=", "-fv2"},
                               {{"VBV.DAT", vehicle_file(100)},
                                {"CONTROL.INF", bytes(control_inf.begin(), control_inf.end())},
                                {"FAULTS.VBV", bytes(96, 1)}},
                               {"OUT.TXT"},
                               {"FAULTS.VBV", "CONTROL.INF"}};
    const std::set<std::string> seen = run_under_faults(config);
    EXPECT_EQ(seen, (std::set<std::string>{"open source", "language file", "read", "write"}));
}

TEST(IoFaults, IntervalTableToANamedFile) {
    const std::set<std::string> seen = run_under_faults(
        {{"INT.DAT", "OUT.TXT", "^", "-fI2"}, {{"INT.DAT", interval_file()}}, {"OUT.TXT"}, {}});
    EXPECT_EQ(seen, every_failure);
}

} // namespace
} // namespace tallycnv::test
