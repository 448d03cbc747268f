#include "vbv/line_format.h"

#include <cstdarg>
#include <cstdio>

namespace tallycnv {

void appendf(std::string& line, const char* format, ...) {
    char buffer[256];
    std::va_list args;
    va_start(args, format);
    std::va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (size < 0) {
        va_end(copy);
        return;
    }
    if (static_cast<std::size_t>(size) < sizeof buffer) {
        line.append(buffer, static_cast<std::size_t>(size));
    } else {
        std::string wide(static_cast<std::size_t>(size) + 1, '\0');
        std::vsnprintf(wide.data(), wide.size(), format, copy);
        line.append(wide.data(), static_cast<std::size_t>(size));
    }
    va_end(copy);
}

std::array<int, 3> ordered_date(int date_format, int day, int month, int year) {
    const int mm = month + 1;
    const int yy = year % 100;
    switch (date_format) {
    case 0:
        return {day, mm, yy};
    case 1:
        return {mm, day, yy};
    default:
        return {yy, mm, day};
    }
}

} // namespace tallycnv
