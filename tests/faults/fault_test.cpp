// The program under I/O faults. The seam (fault_inject.c, preloaded) counts
// the program's calls on files; a clean run tells how many there are, then the
// program runs once for every N up to that number and every kind of fault,
// with the Nth call failing. Each run must end either as the clean run did
// (exit 0, the same report; interrupted calls, calls that would block and
// short counts are the program's to retry) or with one of the documented
// messages, its exit code, and no report that looks complete: what a single
// run leaves is a part of the report that stops before its END record.
//
// A batch run (--output-dir) is tried the same way, with one job. Its job
// formats while the main thread syncs, closes and renames the reports before
// it, so the two interleave their closes: the faults are counted kind by kind,
// which gives every other kind one order, and the Nth close is the same close
// of a source or of a report from run to run but not always the same call in
// time. Each run ends as the clean run did, or with a line "SOURCE: Error :
// ..." for each file that failed, the highest of their exit codes and a
// summary that counts them; the folder then holds the clean run's report of
// every other file, the earlier report (or none) under the name of a file
// that failed, and nothing else: no temporary file, no part of a report.
//
// Under AddressSanitizer the seam is loaded ahead of the sanitizer's runtime,
// which it accepts with verify_asan_link_order=0: the program's calls then
// pass through the seam, the sanitizer's checks and the C library in turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
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
    {"eio", "open,read,write,close,fsync,rename,unlink,mkdir", false},
    {"enospc", "open,read,write,close,fsync,rename,unlink,mkdir", false},
    {"eintr", "open,read,write,close,fsync,rename,unlink,mkdir", true},
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
    // What the report holds before each run; empty: there is none.
    std::string earlier = "";
};

// A batch run: its command line (with --jobs=1), its sources in the order
// given with the names of their reports, and the output folder (made afresh
// for every run) with the reports it holds before the run.
struct batch_configuration {
    std::vector<std::string> args;
    std::map<std::string, bytes> inputs;
    std::vector<std::pair<std::string, std::string>> sources; // source, report
    std::string folder;
    std::map<std::string, std::string> earlier; // report name, text
};

