#include "sample_files.h"

#include "support/interval_builder.h"
#include "support/k479_builder.h"
#include "support/vbv_builder.h"

namespace tallycnv::fuzz {

namespace {

using test::build_interval_file;
using test::build_vbv_file;
using test::build_vbv_records;
using test::bytes;
using test::header_builder;

const char* const site = R"(
    site FUZZ1
    location MAIN ROAD
    file_name FUZZ
    serial_number 40512
    instrument_release 2.10
    grid_reference 4712 0915
    headings N S NB SB
    battery 124
    sensor_type 22 22 1 1
    class_scheme 3
    num_classes 13
    vbv_filter.operand 1
    vbv_filter.comparison 2
    vbv_filter.value 30
    interval_filter.operand 13
    tte_filter.operand 0
    start 2013-03-07 10:07:30
    stop 2013-03-07 13:50:00
)";

// Every record type of a vehicle-by-vehicle data area.
const char* const every_record = R"(
    date 2013 3 7
    base lane=0 axles=2 class=2 time=360000 speed=82 gap=35 headway=41 overhang=150 wheelbase=270 gross=310 weights=120,135
    base lane=1 axles=5 class=9 time=360633 speed=64 gap=61 headway=51 overhang=420 wheelbase=1210 gross=6200 spacings=90,80,40,45 weights=60,50,50,50,45
    event card=13 input=1 code=0 data=1234 a=500 b=480
    skip
    type4 number=99 lane=2 dir=1 axles=3 wheelbase=520 time=360200 speed=90 headway=55 gap=41 class=1 gross=900 spacings=100 weights=80,90,85
    type6 lane=1 axles=2 wheelbase=300 overhang=150 gross=100 weights=100,155 time=360100 speed=50 chassis=2 class=4
    type7 lane=1 headway=40 speed=70 axles=2 wheelbase=280 overhang=90 class=2 gross=50 weights=100,155
    type9 lane=0 time=3603000 speed=1004 axles=2 wheelbase=310 class=5
    mask 0x7fff
    stream number=7 time=360250 lane=1 speed=60 axles=2 wheelbase=300 length=450 gross=200 weights=100,155
    stream number=8 time=360300 lane=0 speed=61
    base lane=0 axles=2 class=2 time=863990 speed=95 gap=22 headway=41 wheelbase=255
    base lane=0 axles=2 class=2 time=20 speed=95 gap=22 headway=41 wheelbase=255
)";

const char* const vbv_header = R"(
    card_type 8 8 6 6
    vbv_day 7
    vbv_month 2
    vbv_year 2013
    last_time 360000 359000
    next_veh_no 1000
    stream_param 0x7fff
    closed_ok 1
    weight_autocal 1
    autocal_count 5
    autocal_weight 1200
    weight_calibration 100 101 102 103
)";

sample_file vbv_file(std::string name, const std::string& description, const bytes& data) {
    return {std::move(name), file_kind::vbv,
            build_vbv_file(std::string(site) + vbv_header + description, data)};
}

sample_file wrapped_vbv_file() {
    test::wrapped_area area;
    area.newest = build_vbv_records("base lane=0 axles=2 time=360500 speed=50 wheelbase=300\n"
                                    "type6 lane=1 axles=0 wheelbase=400 time=36100 speed=40\n");
    area.overwritten = build_vbv_records("raw 00 00 00");
    area.oldest =
        build_vbv_records("date 2013 3 7\ntype6 lane=0 axles=0 wheelbase=400 time=36010 speed=10\n");
    area.beyond_end = build_vbv_records("raw 1f 1f");
    return {
        "WRAPPED.VBV", file_kind::vbv,
        test::build_wrapped_vbv_file(std::string(site) + vbv_header + "num_records 0\nclosed_ok 0\n", area)};
}

sample_file interval_file(std::string name, const std::string& description, const std::string& blocks,
                          unsigned channel_size, std::vector<unsigned> list_sizes = {}) {
    header_builder h;
    h.describe(site);
    h.describe("type m\ncard_type 1 1 0 0\nchannel_assignment 1 2\n" + description);
    return {std::move(name), file_kind::interval,
            build_interval_file(h, blocks, channel_size, std::move(list_sizes))};
}

// Hourly counts of two channels over nine days, with a faulty reading and a
// count too wide for narrow columns.
std::string count_blocks() {
    std::string blocks;
    for (int hour = 0; hour < 9 * 24; ++hour) {
        const int count = hour == 30 ? -150 : hour == 31 ? 1234 : 5 + hour % 24 * 3;
        blocks += "ch1: " + std::to_string(count) + " ch2: " + std::to_string(hour % 7) + "\n";
    }
    return blocks;
}

