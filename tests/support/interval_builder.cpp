#include "support/interval_builder.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>

namespace tallycnv::test {

namespace {

using block_values = std::vector<long>;

// One block line: "[N*] chK: v v | v ... chM: ...".
block_values parse_line(const std::string& line, const interval_layout& layout, unsigned& repeat) {
    std::istringstream words(line);
    std::string word;
    repeat = 1;
    block_values values;
    long channel = -1;
    std::vector<std::vector<long>> lists;
    // Lays the lists of the channel just read out at its place in the block.
    const auto place_channel = [&] {
        if (channel < 0) {
            return;
        }
        std::vector<long> laid;
        for (std::size_t i = 0; i < lists.size(); ++i) {
            laid.insert(laid.end(), lists[i].begin(), lists[i].end());
            if (i < layout.list_sizes.size()) {
                if (lists[i].size() > layout.list_sizes[i]) {
                    throw std::invalid_argument("too many values in list " + std::to_string(i) + ": " + line);
                }
                laid.resize(laid.size() + layout.list_sizes[i] - lists[i].size(), 0);
            }
        }
        if (layout.channel_size != 0 && laid.size() > layout.channel_size) {
            throw std::invalid_argument("channel overflows its size: " + line);
        }
        const std::size_t base = static_cast<std::size_t>(channel) * layout.channel_size;
        if (values.size() < base + laid.size()) {
            values.resize(base + laid.size(), 0);
        }
        std::copy(laid.begin(), laid.end(), values.begin() + static_cast<long>(base));
    };
    bool first = true;
    while (words >> word) {
        if (first && word.size() > 1 && word.back() == '*') {
            repeat = static_cast<unsigned>(std::stoul(word.substr(0, word.size() - 1)));
            first = false;
            continue;
        }
        first = false;
        if (word.rfind("ch", 0) == 0 && word.size() > 3 && word.back() == ':') {
            place_channel();
            channel = std::stol(word.substr(2, word.size() - 3)) - 1;
            if (channel < 0 || (channel > 0 && layout.channel_size == 0)) {
                throw std::invalid_argument("channel needs a channel size: " + line);
            }
            lists.assign(1, {});
            continue;
        }
        if (channel < 0) {
            throw std::invalid_argument("values before a channel: " + line);
        }
        if (word == "|") {
            lists.emplace_back();
            continue;
        }
        std::size_t used = 0;
        const long value = std::stol(word, &used);
        if (used != word.size() || value < -32768 || value > 65535) {
            throw std::invalid_argument("bad value " + word + ": " + line);
        }
        lists.back().push_back(value);
    }
    place_channel();
    return values;
}

} // namespace

bytes build_interval_blocks(std::string_view description, const interval_layout& layout) {
    std::vector<block_values> blocks;
    std::istringstream lines{std::string(description)};
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#') {
            continue;
        }
        unsigned repeat = 1;
        const block_values parsed = parse_line(line.substr(start), layout, repeat);
        for (unsigned r = 0; r < repeat; ++r) {
            blocks.push_back(parsed);
        }
    }
    const std::size_t per_block = layout.block_size / 2;
    std::vector<std::size_t> slot_of(blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        slot_of[i] = i;
    }
    if (layout.records_lost > 0) {
        const std::int64_t present = static_cast<std::int64_t>(layout.num_records) - layout.records_lost;
        if (std::max<std::int64_t>(present, 0) != static_cast<std::int64_t>(blocks.size())) {
            throw std::invalid_argument("a wrapped memory needs num_records - records_lost blocks");
        }
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            slot_of[i] =
                static_cast<std::size_t>((layout.records_lost + i) % static_cast<std::uint64_t>(present));
        }
    }
    bytes out(blocks.size() * per_block * 2, 0);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i].size() > per_block) {
            throw std::invalid_argument("block " + std::to_string(i + 1) + " exceeds the block size");
        }
        for (std::size_t v = 0; v < blocks[i].size(); ++v) {
            const std::size_t at = (slot_of[i] * per_block + v) * 2;
            out[at] = static_cast<std::uint8_t>(blocks[i][v] & 0xFF);
            out[at + 1] = static_cast<std::uint8_t>((blocks[i][v] >> 8) & 0xFF);
        }
    }
    // An odd block size leaves one unused byte after each block's values.
    if (layout.block_size % 2 != 0) {
        bytes padded;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            padded.insert(padded.end(), out.begin() + static_cast<long>(i * per_block * 2),
                          out.begin() + static_cast<long>((i + 1) * per_block * 2));
            padded.push_back(0);
        }
        out = padded;
    }
    return out;
}

bytes build_interval_file(const header_builder& header, std::string_view blocks, unsigned channel_size,
                          std::vector<unsigned> list_sizes) {
    interval_layout layout;
    layout.block_size = header.record.block_size;
    layout.channel_size = channel_size;
    layout.list_sizes = std::move(list_sizes);
    if (header.record.wrapped != 0) {
        layout.num_records = header.record.num_records;
        layout.records_lost = header.record.records_lost;
    }
    bytes file = header.build();
    const bytes data = build_interval_blocks(blocks, layout);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

} // namespace tallycnv::test
