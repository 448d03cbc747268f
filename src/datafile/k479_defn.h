// Folder datafile/: what a K479 data file holds: the header block and its reader, the calendar and interval
// clock, the vocabulary and unit tables.
//
// The header block of a K479 data file, held as the packed 1233-byte record
// image the instrument writes. Field positions are fixed by the file format.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "io/byte_stream.h"

namespace tallycnv {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the record image is little-endian");

#pragma pack(push, 1)

struct start_rec_t {
    std::uint8_t rec_start_day;
    std::uint8_t unused1;
    std::uint8_t rec_start_month; // 1-12
    std::uint8_t unused3;
    std::uint16_t rec_start_year; // full year
    std::uint8_t rec_start_hour;
    std::uint8_t unused7;
    std::uint8_t rec_start_minute;
    std::uint8_t unused9;
    std::uint8_t rec_start_second;
    std::uint8_t unused11[3];
};

struct stop_rec_t {
    std::uint8_t rec_stop_day;
    std::uint8_t unused1;
    std::uint8_t rec_stop_month;
    std::uint8_t unused3;
    std::uint16_t rec_stop_year;
    std::uint8_t rec_stop_hour;
    std::uint8_t unused7;
    std::uint8_t rec_stop_minute;
    std::uint8_t unused9;
    std::uint8_t rec_stop_second;
    std::uint8_t unused11[3];
};

struct DataSpecificationType {
    std::uint16_t operands[3];
    std::uint16_t operators[2];
};

struct bin_info {
    std::uint16_t threshold[15];
    std::uint16_t count;
};

struct peak_time {
    std::uint16_t hour;
    std::uint16_t minute;
};

struct peak_info {
    std::uint16_t peak_interval;
    peak_time peak_times[6];
};

struct filter_info {
    std::uint8_t operand;
    std::uint8_t comparison;
    std::uint16_t value;
};

// Section 2 of the header, handed whole to the interval block printer.
struct binning_parameters {
    std::uint16_t sect2_len;
    std::uint16_t no_chans;
    std::uint16_t channel_assignment[8];
    std::uint8_t class_scheme;
    std::uint8_t spec_count;
    DataSpecificationType data_spec;
    bin_info length_bins;
    bin_info speed_bins;
    bin_info weight_bins;
    bin_info axle_bins;
    bin_info time_bins;
    std::uint8_t num_classes;
    std::uint8_t unused193;
    char custom_scheme_name[42];
};

struct k479_defn {
    std::uint8_t type;         // 'm' interval, 'V' vehicle by vehicle
    std::uint16_t data_offset; // data area = base + data_offset

    // Section 1: identification and recording.
    std::uint16_t sect1_len;
    char site[20];
    char location[20];
    char file_name[9];
    char serial_number[17];
    start_rec_t start_rec;
    stop_rec_t stop_rec;
    std::uint8_t unused_s1_96[3];
    std::uint8_t start_sync;
    std::uint8_t unused_s1_100[5];
    std::uint8_t stop_sync;
    std::uint8_t unused_s1_106[22];
    std::uint16_t card_type[8];
    std::uint8_t units;
    std::uint8_t date_format;
    std::uint8_t print_units;
    std::uint8_t unused_s1_147[9];
    std::uint16_t sensor_type[8];
    char headings[8][5];
    char grid_reference[20];
    char old_serial[6];
    char instrument_release[10];

    // Section 2: binning.
    binning_parameters binning;

    // Section 3: interval and filter settings.
    std::uint16_t sect3_len;
    std::uint16_t interval;
    std::uint16_t block_size;
    std::uint8_t unused_s3_6[4];
    peak_info peak;
    std::uint8_t unused_s3_36[2];
    filter_info vbv_filter;
    std::uint8_t vbv_filter_reserved[2];
    filter_info interval_filter;
    std::uint8_t interval_filter_reserved[2];
    filter_info tte_filter;
    std::uint8_t weight_autocal;
    std::uint16_t autocal_count;
    std::uint16_t autocal_weight;
    std::uint8_t unused_s3_59[4];
    std::uint32_t stream_param;

