#include "app/entry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <strings.h>
#include <vector>

#include "app/batch.h"
#include "app/combine.h"
#include "app/help.h"
#include "app/options.h"
#include "app/output_file.h"
#include "app/report_file.h"
#include "app/resource_files.h"
#include "io/fatal.h"
#include "io/file_io.h"

namespace tallycnv {

namespace {

int report_error(const fatal_error& error) {
    std::fflush(stdout);
    std::fputs(error.message.c_str(), stderr);
    return error.exit_code;
}

// A bare call or "/?" (any case) alone asks for the help, as does "--help"
// anywhere before "--"; "--version" anywhere for the banner line.
command_line_request requested(int argc, char** argv) {
    if (argc <= 1 || (argc == 2 && strcasecmp(argv[1], "/?") == 0)) {
        return command_line_request::help;
    }
    return requested_answer(std::vector<std::string>(argv + 1, argv + argc));
}

// The formats beyond the fixed-column listings are documents a program reads
// (a CSV table, a JSON document, a page): when one goes to standard output,
// the banner goes to standard error so that standard output holds only it.
bool document_on_stdout(const run_settings& settings) {
    if (!settings.dfn.empty() || !settings.batch.output_dir.empty()) {
        return false;
    }
    // Every format from the CSV export on (those added later included) is one.
    return settings.anl_format >= anl_format_csv;
}

// Replaces the process with a sibling converter found along the search path,
// handing it "/QUIET" and the collected arguments. Returns only on failure.
void hand_over(const char* converter, const std::vector<std::string>& collected) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(converter));
    argv.push_back(const_cast<char*>("/QUIET"));
    for (const std::string& arg : collected) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    std::fflush(stdout);
    // The converter gets the ordinary treatment of a closed pipe.
    std::signal(SIGPIPE, SIG_DFL);
    execvp(converter, argv.data());
    std::signal(SIGPIPE, SIG_IGN);
    fail(3, std::string("\nError : Could not find ") + converter + "\n");
}

// Source and destination must differ: by name, ignoring case, and as files (a
// link or another spelling of the source's path is the same file).
void check_distinct(const std::string& sfn, const std::string& dfn) {
    bool same = strcasecmp(sfn.c_str(), dfn.c_str()) == 0;
    struct stat source {};
    struct stat destination {};
    if (!same && stat(sfn.c_str(), &source) == 0 && stat(dfn.c_str(), &destination) == 0) {
        same = source.st_dev == destination.st_dev && source.st_ino == destination.st_ino;
    }
    if (same) {
        fail(1, "\nError : Source and destination files have the same name\n");
    }
}

// Closes the report file and returns the run's exit code. A close that fails
// (a network file system reports a failed write-back only then) leaves a file
// that holds the END record but may not hold the report: it is removed, so
// that it cannot pass for a complete report. Devices and pipes are not.
int close_destination(const std::string& dfn, int destination, int code) {
    if (destination < 0) {
        return code;
    }
    struct stat status {};
    const bool regular = ::fstat(destination, &status) == 0 && S_ISREG(status.st_mode);
    if (close_file(destination)) {
        return code;
    }
    if (regular) {
        remove_file(dfn);
    }
    if (code == 0) {
        std::fputs(write_failure_message, stderr);
        code = 3;
    }
    return code;
}

