// Event lines: one line per event raised by a sensor card, between the vehicle lines.
#include <array>
#include <cstdint>

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
    const bool csv = ctx.settings.print_format == 2;
    const unsigned input = event.input_number + 1U;
    const unsigned category = card_category(event.card_type);
    const unsigned code = event.event_code;
    const unsigned long data = event.event_data;
    const std::uint32_t a = event.value_a;
    const std::uint32_t b = event.value_b;
    if (category == 1) {
        // Loop cards: with event code 0 the second value is the difference of the two.
        const std::uint32_t second = code != 0 ? a : a - b;
        const std::uint32_t third = code != 0 ? b : 0;
        ctx.out.printf(csv ? "0,1,%02u,%01u,%01u,%08lu,00000,%06u,%06u,%06u\n"
                           : "0 1 %02u %01u %01u %08lu 00000 %06u %06u %06u\n",
                       input, category, code, data, a, second, third);
    } else {
        ctx.out.printf(csv ? "0,1,%02u,%01u,%01u,%08lu,%05u,%06u,000000,000000\n"
                           : "0 1 %02u %01u %01u %08lu %05u %06u 000000 000000\n",
                       input, category, code, data, b, a);
    }
}

} // namespace tallycnv
