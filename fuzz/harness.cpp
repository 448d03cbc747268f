#include "harness.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "app/options.h"
#include "app/output_file.h"
#include "io/fatal.h"
#include "io/report_sink.h"

namespace tallycnv::fuzz {

namespace {

std::string make_scratch_dir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tallycnv-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a scratch directory from " + pattern);
    }
    return pattern;
}

void remove_scratch_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch_dir(), ignored);
}

// The fuzzer's options that name files or directories.
constexpr const char* path_flags[] = {
    "-artifact_prefix=", "-exact_artifact_path=", "-dict=", "-merge_control_file=", "-features_dir="};

std::string absolute(const std::string& path, const std::string& cwd) {
    return path.empty() || path[0] == '/' ? path : cwd + "/" + path;
}

// A failure message is one line after an empty one, or, for a long option
// the program does not know or that lacks its value, the two lines GNU tools
// give; its code is one the program documents.
void check_fatal(const fatal_error& error) {
    const std::string& m = error.message;
    const std::string gnu_hint = "\nTry 'tallycnv --help' for more information.\n";
    const bool classic =
        m.starts_with("\nError : ") && m.ends_with("\n") && std::count(m.begin(), m.end(), '\n') == 2;
    const bool gnu =
        m.starts_with("tallycnv: ") && m.ends_with(gnu_hint) && std::count(m.begin(), m.end(), '\n') == 2;
    const bool shaped = classic || (gnu && error.exit_code == 1);
    if (!shaped || error.exit_code < 1 || error.exit_code > 3) {
        std::fprintf(stderr, "malformed fatal error (code %d): %s\n", error.exit_code, m.c_str());
        std::abort();
    }
}

} // namespace

std::vector<std::string> choice_arguments(const std::uint8_t* choice) {
    std::vector<std::string> args;
    auto add = [&args](const std::string& arg) {
        if (!arg.empty()) {
            args.push_back(arg);
        }
    };
    add(layout_options[choice[0] % layout_count]);
    static constexpr const char* zedirozed[] = {"", "-fzedirozed1", "-fzedirozed2", "-fmarsum"};
    const int mode = choice[1] % 4;
    add(zedirozed[mode]);
    if (mode == 3) {
        for (int end = 0; end < 2; ++end) {
            const std::uint8_t* w = choice + 7 + 5 * end;
            add(std::to_string(w[0] % 25) + ":" + std::to_string(w[1] % 60));
            add(std::to_string(w[2] % 32) + "/" + std::to_string(w[3] % 13) + "/" +
                std::to_string(2000 + w[4] % 100));
        }
    }
    const int units = choice[2] % 8;
    if (units != 0) {
        add(units <= 4 ? "-I" + std::to_string(units) : "-M" + std::to_string(units - 4));
    }
    const std::uint8_t s = choice[3];
    static constexpr std::pair<switch_bit, const char*> plain_switches[] = {{skip_partial, "-S"},
                                                                            {site_column, "-fasb"},
                                                                            {merge_cars, "/mc"},
                                                                            {control_file, "="},
                                                                            {header_only, "-H"}};
    for (const auto& [bit, arg] : plain_switches) {
        if ((s & bit) != 0) {
            add(arg);
        }
    }
    if ((s & column_width) != 0) {
        add("-W" + std::to_string(static_cast<std::int8_t>(choice[4])));
    }
    if ((s & start_day) != 0) {
        add("-D" + std::to_string(choice[5] % 8));
    }
    if ((s & axle_factor) != 0) {
        const int tenths = 1 + choice[6] % 99;
        add("-C" + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10));
    }
    return args;
}

void absolute_fuzzer_paths(int* argc, char*** argv) {
    const std::string cwd = std::filesystem::current_path().string();
    // Kept for the life of the process: the fuzzer holds on to its arguments.
    static std::vector<std::string> args;
    static std::vector<char*> pointers;
    bool artifact_prefix = false;
    for (int i = 0; i < *argc; ++i) {
        std::string arg = (*argv)[i];
        if (i > 0 && arg[0] != '-') {
            arg = absolute(arg, cwd);
        }
        for (const char* flag : path_flags) {
            if (arg.starts_with(flag)) {
                const std::size_t n = std::string_view(flag).size();
                arg = flag + absolute(arg.substr(n), cwd);
                artifact_prefix = artifact_prefix || std::string_view(flag) == "-artifact_prefix=";
            }
        }
        args.push_back(arg);
    }
    if (!artifact_prefix) {
        args.push_back("-artifact_prefix=" + cwd + "/");
    }
    pointers.reserve(args.size() + 1);
    for (std::string& arg : args) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);
    *argc = static_cast<int>(args.size());
    *argv = pointers.data();
}

void work_in_scratch_dir() {
    static const bool entered = chdir(scratch_dir().c_str()) == 0;
    if (!entered) {
        throw std::runtime_error("cannot enter " + scratch_dir());
    }
}

const std::string& scratch_dir() {
    // Never destroyed: the exit handler that removes the directory needs it.
    static const std::string* dir = [] {
        auto* made = new std::string(make_scratch_dir());
        std::atexit(remove_scratch_dir);
        return made;
    }();
    return *dir;
}

void clean_scratch(const std::vector<std::string>& keep) {
    for (const auto& entry : std::filesystem::directory_iterator(scratch_dir())) {
        if (std::find(keep.begin(), keep.end(), entry.path().filename().string()) == keep.end()) {
            std::error_code ignored;
            std::filesystem::remove_all(entry.path(), ignored);
        }
    }
}

std::size_t scratch_file_count() {
    const std::filesystem::directory_iterator files(scratch_dir());
    return static_cast<std::size_t>(std::distance(begin(files), end(files)));
}

void write_scratch_file(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::string path = scratch_dir() + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string full_language_file() {
    std::string text;
    for (int i = 0; i < 48; ++i) {
        text += "Sensor " + std::to_string(i) + "\n";
    }
    for (int i = 0; i < 13; ++i) {
        text += "Operand " + std::to_string(i) + "\n";
    }
    for (int i = 0; i < 12; ++i) {
        text += "-\n";
    }
    return text + "Metric\nImperial\nSwedish 14\n";
}

std::optional<run_settings> parse_command_line(const std::vector<std::string>& args) {
    try {
        run_settings settings = get_parameters(scratch_dir(), args);
        if (settings.kappa3_format || settings.fhwa_format) {
            return std::nullopt;
        }
        return settings;
    } catch (const fatal_error& error) {
        check_fatal(error);
        return std::nullopt;
    }
}

void format(const run_settings& settings, const language_texts& lang, std::vector<std::uint8_t> file) {
    byte_stream input(std::move(file));
    report_sink out;
    const run_context ctx{settings, lang, out};
    try {
        if (settings.hdr_only) {
            out_header_only(ctx, input);
        } else {
            output_file(ctx, input);
        }
    } catch (const fatal_error& error) {
        check_fatal(error);
    }
}

} // namespace tallycnv::fuzz
