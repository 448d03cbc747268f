// The records of a vehicle-by-vehicle data area and their expansion into
// `vehicle_info`.
//
// Every fixed-layout vehicle record is held as its fixed part (the bytes as
// they stand in the file, bit fields decoded by the expanders), followed by
// room for 12 axle-spacing shares and 13 axle-weight shares. The reader
// fills the first n-1 and n of them; the shares are 255ths of the wheelbase
// and of the gross weight.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "run/settings.h"
#include "io/byte_stream.h"
#include "vbv/vbv_types.h"

namespace tallycnv {

// Room for the axle shares kept of one vehicle (12 spacings, 13 weights).
inline constexpr std::size_t max_spacings = 12;
inline constexpr std::size_t max_weights = 13;

// Tenths of a second in a day.
inline constexpr std::int32_t tenths_per_day = 864000;

// Base format, record type 1: fixed part of 14 bytes.
struct vbv_record {
    static constexpr std::size_t fixed_size = 14;
    std::uint8_t type;            // 0: bits 0-4 record type
    std::uint8_t axles_lane;      // 1: bits 0-3 axles, 4-6 lane, 7 direction
    std::uint8_t class_time;      // 2: bits 0-3 class, 4-7 time bits 16-19
    std::uint8_t gap_low;         // 3: gap bits 0-7
    std::uint8_t gap_headway;     // 4: bits 0-3 gap bits 8-11, 4-7 headway bits 0-3
    std::uint8_t headway_high;    // 5: headway bits 4-11
    std::uint8_t time[2];         // 6-7: time bits 0-15, tenths of a second
    std::uint8_t speed;           // 8: km/h
    std::uint8_t overhang;        // 9: cm beyond the wheelbase
    std::uint8_t gross_weight[2]; // 10-11: units of 10 lb
    std::uint8_t wheelbase[2];    // 12-13: cm
    std::uint8_t axle_spacing[max_spacings];
    std::uint8_t axle_weight[max_weights];
};

// Record type 4: fixed part of 16 bytes, carries its own vehicle number.
struct vbv_record_4 {
    static constexpr std::size_t fixed_size = 16;
    std::uint8_t type;              // 0: bits 0-4 record type, 5-7 chassis height
    std::uint8_t axles_gap;         // 1: bits 0-3 axles, 4-7 gap bits 0-3
    std::uint8_t gap_high;          // 2: gap bits 4-11
    std::uint8_t vehicle_number[2]; // 3-4
    std::uint8_t lane_headway;      // 5: bits 0-2 lane, 4-7 headway bits 0-3
    std::uint8_t headway_high;      // 6: headway bits 4-11
    std::uint8_t time[2];           // 7-8: time bits 0-15
    std::uint8_t speed;             // 9
    std::uint8_t gross_weight[2];   // 10-11
    std::uint8_t class_overhang;    // 12: bits 0-4 class, 5-7 overhang bits 0-2
    std::uint8_t overhang_dir;      // 13: bits 0-6 overhang bits 3-9, 7 direction
    std::uint8_t time_wheelbase;    // 14: bits 0-3 time bits 16-19, 4-7 wheelbase bits 0-3
    std::uint8_t wheelbase_high;    // 15: wheelbase bits 4-11
    std::uint8_t axle_spacing[max_spacings];
    std::uint8_t axle_weight[max_weights];
};

// Record type 6: fixed part of 11 bytes.
struct vbv_record_6 {
    static constexpr std::size_t fixed_size = 11;
    std::uint8_t type;            // 0: bits 0-4 record type, 5-7 chassis height
    std::uint8_t axles_lane;      // 1: bits 0-3 axles, 4-6 lane
    std::uint8_t time[2];         // 2-3: time bits 0-15
    std::uint8_t speed;           // 4
    std::uint8_t gross_weight[2]; // 5-6
    std::uint8_t class_overhang;  // 7: bits 0-4 class, 5-7 overhang bits 0-2
    std::uint8_t overhang_dir;    // 8: bits 0-6 overhang bits 3-9, 7 direction
    std::uint8_t time_wheelbase;  // 9: bits 0-3 time bits 16-19, 4-7 wheelbase bits 0-3
    std::uint8_t wheelbase_high;  // 10: wheelbase bits 4-11
    std::uint8_t axle_spacing[max_spacings];
    std::uint8_t axle_weight[max_weights];
};

// Record type 7: fixed part of 10 bytes; no time of day, only the headway.
struct vbv_record_7 {
    static constexpr std::size_t fixed_size = 10;
    std::uint8_t type;              // 0: bits 0-4 record type, 5-7 chassis height
    std::uint8_t axles_lane;        // 1: bits 0-3 axles, 4-6 lane
    std::uint8_t speed;             // 2
    std::uint8_t gross_weight[2];   // 3-4
    std::uint8_t class_overhang;    // 5: bits 0-4 class, 5-7 overhang bits 0-2
    std::uint8_t overhang_dir;      // 6: bits 0-6 overhang bits 3-9, 7 direction
    std::uint8_t headway_low;       // 7: headway bits 0-7
    std::uint8_t headway_wheelbase; // 8: bits 0-3 headway bits 8-11, 4-7 wheelbase bits 0-3
    std::uint8_t wheelbase_high;    // 9: wheelbase bits 4-11
    std::uint8_t axle_spacing[max_spacings];
    std::uint8_t axle_weight[max_weights];
};

// Record type 9: fixed part of 12 bytes; time in hundredths of a second,
// speed in tenths of a km/h.
struct vbv_record_9 {
    static constexpr std::size_t fixed_size = 12;
    std::uint8_t type;            // 0: bits 0-4 record type, 5-7 chassis height
    std::uint8_t time_high;       // 1: time bits 16-23
    std::uint8_t time[2];         // 2-3: time bits 0-15
    std::uint8_t speed_low;       // 4: speed bits 0-7
    std::uint8_t speed_lane;      // 5: bits 0-3 speed bits 8-11, 4-6 lane
    std::uint8_t wheelbase_low;   // 6: wheelbase bits 0-7
    std::uint8_t wheelbase_axles; // 7: bits 0-3 wheelbase bits 8-11, 4-7 axles
    std::uint8_t overhang_low;    // 8: overhang bits 0-7
    std::uint8_t overhang_class;  // 9: bits 0-1 overhang bits 8-9, 2-6 class, 7 direction
    std::uint8_t gross_weight[2]; // 10-11
    std::uint8_t axle_spacing[max_spacings];
    std::uint8_t axle_weight[max_weights];
};

static_assert(sizeof(vbv_record) == vbv_record::fixed_size + max_spacings + max_weights);
static_assert(sizeof(vbv_record_4) == vbv_record_4::fixed_size + max_spacings + max_weights);
static_assert(sizeof(vbv_record_6) == vbv_record_6::fixed_size + max_spacings + max_weights);
static_assert(sizeof(vbv_record_7) == vbv_record_7::fixed_size + max_spacings + max_weights);
static_assert(sizeof(vbv_record_9) == vbv_record_9::fixed_size + max_spacings + max_weights);

// Sizes of the records that are not vehicles.
inline constexpr std::size_t skipped_record_size = 53; // record type 2
inline constexpr std::size_t event_record_size = 12;   // record type 3
inline constexpr std::size_t date_record_size = 5;     // record type 5

// A running date of the base format: day, month from 0, full year.
struct vbv_date {
    std::uint8_t day = 0;
    std::uint8_t month = 0;
    std::uint16_t year = 0;
};

// What the reader of one VBV data area carries from record to record.
struct vbv_reading_state {
    bool ret_roll = false;                      // the recording memory wrapped round
    std::uint32_t roll_ofs = 0;                 // where reading stops after the wrap
    std::uint32_t num_recs = 0;                 // records still allowed (binding only when set so)
    std::uint32_t next_veh_no = 0;              // number of the next vehicle that carries none
    vbv_date vbv_dat;                           // running date of base-format records
    std::array<std::int32_t, 8> last_time{};    // per lane, latest vehicle time (format 9: hundredths)
    std::int32_t last_vehicle = 0;              // latest base-format time over all lanes
    std::array<std::uint16_t, 8> last_speed{};  // per lane, km/h
    std::array<std::uint32_t, 8> last_length{}; // per lane, cm
};

// Field-presence bits of the stream form (record type 8).
namespace stream_bits {
inline constexpr unsigned long vehicle_number = 0x1;
inline constexpr unsigned long time = 0x2;
inline constexpr unsigned long lane = 0x4;
inline constexpr unsigned long direction = 0x8;
inline constexpr unsigned long headway = 0x10;
inline constexpr unsigned long gap = 0x20;
inline constexpr unsigned long speed = 0x40;
inline constexpr unsigned long length = 0x80;
inline constexpr unsigned long axles = 0x100;
inline constexpr unsigned long class_code = 0x200;
inline constexpr unsigned long chassis_height = 0x400;
inline constexpr unsigned long wheelbase = 0x800;
inline constexpr unsigned long gross_weight = 0x1000;
inline constexpr unsigned long spacings = 0x2000;
inline constexpr unsigned long weights = 0x4000;
} // namespace stream_bits

// The Zedirozed settings and counters the base-format expansion works on.
struct zedirozed_scope {
    const run_settings& settings;
    zedirozed_state& state;
};

// Base format: numbers the vehicle from the counter, rolls the running date
// over midnight, reclassifies and counts in the Zedirozed mode.
void expand_vbv(const vbv_record& record, vehicle_info& vehicle, vbv_reading_state& state,
                const zedirozed_scope& zedirozed);
// Packed formats: the date comes from the latest date record.
void expand_vbv(const vbv_record_4& record, const date_record& date, vehicle_info& vehicle,
                vbv_reading_state& state);
void expand_vbv(const vbv_record_6& record, const date_record& date, vehicle_info& vehicle,
                vbv_reading_state& state);
void expand_vbv(const vbv_record_7& record, const date_record& date, vehicle_info& vehicle,
                vbv_reading_state& state);
void expand_vbv(const vbv_record_9& record, const date_record& date, vehicle_info& vehicle,
                vbv_reading_state& state);
// The record layout of a stream-form file: the presence bits of its header
// and the bytes they give a record before its axle shares (the type byte included).
struct stream_layout {
    unsigned long fields = 0;
    std::size_t head_size = 1;
};
stream_layout make_stream_layout(unsigned long stream_param);

// Stream form: reads the record from its type byte on, with the fields that
// `layout` names. Returns false, and changes neither the counters nor the
// lane history, when the file ends inside the record.
bool expand_vbv(byte_stream& input, const date_record& date, vehicle_info& vehicle,
                const stream_layout& layout, vbv_reading_state& state);

// The shares of a fixed-format record scaled to `total`: exact integer
// arithmetic, the last of `entries` values takes what truncation lost when
// that remainder is positive. Only the first `capacity` values are kept,
// and no share past them is read.
void apportion_fixed(const std::uint8_t* shares, std::size_t entries, std::uint16_t total, std::uint16_t* out,
                     std::size_t capacity);
// The stream form's variant: rounded shares, the last always takes the remainder.
void apportion_stream(const std::uint8_t* shares, std::size_t entries, std::uint16_t total,
                      std::uint16_t* out, std::size_t capacity);

} // namespace tallycnv
