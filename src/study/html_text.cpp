#include "study/html_text.h"

namespace tallycnv {

std::string latin1_to_utf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 4);
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x20 || (c >= 0x7f && c < 0xa0)) {
            text += "\xef\xbf\xbd"; // U+FFFD
        } else if (c < 0x80) {
            text += byte;
        } else {
            text += static_cast<char>(0xc0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return text;
}

void write_escaped(report_sink& out, std::string_view utf8) {
    std::size_t plain = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char* reference = nullptr;
        switch (utf8[i]) {
        case '&': reference = "&amp;"; break;
        case '<': reference = "&lt;"; break;
        case '>': reference = "&gt;"; break;
        case '"': reference = "&quot;"; break;
        case '\'': reference = "&#39;"; break;
        default: continue;
        }
        out.write(utf8.substr(plain, i - plain));
        out.write(reference);
        plain = i + 1;
    }
    out.write(utf8.substr(plain));
}

void write_file_text(report_sink& out, std::string_view latin1) {
    write_escaped(out, latin1_to_utf8(latin1));
}

} // namespace tallycnv
