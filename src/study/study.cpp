// Shared by the study writers: the text conversion and the choice of writer.
#include "study/study.h"

namespace tallycnv {

void write_study(const run_context& ctx, const study& s) {
    switch (ctx.settings.anl_format) {
    case anl_format_json:
        write_study_json(ctx, s);
        break;
    case anl_format_html:
        write_study_html(ctx, s);
        break;
    case anl_format_flags:
        write_study_flags(ctx, s);
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
