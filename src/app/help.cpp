#include "app/help.h"

#include <termios.h>
#include <unistd.h>

#include <optional>

#include "app/resource_files.h"
#include "io/file_io.h"
#include "io/text_lines.h"

namespace tallycnv {

namespace {

constexpr int pieces_per_page = 20;
constexpr std::size_t piece_width = 80;
constexpr int escape_key = 27;
// More than the help text will ever hold.
constexpr std::size_t help_size_limit = std::size_t{1} << 20;

// One key from the terminal on standard input, without echo and without
// waiting for the Enter key; a negative value when nothing can be read.
int read_key_without_echo() {
    termios saved{};
    const bool raw = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (raw) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        quiet.c_cc[VMIN] = 1;
        quiet.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    unsigned char key = 0;
    const ssize_t got = read(STDIN_FILENO, &key, 1);
    if (raw) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    }
    return got == 1 ? key : -1;
}

} // namespace

void page_help(std::string_view help, std::FILE* out, const std::function<int()>& read_key) {
    text_reader reader(help);
    std::string piece;
    int shown = 0;
    while (reader.read_line(piece, piece_width)) {
        std::fwrite(piece.data(), 1, piece.size(), out);
        if (!read_key || ++shown < pieces_per_page) {
            continue;
        }
        shown = 0;
        std::fputs(" -- More -- ", out);
        std::fflush(out);
        const int key = read_key();
        std::fputs("\r            \r", out);
        if (key == escape_key || key < 0) {
            break;
        }
    }
    std::fflush(out);
}

void display_help(const std::string& program_directory) {
    const std::optional<std::string> help =
        read_file_head(resource_file(program_directory, "TALLYCNV.HLP"), help_size_limit);
    if (!help) {
        return;
    }
    const bool terminal = isatty(STDIN_FILENO) != 0 && isatty(STDOUT_FILENO) != 0;
    if (terminal) {
        page_help(*help, stdout, read_key_without_echo);
    } else {
        page_help(*help, stdout, nullptr);
    }
}

} // namespace tallycnv
