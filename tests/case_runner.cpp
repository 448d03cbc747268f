// Runs every case file of tests/cases as one test (Cases.<name>): builds the
// case's files in a scratch directory, runs the program there and compares
// exit code, standard output, standard error and the named files byte for
// byte. tests/cases/README.md describes the case files.
//
// With TALLYCNV_CASES_OUTPUT=DIR set, each case run also writes DIR/<name>.case:
// the case with its expectations replaced by what the program did, for review.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/interval_builder.h"
#include "support/k479_builder.h"
#include "support/run_program.h"
#include "support/vbv_builder.h"

namespace tallycnv {
namespace {

namespace fs = std::filesystem;

const std::string cases_dir = std::string(TALLYCNV_SOURCE_DIR) + "/tests/cases";

// A file the case builds before the run, in parts: the header description
// ("header"), the records ("data", "newest", ...), or its text.
struct input_file {
    std::string path;
    std::string kind; // vbv, wrapped vbv, interval, header, text, executable, hex
    std::string mode; // line end of text lines: crlf or lf
    std::map<std::string, std::string> parts;
    std::string part = "header";
    std::string attributes; // of the blocks part: channel_size=N list_sizes=a,b
};

// Something the runner compares after the run.
struct expectation {
    std::string target; // stdout, stderr or the path of a file
    std::string mode;   // crlf, lf or hex
    std::string text;
};

struct case_file {
    std::vector<std::string> args;
    std::string program; // a copy of the program at this path; empty: the built one
    std::string called;  // the path the program is run by (a symbolic link); empty: `program`
    std::vector<std::string> environment;
    bool stdout_closed = false;
    std::vector<input_file> files;
    std::vector<std::pair<std::string, std::string>> links; // name, target; "=" before a hard link
    std::vector<std::string> dirs;
    std::vector<std::pair<std::string, long>> ages; // path, seconds since its last modification
    std::vector<std::string> fifo;                  // NAME HEAD [FILLER]; empty: none
    int time_limit = 0;                             // seconds; 0: none
    int exit_code = 0;
    std::vector<expectation> expected;
    std::optional<std::string> listing;
    std::string head; // the case up to its first expectation
};

std::string trim(const std::string& s) {
    const std::size_t begin = s.find_first_not_of(" \t\r");
    if (begin == std::string::npos) {
        return "";
    }
    return s.substr(begin, s.find_last_not_of(" \t\r") - begin + 1);
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// Today's date as the cordon header writes it: DD/MM/YY.
std::string today() {
    const std::time_t now = std::time(nullptr);
    char text[16];
    std::strftime(text, sizeof text, "%d/%m/%y", std::localtime(&now));
    return text;
}

// A duration as the batch summary prints it: "0.02 s"; an expected text has %secs for the number.
const std::regex elapsed_time("[0-9]+\\.[0-9]+ s\\b");

// %t: the scratch directory; %date: today's date.
std::string substitute(const std::string& text, const std::string& scratch) {
    return replace_all(replace_all(text, "%t", scratch), "%date", today());
}

// The names sorted, separated by blanks.
std::string join_sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& n : names) {
        joined += (joined.empty() ? "" : " ") + n;
    }
    return joined;
}

// Words separated by blanks; double quotes keep blanks inside one word.
std::vector<std::string> split_words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any) {
                words.push_back(word);
            }
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (quoted) {
        throw std::invalid_argument("unbalanced quote: " + line);
    }
    if (any) {
        words.push_back(word);
    }
    return words;
}

// Hexadecimal bytes, "N*XX" for N copies of one byte; '#' starts a comment.
std::string parse_hex(const std::string& text) {
    std::string out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        for (std::string word; words >> word;) {
            const std::size_t star = word.find('*');
            const unsigned long count = star == std::string::npos ? 1 : std::stoul(word.substr(0, star));
            const std::string digits = star == std::string::npos ? word : word.substr(star + 1);
            std::size_t used = 0;
            const unsigned long value = std::stoul(digits, &used, 16);
            if (used != digits.size() || value > 0xFF) {
                throw std::invalid_argument("not a byte: " + word);
            }
            out.append(count, static_cast<char>(value));
        }
    }
    return out;
}

