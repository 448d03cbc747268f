// What the header tests share: a language with recognisable names, settings,
// an in-memory report and a header built from a description.
#pragma once

#include <string>
#include <string_view>

#include "app/language.h"
#include "app/settings.h"
#include "report/report_sink.h"
#include "report/run_context.h"
#include "support/k479_builder.h"

namespace tallycnv::test {

inline language_texts header_language() {
    language_texts lang;
    for (std::size_t i = 0; i < lang.sensor_names.size(); ++i) {
        lang.sensor_names[i] = "S" + std::to_string(i);
    }
    const char* operands[13] = {"COUNT", "SPEED", "GAP", "HEADWAY", "LENGTH", "GROSS", "AXLEWT",
                                "CLASS", "AXLES", "DIR", "GAS",     "WBASE",  "SSPEED"};
    for (std::size_t i = 0; i < 13; ++i) {
        lang.spec_operands[i] = operands[i];
    }
    lang.units_names = {"METRIC", "IMPERIAL"};
    return lang;
}

inline k479_defn header_from(std::string_view description) {
    header_builder b;
    b.describe(description);
    return b.record;
}

// Report lines joined with the report's CR LF line ends.
inline std::string crlf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

// One report in memory with its own settings.
struct header_run {
    run_settings settings;
    language_texts lang = header_language();
    report_sink out;
    run_context ctx() { return run_context{settings, lang, out}; }
};

} // namespace tallycnv::test
