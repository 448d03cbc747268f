// Field writers of the CSV export, beside the number formatters of
// io/text_format.h. Each writes one field at `p` (room reserved from the
// report sink) and returns the end of what it wrote. Fields follow RFC 4180:
// a text holding a comma, a double quote or a line end is quoted, with its
// quotes doubled; every other byte is kept as it is.
#pragma once

#include <cstdint>
#include <string_view>

#include "io/text_format.h"

namespace tallycnv {

// A text already fit for a field (an empty one may have no bytes at all).
inline char* put_csv_field(char* p, std::string_view text) {
    return text.empty() ? p : put_text(p, text);
}

// At most 2 * size + 2 bytes.
inline char* put_csv_text(char* p, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return put_csv_field(p, text);
    }
    *p++ = '"';
    for (const char c : text) {
        if (c == '"') {
            *p++ = '"';
        }
        *p++ = c;
    }
    *p++ = '"';
    return p;
}

// A count of tenths (`places` 1) or hundredths (`places` 2) as a decimal number: 1234 -> 12.34.
inline char* put_csv_scaled(char* p, std::uint64_t value, int places) {
    const std::uint64_t unit = places == 1 ? 10 : 100;
    p = put_int(p, value / unit);
    *p++ = '.';
    return put_int(p, value % unit, places, '0');
}

// ISO 8601 date and time of day without seconds: YYYY-MM-DDTHH:MM (month from 1).
inline char* put_csv_date_time(char* p, unsigned year, unsigned month, unsigned day, unsigned hour,
                               unsigned minute) {
    p = put_int(p, year, 4, '0');
    *p++ = '-';
    p = put_int(p, month, 2, '0');
    *p++ = '-';
    p = put_int(p, day, 2, '0');
    *p++ = 'T';
    p = put_int(p, hour, 2, '0');
    *p++ = ':';
    return put_int(p, minute, 2, '0');
}

} // namespace tallycnv
