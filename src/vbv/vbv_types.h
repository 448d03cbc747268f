// The records shared by the vehicle-by-vehicle reader and the line printers:
// one expanded vehicle, a date record, an event record, and the Zedirozed
// counting state.
#pragma once

#include <array>
#include <cstdint>

#include "run/settings.h"

namespace tallycnv {

// One expanded vehicle; every field is zero before expansion.
struct vehicle_info {
    std::uint16_t vehicle_number = 0;
    std::uint8_t lane = 0;      // 3 bits, from 0
    std::uint8_t direction = 0; // 1 bit: 0 prints as direction 1, 1 as 2
    std::uint8_t axles = 0;     // 4 bits
    std::uint8_t class_code = 0;
    std::uint8_t speed = 0; // km/h
    std::uint16_t year = 0;
    std::uint8_t month = 0; // from 0
    std::uint8_t day = 0;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint16_t millisecond = 0;
    std::uint16_t length = 0;                     // cm
    std::uint16_t gap = 0;                        // tenths of a second
    std::uint16_t headway = 0;                    // tenths of a second
    std::array<std::uint16_t, 12> axle_spacing{}; // cm
    std::uint16_t wheelbase = 0;                  // cm
    std::array<std::uint16_t, 13> axle_weight{};  // units of 10 lb
    std::uint16_t gross_weight = 0;               // units of 10 lb
    std::uint8_t chassis_height = 0;              // 0-4
    std::uint16_t result_code = 0;
};

// Current date of the packed and stream record formats (month from 0).
struct date_record {
    std::uint16_t year = 0;
    std::uint8_t month = 0;
    std::uint8_t day = 0;
};

// An event raised by a sensor card (record type 3), decoded.
struct event_record {
    std::uint32_t event_data = 0;
    std::uint8_t card_type = 0;
    std::uint8_t input_number = 0; // 5 bits, from 0
    std::uint8_t event_code = 0;   // 3 bits
    std::uint16_t value_a = 0;
    std::uint16_t value_b = 0;
};

// Zedirozed counting: class counters inside the window and the window state.
struct zedirozed_state {
    std::array<std::uint32_t, 15> marsum{};
    bool marp = false;  // a summary is due
    bool marpp = false; // a summary has been printed
    int marpm = 0;      // window: 0 before, 1 inside, 2 after
    instant mart;       // instant of the current vehicle
};

} // namespace tallycnv
