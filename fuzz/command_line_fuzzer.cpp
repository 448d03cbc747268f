// Fuzz target: the command line and the language file. The input is the
// arguments, one per line, up to the first NUL byte; what follows it is the
// language file (no NUL: there is none). The same bytes are also paged as the
// help file, with keys taken from the arguments. A command line naming one
// of the sample files formats it with the report in memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/help.h"
#include "harness.h"
#include "run/language.h"
#include "sample_files.h"

using namespace tallycnv;

namespace {

constexpr const char* language_name = "LANG.479";

std::vector<std::string> split_lines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
        lines.emplace_back(text.substr(start, end - start));
    }
    if (start < text.size()) {
        lines.emplace_back(text.substr(start));
    }
    return lines;
}

// Pages `help` to nowhere, answering each prompt with the next of `keys`.
void page(std::string_view help, std::string_view keys) {
    static std::FILE* const nowhere = std::fopen("/dev/null", "wb");
    if (nowhere == nullptr) {
        std::abort();
    }
    std::size_t next = 0;
    page_help(help, nowhere,
              [&]() { return next < keys.size() ? static_cast<unsigned char>(keys[next++]) : -1; });
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::absolute_fuzzer_paths(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::work_in_scratch_dir();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string_view command_line = input.substr(0, nul);
    if (nul != std::string_view::npos) {
        const std::string_view words = input.substr(nul + 1);
        fuzz::write_scratch_file(language_name, reinterpret_cast<const std::uint8_t*>(words.data()),
                                 words.size());
        if (!words.empty()) {
            page(words, command_line);
        }
    }
    // -L may name any file; the language file read is always the scratch one.
    const language_texts lang = load_language(fuzz::scratch_dir() + "/" + language_name);
    if (const std::optional<run_settings> settings = fuzz::parse_command_line(split_lines(command_line))) {
        for (const fuzz::sample_file& sample : fuzz::sample_files()) {
            if (sample.name == settings->sfn) {
                fuzz::format(*settings, lang, sample.bytes);
            }
        }
    }
    std::remove(language_name);
    // What control-file mode leaves behind, now and then.
    static unsigned inputs = 0;
    if (++inputs % 1024 == 0) {
        fuzz::clean_scratch({});
    }
    return 0;
}
