// Folder io/: the bottom layer: the input byte stream, the report sink and its formatters, and the fatal
// error that ends a run.
//
// The report destination. Every byte of a report passes through one sink:
// it buffers, ends each line with carriage return + line feed (stored
// reports and their readers rely on CR LF), counts the line ends it wrote
// and remembers write failures.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tallycnv {

// A text from the data file that line writers repeat on many lines (the site
// column, an export row's leading fields), made fit for the fast path once:
// each "\n" already "\r\n", with the number of line ends it holds, so a
// damaged header text holding a line feed is written and counted like any
// other report line end.
struct report_text {
    std::string bytes;
    long line_ends = 0;
};
report_text make_report_text(std::string_view text);

class report_sink {
  public:
    // Writes to an already open descriptor (standard output, or a file the
    // caller owns and closes).
    explicit report_sink(int fd);
    // Writes to a destination opened on demand: open() calls `open_destination`
    // once, which returns the descriptor (and raises its own failure).
    explicit report_sink(std::function<int()> open_destination);
    // Collects the report in memory (tests).
    report_sink();
    ~report_sink();
    report_sink(const report_sink&) = delete;
    report_sink& operator=(const report_sink&) = delete;

    // Headers and other cold paths: text in which "\n" becomes "\r\n".
    void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void write(std::string_view text);
    void put(char c);

    // Opens a destination that waits to be opened; nothing for any other sink.
    // A destination file is replaced only once the run knows it has a report
    // to write, so a run that fails before keeps what the file held. Until
    // then the report waits in the buffer.
    void open();

    // Fast path for line writers (vehicle, event, interval and export lines).
    // A writer asks for room for its longest line, formats straight into the
    // buffer and ends the line itself; nothing is allocated per line and no
    // later pass looks at the bytes:
    //
    //     char* p = out.reserve(max_line_size);  // room for the line and its "\r\n"
    //     p = put_text(p, "1,");                 // formatters: io/text_format.h
    //     out.end_line(p);                       // appends "\r\n", counts the line
    //
    // The room stays valid until the next call on the sink. The text written
    // into it must not hold "\n". `commit(p)` keeps the bytes up to p without
    // ending a line, for a line built across several reservations. Beyond
    // `size`, `slack` bytes are free for the scratch writes of the formatters.
    static constexpr std::size_t slack = 64;
    [[nodiscard]] char* reserve(std::size_t size) {
        if (capacity_ - used_ < size + slack) {
            make_room(size + slack);
        }
        return buffer_.get() + used_;
    }
    void commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }
    void end_line(char* end) {
        end[0] = '\r';
        end[1] = '\n';
        commit(end + 2);
        ++line_count_;
    }
    // Copies a prepared text into the room (which must hold its bytes) and
    // counts the line ends it holds; returns the end of the copy.
    char* put_lines(char* p, const report_text& text) {
        line_count_ += text.line_ends;
        return std::copy(text.bytes.begin(), text.bytes.end(), p);
    }

    // Number of line ends written so far.
    [[nodiscard]] long line_count() const { return line_count_; }

    // Pushes buffered bytes to the descriptor; false once any write has failed.
    bool flush();
    [[nodiscard]] bool failed() const { return failed_; }
    // The system's reason for the first failed write (an errno value).
    [[nodiscard]] int error() const { return error_; }
    // Bytes passed on to the destination so far.
    [[nodiscard]] unsigned long long delivered() const { return delivered_; }

    // The whole report when collecting in memory (line ends as CR LF).
    [[nodiscard]] const std::string& text();

    // A line for standard error once the report is whole (a study that judged
    // its data says where they were cut short or which days it left out), and
    // the exit code the run then ends with (0, or judged_exit_code with --strict).
    void set_notice(std::string line, int exit_code) {
        notice_ = std::move(line);
        notice_code_ = exit_code;
    }
    [[nodiscard]] const std::string& notice() const { return notice_; }
    [[nodiscard]] int notice_code() const { return notice_code_; }

  private:
    void make_room(std::size_t size);
    void drain();

    std::function<int()> open_destination_;
    int fd_ = -1; // -1: the report is collected in memory
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    std::string memory_;
    long line_count_ = 0;
    bool failed_ = false;
    int error_ = 0;
    unsigned long long delivered_ = 0;
    std::string notice_;
    int notice_code_ = 0;
};

// The exit code of a whole study with --strict whose data were cut short or broke a critical rule.
inline constexpr int judged_exit_code = 4;

} // namespace tallycnv
