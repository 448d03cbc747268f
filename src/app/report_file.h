// The reports of a batch run: each is written under a temporary name in its
// folder and renamed over its final name only once it is complete, flushed,
// synced and closed, so that a file under a report's name is always a whole
// report. Every file operation of a batch report is here, made with the
// system calls of io/file_io.h, each result checked.
#pragma once

#include <mutex>
#include <string>
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
    int create();

    // Syncs and closes the temporary file, then renames it over the
    // final name. False when any step fails or the batch was interrupted:
    // the temporary file is gone and the final name untouched.
    bool commit();

    // Closes and removes the temporary file (nothing when none was created).
    void discard();

    // Bytes of the committed report.
    [[nodiscard]] long long size() const { return size_; }

  private:
    void forget(const std::string& path);

    temporary_files& files_;
    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    long long size_ = 0;
};

} // namespace tallycnv
