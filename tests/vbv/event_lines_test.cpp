#include <gtest/gtest.h>

#include <string>

#include "vbv/vehicle_lines.h"

namespace tallycnv {
namespace {

struct event_output {
    std::string text;
    long lines;
};

event_output print_event(int print_format, const event_record& event) {
    run_settings settings;
    settings.print_format = print_format;
    const language_texts lang;
    report_sink out;
    print_event_line(run_context{settings, lang, out}, event);
    return {out.text(), out.line_count()};
}

event_record loop_event(std::uint8_t code) {
    event_record e;
    e.card_type = 13; // 8 loop card
    e.input_number = 1;
    e.event_code = code;
    e.event_data = 1234;
    e.value_a = 500;
    e.value_b = 480;
    return e;
}

TEST(VbvEventLine, SpaceAndCommaForms) {
    struct event_case {
        event_record event;
        const char* spaced;
        const char* comma;
    };
    event_record piezo;
    piezo.card_type = 5;
    piezo.input_number = 0;
    piezo.event_code = 2;
    piezo.event_data = 7;
    piezo.value_a = 12;
    piezo.value_b = 34;
    event_record below = loop_event(0); // the difference wraps as an unsigned 32-bit number
    below.value_b = 501;
    event_record wide;
    wide.card_type = 15;
    wide.input_number = 31;
    wide.event_code = 7;
    wide.event_data = 4294967295U;
    wide.value_a = 65535;
    wide.value_b = 65535;
    const event_case cases[] = {
        {loop_event(0), "0 1 02 1 0 00001234 00000 000500 000020 000000",
         "0,1,02,1,0,00001234,00000,000500,000020,000000"},
        {loop_event(3), "0 1 02 1 3 00001234 00000 000500 000500 000480",
         "0,1,02,1,3,00001234,00000,000500,000500,000480"},
        {piezo, "0 1 01 4 2 00000007 00034 000012 000000 000000",
         "0,1,01,4,2,00000007,00034,000012,000000,000000"},
        {below, "0 1 02 1 0 00001234 00000 000500 4294967295 000000",
         "0,1,02,1,0,00001234,00000,000500,4294967295,000000"},
        {wide, "0 1 32 2 7 4294967295 65535 065535 000000 000000",
         "0,1,32,2,7,4294967295,65535,065535,000000,000000"},
    };
    for (const event_case& c : cases) {
        for (int format : {1, 3, 4, 5}) {
            const event_output spaced = print_event(format, c.event);
            EXPECT_EQ(spaced.text, std::string(c.spaced) + "\r\n") << format;
            EXPECT_EQ(spaced.lines, 1);
        }
        EXPECT_EQ(print_event(2, c.event).text, std::string(c.comma) + "\r\n");
    }
}

TEST(VbvEventLine, CardCategories) {
    // Category of each card type, and 0 beyond the table.
    const unsigned expected[] = {0, 0, 0, 0, 3, 4, 4, 0, 0, 0, 0, 0, 1, 1, 1, 2, 0, 0};
    const unsigned card_types[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 255};
    for (std::size_t i = 0; i < std::size(card_types); ++i) {
        event_record e;
        e.card_type = static_cast<std::uint8_t>(card_types[i]);
        e.value_a = 9;
        e.value_b = 4;
        const std::string text = print_event(1, e).text;
        EXPECT_EQ(text.substr(0, 11), "0 1 01 " + std::to_string(expected[i]) + " 0 ") << card_types[i];
        // Loop cards print the difference; the others value b then value a.
        EXPECT_EQ(text.substr(20),
                  expected[i] == 1 ? "00000 000009 000005 000000\r\n" : "00004 000009 000000 000000\r\n")
            << card_types[i];
    }
}

} // namespace
} // namespace tallycnv
