// Writes the seed corpora of the fuzz targets from readable descriptions:
//
//   make_fuzz_seeds DIRECTORY
//
// DIRECTORY/data_file holds each sample file behind the leading bytes of the
// reports that suit it; DIRECTORY/command_line holds command lines naming the
// samples, with language files of several lengths, and
// DIRECTORY/command_line.dict the words of the command line for the fuzzer.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/options.h"
#include "harness.h"
#include "sample_files.h"
#include "support/k479_builder.h"

using namespace tallycnv;

namespace {

struct choice {
    int layout;
    int zedirozed = 0;
    int units = 0;
    int switches = 0;
};

// Reports of a vehicle-by-vehicle file: default, VBV-1 to VBV-4, the
// Zedirozed forms and the summary, header only, units, site column, control file.
const std::vector<choice> vbv_choices = {
    {0},
    {4, 0, 1},
    {5, 0, 6, fuzz::site_column},
    {6, 0, 3},
    {7, 0, 4, fuzz::control_file},
    {4, 1},
    {5, 2, 2},
    {4, 3},
    {5, 0, 0, fuzz::header_only},
    {4, 0, 7, fuzz::header_only | fuzz::site_column | fuzz::axle_factor},
};

// Reports of an interval file: default, INT-1 to INT-3, cordon and weekly,
// with the switches spread over them.
const std::vector<choice> interval_choices = {
    {0},
    {1, 0, 0, fuzz::column_width},
    {2, 0, 2, fuzz::skip_partial | fuzz::merge_cars},
    {3, 0, 5, fuzz::site_column | fuzz::control_file},
    {8, 0, 1, fuzz::column_width},
    {9, 0, 0, fuzz::start_day},
    {9, 0, 6, fuzz::skip_partial},
    {2, 0, 0, fuzz::header_only},
    {3, 0, 4, fuzz::header_only | fuzz::site_column},
    {8, 0, 0, fuzz::header_only},
};

std::vector<std::uint8_t> choice_bytes(const choice& c) {
    std::vector<std::uint8_t> bytes{
        static_cast<std::uint8_t>(c.layout), static_cast<std::uint8_t>(c.zedirozed),
        static_cast<std::uint8_t>(c.units), static_cast<std::uint8_t>(c.switches)};
    // Width 4, start day 3, axle factor 2.5, window 10:00 7/3/13 to 11:30 7/3/13.
    const std::uint8_t values[] = {4, 3, 24, 10, 0, 7, 3, 13, 11, 30, 7, 3, 13};
    bytes.insert(bytes.end(), std::begin(values), std::end(values));
    return bytes;
}

std::string command_line_language(int lines) {
    const std::string full = fuzz::full_language_file();
    std::size_t end = 0;
    for (int i = 0; i < lines && end != std::string::npos; ++i) {
        end = full.find('\n', end + 1);
    }
    return end == std::string::npos ? full : full.substr(0, end + 1);
}

const char* const command_lines[] = {
    "VEHICLES.DAT\n^\n-fv2\n-I2",
    "VEHICLES.DAT\nOUT.TXT\n-fV1\n-fzedirozed2\n-M3",
    "VEHICLES.DAT\n-fmarsum\n10:00\n7/3/2013\n11:00\n7/3/2013\n-C2.5",
    "UNCLOSED.DAT\n-fv4\n-fasb1\n=",
    "WRAPPED.VBV\n-fv3\n-H",
    "COUNTS.DAT\nC:\\OUT\\ABC1.TXT\n-fcordon\n-W4",
    "COUNTS.DAT\n-fwk\n-D3\n-S\n/noversioncheck",
    "SPEEDS.DAT\n-fI3\n-fasb\n/mc\n-S\n=",
    "SPEEDS.DAT\n-fI2\n-W20\n-I4\n-NVC",
    "BINNED.DAT\n-H\n-M2\n-fI1",
    "X.DAT\n-ff1",
    "X.DAT\n-fc7\n/headings=NORTH\n/location=BRIDGE",
    "X.DAT\n-LWORDS.LNG\n-j",
    "X.DAT\n-fnz",
    "X.DAT\nY.TXT\nZ.TXT",
    "X.DAT\n-fmarsum\n1:00\n1-1-2000\n2:00",
    "/?",
};

// Every option form the parser knows, the separators of the input and of
// window values, and numbers at the edges of an int.
std::string command_line_dictionary() {
    std::vector<std::string> words = option_forms();
    for (const char* word : {"/?", "/", ":", "\\x0a", "\\x00", "-2147483648", "2147483647", "99999999999"}) {
        words.emplace_back(word);
    }
    std::string dict;
    for (const std::string& word : words) {
        dict += "\"" + word + "\"\n";
    }
    return dict;
}

void write_seed(const std::string& dir, int n, const std::vector<std::uint8_t>& bytes) {
    test::write_file(dir + "/seed" + std::to_string(n), bytes);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_fuzz_seeds DIRECTORY\n", stderr);
        return 1;
    }
    const std::string data_dir = std::string(argv[1]) + "/data_file";
    const std::string command_dir = std::string(argv[1]) + "/command_line";
    std::filesystem::create_directories(data_dir);
    std::filesystem::create_directories(command_dir);

    int n = 0;
    for (const fuzz::sample_file& sample : fuzz::sample_files()) {
        for (const choice& c : sample.kind == fuzz::file_kind::vbv ? vbv_choices : interval_choices) {
            std::vector<std::uint8_t> seed = choice_bytes(c);
            seed.insert(seed.end(), sample.bytes.begin(), sample.bytes.end());
            write_seed(data_dir, n++, seed);
        }
    }

    n = 0;
    static constexpr int language_lengths[] = {76, 50, 0, 1};
    for (const char* line : command_lines) {
        std::string seed = line;
        const int lines = language_lengths[n % 4];
        if (lines > 0) {
            seed += '\0' + command_line_language(lines);
        }
        write_seed(command_dir, n++, std::vector<std::uint8_t>(seed.begin(), seed.end()));
    }
    const std::string dict = command_line_dictionary();
    test::write_file(command_dir + ".dict", std::vector<std::uint8_t>(dict.begin(), dict.end()));
    return 0;
}
