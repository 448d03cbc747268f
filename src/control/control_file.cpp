#include "control/control_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "io/file_io.h"

namespace tallycnv {

namespace {

// The record kept per site and file family: site text, start and stop of the
// recording, interval, card types and binning definition.
constexpr std::size_t record_size = 96;
using control_record = std::array<std::uint8_t, record_size>;

constexpr std::size_t site_at = 0;
constexpr std::size_t start_at = 20;
constexpr std::size_t stop_at = 34;
constexpr std::size_t interval_at = 48;
constexpr std::size_t cards_at = 52;
constexpr std::size_t spec_at = 84;
constexpr std::size_t spec_size = 10;

// The companion's field: a length byte and the verdict text, zero-filled.
constexpr off_t verdict_at = 558;
constexpr std::size_t verdict_size = 31;

void put_u32(control_record& record, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        record[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

control_record make_record(const k479_defn& header) {
    control_record record{};
    const std::string_view site = field_text(header.site);
    std::memcpy(record.data() + site_at, site.data(), site.size());
    std::memcpy(record.data() + start_at, &header.start_rec, sizeof header.start_rec);
    std::memcpy(record.data() + stop_at, &header.stop_rec, sizeof header.stop_rec);
    put_u32(record, interval_at, header.interval);
    const std::array<std::uint16_t, 8> cards = card_types(header);
    for (std::size_t i = 0; i < cards.size(); ++i) {
        put_u32(record, cards_at + 4 * i, cards[i]);
    }
    static_assert(sizeof header.binning.data_spec == spec_size);
    std::memcpy(record.data() + spec_at, &header.binning.data_spec, spec_size);
    return record;
}

bool same_bytes(const control_record& a, std::size_t a_at, const control_record& b, std::size_t b_at,
                std::size_t size) {
    return std::memcmp(a.data() + a_at, b.data() + b_at, size) == 0;
}

// The new file continues the previous one when it starts where the previous one
// stopped (day, month, year, hour and minute; seconds are not compared) and its
// interval, card types and binning definition are unchanged.
bool continues(const control_record& now, const control_record& before) {
    return now[start_at + 0] == before[stop_at + 0] && now[start_at + 2] == before[stop_at + 2] &&
           same_bytes(now, start_at + 4, before, stop_at + 4, 2) &&
           now[start_at + 6] == before[stop_at + 6] && now[start_at + 8] == before[stop_at + 8] &&
           same_bytes(now, interval_at, before, interval_at, 4) &&
           same_bytes(now, cards_at, before, cards_at, 32) &&
           same_bytes(now, spec_at, before, spec_at, spec_size);
}

// A site text names a file in the working directory only when it holds no path
// separator and is not a directory reference.
bool valid_site_name(std::string_view site) {
    return !site.empty() && site != "." && site != ".." &&
           site.find_first_of("/\\") == std::string_view::npos;
}

// Reads the previous record of the site, then stores the new one. True when a
// whole previous record was read. A failure only skips its step.
bool exchange_site_record(const std::string& path, const control_record& record, control_record& previous) {
    bool have_previous = false;
    const int old = open_file(path, O_RDONLY | O_CLOEXEC);
    if (old >= 0) {
        have_previous = read_full(old, previous.data(), previous.size()) == std::ssize(previous);
        close_file(old);
    }
    const int out = open_file(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out >= 0) {
        write_all(out, record.data(), record.size());
        close_file(out);
    }
    return have_previous;
}

// Writes the verdict field of an existing CONTROL.INF; nothing else of it changes.
void write_verdict(const std::string& path, bool continued) {
    const int control = open_file(path, O_RDWR | O_CLOEXEC);
    if (control < 0) {
        return;
    }
    std::array<std::uint8_t, verdict_size> field{};
    const char* verdict = continued ? "0" : "62";
    const std::size_t length = std::strlen(verdict);
    field[0] = static_cast<std::uint8_t>(length);
    std::memcpy(field.data() + 1, verdict, length);
    if (::lseek(control, verdict_at, SEEK_SET) == verdict_at) {
        write_all(control, field.data(), field.size());
    }
    close_file(control);
}

} // namespace

void update_quillon(const k479_defn& header, const std::string& directory) {
    const control_record record = make_record(header);
    const std::string_view site = field_text(header.site);
    bool continued = false;
    if (valid_site_name(site)) {
        const std::string path = directory + "/" + std::string(site) + (header.type == 'V' ? ".VBV" : ".INT");
        control_record previous{};
        continued = exchange_site_record(path, record, previous) && continues(record, previous);
    }
    write_verdict(directory + "/CONTROL.INF", continued);
}

void update_quillon(const k479_defn& header) {
    update_quillon(header, ".");
}

} // namespace tallycnv