// "NAME (MODE):" -> NAME and MODE ("" when none is given).
std::pair<std::string, std::string> name_and_mode(std::string text) {
    if (text.empty() || text.back() != ':') {
        throw std::invalid_argument("a section line ends with ':'");
    }
    text.pop_back();
    std::string mode;
    const std::size_t open = text.find(" (");
    if (open != std::string::npos && text.back() == ')') {
        mode = text.substr(open + 2, text.size() - open - 3);
        text.resize(open);
    }
    return {trim(text), mode};
}

case_file parse_case(const std::string& path) {
    std::ifstream in(path);
    case_file c;
    input_file* file = nullptr;
    expectation* block = nullptr;
    bool in_head = true;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        try {
            if (!line.empty() && line.back() == '\r') {
                throw std::invalid_argument("case files end their lines with LF");
            }
            if (line.starts_with("expect ")) {
                in_head = false;
            }
            if (in_head) {
                c.head += line + "\n";
            }
            if (line.empty() || line[0] == '#') {
                continue;
            }
            if (line[0] == '|' || line[0] == '\\') {
                std::string* text = block != nullptr ? &block->text : nullptr;
                const std::string* mode = block != nullptr ? &block->mode : nullptr;
                if (file != nullptr && (file->kind == "text" || file->kind == "executable")) {
                    text = &file->parts["text"];
                    mode = &file->mode;
                }
                if (text == nullptr || *mode == "hex") {
                    throw std::invalid_argument("a text line outside a text section");
                }
                if (line[0] == '\\') { // "\ no line end": the line before has none
                    text->resize(text->size() - (*mode == "lf" ? 1 : 2));
                } else {
                    *text += line.substr(1) + (*mode == "lf" ? "\n" : "\r\n");
                }
                continue;
            }
            if (line[0] == ' ' || line[0] == '\t') {
                const std::string content = trim(line);
                if (block != nullptr && block->mode == "hex") {
                    block->text += content + "\n";
                } else if (file == nullptr || file->kind == "text" || file->kind == "executable") {
                    throw std::invalid_argument("an indented line outside a description");
                } else if (const std::string part = content.substr(0, content.find(':'));
                           content.find(':') != std::string::npos &&
                           (part == "data" || part == "blocks" || part == "newest" || part == "overwritten" ||
                            part == "oldest" || part == "beyond end")) {
                    file->part = part;
                    file->attributes = trim(content.substr(part.size() + 1));
                } else {
                    file->parts[file->part] += content + "\n";
                }
                continue;
            }
            file = nullptr;
            block = nullptr;
            const std::size_t colon = line.find(':');
            const std::string key = line.substr(0, colon == std::string::npos ? line.size() : colon);
            const std::string value = colon == std::string::npos ? "" : trim(line.substr(colon + 1));
            if (key == "args") {
                c.args = split_words(value);
            } else if (key == "program") {
                c.program = value;
            } else if (key == "called as") {
                c.called = value;
            } else if (key == "env") {
                c.environment.push_back(value);
            } else if (key == "stdout" && value == "closed") {
                c.stdout_closed = true;
            } else if (key == "time limit") {
                c.time_limit = std::stoi(value);
            } else if (line.starts_with("fifo ")) {
                const std::vector<std::string> words = split_words(line);
                if (words.size() < 4 || words.size() > 5 || words[2] != "<-") {
                    throw std::invalid_argument("a FIFO line reads: fifo NAME <- HEAD [FILLER]");
                }
                c.fifo = {words[1], words[3], words.size() == 5 ? words[4] : ""};
            } else if (line.starts_with("age ")) {
                const std::vector<std::string> words = split_words(line);
                if (words.size() != 3) {
                    throw std::invalid_argument("an age line reads: age PATH SECONDS");
                }
                c.ages.emplace_back(words[1], std::stol(words[2]));
            } else if (line.starts_with("dir ")) {
                c.dirs.push_back(trim(line.substr(4)));
            } else if (line.starts_with("symlink ") || line.starts_with("hardlink ")) {
                const std::vector<std::string> words = split_words(line);
                if (words.size() != 4 || words[2] != "->") {
                    throw std::invalid_argument("a link line reads: symlink NAME -> TARGET");
                }
                c.links.emplace_back(words[1], (words[0] == "hardlink" ? "=" : "") + words[3]);
            } else if (line.starts_with("file ")) {
                const std::size_t space = line.find(' ', 5);
                const auto [kind, mode] = name_and_mode(line.substr(space + 1));
                c.files.push_back(
                    {line.substr(5, space - 5), kind, mode.empty() ? "crlf" : mode, {}, "header", ""});
                if (kind == "executable") {
                    c.files.back().mode = "lf";
                }
                file = &c.files.back();
            } else if (key == "expect exit") {
                c.exit_code = std::stoi(value);
            } else if (key == "expect files") {
                c.listing = join_sorted(split_words(value));
            } else if (line.starts_with("expect ")) {
                const auto named = name_and_mode(line.substr(7));
                std::string target = named.first;
                std::string mode = named.second;
                if (target.starts_with("file ")) {
                    target = trim(target.substr(5));
                } else if (target != "stdout" && target != "stderr") {
                    throw std::invalid_argument("expect what? " + target);
                }
                if (mode.empty()) {
                    mode = target == "stderr" ? "lf" : "crlf";
                }
                // Blocks for one target run on: a report after a banner, say.
                auto same = std::find_if(c.expected.begin(), c.expected.end(),
                                         [&](const expectation& e) { return e.target == target; });
                if (same == c.expected.end()) {
                    c.expected.push_back({target, mode, ""});
                    block = &c.expected.back();
                } else {
                    if ((same->mode == "hex") != (mode == "hex")) {
                        throw std::invalid_argument("hex and text blocks for one target");
                    }
                    same->mode = mode;
                    block = &*same;
                }
            } else {
                throw std::invalid_argument("unknown line");
            }
        } catch (const std::exception& e) {
            std::string where = path;
            where.append(":").append(std::to_string(number)).append(": ").append(e.what());
            throw std::invalid_argument(where.append("\n  ").append(line));
        }
    }
    return c;
}