    // Section 4: recording memory and identity.
    std::uint16_t sect4_len;
    std::uint8_t battery;
    std::uint8_t unused_s4_3;
    std::uint32_t num_records;
    std::uint32_t records_lost;
    std::uint32_t next_veh_no;
    std::uint32_t wrap_start;
    std::uint32_t wrap_stop;
    std::uint32_t data_end;
    std::uint8_t wrapped;
    std::uint32_t last_time[8];
    std::uint16_t vbv_day;
    std::uint16_t vbv_month;
    std::uint16_t vbv_year;
    std::uint8_t unused_s4_67[38];
    char model[10];

    // Section 5: weighing.
    std::uint16_t sect5_len;
    std::uint8_t unused_s5_2[46];
    std::uint16_t weight_calibration[16];
    std::uint8_t unused_s5_80[369];
    float axle_factor;
    std::uint8_t unused_s5_453[62];

    // Section 6: closure.
    std::uint16_t sect6_len;
    std::uint8_t unused_s6_2[15];
    std::uint8_t closed_ok;

    std::uint8_t never_filled[31];
};

#pragma pack(pop)

static_assert(sizeof(k479_defn) == 1233);
static_assert(offsetof(k479_defn, site) == 5);
static_assert(offsetof(k479_defn, start_rec) == 71);
static_assert(offsetof(k479_defn, start_sync) == 102);
static_assert(offsetof(k479_defn, stop_sync) == 108);
static_assert(offsetof(k479_defn, card_type) == 131);
static_assert(offsetof(k479_defn, sensor_type) == 159);
static_assert(offsetof(k479_defn, instrument_release) == 241);
static_assert(offsetof(k479_defn, binning) == 251);
static_assert(offsetof(k479_defn, binning) + offsetof(binning_parameters, num_classes) == 443);
static_assert(offsetof(k479_defn, peak) == 497);
static_assert(offsetof(k479_defn, vbv_filter) == 525);
static_assert(offsetof(k479_defn, tte_filter) == 537);
static_assert(offsetof(k479_defn, stream_param) == 550);
static_assert(offsetof(k479_defn, num_records) == 558);
static_assert(offsetof(k479_defn, last_time) == 583);
static_assert(offsetof(k479_defn, model) == 659);
static_assert(offsetof(k479_defn, weight_calibration) == 717);
static_assert(offsetof(k479_defn, axle_factor) == 1118);
static_assert(offsetof(k479_defn, closed_ok) == 1201);

// Record position and copy cap of each of the six sections.
struct section_layout {
    std::size_t position;
    std::size_t cap;
};
inline constexpr section_layout header_sections[6] = {{3, 248},   {251, 236}, {487, 67},
                                                      {554, 115}, {669, 515}, {1184, 18}};

// A text field of the header as printed: up to its first NUL, never past its width.
std::string_view field_text(const char* field, std::size_t width);
template <std::size_t N> std::string_view field_text(const char (&field)[N]) {
    return field_text(field, N);
}

// The built-in defaults of the process-wide output record: metric, print
// units row 1, axle factor 2.0.
k479_defn default_k479();

// Reads the header block at the start of `input` into `record`, applies the
// defaults and fix-ups, and leaves the stream at the start of the data area.
// A custom scheme's name stays in the record; the scheme-name lookup reads it.
void read_header_block(byte_stream& input, k479_defn& record);

// Absolute file position of the data area; the stream position is restored.
std::uint64_t start_of_data(byte_stream& input);

// Number of bins a binning operand produces.
unsigned max_bins(unsigned operand, const k479_defn& record);

// True for a count-only (volumetric) binning definition: all five words are 0.
bool count_only_cfg(const DataSpecificationType& dspec);
// True when each of the first `inputs` card types is 0, 8 or 9: every input in use counts axles.
bool is_axle_count(const std::array<std::uint16_t, 8>& card_type, int inputs);
// Copies of the per-input arrays (the packed record's 16-bit arrays are not aligned).
std::array<std::uint16_t, 8> card_types(const k479_defn& record);
std::array<std::uint16_t, 8> sensor_types(const k479_defn& record);
// 1 when `minute` lies in one of the three peak periods (start < minute <= end).
int peak_period(unsigned minute, const peak_info& peak);

// Number of sensor inputs: 2 on the two-input model "318", otherwise 8.
int input_count(const k479_defn& record);

} // namespace tallycnv

namespace tallycnv {

// Sensor configuration of a site: 0 loops only, 1 axle sensors, 2 weigh sensors.
int config_type(const k479_defn& record);

} // namespace tallycnv