// Where a report named `dfn` is put whole: the file itself, or the file a
// symbolic link names (the link stays); empty when the destination is not a
// regular file (a FIFO, a terminal, /dev/stdout), which is written in place.
std::string replaced_path(const std::string& dfn) {
    struct stat status {};
    if (::lstat(dfn.c_str(), &status) != 0) {
        return errno == ENOENT ? dfn : std::string();
    }
    if (S_ISREG(status.st_mode)) {
        return dfn;
    }
    if (S_ISLNK(status.st_mode) && ::stat(dfn.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        std::unique_ptr<char, decltype(&std::free)> resolved(realpath(dfn.c_str(), nullptr), &std::free);
        return resolved ? std::string(resolved.get()) : std::string();
    }
    return {};
}

// The report of a single run into a named file. A regular file is replaced
// only whole, as a batch's reports are: the report is written to a hidden
// temporary file beside it, synced and renamed over it when the run ends with
// a report, which includes a data error that ends the report with what was
// read. A run that ends without one (refused before a byte was written, a
// write failure, an interrupting signal) removes the temporary file and leaves
// the earlier file as it was, or none. Where no temporary file can be made
// (a folder the user may write files in but not create them) and for other
// destinations, the report is written in place.
int write_named_report(const run_settings& settings, const language_texts& lang) {
    const std::string target = replaced_path(settings.dfn);
    temporary_files temporaries;
    report_file report(temporaries, target.empty() ? settings.dfn : target);
    std::optional<interrupt_cleanup> cleanup;
    if (!target.empty()) {
        cleanup.emplace(temporaries);
    }
    int in_place = -1;
    fatal_error outcome;
    unsigned long long delivered = 0;
    {
        report_sink out([&]() {
            const int fd = target.empty() ? -1 : report.try_create();
            if (fd >= 0) {
                return fd;
            }
            in_place = open_file(settings.dfn, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            if (in_place < 0) {
                fail(3, write_failure_message);
            }
            return in_place;
        });
        outcome = format_report(settings, lang, out, format_source);
        delivered = out.delivered();
    }
    const int code = outcome.exit_code == 0 && outcome.message.empty() ? 0 : report_error(outcome);
    if (in_place >= 0 || !report.created()) {
        return close_destination(settings.dfn, in_place, code);
    }
    if (code == 3 || (code != 0 && delivered == 0)) {
        report.discard();
        return code;
    }
    if (!report.commit() && (code == 0 || code == judged_exit_code)) {
        std::fputs(write_failure_message, stderr);
        return 3;
    }
    return code;
}

} // namespace

std::string program_directory(const std::string& own_path) {
    const std::size_t cut = own_path.find_last_of("/\\");
    if (cut != std::string::npos) {
        return own_path.substr(0, cut);
    }
    std::string executable = executable_directory();
    if (!executable.empty()) {
        return executable;
    }
    return ".";
}

int run_formatter(const run_settings& settings, const language_texts& lang, report_sink& out,
                  void (*driver)(const run_context&)) {
    const fatal_error outcome = format_report(settings, lang, out, driver);
    return outcome.exit_code == 0 && outcome.message.empty() ? 0 : report_error(outcome);
}

int run_program(int argc, char** argv) {
    // A closed pipe on the report becomes a write error rather than a silent end.
    std::signal(SIGPIPE, SIG_IGN);
    const std::string directory = program_directory(argc > 0 && argv[0] != nullptr ? argv[0] : "");

    const command_line_request answer = requested(argc, argv);
    if (answer == command_line_request::help) {
        display_program_title(version_number);
        display_help(directory);
        return 0;
    }
    if (answer == command_line_request::version) {
        display_banner_line(version_number);
        return 0;
    }

    try {
        const run_settings settings =
            get_parameters(directory, std::vector<std::string>(argv + 1, argv + argc));
        const bool batch = !settings.batch.output_dir.empty();
        const std::vector<batch_item> items =
            batch && !settings.year.combine ? plan_batch(settings) : std::vector<batch_item>();
        if (!settings.quiet_mode) {
            display_program_title(version_number, document_on_stdout(settings) ? stderr : stdout);
        }
        if (settings.kappa3_format) {
            hand_over("TALLYC1.EXE", settings.new_argv);
        } else if (settings.fhwa_format) {
            hand_over("TALLYUS.EXE", settings.new_argv);
        }

        const language_texts lang = load_language(settings.lang_file);
        if (settings.year.combine) {
            return run_combined(settings, lang);
        }
        if (batch) {
            return run_batch(settings, lang, items);
        }

        if (settings.dfn.empty()) {
            // The banner, still in the C stream's buffer, goes before the report.
            std::fflush(stdout);
            report_sink out(STDOUT_FILENO);
            return run_formatter(settings, lang, out, format_source);
        }
        check_distinct(settings.sfn, settings.dfn);
        return write_named_report(settings, lang);
    } catch (const fatal_error& error) {
        return report_error(error);
    }
}

} // namespace tallycnv