// The file's bytes from its description.
std::string build(const input_file& f) {
    const auto part = [&](const char* name) {
        const auto found = f.parts.find(name);
        return found == f.parts.end() ? std::string() : found->second;
    };
    test::bytes data;
    if (f.kind == "vbv") {
        data = test::build_vbv_file(part("header"), test::build_vbv_records(part("data")));
    } else if (f.kind == "wrapped vbv") {
        const test::wrapped_area area{
            test::build_vbv_records(part("newest")), test::build_vbv_records(part("overwritten")),
            test::build_vbv_records(part("oldest")), test::build_vbv_records(part("beyond end"))};
        data = test::build_wrapped_vbv_file(part("header"), area);
    } else if (f.kind == "interval") {
        test::header_builder header;
        header.describe("type m");
        header.describe(part("header"));
        unsigned channel_size = 0;
        std::vector<unsigned> list_sizes;
        for (const std::string& word : split_words(f.attributes)) {
            if (word.starts_with("channel_size=")) {
                channel_size = static_cast<unsigned>(test::parse_number(word.substr(13)));
            } else if (word.starts_with("list_sizes=")) {
                std::istringstream sizes(word.substr(11));
                for (std::string size; std::getline(sizes, size, ',');) {
                    list_sizes.push_back(static_cast<unsigned>(test::parse_number(size)));
                }
            } else {
                throw std::invalid_argument("unknown block layout: " + word);
            }
        }
        data = test::build_interval_file(header, part("blocks"), channel_size, list_sizes);
    } else if (f.kind == "records") {
        data = test::build_vbv_records(part("header"));
    } else if (f.kind == "header") {
        data = test::build_header(part("header"));
    } else if (f.kind == "text" || f.kind == "executable") {
        const std::string text = part("text");
        data.assign(text.begin(), text.end());
    } else if (f.kind == "hex") {
        const std::string bytes = parse_hex(part("header"));
        data.assign(bytes.begin(), bytes.end());
    } else {
        throw std::invalid_argument("unknown kind of file: " + f.kind);
    }
    return {data.begin(), data.end()};
}

