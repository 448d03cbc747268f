// Shared by the study writers: the text conversion and the choice of writer.
#include "study/study.h"

namespace tallycnv {

std::string utf8_from_latin1(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

void write_study(const run_context& ctx, const study& s) {
    switch (ctx.settings.anl_format) {
    case anl_format_json:
        write_study_json(ctx, s);
        break;
    case anl_format_html:
        write_study_html(ctx, s);
        break;
    case anl_format_factors:
        write_study_factors(ctx, s);
        break;
    default:
        write_study_text(ctx, s);
        break;
    }
}

} // namespace tallycnv