std::vector<sample_file> make_samples() {
    std::vector<sample_file> samples;
    samples.push_back(vbv_file("VEHICLES.DAT", "num_records 15\n", build_vbv_records(every_record)));
    samples.push_back(vbv_file("UNCLOSED.DAT", "prefix G\nmodel 318\nclosed_ok 0\n",
                               build_vbv_records("base lane=0 axles=2 time=360000 speed=80 wheelbase=300\n"
                                                 "raw 00 00 00 00")));
    samples.push_back(wrapped_vbv_file());
    samples.push_back(
        vbv_file("WEIGHED.DAT",
                 "sensor_type 28 28 29 33\ndate_format 1\nunits 1\nprint_units 4\nnum_records 3\n"
                 "sect1_len 300\nsect5_len 600\naxle_factor 2.5\n",
                 build_vbv_records("base lane=0 axles=3 class=5 time=360000 speed=70 wheelbase=800 "
                                   "gross=3000 spacings=120 weights=85,85,85\n"
                                   "type9 lane=1 time=3600100 speed=655 axles=2 wheelbase=310 "
                                   "gross=1500 weights=100,155\n"
                                   "event card=6 input=2 code=3 data=7 a=1 b=2\n")));
    samples.push_back(interval_file("COUNTS.DAT",
                                    "no_chans 2\ninterval 60\nblock_size 4\nnum_records 216\n"
                                    "start 2013-03-04 00:00:00\nstop 2013-03-13 00:00:00\n",
                                    count_blocks(), 1));
    samples.push_back(
        interval_file("SPEEDS.DAT",
                      "no_chans 2\noperands 1 0 0\nspeed_bins.count 3\nspeed_bins.threshold 40 60 80\n"
                      "interval 15\npeak_interval 5\npeak_times 10 30 11 0 12 0 12 30 0 0 0 0\n"
                      "block_size 12\nnum_records 12\nclass_scheme 25\n",
                      "2* ch1: 1 2 3 ch2: 4 5 6\n8* ch1: 11 12 13 ch2: 14 15 16\n2* ch1: 7 8 9\n", 3));
    samples.push_back(
        interval_file("BINNED.DAT",
                      "no_chans 2\nspec_count 0\noperands 1 4 7\noperators 1 0\nspeed_bins.count 2\n"
                      "speed_bins.threshold 50 70\nlength_bins.count 2\nlength_bins.threshold 600 1200\n"
                      "num_classes 3\nblock_size 28\nwrapped 1\nnum_records 7\nrecords_lost 3\n"
                      "start 2013-12-31 23:00:00\nstop 2014-01-01 01:00:00\ninterval 15\n",
                      "ch1: 1 2 3 4 | 5 6 7 ch2: 1 1 1 1 | 2 2 2\n"
                      "ch1: 9 9 9 9 | 8 8 8 ch2: 0 0 0 0 | 1 1 1\n"
                      "ch1: 11 12 13 14 | 15 16 17\n"
                      "ch1: 21 22 23 24 | 25 26 27 ch2: 3 3 3 3 | 4 4 4\n",
                      7, {4, 3}));
    samples.push_back(
        interval_file("CUSTOM.DAT",
                      "no_chans 1\nchannel_assignment 3\nclass_scheme 18\ncustom_scheme_name LOCAL SCHEME\n"
                      "num_classes 4\noperands 7 9 0\noperators 1 0\ndate_format 2\ninstrument_release 1.93\n"
                      "old_serial 777\nmodel 318\ncard_type 8 9\nsect3_len 80\nsect2_len 240\n"
                      "interval 30\nblock_size 16\nnum_records 3\nstart_sync 1\nstop_sync 1\n",
                      "ch1: 1 2 3 4 5 6 7 8\nch1: 0 0 0 0 1 1 1 1\nch1: 9 9 9 9 9 9 9 9\n", 8, {8}));
    samples.push_back(interval_file("PRODUCT.DAT",
                                    "no_chans 1\noperands 1 4 9\noperators 1 1\nspeed_bins.count 2\n"
                                    "length_bins.count 2\ninterval 60\nblock_size 16\nnum_records 2\n",
                                    "ch1: 1 2 3 4 5 6 7 8\nch1: 8 7 6 5 4 3 2 1\n", 8, {8}));
    samples.push_back(interval_file("GAS.DAT",
                                    "no_chans 1\noperands 10 1 4\noperators 1 0\nspeed_bins.count 2\n"
                                    "length_bins.count 2\ninterval 60\nblock_size 16\nnum_records 2\n",
                                    "ch1: 1 2 3 4 5 6 | 7 8\nch1: 6 5 4 3 2 1 | 0 9\n", 8, {6, 2}));
    samples.push_back(interval_file(
        "SWED14.DAT",
        "no_chans 1\nclass_scheme 25\nnum_classes 14\noperands 7 0 0\ninterval 60\n"
        "block_size 28\nnum_records 2\n",
        "ch1: 1 2 3 4 5 6 7 8 9 10 11 12 13 14\nch1: 14 13 12 11 10 9 8 7 6 5 4 3 2 1\n", 14, {14}));
    return samples;
}

} // namespace

const std::vector<sample_file>& sample_files() {
    static const std::vector<sample_file> samples = make_samples();
    return samples;
}

} // namespace tallycnv::fuzz
