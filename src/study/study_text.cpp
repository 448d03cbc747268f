// The study as a plain-text report of aligned tables, readable at 80 columns:
// the survey, then one section per statistic.
#include "study/study.h"
#include "study/study_sections.h"
#include "study/text_table.h"

namespace tallycnv {

void write_study_text(const run_context& ctx, const study& s) {
    report_sink& out = ctx.out;
    out.write("TRAFFIC STUDY\n");
    for (const study_section& section : study_sections(s)) {
        out.write("\n");
        out.write(section.title + "\n" + std::string(section.title.size(), '=') + "\n");
        for (const std::string& note : section.notes) {
            write_wrapped(out, note);
        }
        for (const text_table& table : section.tables) {
            out.write("\n");
            write_text_table(out, table);
        }
    }
}

} // namespace tallycnv
