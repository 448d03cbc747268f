#include "vbv/vbv_driver.h"

#include <algorithm>
#include <array>

#include "headers/vbv_header.h"
#include "io/fatal.h"
#include "vbv/vbv_records.h"
#include "vbv/vehicle_csv.h"
#include "vbv/vehicle_lines.h"

namespace tallycnv {

namespace {

// Record type codes: the low five bits of a record's first byte.
enum record_type : unsigned {
    type_base = 1,
    type_skipped = 2,
    type_event = 3,
    type_packed_4 = 4,
    type_date = 5,
    type_packed_6 = 6,
    type_packed_7 = 7,
    type_stream = 8,
    type_packed_9 = 9,
};

// Reads `count` axle shares and keeps the first ones that fit. A record may
// claim up to 15 axles: all its bytes are consumed so that the next record
// stays aligned. True when every byte was there.
template <std::size_t N> bool read_shares(byte_stream& input, unsigned count, std::uint8_t (&kept)[N]) {
    if (count == 0) {
        return true;
    }
    if (count <= N) {
        return input.read(kept, count) == count;
    }
    std::array<std::uint8_t, 15> all{};
    const std::size_t got = input.read(all.data(), count);
    std::copy_n(all.begin(), std::min<std::size_t>(count, N), kept);
    return got == count;
}

// Fixed part, spacing shares (n-1), weight shares (n, when present). The
// record is cleared first, so weights the file leaves out read as zero.
template <class Record, class Axles, class Weighed>
bool read_vehicle_record(byte_stream& input, Record& record, Axles axles_of, Weighed weighed) {
    record = Record{};
    bool whole = input.read(&record, Record::fixed_size) == Record::fixed_size;
    const unsigned axles = axles_of(record);
    whole = read_shares(input, axles > 1 ? axles - 1 : 0, record.axle_spacing) && whole;
    if (axles > 0 && weighed(record)) {
        whole = read_shares(input, axles, record.axle_weight) && whole;
    }
    return whole;
}

bool gross_weight_present(const std::uint8_t (&gross)[2]) {
    return gross[0] != 0 || gross[1] != 0;
}

event_record decode_event(const std::array<std::uint8_t, event_record_size>& raw) {
    event_record event;
    event.event_data = static_cast<std::uint32_t>(raw[2]) | (static_cast<std::uint32_t>(raw[3]) << 8) |
                       (static_cast<std::uint32_t>(raw[4]) << 16) |
                       (static_cast<std::uint32_t>(raw[5]) << 24);
    event.card_type = raw[6];
    event.input_number = static_cast<std::uint8_t>(raw[7] & 0x1F);
    event.event_code = static_cast<std::uint8_t>(raw[7] >> 5);
    event.value_a = static_cast<std::uint16_t>(raw[8] | (raw[9] << 8));
    event.value_b = static_cast<std::uint16_t>(raw[10] | (raw[11] << 8));
    return event;
}

// Everything one walk over a data area works with.
struct vbv_walk {
    byte_stream& input;
    const k479_defn& header;
    const vbv_record_sink& sink;
    zedirozed_scope zedirozed;
    vbv_reading_state state;
    date_record current_date;
    vehicle_info vehicle;
    stream_layout stream;

