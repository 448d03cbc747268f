// The study as sections of notes and tables, shared by the text report and
// the HTML page, so that both show the same figures in the same words.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "study/study.h"
#include "study/text_table.h"

namespace tallycnv {

struct study_section {
    std::string id;                 // what the section is about: "survey", "volume", "daily", "speed", ...
    std::string title;              // "Speed"
    std::vector<std::string> notes; // sentences before the tables
    std::vector<text_table> tables;
};

// The survey alone with -H; otherwise the survey and one section per
// statistic the file's data hold.
[[nodiscard]] std::vector<study_section> study_sections(const study& s);

// One section per year with at least min_year_days valid full days (study_year_sections.cpp).
inline constexpr int min_year_days = 7;
[[nodiscard]] std::vector<study_section> year_sections(const study& s);

// How the writers name things.
[[nodiscard]] std::string group_name(const study& s,
                                     const study_group& g);             // "Direction 1", "Channel 2 NORTH"
[[nodiscard]] std::string date_text(const study_date& d);               // "2026-03-02"
[[nodiscard]] std::string weekday_name(const study_date& d);            // "Mon"
[[nodiscard]] std::string fixed(std::optional<double> v, int decimals); // "-" without a value
[[nodiscard]] std::string share_text(std::optional<double> share);      // "12.3%"; "-" without a value

} // namespace tallycnv
