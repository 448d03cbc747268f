// The report destination. Every byte of a report passes through one sink:
// it buffers, turns each line end into carriage return + line feed (stored
// reports and their readers rely on CR LF), counts the line ends it wrote
// and remembers write failures.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace tallycnv {

class report_sink {
  public:
    // Writes to an already open stream (standard output, or a file the caller owns).
    explicit report_sink(std::FILE* stream);
    // Writes to a destination opened on demand: open() calls `open_destination`
    // once, which returns the stream (and raises its own failure).
    explicit report_sink(std::function<std::FILE*()> open_destination);
    // Collects the report in memory (tests).
    report_sink();
    ~report_sink();
    report_sink(const report_sink&) = delete;
    report_sink& operator=(const report_sink&) = delete;

    // printf into the report; "\n" in the result becomes "\r\n".
    void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void write(std::string_view text);
    void put(char c);

    // Opens a destination that waits to be opened; nothing for any other sink.
    // A destination file is replaced only once the run knows it has a report
    // to write, so a run that fails before keeps what the file held.
    void open();

    // Number of line ends written so far.
    [[nodiscard]] long line_count() const { return line_count_; }

    // Pushes buffered bytes to the stream; false once any write has failed.
    bool flush();
    [[nodiscard]] bool failed() const { return failed_; }

    // The whole report when collecting in memory (line ends as CR LF).
    [[nodiscard]] const std::string& text() const { return memory_; }

  private:
    void append_raw(const char* data, std::size_t size);

    std::function<std::FILE*()> open_destination_;
    std::FILE* stream_ = nullptr;
    std::string buffer_;
    std::string memory_;
    long line_count_ = 0;
    bool failed_ = false;
};

} // namespace tallycnv
