#include "app/entry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

#include "app/batch.h"
#include "app/combine.h"
#include "app/help.h"
#include "app/options.h"
#include "app/output_file.h"
#include "io/fatal.h"
#include "io/file_io.h"

namespace tallycnv {

namespace {

int report_error(const fatal_error& error) {
    std::fflush(stdout);
    std::fputs(error.message.c_str(), stderr);
    return error.exit_code;
}

// A bare call, "/?" (any case) or "--help" alone asks for the help; "--version"
// alone for the banner line. With other arguments these words are options the
// parser refuses.
bool is_help_request(int argc, char** argv) {
    return argc <= 1 ||
           (argc == 2 && (strcasecmp(argv[1], "/?") == 0 || std::strcmp(argv[1], "--help") == 0));
}

bool is_version_request(int argc, char** argv) {
    return argc == 2 && std::strcmp(argv[1], "--version") == 0;
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

} // namespace

std::string program_directory(const std::string& own_path) {
    const std::size_t cut = own_path.find_last_of("/\\");
    if (cut != std::string::npos) {
        return own_path.substr(0, cut);
    }
    std::vector<char> exe(4096);
    const ssize_t n = readlink("/proc/self/exe", exe.data(), exe.size());
    if (n > 0 && static_cast<std::size_t>(n) < exe.size()) {
        const std::string path(exe.data(), static_cast<std::size_t>(n));
        const std::size_t slash = path.find_last_of('/');
        if (slash != std::string::npos) {
            return slash == 0 ? std::string("/") : path.substr(0, slash);
        }
    }
    return ".";
}

int run_formatter(const run_settings& settings, const language_texts& lang, report_sink& out,
                  void (*driver)(const run_context&)) {
    const fatal_error outcome = format_report(settings, lang, out, driver);
    return outcome.exit_code == 0 ? 0 : report_error(outcome);
}

int run_program(int argc, char** argv) {
    // A closed pipe on the report becomes a write error rather than a silent end.
    std::signal(SIGPIPE, SIG_IGN);
    const std::string directory = program_directory(argc > 0 && argv[0] != nullptr ? argv[0] : "");

    if (is_help_request(argc, argv)) {
        display_program_title(version_number);
        display_help(directory);
        return 0;
    }
    if (is_version_request(argc, argv)) {
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
            display_program_title(version_number);
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
        // The driver opens the destination once the source has shown itself to
        // be a data file; until then an existing file stays as it was.
        int destination = -1;
        int code = 0;
        {
            report_sink out([&]() {
                destination = open_file(settings.dfn, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
                if (destination < 0) {
                    fail(3, write_failure_message);
                }
                return destination;
            });
            code = run_formatter(settings, lang, out, format_source);
        }
        return close_destination(settings.dfn, destination, code);
    } catch (const fatal_error& error) {
        return report_error(error);
    }
}

} // namespace tallycnv
