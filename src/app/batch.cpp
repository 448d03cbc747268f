#include "app/batch.h"

#include <malloc.h>
#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <thread>

#include "app/options.h"
#include "app/output_file.h"
#include "app/report_file.h"
#include "io/fatal.h"

namespace tallycnv {

namespace {

using steady = std::chrono::steady_clock;

// The status line is redrawn at most this often.
constexpr std::chrono::milliseconds redraw_interval{250};

std::string upper_case(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// The cores this process may run on.
int usable_cores() {
    cpu_set_t cores;
    CPU_ZERO(&cores);
    if (sched_getaffinity(0, sizeof cores, &cores) == 0 && CPU_COUNT(&cores) > 0) {
        return CPU_COUNT(&cores);
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

// A size for people: bytes below 10 kB, else kB, MB or GB (powers of 1000).
std::string size_text(long long bytes) {
    if (bytes < 10000) {
        return std::to_string(bytes) + " bytes";
    }
    const char* units[] = {"kB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1000;
    int unit = 0;
    for (; value >= 1000 && unit < 3; ++unit) {
        value /= 1000;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

// Standard error, shared by the jobs' failure lines and the status line.
struct console {
    std::mutex lock;
    bool terminal = false;     // the status line is drawn
    bool status_shown = false; // the cursor stands at the end of the status line
    void clear_status() {
        if (status_shown) {
            std::fputs("\r\x1b[K", stderr);
            status_shown = false;
        }
    }
};

// A report formatted whole, waiting for the main thread to sync it and put
// it in place.
struct finished_report {
    std::unique_ptr<report_file> report;
    const batch_item* item;
};

// Reports waiting at most: a job that finds this many puts its own in place.
constexpr std::size_t max_waiting = 64;

// What the jobs of one batch share.
struct batch_state {
    batch_state(const run_settings& s, const language_texts& l) : settings(s), lang(l) {}
    const run_settings& settings;
    const language_texts& lang;
    std::vector<const batch_item*> work; // the sources to format, in the order given
    std::size_t skipped = 0;
    long long work_bytes = 0;
    temporary_files temporaries;
    console err;
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    std::atomic<std::size_t> failed{0};
    std::atomic<long long> bytes_in{0};
    std::atomic<long long> bytes_out{0};
    std::atomic<int> worst{0};
    std::atomic<bool> interrupted{false};
    std::atomic<int> finished_jobs{0};
    int wake_fd = -1; // the main thread's wake-up: a report waits, or a job has ended
    std::mutex waiting_lock;
    std::vector<finished_report> waiting; // in the order they were finished
    std::mutex made_lock;
    std::vector<std::pair<std::string, manifest_entry>> made; // reports put in place: name, what made them
};

// Records the reports put in place in the folder's manifest; the message of a failure, or empty.
std::string record_made(batch_state& state) {
    const std::lock_guard<std::mutex> hold(state.made_lock);
    return state.made.empty() ? std::string()
                              : record_in_manifest(state.settings.batch.output_dir, state.made);
}

void wake_main_thread(const batch_state& state) {
    const std::uint64_t one = 1;
    if (state.wake_fd >= 0 && ::write(state.wake_fd, &one, sizeof one) != sizeof one) {
        // The main thread looks again within a second.
    }
}

// The failure of one file, as one line on standard error prefixed by the
// source's name: "SITE9.DAT: Error : Invalid or corrupt input file".
void report_failure(batch_state& state, const std::string& source, const std::string& message) {
    std::string text = message.substr(std::min(message.find_first_not_of('\n'), message.size()));
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    std::replace(text.begin(), text.end(), '\n', ' ');
    const std::string line = source + ": " + text + "\n";
    const std::lock_guard<std::mutex> hold(state.err.lock);
    if (state.interrupted) {
        return;
    }
    state.err.clear_status();
    std::fputs(line.c_str(), stderr);
}

// Counts a file that failed and prints its error.
void count_failure(batch_state& state, const batch_item& item, const fatal_error& outcome) {
    ++state.failed;
    int worst = state.worst.load();
    while (worst < outcome.exit_code && !state.worst.compare_exchange_weak(worst, outcome.exit_code)) {
    }
    report_failure(state, item.source, outcome.message);
    state.bytes_in += item.size;
    ++state.done;
}

// Syncs a finished report, renames it over its final name and counts it.
void put_in_place(batch_state& state, finished_report& finished) {
    if (finished.report->commit()) {
        {
            const std::lock_guard<std::mutex> hold(state.made_lock);
            const std::string& path = finished.item->destination;
            state.made.emplace_back(path.substr(path.find_last_of('/') + 1), finished.item->made_by);
        }
        state.bytes_in += finished.item->size;
        state.bytes_out += finished.report->size();
        ++state.done;
    } else {
        count_failure(
            state, *finished.item,
            fatal_error{3, write_failure_reason(finished.item->destination, finished.report->error())});
    }
}

// Puts in place the reports waiting: syncing them one after the other, the
// file system writes most of them with the first, while the jobs format on.
void put_waiting_in_place(batch_state& state) {
    std::vector<finished_report> batch;
    {
        const std::lock_guard<std::mutex> hold(state.waiting_lock);
        batch.swap(state.waiting);
    }
    for (finished_report& finished : batch) {
        put_in_place(state, finished);
    }
}

void format_item(batch_state& state, run_settings& settings, const batch_item& item) {
    settings.sfn = item.source;
    auto report = std::make_unique<report_file>(state.temporaries, item.destination);
    fatal_error outcome;
    {
        // The temporary file is made once the source shows itself a data file.
        report_sink out([&report] { return report->create(); });
        outcome = format_report(settings, state.lang, out, format_source);
        if (outcome.exit_code == 3 && outcome.message == write_failure_message) {
            outcome.message = write_failure_reason(item.destination, out.error());
        }
    }
    if (outcome.exit_code != 0 && outcome.exit_code != judged_exit_code) {
        report->discard();
        count_failure(state, item, outcome);
        return;
    }
    // A whole study whose data were cut short or had days excluded: the report stays, its word is
    // said, and with --strict its exit code counts.
    int worst = state.worst.load();
    while (worst < outcome.exit_code && !state.worst.compare_exchange_weak(worst, outcome.exit_code)) {
    }
    if (!outcome.message.empty()) {
        const std::lock_guard<std::mutex> hold(state.err.lock);
        state.err.clear_status();
        std::fputs(outcome.message.c_str(), stderr);
    }
    finished_report finished{std::move(report), &item};
    bool queued = false;
    {
        const std::lock_guard<std::mutex> hold(state.waiting_lock);
        queued = state.waiting.size() < max_waiting;
        if (queued) {
            state.waiting.push_back(std::move(finished));
        }
    }
    if (queued) {
        wake_main_thread(state);
    } else {
        put_in_place(state, finished);
    }
}

// One job: formats the next source not yet taken until none is left, each
// with the job's own copy of the settings.
void run_job(batch_state& state) {
    run_settings settings = state.settings;
    settings.batch.sources.clear();
    settings.new_argv.clear();
    for (std::size_t i = state.next++; i < state.work.size() && !state.interrupted; i = state.next++) {
        format_item(state, settings, *state.work[i]);
    }
    ++state.finished_jobs;
    wake_main_thread(state);
}

std::string duration_text(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}

// "12 of 1000 files, 1 failed, 35.2 MB/s, 0:42 left", redrawn in place.
void draw_status(batch_state& state, steady::time_point started) {
    const std::size_t done = state.done;
    const std::size_t total = state.work.size();
    const long long bytes = state.bytes_in;
    const double elapsed = std::chrono::duration<double>(steady::now() - started).count();
    std::string left = "--:--";
    if (bytes > 0 && state.work_bytes > bytes) {
        left = duration_text(elapsed * static_cast<double>(state.work_bytes - bytes) /
                             static_cast<double>(bytes));
    } else if (done > 0) {
        left = duration_text(elapsed * static_cast<double>(total - done) / static_cast<double>(done));
    }
    char line[160];
    std::snprintf(line, sizeof line, "\r%zu of %zu files, %zu failed, %.1f MB/s, %s left\x1b[K", done, total,
                  state.failed.load(), elapsed > 0 ? static_cast<double>(bytes) / 1e6 / elapsed : 0.0,
                  left.c_str());
    const std::lock_guard<std::mutex> hold(state.err.lock);
    std::fputs(line, stderr);
    state.err.status_shown = true;
}

// SIGINT, SIGTERM or SIGHUP: the unfinished reports are removed, the batch says how
// far it got, and the process ends by the signal, as the shell expects
// (exit status 130 or 143; a script's loop stops as for any interrupted command).
[[noreturn]] void interrupt(batch_state& state, int signal_number) {
    state.interrupted = true;
    abandon_reports(state.temporaries);
    // The reports in place stay: --update carries on from them.
    record_made(state);
    state.err.lock.lock(); // held to the end: no job prints any more
    state.err.clear_status();
    const std::size_t failed = state.failed;
    const std::size_t done = state.done;
    std::fflush(stdout);
    std::fprintf(stderr,
                 "Interrupted: %zu formatted, %zu skipped, %zu failed, %zu not done; "
                 "unfinished reports removed\n",
                 done - failed, state.skipped, failed, state.work.size() - done);
    std::fflush(stderr);
    end_by_signal(signal_number);
}

// Runs the jobs and, on this thread, puts their reports in place, watches
// for signals and redraws the status line until every job has ended.
void run_jobs(batch_state& state, int jobs, steady::time_point started) {
    // Each file's buffers and tables (the column caches take megabytes) are
    // freed and made again by the next: kept by the allocator for reuse,
    // instead of mapped and faulted in again page by page for every file.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    const sigset_t signals = interrupting_signals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &signals, &previous); // the jobs' threads inherit the mask
    const int signal_fd = signalfd(-1, &signals, SFD_CLOEXEC);
    state.wake_fd = eventfd(0, EFD_CLOEXEC);

    std::vector<std::thread> threads;
    for (int i = 0; i < jobs; ++i) {
        try {
            threads.emplace_back(run_job, std::ref(state));
        } catch (const std::system_error&) {
            break; // fewer threads than asked: the ones made share the work
        }
    }
    if (threads.empty()) {
        run_job(state);
    }
    pollfd watched[2] = {{signal_fd, POLLIN, 0}, {state.wake_fd, POLLIN, 0}};
    auto drawn = started;
    const bool terminal = state.err.terminal;
    while (state.finished_jobs < static_cast<int>(threads.size())) {
        const int ready = poll(watched, 2, terminal ? static_cast<int>(redraw_interval.count()) : 1000);
        if (ready > 0 && (watched[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            if (::read(signal_fd, &info, sizeof info) == sizeof info) {
                interrupt(state, static_cast<int>(info.ssi_signo));
            }
        }
        if (ready > 0 && (watched[1].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            if (::read(state.wake_fd, &count, sizeof count) != sizeof count) {
                count = 0;
            }
        }
        put_waiting_in_place(state);
        if (terminal && steady::now() - drawn >= redraw_interval) {
            draw_status(state, started);
            drawn = steady::now();
        }
    }
    for (std::thread& t : threads) {
        t.join();
    }
    put_waiting_in_place(state);
    if (signal_fd >= 0) {
        ::close(signal_fd);
    }
    if (state.wake_fd >= 0) {
        ::close(state.wake_fd);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

} // namespace

const char* report_extension(const run_settings& settings) {
    switch (settings.anl_format) {
    case anl_format_csv:
        return ".csv";
    case anl_format_study:
        return ".study.txt";
    case anl_format_json:
        return ".json";
    case anl_format_html:
        return ".html";
    case anl_format_flags:
        return ".flags.csv";
    case anl_format_factors:
        return ".factors.csv";
    default:
        return ".TXT";
    }
}

std::string report_name(const std::string& source, const run_settings& settings) {
    const std::size_t slash = source.find_last_of("/\\");
    std::string name = source.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    name += report_extension(settings);
    if (settings.print_format == 4 && settings.anl_format == 4) {
        name = cordon_destination(name);
    }
    return name;
}

std::vector<batch_item> plan_batch(const run_settings& settings) {
    if (settings.kappa3_format || settings.fhwa_format) {
        fail(1,
             "\nError : The converter formats (-ff1, -fc2, -fc4, -fc7) cannot be used with --output-dir\n");
    }
    const std::string& dir = settings.batch.output_dir;
    const std::string folder = dir.ends_with('/') ? dir : dir + "/";
    const manifest made = settings.batch.update ? read_manifest(dir) : manifest();
    const std::string key = shaping_key(settings);
    std::vector<batch_item> items;
    std::map<std::string, std::size_t> by_name; // report names in upper case: the first source of each
    for (const std::string& source : settings.batch.sources) {
        const std::string name = report_name(source, settings);
        batch_item item{source, folder + name, 0, false, identity_of(source, key)};
        const auto [named, fresh] = by_name.emplace(upper_case(name), items.size());
        if (!fresh) {
            fail(1, "\nError : " + items[named->second].source + " and " + source +
                        " would both be written to " + item.destination + "\n");
        }
        struct stat from {};
        struct stat to {};
        if (::stat(source.c_str(), &from) == 0) {
            item.size = S_ISREG(from.st_mode) ? static_cast<long long>(from.st_size) : 0;
            if (::stat(item.destination.c_str(), &to) == 0) {
                if (from.st_dev == to.st_dev && from.st_ino == to.st_ino) {
                    fail(1, "\nError : " + source + " would be replaced by its own report\n");
                }
                const auto entry = made.find(name);
                item.skipped = S_ISREG(to.st_mode) && item.made_by.size >= 0 && entry != made.end() &&
                               entry->second == item.made_by;
            }
        }
        items.push_back(std::move(item));
    }
    return items;
}

int run_batch(const run_settings& settings, const language_texts& lang,
              const std::vector<batch_item>& items) {
    const steady::time_point started = steady::now();
    const std::string& dir = settings.batch.output_dir;
    if (!make_folder(dir)) {
        fail(3, "\nError : Could not create the output folder " + dir + ": " + std::strerror(errno) + "\n");
    }
    batch_state state{settings, lang};
    for (const batch_item& item : items) {
        if (item.skipped) {
            ++state.skipped;
        } else {
            state.work.push_back(&item);
            state.work_bytes += item.size;
        }
    }
    state.err.terminal = isatty(STDERR_FILENO) == 1;
    // In control-file mode the continuity verdict depends on the order of the
    // files: one after the other, as given.
    int jobs = settings.quillon_mode ? 1 : (settings.batch.jobs > 0 ? settings.batch.jobs : usable_cores());
    jobs = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(jobs), state.work.size()));
    if (jobs > 0) {
        run_jobs(state, jobs, started);
    }
    {
        const std::lock_guard<std::mutex> hold(state.err.lock);
        state.err.clear_status();
    }
    const std::string unrecorded = record_made(state);
    if (!unrecorded.empty()) {
        std::fputs((unrecorded + "\n").c_str(), stderr);
        state.worst = std::max(state.worst.load(), 3);
    }
    if (!settings.quiet_mode) {
        const double elapsed = std::chrono::duration<double>(steady::now() - started).count();
        std::printf("Files: %zu formatted, %zu skipped, %zu failed; %s in, %s out; %.2f s\n",
                    state.done - state.failed, state.skipped, state.failed.load(),
                    size_text(state.bytes_in).c_str(), size_text(state.bytes_out).c_str(), elapsed);
    }
    return state.worst;
}

} // namespace tallycnv
