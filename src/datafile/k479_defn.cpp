#include "datafile/k479_defn.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace tallycnv {

std::string_view field_text(const char* field, std::size_t width) {
    const void* nul = std::memchr(field, '\0', width);
    const std::size_t n =
        nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : width;
    return {field, n};
}

namespace {

// Copies a text into a fixed field, NUL-terminated, cut to fit.
void set_field(char* field, std::size_t width, std::string_view text) {
    std::memset(field, 0, width);
    std::memcpy(field, text.data(), std::min(text.size(), width - 1));
}

// Byte-wise comparison with letters folded to lower case, each side bounded by its field.
int compare_ignoring_case(std::string_view a, std::string_view b) {
    for (std::size_t i = 0;; ++i) {
        const int ca = i < a.size() ? std::tolower(static_cast<unsigned char>(a[i])) : 0;
        const int cb = i < b.size() ? std::tolower(static_cast<unsigned char>(b[i])) : 0;
        if (ca != cb || ca == 0) {
            return ca - cb;
        }
    }
}

} // namespace

k479_defn default_k479() {
    k479_defn record{};
    record.type = 'm';
    set_field(record.old_serial, sizeof record.old_serial, "00000");
    set_field(record.instrument_release, sizeof record.instrument_release, "1.70");
    set_field(record.model, sizeof record.model, "479");
    record.units = 0;
    record.print_units = 1;
    record.axle_factor = 2.0F;
    return record;
}

void read_header_block(byte_stream& input, k479_defn& record) {
    std::memset(&record, 0, sizeof record);
    set_field(record.old_serial, sizeof record.old_serial, "00000");
    set_field(record.instrument_release, sizeof record.instrument_release, "1.70");
    auto* image = reinterpret_cast<std::uint8_t*>(&record);

    input.seek(0);
    const std::uint64_t base = input.get() == 'G' ? 128 : 0;
    input.seek(base);
    const int type = input.get();
    image[0] = type == byte_stream::eof_value ? 0 : static_cast<std::uint8_t>(type);
    const std::uint16_t data_offset = input.read_u16();
    record.data_offset = data_offset;

    std::uint64_t section_start = base + 3;
    for (int s = 0; s < 6; ++s) {
        const section_layout& layout = header_sections[s];
        input.seek(section_start);
        const std::uint16_t length = input.read_u16();
        input.seek(section_start);
        input.read(image + layout.position, std::min<std::size_t>(length, layout.cap));
        if (s == 0 && compare_ignoring_case(field_text(record.instrument_release), "1.94") < 0) {
            set_field(record.serial_number, sizeof record.serial_number, field_text(record.old_serial));
        }
        section_start += length;
    }

    if (field_text(record.model).empty()) {
        set_field(record.model, sizeof record.model, "479");
    }
    if (field_text(record.serial_number).empty()) {
        set_field(record.serial_number, sizeof record.serial_number, field_text(record.old_serial));
    }
    DataSpecificationType& dspec = record.binning.data_spec;
    if (record.binning.spec_count == 0) {
        if (dspec.operands[2] != 0) {
            record.binning.spec_count = 3;
        } else if (dspec.operands[1] != 0 || dspec.operands[0] == 10) {
            record.binning.spec_count = 2;
        } else {
            record.binning.spec_count = 1;
        }
    }
    input.seek(base + data_offset);
}

std::uint64_t start_of_data(byte_stream& input) {
    // Like the stdio original, the repositioning clears an end-of-file condition.
    const std::uint64_t saved = input.tell();
    input.seek(0);
    const std::uint64_t base = input.get() == 'G' ? 128 : 0;
    input.seek(base + 1);
    const std::uint16_t data_offset = input.read_u16();
    input.seek(saved);
    return base + data_offset;
}

unsigned max_bins(unsigned operand, const k479_defn& record) {
    const binning_parameters& b = record.binning;
    switch (operand) {
    case 0:
        return 1;
    case 1:
        return b.speed_bins.count;
    case 2:
    case 3:
        return b.time_bins.count;
    case 4:
    case 11:
        return b.length_bins.count;
    case 5:
    case 6:
        return b.weight_bins.count;
    case 7:
        return b.num_classes;
    case 8:
        return b.axle_bins.count;
    case 9:
        return 2;
    case 10:
        return 3;
    case 12:
        return b.speed_bins.count + 2U;
    default:
        return 15;
    }
}

bool count_only_cfg(const DataSpecificationType& dspec) {
    return dspec.operands[0] == 0 && dspec.operands[1] == 0 && dspec.operands[2] == 0 &&
           dspec.operators[0] == 0 && dspec.operators[1] == 0;
}

std::array<std::uint16_t, 8> card_types(const k479_defn& record) {
    std::array<std::uint16_t, 8> types{};
    std::memcpy(types.data(), record.card_type, sizeof record.card_type);
    return types;
}

std::array<std::uint16_t, 8> sensor_types(const k479_defn& record) {
    std::array<std::uint16_t, 8> types{};
    std::memcpy(types.data(), record.sensor_type, sizeof record.sensor_type);
    return types;
}

bool is_axle_count(const std::array<std::uint16_t, 8>& card_type, int inputs) {
    for (int i = 0; i < inputs && i < 8; ++i) {
        if (card_type[i] != 0 && card_type[i] != 8 && card_type[i] != 9) {
            return false;
        }
    }
    return true;
}

int peak_period(unsigned minute, const peak_info& peak) {
    if (peak.peak_interval == 0) {
        return 0;
    }
    for (int p = 0; p < 3; ++p) {
        const unsigned start = peak.peak_times[2 * p].hour * 60U + peak.peak_times[2 * p].minute;
        const unsigned end = peak.peak_times[2 * p + 1].hour * 60U + peak.peak_times[2 * p + 1].minute;
        if (start < minute && minute <= end) {
            return 1;
        }
    }
    return 0;
}

int input_count(const k479_defn& record) {
    return std::memcmp(record.model, "318", 4) == 0 ? 2 : 8;
}

} // namespace tallycnv

namespace tallycnv {

int config_type(const k479_defn& record) {
    int type = 0;
    const std::array<std::uint16_t, 8> cards = card_types(record);
    const std::array<std::uint16_t, 8> sensors = sensor_types(record);
    for (int i = 0; i < 8; ++i) {
        if (sensors[i] >= 28 && sensors[i] <= 33) {
            type = 2;
        }
        if (cards[i] == 6 || cards[i] == 7 || cards[i] == 10 || (sensors[i] >= 22 && sensors[i] <= 27)) {
            type = std::max(type, 1);
        }
    }
    return type;
}

} // namespace tallycnv
