// The fixed vocabulary of the instrument: names of classification schemes,
// printed units, operands, operators, filter parameters and date forms, and
// the unit conversion factors (single precision, as the reports are made).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace tallycnv {

inline constexpr std::array<std::string_view, 40> class_names = {
    "NONE",   "TNZ13",   "FHWA13",   "EUR13",  "SWED13",   "ASRA13", "CAL15",     "EUR6",
    "SWISS7", "AUST13",  "STG11",    "BIC2",   "NLB13",    "UNCS5",  "NL6",       "WMJDT6",
    "FHWA15", "UKNCC30", "_CUSTOM_", "NIDOE5", "DK7",      "LPSIG9", "2001EUR13", "EUR14",
    "EUR15",  "SWED14",  "SWISS10",  "NA16",   "TR9",      "DK10",   "ITALY9",    "ITALY10",
    "RWS7",   "URBAN10", "URBAN11",  "EUR7",   "_LENGTH_", "",       "",          ""};

inline constexpr std::array<std::string_view, 16> prunits_names = {"KPH-MTR-TONNE",
                                                                   "KPH-CM-10KG",
                                                                   "MPH-FT-KIP",
                                                                   "MPH-INS-10LB",
                                                                   "MPH-FT-TON",
                                                                   "MPH-FT-10LB",
                                                                   "KPH-MTR-10KG",
                                                                   "MPH-MTR-TONNE",
                                                                   "MPH-CM-10KG",
                                                                   "MPH-MTR-10KG",
                                                                   "",
                                                                   "",
                                                                   "",
                                                                   "",
                                                                   "",
                                                                   ""};

inline constexpr std::array<float, 16> out_speed_conv = {1.0F,     1.0F, 0.62137F, 0.62137F, 0.62137F,
                                                         0.62137F, 1.0F, 0.62137F, 0.62137F, 0.62137F};
inline constexpr std::array<float, 16> out_length_conv = {0.01F,     1.0F,  0.032808F, 0.3937F, 0.032808F,
                                                          0.032808F, 0.01F, 0.01F,     1.0F,    0.01F};
inline constexpr std::array<float, 16> out_weight_conv = {
    0.0045359F, 0.45359F, 0.01F, 1.0F, 0.0044643F, 1.0F, 0.45359F, 0.0045359F, 0.45359F, 0.45359F};

// Indexed by the header's unit system: 0 metric, 1 imperial.
inline constexpr std::array<float, 2> speed_conv = {1.0F, 0.62137F};
inline constexpr std::array<float, 2> length_conv = {1.0F, 0.3937F};
inline constexpr std::array<float, 2> weight_conv = {4.5359F, 10.0F};
inline constexpr std::array<float, 2> none_conv = {1.0F, 1.0F};

inline constexpr std::array<std::string_view, 13> short_spec_operands = {
    "CN", "SP", "GP", "HW", "LN", "GW", "AW", "CS", "AX", "DR", "GS", "WB", "SS"};
inline constexpr std::array<std::string_view, 2> spec_operators = {"+", "*"};

inline constexpr std::array<std::string_view, 14> param_str = {
    "NONE", "SPD", "AWT", "GWT", "LEN", "WBT", "CLS", "ACT", "DRN", "LAN", "RCD", "ASP", "OHG", "ALL"};

inline constexpr std::array<std::string_view, 3> date_form_str = {"DD/MM/YY", "MM/DD/YY", "YY/MM/DD"};
inline constexpr std::array<std::string_view, 3> date_form_s = {"DDMMYY", "MMDDYY", "YYMMDD"};

// Table entry by index; an index past the table (a corrupt header) is the empty text.
template <typename Table> std::string_view name_at(const Table& table, std::size_t index) {
    return index < table.size() ? std::string_view(table[index]) : std::string_view();
}

// Factor by index; 0 past the table.
template <std::size_t N> float factor_at(const std::array<float, N>& table, std::size_t index) {
    return index < N ? table[index] : 0.0F;
}

} // namespace tallycnv
