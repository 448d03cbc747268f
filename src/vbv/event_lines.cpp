// Event lines: one line per event raised by a sensor card, between the vehicle lines.
#include <array>
#include <cstdint>

#include "report/text_format.h"
#include "vbv/vehicle_lines.h"

namespace tallycnv {

namespace {

// Category of the card that raised an event: 1 loop cards, 2 the WIM card,
// 3 the axle WIM card, 4 the piezo cards, 0 every other card.
constexpr std::array<unsigned, 16> event_card_category = {0, 0, 0, 0, 3, 4, 4, 0, 0, 0, 0, 0, 1, 1, 1, 2};

unsigned card_category(unsigned card_type) {
    return card_type < event_card_category.size() ? event_card_category[card_type] : 0;
}

} // namespace

void print_event_line(const run_context& ctx, const event_record& event) {
    // Fields are separated by commas in the record-coded layout, by blanks in the others.
    const char sep = ctx.settings.print_format == 2 ? ',' : ' ';
    const unsigned category = card_category(event.card_type);
    const std::uint32_t a = event.value_a;
    const std::uint32_t b = event.value_b;
    char* p = ctx.out.reserve(96);
    // "0 1 %02u %01u %01u %08lu "
    p = put_char(put_char(put_char(put_char(p, '0'), sep), '1'), sep);
    p = put_char(put_int(p, event.input_number + 1U, 2, '0'), sep);
    p = put_char(put_int(p, category, 1, '0'), sep);
    p = put_char(put_int(p, static_cast<unsigned>(event.event_code), 1, '0'), sep);
    p = put_char(put_int(p, static_cast<unsigned long>(event.event_data), 8, '0'), sep);
    if (category == 1) {
        // Loop cards: "00000 %06u %06u %06u"; with event code 0 the second
        // value is the difference of the two, as an unsigned 32-bit number.
        const std::uint32_t second = event.event_code != 0 ? a : a - b;
        const std::uint32_t third = event.event_code != 0 ? b : 0;
        p = put_char(put_text(p, "00000"), sep);
        p = put_char(put_int(p, a, 6, '0'), sep);
        p = put_char(put_int(p, second, 6, '0'), sep);
        p = put_int(p, third, 6, '0');
    } else {
        // Other cards: "%05u %06u 000000 000000" of value b, then value a.
        p = put_char(put_int(p, b, 5, '0'), sep);
        p = put_char(put_int(p, a, 6, '0'), sep);
        p = put_char(put_text(p, "000000"), sep);
        p = put_text(p, "000000");
    }
    ctx.out.end_line(p);
}

} // namespace tallycnv
