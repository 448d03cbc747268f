#include "support/k479_builder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tallycnv::test {

namespace {

enum class kind { u8, u16, u32, f32, text };

struct field {
    const char* name;
    std::size_t offset;
    kind type;
    std::size_t count; // elements (text: bytes)
};

#define K479_FIELD(name, type, count)                                                                        \
    { #name, offsetof(k479_defn, name), kind::type, count }
#define BIN_FIELD(name, member, type, count)                                                                 \
    { #name, offsetof(k479_defn, binning) + offsetof(binning_parameters, member), kind::type, count }
#define FILTER_FIELDS(name)                                                                                  \
    {#name ".operand", offsetof(k479_defn, name) + offsetof(filter_info, operand), kind::u8, 1},             \
        {#name ".comparison", offsetof(k479_defn, name) + offsetof(filter_info, comparison), kind::u8, 1}, { \
#name ".value", offsetof(k479_defn, name) + offsetof(filter_info, value), kind::u16, 1               \
    }
#define BINS_FIELDS(name)                                                                                    \
    {#name ".threshold", offsetof(k479_defn, binning) + offsetof(binning_parameters, name), kind::u16, 15},  \
    {                                                                                                        \
#name ".count", offsetof(k479_defn, binning) + offsetof(binning_parameters, name) + 30, kind::u16, 1 \
    }

const field fields[] = {
    K479_FIELD(type, u8, 1),
    K479_FIELD(sect1_len, u16, 1),
    K479_FIELD(site, text, 20),
    K479_FIELD(location, text, 20),
    K479_FIELD(file_name, text, 9),
    K479_FIELD(serial_number, text, 17),
    {"rec_start_day", offsetof(k479_defn, start_rec) + 0, kind::u8, 1},
    {"rec_start_month", offsetof(k479_defn, start_rec) + 2, kind::u8, 1},
    {"rec_start_year", offsetof(k479_defn, start_rec) + 4, kind::u16, 1},
    {"rec_start_hour", offsetof(k479_defn, start_rec) + 6, kind::u8, 1},
    {"rec_start_minute", offsetof(k479_defn, start_rec) + 8, kind::u8, 1},
    {"rec_start_second", offsetof(k479_defn, start_rec) + 10, kind::u8, 1},
    {"rec_stop_day", offsetof(k479_defn, stop_rec) + 0, kind::u8, 1},
    {"rec_stop_month", offsetof(k479_defn, stop_rec) + 2, kind::u8, 1},
    {"rec_stop_year", offsetof(k479_defn, stop_rec) + 4, kind::u16, 1},
    {"rec_stop_hour", offsetof(k479_defn, stop_rec) + 6, kind::u8, 1},
    {"rec_stop_minute", offsetof(k479_defn, stop_rec) + 8, kind::u8, 1},
    {"rec_stop_second", offsetof(k479_defn, stop_rec) + 10, kind::u8, 1},
    K479_FIELD(start_sync, u8, 1),
    K479_FIELD(stop_sync, u8, 1),
    K479_FIELD(card_type, u16, 8),
    K479_FIELD(units, u8, 1),
    K479_FIELD(date_format, u8, 1),
    K479_FIELD(print_units, u8, 1),
    K479_FIELD(sensor_type, u16, 8),
    {"headings", offsetof(k479_defn, headings), kind::text,
     40}, // "headings" takes up to 8 blank-separated words
    K479_FIELD(grid_reference, text, 20),
    K479_FIELD(old_serial, text, 6),
    K479_FIELD(instrument_release, text, 10),
    BIN_FIELD(sect2_len, sect2_len, u16, 1),
    BIN_FIELD(no_chans, no_chans, u16, 1),
    BIN_FIELD(channel_assignment, channel_assignment, u16, 8),
    BIN_FIELD(class_scheme, class_scheme, u8, 1),
    BIN_FIELD(spec_count, spec_count, u8, 1),
    BIN_FIELD(operands, data_spec.operands, u16, 3),
    BIN_FIELD(operators, data_spec.operators, u16, 2),
    BINS_FIELDS(length_bins),
    BINS_FIELDS(speed_bins),
    BINS_FIELDS(weight_bins),
    BINS_FIELDS(axle_bins),
    BINS_FIELDS(time_bins),
    BIN_FIELD(num_classes, num_classes, u8, 1),
    BIN_FIELD(custom_scheme_name, custom_scheme_name, text, 42),
    K479_FIELD(sect3_len, u16, 1),
    K479_FIELD(interval, u16, 1),
    K479_FIELD(block_size, u16, 1),
    {"peak_interval", offsetof(k479_defn, peak), kind::u16, 1},
    {"peak_times", offsetof(k479_defn, peak) + 2, kind::u16, 12}, // hour minute pairs
    FILTER_FIELDS(vbv_filter),
    FILTER_FIELDS(interval_filter),
    FILTER_FIELDS(tte_filter),
    K479_FIELD(weight_autocal, u8, 1),
    K479_FIELD(autocal_count, u16, 1),
    K479_FIELD(autocal_weight, u16, 1),
    K479_FIELD(stream_param, u32, 1),
    K479_FIELD(sect4_len, u16, 1),
    K479_FIELD(battery, u8, 1),
    K479_FIELD(num_records, u32, 1),
    K479_FIELD(records_lost, u32, 1),
    K479_FIELD(next_veh_no, u32, 1),
    K479_FIELD(wrap_start, u32, 1),
    K479_FIELD(wrap_stop, u32, 1),
    K479_FIELD(data_end, u32, 1),
    K479_FIELD(wrapped, u8, 1),
    K479_FIELD(last_time, u32, 8),
    K479_FIELD(vbv_day, u16, 1),
    K479_FIELD(vbv_month, u16, 1),
    K479_FIELD(vbv_year, u16, 1),
    K479_FIELD(model, text, 10),
    K479_FIELD(sect5_len, u16, 1),
    K479_FIELD(weight_calibration, u16, 16),
    K479_FIELD(axle_factor, f32, 1),
    K479_FIELD(sect6_len, u16, 1),
    K479_FIELD(closed_ok, u8, 1),
};

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

// "2013-03-07 10:07:00" into a start or stop record.
void set_time(std::uint8_t* image, std::size_t offset, std::string_view text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    const std::string t(text);
    if (std::sscanf(t.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) < 5) {
        throw std::invalid_argument("bad date and time: " + t);
    }
    image[offset] = static_cast<std::uint8_t>(d);
    image[offset + 2] = static_cast<std::uint8_t>(mo);
    image[offset + 4] = static_cast<std::uint8_t>(y & 0xFF);
    image[offset + 5] = static_cast<std::uint8_t>(y >> 8);
    image[offset + 6] = static_cast<std::uint8_t>(h);
    image[offset + 8] = static_cast<std::uint8_t>(mi);
    image[offset + 10] = static_cast<std::uint8_t>(s);
}

// A text field's bytes: the text as written, `\xHH` standing for the byte HH
// (a damaged header, such as a site text holding a line feed).
std::string text_bytes(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i, 2) == "\\x" && i + 4 <= text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            bytes += static_cast<char>(std::stoi(std::string(text.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

} // namespace

long parse_number(const std::string& word) {
    std::size_t used = 0;
    const long value = std::stol(word, &used, 0);
    if (used != word.size()) {
        throw std::invalid_argument("not a number: " + word);
    }
    return value;
}

header_builder::header_builder() {
    record.binning.spec_count = 1;
    std::memcpy(record.instrument_release, "2.00", 4);
    std::memcpy(record.model, "479", 3);
    record.axle_factor = 2.0F;
}

header_builder& header_builder::describe(std::string_view description) {
    auto* image = reinterpret_cast<std::uint8_t*>(&record);
    std::istringstream lines{std::string(description)};
    std::string raw;
    while (std::getline(lines, raw)) {
        std::string_view line = trim(raw);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::size_t space = line.find_first_of(" \t");
        const std::string name(line.substr(0, space));
        const std::string_view rest = space == std::string_view::npos ? "" : trim(line.substr(space));
        if (name == "prefix") {
            g_prefix = true;
            continue;
        }
        if (name == "type" && rest.size() == 1) {
            image[0] = static_cast<std::uint8_t>(rest[0]);
            continue;
        }
        if (name == "data_offset") {
            data_offset = parse_number(std::string(rest));
            continue;
        }
        if (name == "start" || name == "stop") {
            set_time(image, name == "start" ? offsetof(k479_defn, start_rec) : offsetof(k479_defn, stop_rec),
                     rest);
            continue;
        }
        if (name.size() == 9 && name.rfind("sect", 0) == 0 && name.substr(5) == "_len") {
            const int s = name[4] - '1';
            if (s >= 0 && s < 6) {
                sect_len[s] = static_cast<std::uint32_t>(parse_number(std::string(rest)));
                continue;
            }
        }
        const field* found = nullptr;
        for (const field& f : fields) {
            if (name == f.name) {
                found = &f;
            }
        }
        if (found == nullptr) {
            throw std::invalid_argument("unknown header field: " + name);
        }
        if (found->type == kind::text) {
            std::memset(image + found->offset, 0, found->count);
            if (name == "headings") {
                std::istringstream words{std::string(rest)};
                std::string word;
                for (int i = 0; i < 8 && words >> word; ++i) {
                    const std::string heading = text_bytes(word);
                    std::copy_n(heading.data(), std::min<std::size_t>(heading.size(), 5),
                                image + found->offset + 5 * i);
                }
            } else {
                const std::string text = text_bytes(rest);
                std::copy_n(text.data(), std::min(text.size(), found->count), image + found->offset);
            }
            continue;
        }
        std::istringstream words{std::string(rest)};
        std::string word;
        std::size_t index = 0;
        while (words >> word) {
            if (index >= found->count) {
                throw std::invalid_argument("too many values for " + name);
            }
            if (found->type == kind::f32) {
                const float value = std::stof(word);
                std::memcpy(image + found->offset, &value, 4);
            } else {
                const long value = parse_number(word);
                const std::size_t width = found->type == kind::u8 ? 1 : found->type == kind::u16 ? 2 : 4;
                for (std::size_t b = 0; b < width; ++b) {
                    image[found->offset + index * width + b] = static_cast<std::uint8_t>(value >> (8 * b));
                }
            }
            ++index;
        }
    }
    return *this;
}

bytes header_builder::build() const {
    auto* image = reinterpret_cast<const std::uint8_t*>(&record);
    bytes out;
    if (g_prefix) {
        out.assign(128, 0);
        out[0] = 'G';
    }
    const std::size_t base = out.size();
    out.push_back(image[0]);
    std::size_t total = 3;
    for (std::uint32_t len : sect_len) {
        total += len;
    }
    const long offset = data_offset >= 0 ? data_offset : static_cast<long>(total);
    put_u16(out, static_cast<unsigned>(offset));
    for (int s = 0; s < 6; ++s) {
        const section_layout& layout = header_sections[s];
        const std::size_t start = out.size();
        for (std::size_t i = 0; i < sect_len[s]; ++i) {
            out.push_back(i < layout.cap ? image[layout.position + i] : 0);
        }
        // The section's length word always states the length written.
        if (sect_len[s] >= 1) {
            out[start] = static_cast<std::uint8_t>(sect_len[s] & 0xFF);
        }
        if (sect_len[s] >= 2) {
            out[start + 1] = static_cast<std::uint8_t>(sect_len[s] >> 8);
        }
    }
    out.resize(base + static_cast<std::size_t>(offset), 0);
    return out;
}

std::uint64_t header_builder::data_start() const {
    return build().size();
}

bytes build_header(std::string_view description) {
    return header_builder().describe(description).build();
}

void put_u16(bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void put_u32(bytes& out, std::uint32_t value) {
    for (int b = 0; b < 4; ++b) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
    }
}

void write_file(const std::string& path, const bytes& data) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    }
}

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

} // namespace tallycnv::test