// A line as the failure message shows it: line end and control bytes visible.
std::string visible(const std::string& line) {
    std::string out;
    for (const char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (u < 0x20 || u >= 0x7F) {
            static const char digits[] = "0123456789abcdef";
            out += std::string("\\x") + digits[u >> 4] + digits[u & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::string hex_bytes(const std::string& bytes, std::size_t from) {
    std::string out;
    for (std::size_t i = from; i < bytes.size() && i < from + 16; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, " %02x", static_cast<unsigned char>(bytes[i]));
        out += byte;
    }
    return out.empty() ? " (end of file)" : out;
}

// Where two texts first differ, by line (or by byte, in 16 bytes from a multiple
// of 16), for the failure message.
std::string first_difference(const std::string& expected, const std::string& actual, bool binary) {
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) {
        ++at;
    }
    if (binary) {
        return "first difference at byte " + std::to_string(at) + "; from byte " +
               std::to_string(at / 16 * 16) + ":\n  expected:" + hex_bytes(expected, at / 16 * 16) +
               "\n  actual:  " + hex_bytes(actual, at / 16 * 16) + "\n  (" + std::to_string(expected.size()) +
               " bytes expected, " + std::to_string(actual.size()) + " written)";
    }
    const std::size_t begin = expected.rfind('\n', at == 0 ? 0 : at - 1);
    const std::size_t start = begin == std::string::npos || at == 0 ? 0 : begin + 1;
    const auto line_of = [&](const std::string& text) {
        if (start >= text.size()) {
            return std::string("(end of text)");
        }
        const std::size_t end = text.find('\n', start);
        return visible(text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1));
    };
    const auto line_number =
        std::count(expected.begin(), expected.begin() + static_cast<long>(start), '\n') + 1;
    return "first difference in line " + std::to_string(line_number) + " (byte " + std::to_string(at) +
           ")\n  expected: " + line_of(expected) + "\n  actual:   " + line_of(actual) + "\n  (" +
           std::to_string(expected.size()) + " bytes expected, " + std::to_string(actual.size()) +
           " written)";
}

// A report that closes with an END record, star form (`* END 12 FFFF`) or
// record-coded (`21,"END",12,"FFFF"`), counts every line from its BEGIN record
// to the END record, both included, and ends each of them with CR LF, texts
// from the data file included. Returns what is wrong, or nothing for a report
// that holds or a text that is no such report.
std::string end_record_fault(const std::string& text) {
    std::vector<std::string_view> lines; // each with its line end
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t nl = text.find('\n', at);
        const std::size_t end = nl == std::string::npos ? text.size() : nl + 1;
        lines.emplace_back(text.data() + at, end - at);
        at = end;
    }
    static const std::regex star_end(R"(\* END (\d+) [0-9A-F]+\r\n)");
    static const std::regex coded_end(R"(\d+,"END",(\d+),"[0-9A-F]+"\r\n)");
    std::smatch stated;
    const std::string last = lines.empty() ? "" : std::string(lines.back());
    if (!std::regex_match(last, stated, star_end) && !std::regex_match(last, stated, coded_end)) {
        return "";
    }
    std::size_t first = 0; // a banner on standard output may come before the report
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == "* BEGIN\r\n" || lines[i] == "20,\"BEGIN\"\r\n") {
            first = i;
        }
    }
    for (std::size_t i = first; i < lines.size(); ++i) {
        if (!lines[i].ends_with("\r\n")) {
            return "report line " + std::to_string(i - first + 1) +
                   " does not end with CR LF: " + visible(std::string(lines[i]));
        }
    }
    const std::string counted = std::to_string(lines.size() - first);
    if (stated[1].str() != counted) {
        return "the END record counts " + stated[1].str() + " lines, the report holds " + counted;
    }
    return "";
}

std::string listing_of(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (!entry.is_directory() || entry.is_symlink()) {
            names.push_back(fs::relative(entry.path(), dir).string());
        }
    }
    return join_sorted(names);
}

