#include "app/year_files.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "io/fatal.h"
#include "io/file_io.h"
#include "study/study_compute.h"

namespace tallycnv {

namespace {

// Factor tables and date lists are a few kilobytes; anything past this is not one.
constexpr std::size_t largest_file = 1U << 20;

constexpr std::array<const char*, 7> weekday_keys = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

std::string read_text(const std::string& path) {
    const std::optional<std::string> text = read_file_head(path, largest_file + 1);
    if (!text) {
        fail(1, "\nError : Could not read " + path + ": " + std::strerror(errno) + "\n");
    }
    if (text->size() > largest_file) {
        fail(1, "\nError : " + path + " is too large (more than 1 MiB)\n");
    }
    return *text;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(from, end - from);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        from = end + 1;
    }
    return lines;
}

std::vector<std::string> fields_of(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = line.find(',', from);
        std::string field = line.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        while (!field.empty() && field.front() == ' ') {
            field.erase(0, 1);
        }
        while (!field.empty() && field.back() == ' ') {
            field.pop_back();
        }
        if (field.size() >= 2 && field.front() == '"' && field.back() == '"') {
            field = field.substr(1, field.size() - 2);
        }
        fields.push_back(field);
        if (comma == std::string::npos) {
            return fields;
        }
        from = comma + 1;
    }
}

int weekday_of(std::string_view text) {
    for (std::size_t d = 0; d < weekday_keys.size(); ++d) {
        if (text.size() == 3 &&
            std::tolower(static_cast<unsigned char>(text[0])) ==
                std::tolower(static_cast<unsigned char>(weekday_keys[d][0])) &&
            text.substr(1) == std::string_view(weekday_keys[d]).substr(1)) {
            return static_cast<int>(d);
        }
    }
    return -1;
}

std::optional<long> whole_number(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0) {
        return std::nullopt;
    }
    return n;
}

[[noreturn]] void bad_line(const std::string& path, std::size_t line, const std::string& why) {
    fail(1, "\nError : " + path + " line " + std::to_string(line) + ": " + why + "\n");
}

} // namespace

unsigned parse_weekday_range(const std::string& text) {
    const std::size_t dash = text.find('-');
    const int first = weekday_of(text.substr(0, dash));
    const int last = dash == std::string::npos ? first : weekday_of(text.substr(dash + 1));
    if (first < 0 || last < first) {
        fail(1, "\nError : Invalid weekdays " + text + " (for example Mon-Fri or Tue-Thu)\n");
    }
    unsigned bits = 0;
    for (int d = first; d <= last; ++d) {
        bits |= 1U << d;
    }
    return bits;
}

std::vector<factor_row> load_factor_table(const std::string& path) {
    const std::vector<std::string> lines = lines_of(read_text(path));
    std::vector<factor_row> rows;
    bool grouped = false;
    bool heading_seen = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty()) {
            continue;
        }
        const std::vector<std::string> f = fields_of(lines[i]);
        if (!heading_seen) {
            heading_seen = true;
            grouped = !f.empty() && f[0] == "group";
            const std::vector<std::string> wanted =
                grouped ? std::vector<std::string>{"group", "month", "weekday", "factor"}
                        : std::vector<std::string>{"month", "weekday", "factor"};
            if (f != wanted) {
                bad_line(path, i + 1, "the heading must be month,weekday,factor (group first, if any)");
            }
            continue;
        }
        const std::size_t skip = grouped ? 1 : 0;
        if (f.size() != 3 + skip) {
            bad_line(path, i + 1, "expected " + std::to_string(3 + skip) + " fields");
        }
        factor_row row;
        row.group = grouped ? f[0] : std::string();
        const std::optional<long> month = whole_number(f[skip]);
        if (!month || *month < 1 || *month > 12) {
            bad_line(path, i + 1, "month " + f[skip] + " is not 1 to 12");
        }
        row.month = static_cast<int>(*month);
        row.weekday = weekday_of(f[skip + 1]);
        if (row.weekday < 0) {
            bad_line(path, i + 1, "weekday " + f[skip + 1] + " is not Mon to Sun");
        }
        char* end = nullptr;
        row.factor = std::strtod(f[skip + 2].c_str(), &end);
        if (f[skip + 2].empty() || *end != '\0' || !std::isfinite(row.factor) || row.factor < 0) {
            bad_line(path, i + 1, "factor " + f[skip + 2] + " is not a number of 0 or more");
        }
        rows.push_back(row);
    }
    if (rows.empty()) {
        fail(1, "\nError : " + path + " holds no factor\n");
    }
    return rows;
}

std::vector<std::array<int, 3>> load_exclude_dates(const std::string& path) {
    std::vector<std::array<int, 3>> dates;
    const std::vector<std::string> lines = lines_of(read_text(path));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == '#') {
            continue;
        }
        int year = 0;
        int month = 0;
        int day = 0;
        char rest = 0;
        const bool shape = line.size() == 10 && line[4] == '-' && line[7] == '-';
        if (!shape || std::sscanf(line.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &rest) != 3 ||
            !day_number(year, month, day)) {
            bad_line(path, i + 1, "\"" + line + "\" is not a date YYYY-MM-DD");
        }
        dates.push_back({year, month, day});
    }
    return dates;
}

std::vector<station_row> load_stations(const std::string& path) {
    const std::vector<std::string> lines = lines_of(read_text(path));
    std::vector<station_row> rows;
    std::vector<std::string> columns;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty()) {
            continue;
        }
        const std::vector<std::string> f = fields_of(lines[i]);
        if (columns.empty()) {
            columns = f;
            const auto has = [&](const char* name) {
                return std::find(columns.begin(), columns.end(), name) != columns.end();
            };
            if (!has("station") || !has("name") || has("site") == has("file")) {
                bad_line(path, i + 1, "the heading must name station, name, and site or file");
            }
            continue;
        }
        if (f.size() != columns.size()) {
            bad_line(path, i + 1, "expected " + std::to_string(columns.size()) + " fields");
        }
        station_row row;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::string& name = columns[c];
            std::string* field = name == "station"        ? &row.station
                                 : name == "name"         ? &row.name
                                 : name == "site"         ? &row.site
                                 : name == "file"         ? &row.file
                                 : name == "direction_1"  ? &row.direction_1
                                 : name == "direction_2"  ? &row.direction_2
                                 : name == "factor_group" ? &row.factor_group
                                                          : nullptr;
            if (field != nullptr) {
                *field = f[c];
            }
        }
        if (row.station.empty() || (row.site.empty() && row.file.empty())) {
            bad_line(path, i + 1, "a station needs its name and its site or file");
        }
        rows.push_back(row);
    }
    return rows;
}

} // namespace tallycnv
