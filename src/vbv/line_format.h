// Small text helpers shared by the vehicle, event and summary lines.
#pragma once

#include <array>
#include <string>

namespace tallycnv {

// Appends C printf output to `line`.
void appendf(std::string& line, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Day, month and two-digit year in the order of the date form: 0 day first,
// 1 month first, any other form year first. `month` counts from 0 and is
// returned counted from 1; `year` is returned modulo 100.
std::array<int, 3> ordered_date(int date_format, int day, int month, int year);

} // namespace tallycnv
