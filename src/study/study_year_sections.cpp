// The year's sections of the study: the annual averages, the month and
// weekday means with their factors, the design hour and the classes.
#include <cstdio>

#include "study/study_sections.h"

namespace tallycnv {

namespace {

constexpr std::array<const char*, 12> month_names = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 7> weekday_names = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

std::string instant_text(const study_instant& t) {
    char text[48];
    std::snprintf(text, sizeof text, "%s %02d:%02d", date_text(t.date).c_str(), t.hour, t.minute);
    return text;
}

study_section year_section(const study_year& y) {
    const std::string year = std::to_string(y.year);
    study_section section{"year-" + year, "Year " + year, {}, {}};
    section.notes.push_back(
        std::to_string(y.valid_days) + " valid full days" +
        (y.excluded_days > 0 ? ", " + std::to_string(y.excluded_days) + " excluded by date" : std::string()) +
        ". MADW is the mean of the valid full days of one weekday in one month; AADT is "
        "the mean of the 84 MADW (AASHTO average of averages), MADT of a month the mean "
        "of its 7 MADW, AADW of a weekday the mean of its 12 MADW. Each is given only "
        "when every MADW it averages has a valid day.");
    if (!y.aadt) {
        section.notes.push_back("No AADT: " + std::to_string(y.aadt_missing_cells) +
                                " of the 84 month-weekday cells hold no valid full day.");
    }
    text_table figures;
    figures.heading_row = false;
    const auto row = [&](const std::string& name, const std::string& value) {
        figures.rows.push_back({name, value});
    };
    row("AADT", fixed(y.aadt, 1));
    row("Plain mean of the valid days", fixed(y.adt_mean, 1));
    row("AAWDT", fixed(y.aawdt, 1));
    row("30th highest hour (DHV30)", y.dhv30 ? std::to_string(*y.dhv30) : "-");
    row("K30", fixed(y.k30, 4));
    row("K50", fixed(y.k50, 4));
    row("K100", fixed(y.k100, 4));
    row("D30 (heavier direction)", share_text(y.d30));
    if (y.heavy_share) {
        row("Heavy vehicles (classes 4 and up)", share_text(y.heavy_share));
    }
    if (y.esal) {
        row("ESAL of the valid days", fixed(y.esal, 1));
        row("ESAL per valid day", fixed(y.esal_per_day, 2));
    }
    section.tables.push_back(std::move(figures));

    text_table months{"By month", {"Month", "Days", "MADT", "Factor"}, {}};
    for (std::size_t m = 0; m < 12; ++m) {
        months.rows.push_back({month_names[m], std::to_string(y.month_days[m]), fixed(y.madt[m], 1),
                               fixed(y.monthly_factor[m], 3)});
    }
    section.tables.push_back(std::move(months));
    text_table weekdays{"By weekday", {"Weekday", "AADW", "Factor"}, {}};
    for (std::size_t d = 0; d < 7; ++d) {
        weekdays.rows.push_back({weekday_names[d], fixed(y.aadw[d], 1), fixed(y.weekday_factor[d], 3)});
    }
    section.tables.push_back(std::move(weekdays));
    text_table cells{"MADW, the month-weekday means", {"Month"}, {}};
    for (const char* name : weekday_names) {
        cells.columns.emplace_back(name);
    }
    for (std::size_t m = 0; m < 12; ++m) {
        std::vector<std::string> cells_row{month_names[m]};
        for (std::size_t d = 0; d < 7; ++d) {
            cells_row.push_back(fixed(y.madw[m][d], 1));
        }
        cells.rows.push_back(std::move(cells_row));
    }
    section.tables.push_back(std::move(cells));
    if (!y.by_class.empty()) {
        text_table classes{"AADT by class", {"Class", "AADT"}, {}};
        for (const study_year_class& c : y.by_class) {
            classes.rows.push_back({c.key, fixed(c.aadt, 1)});
        }
        section.tables.push_back(std::move(classes));
    }
    return section;
}

} // namespace

std::vector<study_section> year_sections(const study& s) {
    std::vector<study_section> sections;
    if (!s.sources.empty()) {
        study_section files{"sources", "Sources", {}, {}};
        files.notes.push_back("The files of the site, stitched in time order. A span two files cover is "
                              "taken once, from the file covering more time; gaps between files lie "
                              "outside the recording.");
        text_table list{"", {"File"}, {}};
        for (const std::string& file : s.sources) {
            list.rows.push_back({file});
        }
        files.tables.push_back(std::move(list));
        if (!s.overlaps.empty()) {
            text_table overlaps{"Caution: overlap", {"Taken from", "Not from", "From", "To"}, {}};
            for (const study_overlap& o : s.overlaps) {
                overlaps.rows.push_back({o.kept, o.dropped, o.from ? instant_text(*o.from) : "-",
                                         o.to ? instant_text(*o.to) : "-"});
            }
            files.tables.push_back(std::move(overlaps));
        }
        sections.push_back(std::move(files));
    }
    for (const study_year& y : s.annual) {
        if (y.valid_days >= min_year_days) {
            sections.push_back(year_section(y));
        }
    }
    return sections;
}

} // namespace tallycnv
