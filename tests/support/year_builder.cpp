#include "support/year_builder.h"

#include <cstdio>

#include "study/study_compute.h"
#include "support/interval_builder.h"

namespace tallycnv::test {

namespace {

// Shares of the day in each hour, in percent (they sum to 100). No four
// hours in a row are alike, so that no hour looks like a stuck count.
constexpr std::array<int, 24> profile = {1, 2, 1, 2, 1, 1, 4, 8, 9, 6, 5, 4,
                                         5, 5, 5, 6, 8, 9, 7, 4, 3, 2, 1, 1};
// Channel 1's share of each hour, in tenths.
constexpr std::array<int, 24> dir1_tenths = {5, 5, 5, 5, 5, 6, 7, 7, 7, 6, 5, 5,
                                             5, 5, 5, 4, 3, 3, 4, 5, 5, 5, 5, 5};

std::string iso(const study_date& d) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

} // namespace

generated_year make_year() {
    static_assert([] {
        int sum = 0;
        for (const int p : profile) {
            sum += p;
        }
        return sum == 100;
    }());
    generated_year y;
    y.year = 2013;
    y.base = 100;
    y.month_factor = {6, 7, 9, 10, 11, 12, 13, 13, 11, 10, 8, 7};
    y.weekday_factor = {10, 11, 11, 11, 12, 8, 5};
    const long first = *day_number(y.year, 1, 1);
    const long last = *day_number(y.year, 12, 31);
    for (long day = first; day <= last; ++day) {
        const study_date d = date_of_day(day);
        // The first day of weekday (m mod 7) in month m is emptied.
        const bool emptied = d.day <= 7 && d.weekday == (d.month - 1) % 7;
        if (emptied) {
            y.emptied.push_back(iso(d));
            y.day_totals.push_back(0);
            continue;
        }
        const int total = y.base * y.month_factor[static_cast<std::size_t>(d.month - 1)] *
                          y.weekday_factor[static_cast<std::size_t>(d.weekday)];
        y.day_totals.push_back(total);
        for (int h = 0; h < 24; ++h) {
            const int count = total * profile[static_cast<std::size_t>(h)] / 100;
            const int dir1 = count * dir1_tenths[static_cast<std::size_t>(h)] / 10;
            y.hours.push_back({day, h, dir1, count - dir1});
        }
    }
    return y;
}

long generated_year::first_day() const {
    return *day_number(year, 1, 1);
}

long generated_year::last_day() const {
    return *day_number(year, 12, 31);
}

bytes generated_year::interval_file(long first, long last, const std::string& site) const {
    std::string blocks;
    std::size_t next = 0;
    int written = 0;
    for (long day = first; day <= last; ++day) {
        while (next < hours.size() && hours[next].day < day) {
            ++next;
        }
        for (int h = 0; h < 24; ++h) {
            if (next < hours.size() && hours[next].day == day && hours[next].hour == h) {
                blocks += "ch1: " + std::to_string(hours[next].dir1) +
                          " ch2: " + std::to_string(hours[next].dir2) + "\n";
                ++next;
            } else {
                blocks += "ch1: 0 ch2: 0\n";
            }
            ++written;
        }
    }
    const study_date from = date_of_day(first);
    const study_date to = date_of_day(last + 1);
    header_builder h;
    h.describe("type m\ncard_type 1 1\nsite " + site + "\nstart " + iso(from) + " 00:00:00\nstop " + iso(to) +
               " 00:00:00\ninterval 60\nno_chans 2\nblock_size 4\nnum_records " + std::to_string(written));
    return build_interval_file(h, blocks, 1);
}

void write_year_files(const generated_year& y, const std::string& dir) {
    write_file(dir + "/YEAR.DAT", y.interval_file(y.first_day(), y.last_day()));
    const std::string exclude = y.exclude_list();
    write_file(dir + "/EXCLUDE.TXT", bytes(exclude.begin(), exclude.end()));
    for (int m = 1; m <= 12; ++m) {
        const long first = *day_number(y.year, m, 1);
        const long last = (m == 12 ? y.last_day() + 1 : *day_number(y.year, m + 1, 1)) - 1;
        char name[16];
        std::snprintf(name, sizeof name, "/M%02d.DAT", m);
        write_file(dir + name, y.interval_file(first, last));
    }
    const long repeat = *day_number(y.year, 3, 10);
    write_file(dir + "/REPEAT.DAT", y.interval_file(repeat, repeat + 2));
}

std::string generated_year::exclude_list() const {
    std::string text;
    for (const std::string& date : emptied) {
        text += date + "\n";
    }
    return text;
}

} // namespace tallycnv::test
