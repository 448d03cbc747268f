#include "study/html_text.h"

#include "study/study.h"

namespace tallycnv {

void write_escaped(report_sink& out, std::string_view utf8) {
    constexpr std::string_view replacement = "\xef\xbf\xbd"; // U+FFFD
    std::size_t plain = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        std::string_view reference;
        std::size_t size = 1;
        if (c == '&') {
            reference = "&amp;";
        } else if (c == '<') {
            reference = "&lt;";
        } else if (c == '>') {
            reference = "&gt;";
        } else if (c == '"') {
            reference = "&quot;";
        } else if (c == '\'') {
            reference = "&#39;";
        } else if (c < 0x20 || c == 0x7f) {
            reference = replacement;
        } else if (c == 0xc2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xa0) {
            reference = replacement; // U+0080 to U+009F
            size = 2;
        } else {
            continue;
        }
        out.write(utf8.substr(plain, i - plain));
        out.write(reference);
        i += size - 1;
        plain = i + 1;
    }
    out.write(utf8.substr(plain));
}

void write_file_text(report_sink& out, std::string_view latin1) {
    write_escaped(out, utf8_from_latin1(latin1));
}

} // namespace tallycnv