    // Reads the record at the read position and hands it on.
    void read_record(unsigned type);
};

void vbv_walk::read_record(unsigned type) {
    switch (type) {
    case type_base: {
        vbv_record record;
        if (read_vehicle_record(
                input, record, [](const vbv_record& r) { return r.axles_lane & 0x0Fu; },
                [](const vbv_record&) { return true; })) {
            expand_vbv(record, vehicle, state, zedirozed);
            sink.vehicle(vehicle, type);
        }
        break;
    }
    case type_skipped: {
        std::array<std::uint8_t, skipped_record_size> scratch{};
        input.read(scratch.data(), scratch.size());
        break;
    }
    case type_event: {
        std::array<std::uint8_t, event_record_size> raw{};
        if (input.read(raw.data(), raw.size()) == raw.size()) {
            sink.event(decode_event(raw));
        }
        break;
    }
    case type_packed_4: {
        vbv_record_4 record;
        if (read_vehicle_record(
                input, record, [](const vbv_record_4& r) { return r.axles_gap & 0x0Fu; },
                [](const vbv_record_4& r) { return gross_weight_present(r.gross_weight); })) {
            expand_vbv(record, current_date, vehicle, state);
            sink.vehicle(vehicle, type);
        }
        break;
    }
    case type_date: {
        std::array<std::uint8_t, date_record_size> raw{};
        if (input.read(raw.data(), raw.size()) == raw.size()) {
            current_date.year = static_cast<std::uint16_t>(raw[1] | (raw[2] << 8));
            current_date.month = static_cast<std::uint8_t>(raw[3] - 1); // the file counts months from 1
            current_date.day = raw[4];
        }
        break;
    }
    case type_packed_6: {
        vbv_record_6 record;
        if (read_vehicle_record(
                input, record, [](const vbv_record_6& r) { return r.axles_lane & 0x0Fu; },
                [](const vbv_record_6& r) { return gross_weight_present(r.gross_weight); })) {
            expand_vbv(record, current_date, vehicle, state);
            sink.vehicle(vehicle, type);
        }
        break;
    }
    case type_packed_7: {
        vbv_record_7 record;
        if (read_vehicle_record(
                input, record, [](const vbv_record_7& r) { return r.axles_lane & 0x0Fu; },
                [](const vbv_record_7& r) { return gross_weight_present(r.gross_weight); })) {
            expand_vbv(record, current_date, vehicle, state);
            sink.vehicle(vehicle, type);
        }
        break;
    }
    case type_stream:
        if (expand_vbv(input, current_date, vehicle, stream, state)) {
            sink.vehicle(vehicle, type);
        }
        break;
    case type_packed_9: {
        vbv_record_9 record;
        if (read_vehicle_record(
                input, record,
                [](const vbv_record_9& r) { return static_cast<unsigned>(r.wheelbase_axles >> 4); },
                [](const vbv_record_9& r) { return gross_weight_present(r.gross_weight); })) {
            expand_vbv(record, current_date, vehicle, state);
            sink.vehicle(vehicle, type);
        }
        break;
    }
    default:
        // Zero bytes where records should be: an instrument that stopped
        // without closing its file, or a damaged file.
        fail(2, header.closed_ok == 0 ? "\nError : Input file not closed correctly\n"
                                      : "\nError : Invalid or corrupt input file\n");
    }
}

} // namespace

vehicle_info walk_vbv_data(byte_stream& input, const k479_defn& header, const run_settings& settings,
                           zedirozed_state& zedirozed, const vbv_record_sink& sink) {
    vbv_walk walk{input, header, sink, zedirozed_scope{settings, zedirozed},
                  {},    {},     {},   make_stream_layout(header.stream_param)};
    vbv_reading_state& state = walk.state;

    bool first_record = true;
    state.next_veh_no = header.next_veh_no;
    state.vbv_dat = vbv_date{static_cast<std::uint8_t>(header.vbv_day & 0xFF),
                             static_cast<std::uint8_t>(header.vbv_month & 0xFF), header.vbv_year};
    walk.current_date = date_record{state.vbv_dat.year, state.vbv_dat.month, state.vbv_dat.day};

    // Per-lane history from the vehicles before this file.
    state.last_vehicle = 0;
    for (std::size_t lane = 0; lane < state.last_time.size(); ++lane) {
        const std::int32_t last = static_cast<std::int32_t>(header.last_time[lane]) % tenths_per_day;
        state.last_time[lane] = last;
        state.last_vehicle = std::max(state.last_vehicle, last);
    }

    state.ret_roll = header.wrapped != 0;
    state.roll_ofs = header.wrap_stop;
    state.num_recs = header.num_records;
    const std::uint64_t data_start = start_of_data(input);
    input.seek(data_start);
    // A closed file, or one that states its record count, ends after that many records.
    const bool count_binding = state.num_recs != 0 || header.closed_ok != 0;
    if (state.ret_roll) {
        input.seek(header.wrap_start); // the oldest record of the ring
        first_record = true;
    }
    if (input.eof() || (input.tell() == header.data_end && header.data_end != header.wrap_start)) {
        return walk.vehicle;
    }

    // After the wrap the ring is read once: up to the newest record, and never
    // into the oldest records again when the stop position lies beyond them.
    const std::uint64_t stop_after_wrap =
        state.ret_roll ? std::min<std::uint64_t>(state.roll_ofs, header.wrap_start) : state.roll_ofs;
    bool past_wrap = false;
    bool keep_reading = true;
    while (keep_reading) {
        if (state.num_recs == 0 && count_binding) {
            break;
        }
        walk.vehicle = vehicle_info{};
        const int first = input.peek();
        if (first != byte_stream::eof_value) {
            walk.read_record(static_cast<unsigned>(first) & 0x1F);
        }

        if (input.eof() || input.tell() == header.data_end) {
            if (!state.ret_roll || past_wrap) {
                keep_reading = false;
            } else {
                input.seek(data_start);
                past_wrap = true;
                keep_reading = data_start < stop_after_wrap;
            }
        } else if (state.ret_roll && !first_record) {
            if (past_wrap ? input.tell() >= stop_after_wrap : input.tell() == state.roll_ofs) {
                keep_reading = false;
            }
        }
        --state.num_recs;
        first_record = false;
    }
    return walk.vehicle;
}

void vbv_header_only(const run_context& ctx, const k479_defn& header) {
    if (ctx.settings.print_format == print_format_csv) {
        print_vehicle_csv_header(ctx, make_vehicle_csv(ctx.settings, header));
    } else {
        print_vbv_header(ctx, header);
    }
}

void output_vbv_file(const run_context& ctx, byte_stream& input, const k479_defn& header) {
    const run_settings& settings = ctx.settings;
    const int anl = settings.anl_format;
    if (anl == 1 || anl == 2 || anl == 3 || anl == 8) {
        fail(1, "\nError : Can't display a VBV file in an interval format\n");
    }

    zedirozed_state zedirozed; // counters and window cleared for this file
    if (settings.print_format == print_format_csv) {
        // The table: a header row and the vehicles; no event lines, no END record.
        const vehicle_csv table = make_vehicle_csv(settings, header);
        print_vehicle_csv_header(ctx, table);
        const vbv_record_sink sink{
            [&](const vehicle_info& vehicle, unsigned type) {
                print_vehicle_csv(ctx, table, vehicle, type, header.stream_param);
            },
            [](const event_record&) {},
        };
        walk_vbv_data(input, header, settings, zedirozed, sink);
        return;
    }
    vehicle_columns columns;
    print_vbv_header(ctx, header);

    const vbv_record_sink sink{
        [&](const vehicle_info& vehicle, unsigned) { print_osp(ctx, vehicle, header, zedirozed, columns); },
        [&](const event_record& event) { print_event_line(ctx, event); },
    };
    const vehicle_info last = walk_vbv_data(input, header, settings, zedirozed, sink);

    // A counting window still open at the end of the data is summarised now.
    if (settings.print_format == 5 && zedirozed.marpm == 1) {
        zedirozed.marp = true;
        print_osp(ctx, last, header, zedirozed, columns);
    }

    // The count includes the END line itself.
    const long lines = ctx.out.line_count() + 1;
    if (settings.print_format == 2) {
        ctx.out.printf("21,\"END\",%ld,\"FFFF\"\n", lines);
    } else {
        ctx.out.printf("* END %ld FFFF\n", lines);
    }
}

} // namespace tallycnv
