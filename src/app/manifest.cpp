#include "app/manifest.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "io/file_io.h"

namespace tallycnv {

namespace {

constexpr const char* first_line = "tallycnv manifest 1";

// The largest manifest read: some ten million reports.
constexpr std::size_t manifest_limit = std::size_t{1} << 30;

// A word without blanks or line ends: other bytes as %XX.
std::string encoded(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '%') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

std::string decoded(const std::string& word) {
    std::string out;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (word[i] == '%' && i + 2 < word.size()) {
            out += static_cast<char>(std::stoi(word.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += word[i];
        }
    }
    return out;
}

// The manifest's text; nullopt (errno set) when it cannot be read.
std::optional<std::string> read_text(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    const auto size = static_cast<std::size_t>(std::max<off_t>(status.st_size, 0));
    return read_file_head(path, std::min(size + 4096, manifest_limit));
}

manifest parse(const std::string& text) {
    manifest entries;
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != first_line) {
        return entries;
    }
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string name;
        manifest_entry entry;
        if (words >> name >> entry.size >> entry.seconds >> entry.nanoseconds >> entry.options) {
            try {
                entries[decoded(name)] = entry;
            } catch (const std::exception&) {
                // a damaged line: that report is made again
            }
        }
    }
    return entries;
}

std::string serialised(const manifest& entries) {
    std::string text = std::string(first_line) + "\n";
    for (const auto& [name, entry] : entries) {
        text += encoded(name) + " " + std::to_string(entry.size) + " " + std::to_string(entry.seconds) + " " +
                std::to_string(entry.nanoseconds) + " " + entry.options + "\n";
    }
    return text;
}

std::string failure(const std::string& path) {
    return "Error : Could not write the manifest " + path + ": " + std::strerror(errno);
}

} // namespace

manifest_entry identity_of(const std::string& source, const std::string& key) {
    manifest_entry entry;
    struct stat status {};
    if (::stat(source.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        entry.size = status.st_size;
        entry.seconds = status.st_mtim.tv_sec;
        entry.nanoseconds = status.st_mtim.tv_nsec;
    }
    entry.options = key;
    return entry;
}

std::string shaping_key(const run_settings& settings) {
    std::string options;
    for (const std::string& option : settings.batch.shaping_options) {
        options += (options.empty() ? "" : " ") + encoded(option);
    }
    // The language file's names appear in the reports: its identity counts.
    struct stat language {};
    const bool found = ::stat(settings.lang_file.c_str(), &language) == 0;
    options += " lang=" + encoded(settings.lang_file) + ":" + std::to_string(found ? language.st_size : -1) +
               ":" + std::to_string(found ? language.st_mtim.tv_sec : 0) + "." +
               std::to_string(found ? language.st_mtim.tv_nsec : 0);
    return encoded(options);
}

manifest read_manifest(const std::string& dir) {
    const std::optional<std::string> text = read_text(dir + "/" + manifest_name);
    return text ? parse(*text) : manifest();
}

std::string record_in_manifest(const std::string& dir,
                               const std::vector<std::pair<std::string, manifest_entry>>& made) {
    const std::string path = dir + "/" + manifest_name;
    const int folder = open_file(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return failure(path);
    }
    // Batches sharing the folder take turns; each keeps the entries of the others.
    while (::flock(folder, LOCK_EX) != 0 && errno == EINTR) {
    }
    std::string problem;
    const std::optional<std::string> earlier = read_text(path);
    manifest entries;
    if (earlier) {
        entries = parse(*earlier);
    } else if (errno != ENOENT) {
        problem = failure(path);
    }
    if (problem.empty()) {
        for (const auto& [name, entry] : made) {
            entries[name] = entry;
        }
        const std::string temporary = path + ".tmp." + std::to_string(::getpid());
        const int fd = open_file(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        const std::string text = serialised(entries);
        bool written = fd >= 0 && write_all(fd, text.data(), text.size()) && sync_file(fd);
        if (!written) {
            problem = failure(path);
        }
        if (fd >= 0 && !close_file(fd) && written) {
            problem = failure(path);
            written = false;
        }
        if (written && !rename_file(temporary, path)) {
            problem = failure(path);
            written = false;
        }
        if (!written && fd >= 0) {
            remove_file(temporary);
        }
    }
    close_file(folder);
    return problem;
}

} // namespace tallycnv
