#include "support/vbv_builder.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace tallycnv::test {

namespace {

// The fields of any vehicle record; each format packs those it has.
struct vbv_fields {
    unsigned number = 0; // type 4 and stream
    unsigned time = 0;
    unsigned lane = 0;
    unsigned direction = 0;
    unsigned axles = 0;
    unsigned class_code = 0;
    unsigned speed = 0;
    unsigned gap = 0;
    unsigned headway = 0;
    unsigned overhang = 0;
    unsigned wheelbase = 0;
    unsigned gross = 0;
    unsigned chassis = 0; // packed formats and stream
    unsigned length = 0;  // stream only
    std::vector<unsigned> spacings;
    std::vector<unsigned> weights;
};

std::uint8_t low(unsigned value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

// The share bytes a record frames: exactly `count`, missing ones 0.
void put_shares(bytes& out, const std::vector<unsigned>& shares, unsigned count, const char* what) {
    if (shares.size() > count) {
        throw std::invalid_argument(std::string("more ") + what + " than the record frames");
    }
    for (unsigned i = 0; i < count; ++i) {
        out.push_back(i < shares.size() ? low(shares[i]) : 0);
    }
}

void put_axle_shares(bytes& out, const vbv_fields& f, bool weights_present) {
    put_shares(out, f.spacings, f.axles > 1 ? f.axles - 1 : 0, "spacings");
    put_shares(out, f.weights, weights_present ? f.axles : 0, "weights");
}

std::vector<unsigned> parse_list(const std::string& text) {
    std::vector<unsigned> values;
    std::istringstream parts(text);
    std::string part;
    while (std::getline(parts, part, ',')) {
        values.push_back(static_cast<unsigned>(parse_number(part)));
    }
    return values;
}

vbv_fields parse_fields(std::istringstream& words) {
    vbv_fields f;
    std::string word;
    while (words >> word) {
        const std::size_t eq = word.find('=');
        if (eq == std::string::npos) {
            throw std::invalid_argument("expected name=value: " + word);
        }
        const std::string name = word.substr(0, eq);
        const std::string value = word.substr(eq + 1);
        if (name == "spacings") {
            f.spacings = parse_list(value);
            continue;
        }
        if (name == "weights") {
            f.weights = parse_list(value);
            continue;
        }
        const auto number = static_cast<unsigned>(parse_number(value));
        if (name == "number") {
            f.number = number;
        } else if (name == "time") {
            f.time = number;
        } else if (name == "lane") {
            f.lane = number;
        } else if (name == "dir" || name == "direction") {
            f.direction = number;
        } else if (name == "axles") {
            f.axles = number;
        } else if (name == "class") {
            f.class_code = number;
        } else if (name == "speed") {
            f.speed = number;
        } else if (name == "gap") {
            f.gap = number;
        } else if (name == "headway") {
            f.headway = number;
        } else if (name == "overhang") {
            f.overhang = number;
        } else if (name == "wheelbase") {
            f.wheelbase = number;
        } else if (name == "gross") {
            f.gross = number;
        } else if (name == "chassis") {
            f.chassis = number;
        } else if (name == "length") {
            f.length = number;
        } else {
            throw std::invalid_argument("unknown vehicle field: " + name);
        }
    }
    return f;
}

void append(bytes& out, const bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

// Class code with overhang bits 0-2, then overhang bits 3-9 with the direction:
// the same two bytes in formats 4, 6 and 7.
void put_class_overhang_direction(bytes& out, const vbv_fields& f) {
    out.push_back(low((f.class_code & 0x1F) | ((f.overhang & 0x07) << 5)));
    out.push_back(low(((f.overhang >> 3) & 0x7F) | ((f.direction & 1) << 7)));
}

// A 4-bit value with wheelbase bits 0-3, then wheelbase bits 4-11.
void put_nibble_and_wheelbase(bytes& out, unsigned nibble, const vbv_fields& f) {
    out.push_back(low((nibble & 0x0F) | ((f.wheelbase & 0x0F) << 4)));
    out.push_back(low(f.wheelbase >> 4));
}

bytes pack_base(const vbv_fields& f) {
    bytes out;
    out.push_back(1);
    out.push_back(low((f.axles & 0x0F) | ((f.lane & 0x07) << 4) | ((f.direction & 1) << 7)));
    out.push_back(low((f.class_code & 0x0F) | (((f.time >> 16) & 0x0F) << 4)));
    out.push_back(low(f.gap));
    out.push_back(low(((f.gap >> 8) & 0x0F) | ((f.headway & 0x0F) << 4)));
    out.push_back(low(f.headway >> 4));
    put_u16(out, f.time & 0xFFFF);
    out.push_back(low(f.speed));
    out.push_back(low(f.overhang));
    put_u16(out, f.gross);
    put_u16(out, f.wheelbase);
    put_axle_shares(out, f, f.axles > 0);
    return out;
}

bytes pack_type4(const vbv_fields& f) {
    bytes out;
    out.push_back(low(4 | ((f.chassis & 0x07) << 5)));
    out.push_back(low((f.axles & 0x0F) | ((f.gap & 0x0F) << 4)));
    out.push_back(low(f.gap >> 4));
    put_u16(out, f.number);
    out.push_back(low((f.lane & 0x07) | ((f.headway & 0x0F) << 4)));
    out.push_back(low(f.headway >> 4));
    put_u16(out, f.time & 0xFFFF);
    out.push_back(low(f.speed));
    put_u16(out, f.gross);
    put_class_overhang_direction(out, f);
    put_nibble_and_wheelbase(out, f.time >> 16, f);
    put_axle_shares(out, f, f.axles > 0 && f.gross != 0);
    return out;
}

bytes pack_type6(const vbv_fields& f) {
    bytes out;
    out.push_back(low(6 | ((f.chassis & 0x07) << 5)));
    out.push_back(low((f.axles & 0x0F) | ((f.lane & 0x07) << 4)));
    put_u16(out, f.time & 0xFFFF);
    out.push_back(low(f.speed));
    put_u16(out, f.gross);
    put_class_overhang_direction(out, f);
    put_nibble_and_wheelbase(out, f.time >> 16, f);
    put_axle_shares(out, f, f.axles > 0 && f.gross != 0);
    return out;
}

bytes pack_type7(const vbv_fields& f) {
    bytes out;
    out.push_back(low(7 | ((f.chassis & 0x07) << 5)));
    out.push_back(low((f.axles & 0x0F) | ((f.lane & 0x07) << 4)));
    out.push_back(low(f.speed));
    put_u16(out, f.gross);
    put_class_overhang_direction(out, f);
    out.push_back(low(f.headway));
    put_nibble_and_wheelbase(out, f.headway >> 8, f);
    put_axle_shares(out, f, f.axles > 0 && f.gross != 0);
    return out;
}

bytes pack_type9(const vbv_fields& f) {
    bytes out;
    out.push_back(low(9 | ((f.chassis & 0x07) << 5)));
    out.push_back(low(f.time >> 16));
    put_u16(out, f.time & 0xFFFF);
    out.push_back(low(f.speed));
    out.push_back(low(((f.speed >> 8) & 0x0F) | ((f.lane & 0x07) << 4)));
    out.push_back(low(f.wheelbase));
    out.push_back(low(((f.wheelbase >> 8) & 0x0F) | ((f.axles & 0x0F) << 4)));
    out.push_back(low(f.overhang));
    out.push_back(low(((f.overhang >> 8) & 0x03) | ((f.class_code & 0x1F) << 2) | ((f.direction & 1) << 7)));
    put_u16(out, f.gross);
    put_axle_shares(out, f, f.axles > 0 && f.gross != 0);
    return out;
}

bytes pack_stream(const vbv_fields& f, std::uint32_t mask) {
    bytes out;
    out.push_back(8);
    if (mask & 0x1) {
        put_u16(out, f.number);
    }
    if (mask & 0x2) {
        put_u16(out, f.time & 0xFFFF);
        out.push_back(low(f.time >> 16));
    }
    if (mask & 0x4) {
        out.push_back(low(f.lane));
    }
    if (mask & 0x8) {
        out.push_back(low(f.direction));
    }
    if (mask & 0x10) {
        put_u16(out, f.headway);
    }
    if (mask & 0x20) {
        put_u16(out, f.gap);
    }
    if (mask & 0x40) {
        out.push_back(low(f.speed));
    }
    if (mask & 0x80) {
        put_u16(out, f.length);
    }
    if (mask & (0x100 | 0x2000 | 0x4000)) {
        out.push_back(low(f.axles));
    }
    if (mask & 0x200) {
        out.push_back(low(f.class_code));
    }
    if (mask & 0x400) {
        out.push_back(low(f.chassis));
    }
    if (mask & (0x800 | 0x2000)) {
        put_u16(out, f.wheelbase);
    }
    if (mask & (0x1000 | 0x4000)) {
        put_u16(out, f.gross);
    }
    const unsigned axles = f.axles & 0x0F;
    if ((mask & 0x2000) && f.wheelbase != 0 && axles >= 1) {
        put_shares(out, f.spacings, axles - 1, "spacings");
    }
    if ((mask & 0x4000) && f.gross != 0) {
        put_shares(out, f.weights, axles, "weights");
    }
    return out;
}

bytes pack_date(unsigned year, unsigned month, unsigned day) {
    bytes out{5};
    put_u16(out, year);
    out.push_back(low(month));
    out.push_back(low(day));
    return out;
}

bytes pack_event(unsigned card, unsigned input, unsigned code, std::uint32_t data, unsigned a, unsigned b) {
    bytes out{3, 0};
    put_u32(out, data);
    out.push_back(low(card));
    out.push_back(low((input & 0x1F) | ((code & 0x07) << 5)));
    put_u16(out, a);
    put_u16(out, b);
    return out;
}

bytes pack_skipped() {
    bytes out(53, 0xAA);
    out[0] = 2;
    return out;
}

} // namespace

bytes build_vbv_records(std::string_view description, std::uint32_t mask) {
    bytes out;
    std::istringstream lines{std::string(description)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string kind;
        if (!(words >> kind) || kind[0] == '#') {
            continue;
        }
        if (kind == "base") {
            append(out, pack_base(parse_fields(words)));
        } else if (kind == "type4") {
            append(out, pack_type4(parse_fields(words)));
        } else if (kind == "type6") {
            append(out, pack_type6(parse_fields(words)));
        } else if (kind == "type7") {
            append(out, pack_type7(parse_fields(words)));
        } else if (kind == "type9") {
            append(out, pack_type9(parse_fields(words)));
        } else if (kind == "stream") {
            append(out, pack_stream(parse_fields(words), mask));
        } else if (kind == "mask") {
            std::string value;
            words >> value;
            mask = static_cast<std::uint32_t>(parse_number(value));
        } else if (kind == "date") {
            unsigned year = 0, month = 0, day = 0;
            if (!(words >> year >> month >> day)) {
                throw std::invalid_argument("date needs year, month and day: " + line);
            }
            append(out, pack_date(year, month, day));
        } else if (kind == "event") {
            unsigned card = 0, input = 0, code = 0, a = 0, b = 0;
            std::uint32_t data = 0;
            std::string word;
            while (words >> word) {
                const std::size_t eq = word.find('=');
                const std::string name = word.substr(0, eq);
                const auto value = eq == std::string::npos ? 0 : parse_number(word.substr(eq + 1));
                if (name == "card") {
                    card = static_cast<unsigned>(value);
                } else if (name == "input") {
                    input = static_cast<unsigned>(value);
                } else if (name == "code") {
                    code = static_cast<unsigned>(value);
                } else if (name == "data") {
                    data = static_cast<std::uint32_t>(value);
                } else if (name == "a") {
                    a = static_cast<unsigned>(value);
                } else if (name == "b") {
                    b = static_cast<unsigned>(value);
                } else {
                    throw std::invalid_argument("unknown event field: " + name);
                }
            }
            append(out, pack_event(card, input, code, data, a, b));
        } else if (kind == "skip") {
            append(out, pack_skipped());
        } else if (kind == "cut") {
            std::size_t count = 0;
            words >> count;
            out.resize(out.size() - std::min(count, out.size()));
        } else if (kind == "raw") {
            std::string word;
            while (words >> word) {
                out.push_back(low(static_cast<unsigned>(std::stoul(word, nullptr, 16))));
            }
        } else {
            throw std::invalid_argument("unknown record kind: " + kind);
        }
    }
    return out;
}

bytes build_vbv_file(std::string_view header_description, const bytes& data) {
    header_builder header;
    header.describe("type V");
    header.describe(header_description);
    const std::uint64_t start = header.data_start();
    if (header.record.data_end == 0) {
        header.record.data_end = static_cast<std::uint32_t>(start + data.size());
    }
    bytes file = header.build();
    append(file, data);
    return file;
}

bytes build_wrapped_vbv_file(std::string_view header_description, const wrapped_area& area) {
    header_builder header;
    header.describe("type V");
    const std::uint64_t start = header.data_start();
    header.record.wrapped = 1;
    header.record.wrap_stop = static_cast<std::uint32_t>(start + area.newest.size());
    header.record.wrap_start = static_cast<std::uint32_t>(header.record.wrap_stop + area.overwritten.size());
    header.record.data_end = static_cast<std::uint32_t>(header.record.wrap_start + area.oldest.size());
    header.describe(header_description);
    if (header.data_start() != start) {
        throw std::invalid_argument("a wrapped layout cannot move the data area");
    }
    bytes file = header.build();
    append(file, area.newest);
    append(file, area.overwritten);
    append(file, area.oldest);
    append(file, area.beyond_end);
    return file;
}

} // namespace tallycnv::test