// Expectation blocks that reproduce `text` for `target`.
std::string render(const std::string& target, const std::string& text) {
    const std::string head =
        target == "stdout" || target == "stderr" ? "expect " + target : "expect file " + target;
    const std::string default_mode = target == "stderr" ? "lf" : "crlf";
    const bool printable = std::all_of(text.begin(), text.end(), [](char c) {
        return c == '\n' || c == '\r' || c == '\t' || (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    });
    bool lone_cr = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        lone_cr = lone_cr || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
    }
    if (!printable || lone_cr) {
        std::string out = head + " (hex):\n";
        for (std::size_t i = 0, tokens = 0; i < text.size(); ++tokens) {
            std::size_t run = 1;
            while (i + run < text.size() && text[i + run] == text[i]) {
                ++run;
            }
            char byte[3];
            std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(text[i]));
            out += std::string(tokens % 16 == 0 ? "  " : " ") + (run >= 4 ? std::to_string(run) + "*" : "") +
                   byte;
            i += run >= 4 ? run : 1;
            if (tokens % 16 == 15 || i == text.size()) {
                out += "\n";
            }
        }
        return out;
    }
    if (text.empty()) {
        return head + ":\n";
    }
    std::string out, mode;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        const bool crlf = end != std::string::npos && end > start && text[end - 1] == '\r';
        const std::string line_mode = end == std::string::npos ? (mode.empty() ? default_mode : mode)
                                      : crlf                   ? "crlf"
                                                               : "lf";
        if (line_mode != mode) {
            out += head;
            if (line_mode != default_mode) {
                out.append(" (").append(line_mode).append(")");
            }
            out += ":\n";
            mode = line_mode;
        }
        if (end == std::string::npos) {
            out += "|" + text.substr(start) + "\n\\ no line end\n";
            break;
        }
        out += "|" + text.substr(start, end - start - (crlf ? 1 : 0)) + "\n";
        start = end + 1;
    }
    return out;
}

// Feeds a FIFO with `head`, then `filler` again and again (without a filler it just
// stays open) until destroyed: the program reading it never sees its end.
struct fifo_feed {
    int fd = -1;
    std::atomic<bool> done{false};
    std::thread writer;

    fifo_feed(const fs::path& path, std::string head, std::string filler) {
        if (mkfifo(path.c_str(), 0600) != 0 || (fd = open(path.c_str(), O_RDWR | O_NONBLOCK)) < 0) {
            throw std::runtime_error("cannot make a FIFO");
        }
        writer = std::thread([this, pending = std::move(head), filler = std::move(filler)]() mutable {
            while (!done) {
                pending = pending.empty() ? filler : pending;
                const ssize_t n = pending.empty() ? 0 : write(fd, pending.data(), pending.size());
                if (n > 0) {
                    pending.erase(0, static_cast<std::size_t>(n));
                } else {
                    pollfd ready{fd, POLLOUT, 0};
                    poll(&ready, 1, 10);
                }
            }
        });
    }
    ~fifo_feed() {
        done = true;
        writer.join();
        close(fd);
    }
};

class case_test : public testing::Test {
  public:
    case_test(std::string path, std::string name) : path_(std::move(path)), name_(std::move(name)) {}

