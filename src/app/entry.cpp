#include "app/entry.h"

#include <cstdio>

#include "app/fatal.h"
#include "interval/output_file.h"

namespace tallycnv {

int run_program(int argc, char** argv) {
    run_settings settings;
    if (argc > 1) {
        settings.sfn = argv[1];
    }
    const language_texts lang = load_language(settings.lang_file);
    report_sink out(stdout);
    try {
        output_file(run_context{settings, lang, out});
    } catch (const fatal_error& error) {
        out.flush();
        std::fputs(error.message.c_str(), stderr);
        return error.exit_code;
    }
    return out.flush() ? 0 : 3;
}

} // namespace tallycnv
