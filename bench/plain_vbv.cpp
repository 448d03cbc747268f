// The straightforward formatter the benchmark measures the program against:
// the same records read by the same library, each field of a VBV-1 or VBV-2
// line written by its own fprintf (plain_lines.h). It writes the same bytes
// as the program (header and END record included).
//
//   plain_vbv SOURCE DESTINATION [options]     options as the program's (-fV1, -fv2, -M2, ...)
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/options.h"
#include "datafile/k479_defn.h"
#include "headers/vbv_header.h"
#include "io/byte_stream.h"
#include "plain_lines.h"
#include "run/language.h"
#include "support/tool_main.h"
#include "vbv/vbv_driver.h"

using namespace tallycnv;

int format(const std::string& self, const std::vector<std::string>& args);

int main(int argc, char** argv) {
    const tallycnv::test::tool_usage tool{
        "plain_vbv", "plain_vbv SOURCE DESTINATION [options]",
        "Formats a VBV file as VBV-1 or VBV-2 with one fprintf per field (options as the program's).", 2,
        static_cast<std::size_t>(-1)};
    const std::string self = argc > 0 ? argv[0] : "";
    return tallycnv::test::run_tool(
        tool, argc, argv, [&self](const std::vector<std::string>& args) { return format(self, args); });
}

int format(const std::string& self, const std::vector<std::string>& args) {
    // Options and language file as the program beside which this formatter is built.
    const std::string directory = self.find('/') == std::string::npos ? "." : self.substr(0, self.rfind('/'));
    run_settings settings = get_parameters(directory, args);
    std::optional<byte_stream> input = byte_stream::open(settings.sfn);
    std::FILE* out = std::fopen(settings.dfn.c_str(), "wb");
    if (!input || out == nullptr) {
        std::fputs("plain_vbv: cannot open the files\n", stderr);
        return 2;
    }
    k479_defn header{};
    read_header_block(*input, header);
    settings.k479.date_format = header.date_format;
    std::memcpy(settings.k479.site, header.site, sizeof header.site);
    const language_texts lang = load_language(settings.lang_file);
    long lines = 0;
    {
        report_sink head(fileno(out)); // before any byte of the C stream
        print_vbv_header(run_context{settings, lang, head}, header);
        head.flush();
        lines = head.line_count();
    }
    const plain::plain_run r = plain::plain_run_for(out, settings, header);
    zedirozed_state zedirozed;
    const vbv_record_sink sink{
        [&](const vehicle_info& v, unsigned) {
            plain::plain_vehicle_line(r, v);
            ++lines;
        },
        [&](const event_record& e) {
            plain::plain_event_line(r, e);
            ++lines;
        },
    };
    walk_vbv_data(*input, header, settings, zedirozed, sink);
    std::fprintf(out, settings.print_format == 2 ? "21,\"END\",%ld,\"FFFF\"\r\n" : "* END %ld FFFF\r\n",
                 lines + 1);
    return std::fclose(out) == 0 ? 0 : 1;
}