// One run: its result and what the seam counted.
struct seam_run {
    run_result result;
    std::map<std::string, long> counts; // per kind, "fopen" and "faulted"
    std::string faulted_kind;           // the kind of the call made to fail
    std::map<std::string, std::string> reports;
    std::map<std::string, std::string> side_files;
    std::map<std::string, std::string> folder; // every file of a batch's folder
    std::string left_behind;                   // temporary files a single run left
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
    explicit fault_runner(const batch_configuration& batch)
        : config_{batch.args, batch.inputs, {}, {}}, folder_(batch.folder), earlier_(batch.earlier) {
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
            if (!config_.earlier.empty()) {
                write_file(run_dir_ / report, bytes(config_.earlier.begin(), config_.earlier.end()));
            }
        }
        if (!folder_.empty()) {
            fs::remove_all(run_dir_ / *fs::path(folder_).begin()); // its parents made by the run as well
            for (const auto& [name, text] : earlier_) {
                fs::create_directories(run_dir_ / folder_);
                write_file(run_dir_ / folder_ / name, bytes(text.begin(), text.end()));
            }
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
        std::string line;
        while (std::getline(counts, line)) {
            std::istringstream words(line);
            std::string kind;
            long n = 0;
            if (words >> kind >> n) {
                r.counts[kind] = n;
            }
            if (kind == "faulted") {
                words >> r.faulted_kind;
            }
        }
        fs::remove(counts_);
        if (!folder_.empty() && fs::exists(run_dir_ / folder_)) {
            for (const auto& entry : fs::recursive_directory_iterator(run_dir_ / folder_)) {
                const std::string name = fs::relative(entry.path(), run_dir_ / folder_).string();
                if (name == ".tallycnv-manifest") {
                    continue; // it holds the sources' times, new in every run
                }
                r.folder[name] = entry.is_regular_file() ? read_file(entry.path()) : "(a folder)";
            }
        }
        for (const std::string& report : config_.reports) {
            if (fs::exists(run_dir_ / report)) {
                r.reports[report] = read_file(run_dir_ / report);
            }
        }
        for (const std::string& side : config_.side_files) {
            r.side_files[side] = fs::exists(run_dir_ / side) ? read_file(run_dir_ / side) : "";
        }
        for (const auto& entry : fs::directory_iterator(run_dir_)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with(".") && name.find(".tmp.") != std::string::npos) {
                r.left_behind += name + " ";
            }
        }
        return r;
    }

  private:
    configuration config_;
    std::string folder_;
    std::map<std::string, std::string> earlier_;
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
            EXPECT_EQ(r.left_behind, "") << where;
            if (mode.retried || r.result.exit_code == 0) {
                EXPECT_EQ(r.result.exit_code, 0) << where << "\n" << r.result.err;
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
            EXPECT_EQ(r.result.exit_code, message->exit_code) << where << "\n" << r.result.err;
            // A report is replaced only whole: a run that ends with an error
            // leaves the earlier report as it was (or none), unless a read
            // error ended the report with what was read.
            bool written = false;
            for (const auto& [name, text] : r.reports) {
                if (!config.earlier.empty() && text == config.earlier) {
                    continue;
                }
                EXPECT_NE(message->exit_code, 3) << where << ": " << name << " changed by a failed write";
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

// The lines "SOURCE: Error : ..." of a batch's standard error, by source;
// lines of another form under "".
std::map<std::string, std::string> file_failures(const std::string& err) {
    std::map<std::string, std::string> failures;
    std::istringstream lines(err);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t colon = line.find(": Error : ");
        if (colon == std::string::npos) {
            failures[""] += line + "\n";
        } else {
            failures[line.substr(0, colon)] = line.substr(colon + 2);
        }
    }
    return failures;
}

// The exit code of a file's failure in a batch, 0 for a message that is none of the documented ones.
int file_failure_code(const std::string& source, const std::string& message) {
    // The report's name and the system's reason (the seam fails a call with EIO or ENOSPC).
    if (message.starts_with("Error : Could not write to the output file ") &&
        (message.ends_with(std::string(".TXT: ") + std::strerror(EIO)) ||
         message.ends_with(std::string(".TXT: ") + std::strerror(ENOSPC)))) {
        return 3;
    }
    if (message == "Error : Could not read the input file") {
        return 2;
    }
    return message == "Error : File " + source + " does not exist" ? 1 : 0;
}

// The summary line that ends a batch's standard output, after the banner.
struct batch_summary {
    bool found = false;
    unsigned long formatted = 0, skipped = 0, failed = 0;
    std::string figures; // bytes in and out
};

batch_summary read_summary(const std::string& out, const std::string& banner) {
    batch_summary summary;
    const std::string line = out.starts_with(banner) ? out.substr(banner.size()) : "";
    int figures_at = 0;
    // "Files: 2 formatted, 0 skipped, 1 failed; 80.1 kB in, 1.2 MB out; 0.05 s"
    const std::size_t time_at = line.rfind("; ");
    if (std::sscanf(line.c_str(), "Files: %lu formatted, %lu skipped, %lu failed; %n", &summary.formatted,
                    &summary.skipped, &summary.failed, &figures_at) == 3 &&
        figures_at > 0 && time_at != std::string::npos && line.ends_with(" s\n")) {
        summary.found = true;
        summary.figures = line.substr(static_cast<std::size_t>(figures_at), time_at - figures_at);
    }
    return summary;
}

// How the files of a folder differ from those expected; empty when they do not.
std::string folder_difference(const std::map<std::string, std::string>& folder,
                              const std::map<std::string, std::string>& expected) {
    std::string text;
    for (const auto& [name, whole] : expected) {
        const std::string d = difference(folder, name, whole);
        text += d.empty() ? "" : d + "; ";
    }
    for (const auto& [name, data] : folder) {
        text += expected.contains(name) ? "" : name + " left behind; ";
    }
    return text;
}

// Runs a batch under every fault at every call, kind by kind; returns what
// was seen, as "KIND: FAILURE" (the kind of the call made to fail).
std::set<std::string> run_batch_under_faults(const batch_configuration& config) {
    fault_runner runner(config);
    const seam_run clean = runner.run("", 0, "");
    const std::map<std::string, std::string> clean_failures = file_failures(clean.result.err);
    EXPECT_FALSE(clean_failures.contains("")) << clean.result.err;
    if (clean.counts.empty()) {
        ADD_FAILURE() << "the seam " TALLYCNV_FAULT_SEAM " counted nothing";
        return {};
    }
    EXPECT_EQ(clean.counts.at("fopen"), 0) << "a file opened as a C stream escapes the seam";
    const std::string banner = clean.result.out.substr(0, clean.result.out.find("Files: "));
    const batch_summary clean_summary = read_summary(clean.result.out, banner);
    EXPECT_TRUE(clean_summary.found) << clean.result.out;
    // The folder after a run in which `failures` failed: the clean run's
    // reports of the others, the earlier reports of those.
    const auto expected_folder = [&](const std::map<std::string, std::string>& failures) {
        std::map<std::string, std::string> folder = config.earlier;
        for (const auto& [source, report] : config.sources) {
            const auto whole = clean.folder.find(report);
            if (!failures.contains(source) && whole != clean.folder.end()) {
                folder[report] = whole->second;
            }
        }
        return folder;
    };
    EXPECT_EQ(clean.folder.size(), expected_folder(clean_failures).size())
        << "a clean run writes every report";
    const std::map<std::string, int> batch_messages = {
        {"\nError : Could not read the language file " + language_file() + "\n", 2},
        {"\nError : Could not create the output folder " + config.folder + ": " + std::strerror(EIO) + "\n",
         3},
        {"\nError : Could not create the output folder " + config.folder + ": " + std::strerror(ENOSPC) +
             "\n",
         3},
    };
    const char* const failure_names[] = {"", "open source", "read", "write"};

    std::set<std::string> seen;
    int runs = 0;
    for (const fault_mode& mode : fault_modes) {
        std::istringstream kinds(mode.calls);
        std::string kind;
        while (std::getline(kinds, kind, ',')) {
            for (long at = 1; at <= calls_of(clean.counts, kind); ++at, ++runs) {
                const std::string where = std::string(mode.name) + " at " + kind + " " + std::to_string(at);
                const seam_run r = runner.run(kind, at, mode.name);
                if (r.result.exit_code >= 128) {
                    ADD_FAILURE() << where << ": ended by a signal\n" << r.result.err;
                    continue;
                }
                EXPECT_EQ(r.counts.at("faulted"), at) << where << ": the fault was not made";
                std::map<std::string, std::string> failures = file_failures(r.result.err);
                const batch_summary summary = read_summary(r.result.out, banner);
                if (mode.retried) {
                    EXPECT_EQ(r.result.exit_code, clean.result.exit_code) << where;
                    EXPECT_EQ(r.result.err, clean.result.err) << where;
                    EXPECT_EQ(folder_difference(r.folder, clean.folder), "") << where;
                    EXPECT_EQ(summary.figures, clean_summary.figures) << where << "\n" << r.result.out;
                    continue;
                }
                // Only a source's close may fail unnoticed (the source has been
                // read), and the removal of a failed report's temporary file,
                // which stays, under its own name.
                std::map<std::string, std::string> folder = r.folder;
                if (kind == "unlink") {
                    const auto left = std::find_if(folder.begin(), folder.end(), [](const auto& file) {
                        return file.first.starts_with(".") && file.first.find(".tmp.") != std::string::npos;
                    });
                    if (left != folder.end() && r.result.err == clean.result.err) {
                        folder.erase(left);
                        seen.insert("unlink: temporary file left");
                    }
                } else if (kind != "close") {
                    EXPECT_NE(failures, clean_failures) << where << ": the failure went unnoticed";
                }
                // The manifest could not be written: the reports stay, --update makes them again.
                bool manifest_failed = false;
                const auto general = failures.find("");
                if (general != failures.end() &&
                    general->second ==
                        "Error : Could not write the manifest " + config.folder + "/.tallycnv-manifest: " +
                            std::strerror(std::string(mode.name) == "eio" ? EIO : ENOSPC) + "\n") {
                    failures.erase(general);
                    manifest_failed = true;
                    seen.insert(r.faulted_kind + ": manifest");
                }
                if (failures.contains("")) {
                    // The batch could not start: nothing is written.
                    const auto failure = batch_messages.find(r.result.err);
                    if (failure == batch_messages.end()) {
                        ADD_FAILURE()
                            << where << ": exit " << r.result.exit_code << ", message " << r.result.err;
                        continue;
                    }
                    EXPECT_EQ(r.result.exit_code, failure->second) << where;
                    EXPECT_EQ(r.result.out, banner) << where;
                    EXPECT_EQ(folder_difference(r.folder, config.earlier), "") << where;
                    seen.insert(r.faulted_kind + ": " +
                                (failure->second == 2 ? "language file" : "output folder"));
                    continue;
                }
                int worst = manifest_failed ? 3 : 0;
                for (const auto& [source, message] : failures) {
                    int code = file_failure_code(source, message);
                    const auto before = clean_failures.find(source);
                    if (before != clean_failures.end() && before->second == message) {
                        code = std::max(code, clean.result.exit_code); // the bad file fails as it did
                    } else if (code == 0) {
                        ADD_FAILURE() << where << ": " << source << ": " << message;
                    } else {
                        seen.insert(r.faulted_kind + ": " + failure_names[code]);
                    }
                    worst = std::max(worst, code);
                }
                EXPECT_EQ(r.result.exit_code, worst) << where << "\n" << r.result.err;
                EXPECT_EQ(folder_difference(folder, expected_folder(failures)), "") << where << "\n"
                                                                                    << r.result.err;
                EXPECT_TRUE(summary.found) << where << "\n" << r.result.out;
                EXPECT_EQ(summary.failed, failures.size()) << where << "\n" << r.result.out;
                EXPECT_EQ(summary.formatted + summary.failed, config.sources.size()) << where << "\n"
                                                                                     << r.result.out;
                EXPECT_EQ(summary.skipped, 0u) << where << "\n" << r.result.out;
                if (failures == clean_failures) {
                    EXPECT_EQ(summary.figures, clean_summary.figures) << where << "\n" << r.result.out;
                }
            }
        }
    }
    std::string counted;
    for (const auto& [kind, n] : clean.counts) {
        counted += " " + kind + " " + std::to_string(n);
    }
    std::printf("calls of a clean batch:%s; %d runs under faults\n", counted.c_str(), runs);
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

// A report is replaced only whole: a write that fails (a full disk mid-report
// included) leaves the earlier report, or none.
const std::set<std::string> every_failure = {
    "open source",
    "language file",
    "read",                             // the header
    "read, part of the report written", // mid-file: the report ends with what was read
    "write",                            // the report cannot be created, written, synced, closed or renamed
};

TEST(IoFaults, VehicleListingToANamedFile) {
    const std::set<std::string> seen = run_under_faults({{"VBV.DAT", "OUT.TXT", "^", "-fV1"},
                                                         {{"VBV.DAT", vehicle_file(4000)}},
                                                         {"OUT.TXT"},
                                                         {},
                                                         "the report of an earlier run\n"});
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

// What a batch meets, by the kind of the call that fails. A report's temporary
// file fails to be created, written, synced, closed or renamed alike: the file
// fails as a write, and the rest of the batch goes on.
const std::set<std::string> batch_outcomes = {
    "open: language file", "read: language file", "open: open source", "read: read",       "open: write",
    "write: write",        "fsync: write",        "close: write",      "rename: write",    "open: manifest",
    "write: manifest",     "fsync: manifest",     "close: manifest",   "rename: manifest",
};

// A bad file, a vehicle file and an interval file into a folder that holds
// earlier reports of the bad file and of the interval file.
TEST(IoFaults, BatchIntoAFolderWithEarlierReports) {
    const batch_configuration config{
        {"--output-dir=out", "--jobs=1", "BAD.DAT", "VBV.DAT", "INT.DAT"},
        {{"BAD.DAT", bytes{0x4a, 0x55, 0x4e, 0x4b}},
         {"VBV.DAT", vehicle_file(2000)},
         {"INT.DAT", interval_file()}},
        {{"BAD.DAT", "BAD.TXT"}, {"VBV.DAT", "VBV.TXT"}, {"INT.DAT", "INT.TXT"}},
        "out",
        {{"BAD.TXT", "the report of an earlier run\n"}, {"INT.TXT", "the report of an earlier run\n"}}};
    EXPECT_EQ(run_batch_under_faults(config), batch_outcomes);
}

// A folder made for the batch, and its parent. The vehicle file refuses the
// interval layout once its report's temporary file is made: that file is
// removed, unless the removal itself fails.
TEST(IoFaults, BatchIntoANewFolder) {
    const batch_configuration config{{"--output-dir=new/out", "--jobs=1", "-fI2", "VBV.DAT", "INT.DAT"},
                                     {{"VBV.DAT", vehicle_file(100)}, {"INT.DAT", interval_file()}},
                                     {{"VBV.DAT", "VBV.TXT"}, {"INT.DAT", "INT.TXT"}},
                                     "new/out",
                                     {}};
    std::set<std::string> expected = batch_outcomes;
    expected.insert({"mkdir: output folder", "unlink: temporary file left"});
    EXPECT_EQ(run_batch_under_faults(config), expected);
}

} // namespace
} // namespace tallycnv::test