    void TestBody() override {
        const case_file c = parse_case(path_);
        const std::string root = test::make_temp_dir();
        const fs::path work = fs::path(root) / "work";
        const std::string scratch = work.string();
        fs::create_directory(work);
        for (const std::string& dir : c.dirs) {
            fs::create_directories(work / dir);
        }
        for (const input_file& f : c.files) {
            const fs::path at = work / f.path;
            fs::create_directories(at.parent_path());
            const std::string content = build(f);
            test::write_file(at.string(), test::bytes(content.begin(), content.end()));
            if (f.kind == "executable") {
                fs::permissions(at, fs::perms::owner_all);
            }
        }
        for (const auto& [name, target] : c.links) {
            if (target.starts_with("=")) {
                fs::create_hard_link(work / target.substr(1), work / name);
            } else {
                fs::create_symlink(target, work / name);
            }
        }
        for (const auto& [path, seconds] : c.ages) {
            fs::last_write_time(work / path,
                                fs::file_time_type::clock::now() - std::chrono::seconds(seconds));
        }
        std::string program = TALLYCNV_EXE;
        if (!c.program.empty()) {
            program = (work / c.program).string();
            fs::create_directories(fs::path(program).parent_path());
            fs::copy_file(TALLYCNV_EXE, program);
        }
        if (!c.called.empty()) {
            program = (work / c.called).string();
        }
        std::vector<std::string> args, environment;
        for (const std::string& a : c.args) {
            args.push_back(substitute(a, scratch));
        }
        for (const std::string& e : c.environment) {
            environment.push_back(substitute(e, scratch));
        }
        std::optional<fifo_feed> feed;
        if (!c.fifo.empty()) {
            const std::string filler = c.fifo[2].empty() ? "" : test::read_file((work / c.fifo[2]).string());
            feed.emplace(work / c.fifo[0], test::read_file((work / c.fifo[1]).string()), filler);
        }
        if (c.time_limit > 0) { // a run that hangs is killed, and fails
            args.insert(args.begin(), {"-s", "KILL", std::to_string(c.time_limit + 2), program});
            program = "/usr/bin/timeout";
        }
        const auto started = std::chrono::steady_clock::now();
        const test::run_result r = test::run_tallycnv(args, scratch, program, environment, c.stdout_closed);
        EXPECT_TRUE(c.time_limit == 0 ||
                    std::chrono::steady_clock::now() - started < std::chrono::seconds(c.time_limit))
            << "took longer than the time limit";
        feed.reset();

        std::string review =
            c.head + (r.exit_code != 0 ? "expect exit: " + std::to_string(r.exit_code) + "\n" : "");
        EXPECT_EQ(r.exit_code, c.exit_code) << "exit code; standard error:\n" << r.err;
        const auto check = [&](const std::string& target, std::string actual, const expectation* e) {
            if (target == "stdout" || target == "stderr") {
                actual = std::regex_replace(actual, elapsed_time, "%secs s");
            }
            const std::string expected =
                e == nullptr ? "" : (e->mode == "hex" ? parse_hex(e->text) : substitute(e->text, scratch));
            EXPECT_TRUE(actual == expected)
                << target << ": " << first_difference(expected, actual, e != nullptr && e->mode == "hex");
            const std::string fault = end_record_fault(actual);
            EXPECT_TRUE(fault.empty()) << target << ": " << fault;
            const std::string shown = replace_all(replace_all(actual, scratch, "%t"), today(), "%date");
            if (!shown.empty() || (target != "stdout" && target != "stderr")) {
                review += render(target, shown);
            }
        };
        const auto find = [&](const std::string& target) {
            const auto e = std::find_if(c.expected.begin(), c.expected.end(),
                                        [&](const expectation& x) { return x.target == target; });
            return e == c.expected.end() ? nullptr : &*e;
        };
        check("stdout", r.out, find("stdout"));
        check("stderr", r.err, find("stderr"));
        for (const expectation& e : c.expected) {
            if (e.target != "stdout" && e.target != "stderr") {
                const bool present = fs::is_regular_file(work / e.target);
                EXPECT_TRUE(present) << e.target << " was not written";
                check(e.target, present ? test::read_file((work / e.target).string()) : "", &e);
            }
        }
        if (c.listing) {
            const std::string files = listing_of(scratch);
            EXPECT_EQ(files, *c.listing) << "files in the scratch directory";
            review += "expect files:" + (files.empty() ? "" : " " + files) + "\n";
        }
        if (const char* out_dir = std::getenv("TALLYCNV_CASES_OUTPUT")) {
            std::ofstream(std::string(out_dir) + "/" + name_ + ".case", std::ios::binary) << review;
        }
        fs::remove_all(root);
    }

  private:
    std::string path_;
    std::string name_;
};

const bool registered = [] {
    std::vector<fs::path> paths;
    if (fs::is_directory(cases_dir)) {
        for (const auto& entry : fs::directory_iterator(cases_dir)) {
            if (entry.path().extension() == ".case") {
                paths.push_back(entry.path());
            }
        }
    }
    std::sort(paths.begin(), paths.end());
    for (const fs::path& p : paths) {
        const std::string name = p.stem().string();
        testing::RegisterTest("Cases", name.c_str(), nullptr, nullptr, TALLYCNV_SOURCE_DIR "/tests/cases", 1,
                              [p, name]() -> testing::Test* { return new case_test(p.string(), name); });
    }
    return true;
}();

} // namespace
} // namespace tallycnv
