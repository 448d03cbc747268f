#include "run/language.h"

#include <cerrno>
#include <optional>

#include "io/fatal.h"
#include "io/file_io.h"
#include "io/text_lines.h"

namespace tallycnv {

namespace {

constexpr std::size_t line_buffer_size = 120;
constexpr std::size_t entry_count = 76;
// The most bytes the 76 line reads can take: every character a "\r\n" pair.
constexpr std::size_t most_bytes_read = entry_count * 2 * line_buffer_size;

// The stored text of one entry: the buffer's text up to its first NUL, less its
// last character (the line end of an ordinary line).
std::string entry_text(const std::string& buffer) {
    std::string text = buffer.substr(0, buffer.find('\0'));
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

} // namespace

// The file holds 76 lines: 48 sensor names, 13 operand names, 12 lines that are
// not used, the metric and imperial unit names and the alternative name of the
// SWED14 scheme. A read that finds nothing leaves the line buffer as it was, so
// a short file repeats its last line; without a file every name is "(ns)". A
// file that is there but fails to be read ends the run: its names would be
// silently wrong.
language_texts load_language(const std::string& lang_file) {
    language_texts texts;
    std::string buffer = "(ns) ";
    const std::optional<std::string> file = read_file_head(lang_file, most_bytes_read);
    if (!file && !is_absent(errno)) {
        fail(2, "\nError : Could not read the language file " + lang_file + "\n");
    }
    text_reader reader(file ? *file : std::string_view());
    auto next_entry = [&]() {
        if (file) {
            reader.read_line(buffer, line_buffer_size - 1);
        }
        return entry_text(buffer);
    };

    for (std::string& name : texts.sensor_names) {
        name = next_entry();
    }
    for (std::string& name : texts.spec_operands) {
        name = next_entry();
    }
    for (int unused = 0; unused < 12; ++unused) {
        next_entry();
    }
    for (std::string& name : texts.units_names) {
        name = next_entry();
    }
    // The SWED14 name stays empty unless its own line is read.
    buffer.clear();
    texts.swed14_name = next_entry();
    return texts;
}

} // namespace tallycnv
