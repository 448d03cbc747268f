#include "support/traffic_builder.h"

#include "support/value_sequence.h"

namespace tallycnv::test {

generated_traffic generate_traffic(unsigned days, unsigned seed) {
    value_sequence v{seed};
    generated_traffic t;
    unsigned records = 0;
    for (unsigned day = 0; day < days; ++day) {
        t.records += "date 2013 3 " + std::to_string(4 + day) + "\n";
        ++records;
        // Tenths of a second: busy by day, sparse at night.
        for (unsigned time = v.next(0, 600); time < 864000; time += v.next(10, 1200)) {
            generated_vehicle g;
            g.day = day;
            g.hour = time / 36000;
            g.direction = v.next(0, 1);
            g.axles = v.next(2, 5);
            g.class_code = g.axles > 2 ? v.next(5, 13) : v.next(1, 4);
            g.speed = v.next(20, 135);
            g.headway = v.next(2, 200);
            if (g.hour < 5 && v.next(0, 3) != 0) {
                continue;
            }
            t.records += "type4 lane=" + std::to_string(v.next(0, 1)) +
                         " dir=" + std::to_string(g.direction) + " axles=" + std::to_string(g.axles) +
                         " class=" + std::to_string(g.class_code) + " time=" + std::to_string(time) +
                         " speed=" + std::to_string(g.speed) + " headway=" + std::to_string(g.headway) +
                         " gap=" + std::to_string(g.headway / 2) + " wheelbase=300\n";
            ++records;
            t.vehicles.push_back(g);
        }
    }
    // Axle-sensing cards, so that the axle counts are measured ones.
    t.header = "closed_ok 1\ncard_type 6 6 6 6 0 0 0 0\nnum_records " + std::to_string(records) +
               "\nstart 2013-03-04 00:00:00\nstop 2013-03-" + (4 + days < 10 ? "0" : "") +
               std::to_string(4 + days) + " 00:00:00";
    return t;
}

} // namespace tallycnv::test
