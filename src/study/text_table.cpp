#include "study/text_table.h"

#include <algorithm>

namespace tallycnv {

namespace {

constexpr std::size_t gap = 2;

std::string printable(const std::string& cell, std::size_t width) {
    std::string text = cell.substr(0, width);
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            c = '?';
        }
    }
    return text;
}

void write_cell(std::string& line, const std::string& cell, std::size_t width, bool left_aligned) {
    const std::string text = printable(cell, width);
    if (left_aligned) {
        line += text;
        line.append(width - text.size(), ' ');
    } else {
        line.append(width - text.size(), ' ');
        line += text;
    }
}

void write_line(report_sink& out, std::string line) {
    line.erase(line.find_last_not_of(' ') + 1);
    line += '\n';
    out.write(line);
}

} // namespace

void write_text_table(report_sink& out, const text_table& table) {
    const std::size_t count = std::max(table.columns.size(), table.rows.empty() ? 0 : table.rows[0].size());
    if (count == 0) {
        return;
    }
    std::vector<std::size_t> widths(count, 0);
    const auto widen = [&](const std::vector<std::string>& cells) {
        for (std::size_t i = 0; i < cells.size() && i < count; ++i) {
            widths[i] = std::max(widths[i], cells[i].size());
        }
    };
    if (table.heading_row) {
        widen(table.columns);
    }
    for (const std::vector<std::string>& row : table.rows) {
        widen(row);
    }
    // The first column and every part's columns must fit in a line.
    widths[0] = std::min(widths[0], report_width / 2);
    for (std::size_t i = 1; i < count; ++i) {
        widths[i] = std::min(widths[i], report_width - widths[0] - gap);
    }

    if (!table.caption.empty()) {
        write_wrapped(out, table.caption);
    }
    std::size_t from = 1;
    do {
        std::size_t to = from;
        std::size_t used = widths[0];
        while (to < count && used + gap + widths[to] <= report_width) {
            used += gap + widths[to];
            ++to;
        }
        if (from > 1) {
            out.write("\n");
        }
        const auto write_row = [&](const std::vector<std::string>& cells) {
            std::string line;
            const std::string empty;
            write_cell(line, cells.empty() ? empty : cells[0], widths[0], true);
            for (std::size_t i = from; i < to; ++i) {
                line.append(gap, ' ');
                write_cell(line, i < cells.size() ? cells[i] : empty, widths[i],
                           !table.heading_row || i == table.name_column);
            }
            write_line(out, line);
        };
        if (table.heading_row) {
            write_row(table.columns);
            write_line(out, std::string(used, '-'));
        }
        for (const std::vector<std::string>& row : table.rows) {
            write_row(row);
        }
        from = to;
    } while (from < count);
    if (!table.note.empty()) {
        write_wrapped(out, table.note);
    }
}

void write_wrapped(report_sink& out, const std::string& text) {
    const std::string words = printable(text, text.size());
    std::size_t start = 0;
    while (start < words.size()) {
        std::size_t end = words.size();
        if (end - start > report_width) {
            end = words.rfind(' ', start + report_width);
            if (end == std::string::npos || end <= start) {
                end = start + report_width; // a word longer than a line
            }
        }
        write_line(out, words.substr(start, end - start));
        start = end;
        while (start < words.size() && words[start] == ' ') {
            ++start;
        }
    }
}

} // namespace tallycnv
