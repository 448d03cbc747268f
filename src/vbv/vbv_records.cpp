#include "vbv/vbv_records.h"

#include <algorithm>
#include <array>
#include <bit>

#include "datafile/calendar.h"
#include "vbv/zedirozed.h"

namespace tallycnv {

namespace {

// A drop or rise of more than 23 hours between two base-format vehicles is
// taken as a change of day.
constexpr std::int32_t rollover_tenths = 828000;
// Hundredths of a second in a day (format 9).
constexpr std::int64_t hundredths_per_day = 8640000;
// Headway and gap are reported up to 999.9 seconds.
constexpr std::uint16_t time_limit = 9999;

std::uint16_t u16_at(const std::uint8_t (&bytes)[2]) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

// Clock fields from tenths of a second since midnight.
void set_clock_tenths(vehicle_info& vehicle, std::uint32_t t) {
    vehicle.hour = static_cast<std::uint8_t>(t / 36000);
    vehicle.minute = static_cast<std::uint8_t>((t / 600) % 60);
    vehicle.second = static_cast<std::uint8_t>((t / 10) % 60);
    vehicle.millisecond = static_cast<std::uint16_t>((t % 10) * 100);
}

// Clock fields from hundredths of a second since midnight.
void set_clock_hundredths(vehicle_info& vehicle, std::uint32_t t) {
    vehicle.hour = static_cast<std::uint8_t>(t / 360000);
    vehicle.minute = static_cast<std::uint8_t>((t / 6000) % 60);
    vehicle.second = static_cast<std::uint8_t>((t / 100) % 60);
    vehicle.millisecond = static_cast<std::uint16_t>((t % 100) * 10);
}

void set_date(vehicle_info& vehicle, const date_record& date) {
    vehicle.year = date.year;
    vehicle.month = date.month;
    vehicle.day = date.day;
}

// Length and wheelbase from the overhang and the wheelbase field. A vehicle
// without axle detection records its length in the wheelbase field.
void set_length(vehicle_info& vehicle, unsigned overhang, unsigned wheelbase_field, unsigned axles) {
    if (overhang == 0 && axles == 0) {
        vehicle.length = static_cast<std::uint16_t>(wheelbase_field);
        vehicle.wheelbase = 0;
    } else if (overhang == 0) {
        vehicle.length = 0;
        vehicle.wheelbase = static_cast<std::uint16_t>(wheelbase_field);
    } else {
        vehicle.length = static_cast<std::uint16_t>(overhang + wheelbase_field);
        vehicle.wheelbase = static_cast<std::uint16_t>(wheelbase_field);
    }
}

// Spacings and weights of a fixed-format record.
template <class Record> void set_axle_shares(vehicle_info& vehicle, const Record& record, unsigned axles) {
    apportion_fixed(record.axle_weight, axles, vehicle.gross_weight, vehicle.axle_weight.data(), max_weights);
    apportion_fixed(record.axle_spacing, axles > 1 ? axles - 1 : 0, vehicle.wheelbase,
                    vehicle.axle_spacing.data(), max_spacings);
}

std::uint16_t limited(std::uint16_t value) {
    return value > time_limit ? time_limit : value;
}

// Gap of formats 6 and 7: the headway less the time the lane's previous
// vehicle needed to pass its own length, rounded to tenths.
std::uint16_t gap_rounded(std::uint16_t headway, std::uint32_t last_length, std::uint32_t last_speed) {
    if (last_speed == 0) {
        return headway;
    }
    return static_cast<std::uint16_t>(headway - ((last_length * 36) / last_speed + 50) / 100);
}

// Gap of format 9: the same passing time, truncated.
std::uint16_t gap_truncated(std::uint16_t headway, std::uint32_t last_length, std::uint32_t last_speed) {
    if (last_length == 0 || last_speed == 0) {
        return headway;
    }
    return static_cast<std::uint16_t>(headway - (last_length * 36) / (last_speed * 100));
}

// Gap of the stream form, when the record carries none.
std::uint16_t gap_stream(std::uint16_t headway, std::uint32_t last_length, std::uint32_t last_speed) {
    if (last_speed == 0 || last_length == 0 || headway == 0) {
        return headway;
    }
    return static_cast<std::uint16_t>(headway - ((last_length * 36) / last_speed + 50) / 100);
}

// Bytes of a stream-form record before its axle shares, at most.
constexpr std::size_t stream_head_max = 22;

void remember_lane(vbv_reading_state& state, unsigned lane, std::int32_t time, const vehicle_info& vehicle) {
    state.last_time[lane] = time;
    state.last_speed[lane] = vehicle.speed;
    state.last_length[lane] = vehicle.length;
}

} // namespace

void apportion_fixed(const std::uint8_t* shares, std::size_t entries, std::uint16_t total, std::uint16_t* out,
                     std::size_t capacity) {
    std::int32_t remainder = total;
    for (std::size_t i = 0; i < entries && i < capacity; ++i) {
        auto value = static_cast<std::uint16_t>((static_cast<std::uint32_t>(shares[i]) * total) / 255);
        if (i + 1 < entries) {
            remainder -= value;
        } else if (remainder > 0) {
            value = static_cast<std::uint16_t>(remainder);
        }
        out[i] = value;
    }
}

void apportion_stream(const std::uint8_t* shares, std::size_t entries, std::uint16_t total,
                      std::uint16_t* out, std::size_t capacity) {
    std::int32_t remainder = total;
    for (std::size_t i = 0; i < entries && i < capacity; ++i) {
        if (i + 1 < entries) {
            const auto value =
                static_cast<std::uint16_t>((static_cast<std::uint32_t>(total) * shares[i] + 128) / 255);
            remainder -= value;
            out[i] = value;
        } else {
            out[i] = static_cast<std::uint16_t>(remainder);
        }
    }
}

void expand_vbv(const vbv_record& record, vehicle_info& vehicle, vbv_reading_state& state,
                const zedirozed_scope& zedirozed) {
    vehicle = vehicle_info{};
    vehicle.vehicle_number = static_cast<std::uint16_t>(state.next_veh_no++);

    const auto t = static_cast<std::int32_t>(((record.class_time >> 4) << 16) | u16_at(record.time));
    set_clock_tenths(vehicle, static_cast<std::uint32_t>(t));
    const unsigned lane = (record.axles_lane >> 4) & 0x7;
    vehicle.lane = static_cast<std::uint8_t>(lane);

    // Day rollover of the running date against the latest base-format time.
    if (state.last_vehicle == 0) {
        if (!zedirozed.state.marpp) {
            zedirozed.state.marp = true;
        }
    } else if (t < state.last_vehicle && state.last_vehicle - t > rollover_tenths) {
        increment_date(state.vbv_dat.day, state.vbv_dat.month, state.vbv_dat.year);
    } else if (t > state.last_vehicle && t - state.last_vehicle > rollover_tenths) {
        decrement_date(state.vbv_dat.day, state.vbv_dat.month, state.vbv_dat.year);
    }
    vehicle.day = state.vbv_dat.day;
    vehicle.month = state.vbv_dat.month;
    vehicle.year = state.vbv_dat.year;
    state.last_vehicle = t % tenths_per_day;
    state.last_time[lane] = state.last_vehicle;

    vehicle.result_code = 0;
    vehicle.direction = static_cast<std::uint8_t>(record.axles_lane >> 7);
    vehicle.gap = static_cast<std::uint16_t>(record.gap_low | ((record.gap_headway & 0x0F) << 8));
    vehicle.headway = static_cast<std::uint16_t>((record.gap_headway >> 4) | (record.headway_high << 4));
    const unsigned axles = record.axles_lane & 0x0F;
    vehicle.axles = static_cast<std::uint8_t>(axles);
    vehicle.speed = record.speed;
    vehicle.gross_weight = u16_at(record.gross_weight);
    set_length(vehicle, record.overhang, u16_at(record.wheelbase), axles);
    set_axle_shares(vehicle, record, axles);
    vehicle.class_code = static_cast<std::uint8_t>(record.class_time & 0x0F);

    zedirozed_reclassify(zedirozed.settings, vehicle, zedirozed.state);
}

void expand_vbv(const vbv_record_4& record, const date_record& date, vehicle_info& vehicle,
                vbv_reading_state& /*state*/) {
    vehicle.vehicle_number = u16_at(record.vehicle_number);
    set_date(vehicle, date);
    const std::uint32_t t = ((record.time_wheelbase & 0x0Fu) << 16) | u16_at(record.time);
    set_clock_tenths(vehicle, t);
    vehicle.result_code = 0;
    vehicle.chassis_height = static_cast<std::uint8_t>(record.type >> 5);
    vehicle.lane = static_cast<std::uint8_t>(record.lane_headway & 0x07);
    vehicle.direction = static_cast<std::uint8_t>(record.overhang_dir >> 7);
    const unsigned axles = record.axles_gap & 0x0F;
    vehicle.axles = static_cast<std::uint8_t>(axles);
    vehicle.class_code = static_cast<std::uint8_t>(record.class_overhang & 0x1F);
    vehicle.speed = record.speed;
    const unsigned overhang = (record.class_overhang >> 5) | ((record.overhang_dir & 0x7F) << 3);
    const unsigned wheelbase = (record.time_wheelbase >> 4) | (record.wheelbase_high << 4);
    set_length(vehicle, overhang, wheelbase, axles);
    vehicle.headway = static_cast<std::uint16_t>((record.lane_headway >> 4) | (record.headway_high << 4));
    vehicle.gap = static_cast<std::uint16_t>((record.axles_gap >> 4) | (record.gap_high << 4));
    vehicle.gross_weight = u16_at(record.gross_weight);
    set_axle_shares(vehicle, record, axles);
}

void expand_vbv(const vbv_record_6& record, const date_record& date, vehicle_info& vehicle,
                vbv_reading_state& state) {
    vehicle.vehicle_number = static_cast<std::uint16_t>(state.next_veh_no++);
    set_date(vehicle, date);
    const std::uint32_t t = ((record.time_wheelbase & 0x0Fu) << 16) | u16_at(record.time);
    set_clock_tenths(vehicle, t);
    vehicle.result_code = 0;
    vehicle.chassis_height = static_cast<std::uint8_t>(record.type >> 5);
    const unsigned lane = (record.axles_lane >> 4) & 0x07;
    vehicle.lane = static_cast<std::uint8_t>(lane);
    vehicle.direction = static_cast<std::uint8_t>(record.overhang_dir >> 7);
    const unsigned axles = record.axles_lane & 0x0F;
    vehicle.axles = static_cast<std::uint8_t>(axles);
    vehicle.class_code = static_cast<std::uint8_t>(record.class_overhang & 0x1F);
    vehicle.speed = record.speed;
    const unsigned overhang = (record.class_overhang >> 5) | ((record.overhang_dir & 0x7F) << 3);
    const unsigned wheelbase = (record.time_wheelbase >> 4) | (record.wheelbase_high << 4);
    set_length(vehicle, overhang, wheelbase, axles);

    const auto headway = static_cast<std::uint16_t>(static_cast<std::int32_t>(t) - state.last_time[lane]);
    const std::uint16_t gap = gap_rounded(headway, state.last_length[lane], state.last_speed[lane]);
    vehicle.headway = limited(headway);
    vehicle.gap = limited(gap);

    vehicle.gross_weight = u16_at(record.gross_weight);
    set_axle_shares(vehicle, record, axles);
    remember_lane(state, lane, static_cast<std::int32_t>(t), vehicle);
}

void expand_vbv(const vbv_record_7& record, const date_record& date, vehicle_info& vehicle,
                vbv_reading_state& state) {
    vehicle.vehicle_number = static_cast<std::uint16_t>(state.next_veh_no++);
    set_date(vehicle, date);
    const unsigned lane = (record.axles_lane >> 4) & 0x07;
    const auto headway =
        static_cast<std::uint16_t>(record.headway_low | ((record.headway_wheelbase & 0x0F) << 8));
    // The record carries no time: it follows from the lane's previous vehicle.
    std::int32_t t = state.last_time[lane] + headway;
    if (t > tenths_per_day - 1) {
        t -= tenths_per_day; // past midnight
    } else if (t < 0) {
        t += tenths_per_day; // a lane history from a corrupt header
    }
    set_clock_tenths(vehicle, static_cast<std::uint32_t>(t));
    vehicle.result_code = 0;
    vehicle.chassis_height = static_cast<std::uint8_t>(record.type >> 5);
    vehicle.lane = static_cast<std::uint8_t>(lane);
    vehicle.direction = static_cast<std::uint8_t>(record.overhang_dir >> 7);
    const unsigned axles = record.axles_lane & 0x0F;
    vehicle.axles = static_cast<std::uint8_t>(axles);
    vehicle.class_code = static_cast<std::uint8_t>(record.class_overhang & 0x1F);
    vehicle.speed = record.speed;
    const unsigned overhang = (record.class_overhang >> 5) | ((record.overhang_dir & 0x7F) << 3);
    const unsigned wheelbase = (record.headway_wheelbase >> 4) | (record.wheelbase_high << 4);
    set_length(vehicle, overhang, wheelbase, axles);

    const std::uint16_t gap = gap_rounded(headway, state.last_length[lane], state.last_speed[lane]);
    vehicle.headway = limited(headway);
    vehicle.gap = limited(gap);

    vehicle.gross_weight = u16_at(record.gross_weight);
    set_axle_shares(vehicle, record, axles);
    remember_lane(state, lane, t, vehicle);
}

void expand_vbv(const vbv_record_9& record, const date_record& date, vehicle_info& vehicle,
                vbv_reading_state& state) {
    vehicle.vehicle_number = static_cast<std::uint16_t>(state.next_veh_no++);
    set_date(vehicle, date);
    const std::uint32_t t = (static_cast<std::uint32_t>(record.time_high) << 16) | u16_at(record.time);
    set_clock_hundredths(vehicle, t);
    vehicle.result_code = 0;
    vehicle.chassis_height = static_cast<std::uint8_t>(record.type >> 5);
    const unsigned lane = (record.speed_lane >> 4) & 0x07;
    vehicle.lane = static_cast<std::uint8_t>(lane);
    vehicle.direction = static_cast<std::uint8_t>(record.overhang_class >> 7);
    const unsigned axles = record.wheelbase_axles >> 4;
    vehicle.axles = static_cast<std::uint8_t>(axles);
    vehicle.class_code = static_cast<std::uint8_t>((record.overhang_class >> 2) & 0x1F);
    const unsigned speed_tenths = record.speed_low | ((record.speed_lane & 0x0F) << 8);
    vehicle.speed = static_cast<std::uint8_t>((speed_tenths + 5) / 10);
    const unsigned overhang = record.overhang_low | ((record.overhang_class & 0x03) << 8);
    const unsigned wheelbase = record.wheelbase_low | ((record.wheelbase_axles & 0x0F) << 8);
    set_length(vehicle, overhang, wheelbase, axles);

    // Hundredths to tenths, across midnight when the time went back.
    const std::int64_t last = state.last_time[lane];
    const std::int64_t elapsed = t >= last ? t - last : t - last + hundredths_per_day;
    const auto headway = static_cast<std::uint16_t>(elapsed / 10);
    const std::uint16_t gap = gap_truncated(headway, state.last_length[lane], state.last_speed[lane]);
    vehicle.headway = limited(headway);
    vehicle.gap = limited(gap);

    vehicle.gross_weight = u16_at(record.gross_weight);
    set_axle_shares(vehicle, record, axles);
    remember_lane(state, lane, static_cast<std::int32_t>(t), vehicle);
}

stream_layout make_stream_layout(unsigned long stream_param) {
    using namespace stream_bits;
    auto fields = [stream_param](unsigned long bits) { return std::popcount(stream_param & bits); };
    auto any = [stream_param](unsigned long bits) { return (stream_param & bits) != 0 ? 1 : 0; };
    const int size = 1 + fields(lane | direction | speed | class_code | chassis_height) +
                     2 * fields(vehicle_number | headway | gap | length) + 3 * any(time) +
                     any(axles | spacings | weights) + 2 * any(wheelbase | spacings) +
                     2 * any(gross_weight | weights);
    return {stream_param, static_cast<std::size_t>(size)};
}

bool expand_vbv(byte_stream& input, const date_record& date, vehicle_info& vehicle,
                const stream_layout& layout, vbv_reading_state& state) {
    auto has = [&](unsigned long bits) { return (layout.fields & bits) != 0; };
    // The fields before the axle shares have a size fixed by the presence
    // bits: they are read at once, then the shares the fields call for.
    // Bytes past the end of the file read as 0.
    std::array<std::uint8_t, stream_head_max> bytes{};
    bool cut = input.read(bytes.data(), layout.head_size) != layout.head_size;
    std::size_t at = 0;
    auto byte = [&]() -> unsigned { return bytes[at++]; };
    auto word = [&]() -> unsigned {
        const unsigned low = byte();
        return low | (byte() << 8);
    };

    byte(); // record type
    vehicle_info v{};
    std::uint32_t next_veh_no = state.next_veh_no;
    v.vehicle_number = static_cast<std::uint16_t>(has(stream_bits::vehicle_number) ? word() : next_veh_no++);
    std::uint32_t t = 0;
    if (has(stream_bits::time)) {
        const unsigned low = word();
        t = low | (byte() << 16);
        set_clock_tenths(v, t);
    }
    set_date(v, date);
    unsigned lane = 0;
    if (has(stream_bits::lane)) {
        lane = byte() & 0x07;
        v.lane = static_cast<std::uint8_t>(lane);
    }
    if (has(stream_bits::direction)) {
        v.direction = static_cast<std::uint8_t>(byte() & 0x01);
    }
    std::uint16_t headway = 0;
    std::uint16_t gap = 0;
    if (has(stream_bits::headway)) {
        headway = static_cast<std::uint16_t>(word());
    }
    if (has(stream_bits::gap)) {
        gap = static_cast<std::uint16_t>(word());
    }
    if (has(stream_bits::speed)) {
        v.speed = static_cast<std::uint8_t>(byte());
    }
    if (has(stream_bits::length)) {
        v.length = static_cast<std::uint16_t>(word());
    }
    if (!has(stream_bits::headway) && has(stream_bits::time) && has(stream_bits::lane)) {
        headway = static_cast<std::uint16_t>(static_cast<std::int64_t>(t) - state.last_time[lane]);
    }
    if (gap == 0 && has(stream_bits::lane)) {
        gap = gap_stream(headway, state.last_length[lane], state.last_speed[lane]);
    }
    v.headway = limited(headway);
    v.gap = limited(gap);

    unsigned axles = 0;
    if (has(stream_bits::axles | stream_bits::spacings | stream_bits::weights)) {
        axles = byte() & 0x0F;
        v.axles = static_cast<std::uint8_t>(axles);
    }
    if (has(stream_bits::class_code)) {
        v.class_code = static_cast<std::uint8_t>(byte());
    }
    if (has(stream_bits::chassis_height)) {
        v.chassis_height = static_cast<std::uint8_t>(byte());
    }
    if (has(stream_bits::wheelbase | stream_bits::spacings)) {
        v.wheelbase = static_cast<std::uint16_t>(word());
    }
    if (has(stream_bits::gross_weight | stream_bits::weights)) {
        v.gross_weight = static_cast<std::uint16_t>(word());
    }
    // Up to 14 spacing shares, then up to 15 weight shares.
    const bool spaced = has(stream_bits::spacings) && v.wheelbase != 0 && axles >= 1;
    const bool weighed = has(stream_bits::weights) && v.gross_weight != 0;
    const std::size_t spacing_count = spaced ? axles - 1 : 0;
    const std::size_t share_count = spacing_count + (weighed ? axles : 0);
    std::array<std::uint8_t, 29> shares{};
    if (share_count > 0 && !cut) {
        cut = input.read(shares.data(), share_count) != share_count;
    }
    if (spaced) {
        apportion_stream(shares.data(), axles - 1, v.wheelbase, v.axle_spacing.data(), max_spacings);
    }
    if (weighed) {
        apportion_stream(shares.data() + spacing_count, axles, v.gross_weight, v.axle_weight.data(),
                         max_weights);
    }
    if (cut) {
        return false;
    }

    if (has(stream_bits::lane)) {
        if (has(stream_bits::time)) {
            state.last_time[lane] = static_cast<std::int32_t>(t);
        }
        state.last_speed[lane] = v.speed;
        state.last_length[lane] = v.length;
    }
    state.next_veh_no = next_veh_no;
    vehicle = v;
    return true;
}

} // namespace tallycnv
