// Runs the interval data loop (everything after the header) over a file
// built from a header description and a block description.
#pragma once

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/language.h"
#include "app/settings.h"
#include "datafile/k479_defn.h"
#include "interval/interval_driver.h"
#include "report/report_sink.h"
#include "support/interval_builder.h"
#include "support/k479_builder.h"

namespace tallycnv::test {

struct interval_run {
    run_settings settings;
    language_texts lang;
    header_builder header;
    unsigned channel_size = 0;
    std::vector<unsigned> list_sizes;

    // Input 1 is a loop input unless the description says otherwise: an
    // instrument whose inputs are all unused or axle sensors counts axles.
    explicit interval_run(std::string_view description) {
        header.describe("card_type 1");
        header.describe(description);
    }

    [[nodiscard]] bytes file(std::string_view blocks) const {
        return build_interval_file(header, blocks, channel_size, list_sizes);
    }

    // The report the data loop writes after the header.
    [[nodiscard]] std::string data(std::string_view blocks) const {
        byte_stream input(file(blocks));
        k479_defn record{};
        read_header_block(input, record);
        report_sink out;
        interval_state st = publish_interval_state(record, settings);
        // Data lines take the date form and the site from the output record, as the driver sets it.
        run_settings effective = effective_settings(settings);
        effective.k479.date_format = record.date_format;
        std::memcpy(effective.k479.site, record.site, sizeof record.site);
        format_interval_data(run_context{effective, lang, out}, input, record, st);
        return out.text();
    }
};

// The lines of a report, without their line ends.
inline std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

} // namespace tallycnv::test
