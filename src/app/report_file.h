// The reports of a batch run: each is written under a temporary name in its
// folder and renamed over its final name only once it is complete, flushed,
// synced and closed, so that a file under a report's name is always a whole
// report. Every file operation of a batch report is here, made with the
// system calls of io/file_io.h, each result checked.
#pragma once

#include <csignal>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tallycnv {

// The temporary files of one batch, shared by its jobs, so that an
// interrupted batch can remove them all.
struct temporary_files {
    std::mutex lock;
    std::vector<std::string> paths; // created, not yet renamed or removed
    bool abandoned = false;         // the batch was interrupted: nothing is created or renamed any more
    unsigned long numbered = 0;     // temporary names made so far
};

// Removes every temporary file of the batch and stops the jobs from creating
// or renaming any other. Called once, when the batch is interrupted.
void abandon_reports(temporary_files& files);

// The signals that interrupt a run: SIGINT, SIGTERM and SIGHUP, unless the
// process was started with them ignored (a background job keeps ignoring Ctrl-C).
sigset_t interrupting_signals();

// Ends the process by `signal_number` as its default action would, so that the
// shell sees the signal (exit status 128 + the number).
[[noreturn]] void end_by_signal(int signal_number);

// While it lives, the interrupting signals of a single run remove its
// temporary files and then end the process by the signal, as the shell
// expects; a thread waits for them, the run's own thread has them blocked.
class interrupt_cleanup {
  public:
    explicit interrupt_cleanup(temporary_files& files);
    ~interrupt_cleanup();
    interrupt_cleanup(const interrupt_cleanup&) = delete;
    interrupt_cleanup& operator=(const interrupt_cleanup&) = delete;

  private:
    sigset_t previous_{};
    int signal_fd_ = -1;
    int stop_fd_ = -1;
    std::thread watcher_;
};

// The message of a report that could not be written, naming it and the
// system's reason: "Error : Could not write to the output file out/A.TXT: No
// space left on device".
std::string write_failure_reason(const std::string& path, int error);

// Creates DIR and its missing parents, as mkdir -p does; false when DIR is
// not a folder afterwards.
bool make_folder(const std::string& dir);

// One report of a batch, to be written to `path` (DIR/NAME).
class report_file {
  public:
    report_file(temporary_files& files, std::string path);
    ~report_file();
    report_file(const report_file&) = delete;
    report_file& operator=(const report_file&) = delete;

    // Creates the temporary file DIR/.NAME.tmp.PID.N and returns its
    // descriptor; raises the write failure (exit 3) when it cannot be created.
    // A file it will replace lends it its permissions.
    int create();
    // The same, returning -1 (errno set) when it cannot be created.
    int try_create();
    [[nodiscard]] bool created() const { return fd_ >= 0; }

    // Syncs and closes the temporary file, then renames it over the
    // final name. False when any step fails or the batch was interrupted:
    // the temporary file is gone and the final name untouched.
    bool commit();

    // Closes and removes the temporary file (nothing when none was created).
    void discard();

    // Bytes of the committed report.
    [[nodiscard]] long long size() const { return size_; }
    // The reason the last create or commit failed (an errno value).
    [[nodiscard]] int error() const { return error_; }
    [[nodiscard]] const std::string& path() const { return path_; }

  private:
    void forget(const std::string& path);

    temporary_files& files_;
    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    long long size_ = 0;
    int error_ = 0;
};

} // namespace tallycnv
