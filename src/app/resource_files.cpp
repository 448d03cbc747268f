#include "app/resource_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace tallycnv {

namespace {

bool is_readable_file(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), R_OK) == 0;
}

} // namespace

std::string executable_directory() {
    std::vector<char> exe(4096);
    const ssize_t n = readlink("/proc/self/exe", exe.data(), exe.size());
    if (n > 0 && static_cast<std::size_t>(n) < exe.size()) {
        const std::string path(exe.data(), static_cast<std::size_t>(n));
        const std::size_t slash = path.find_last_of('/');
        if (slash != std::string::npos) {
            return slash == 0 ? std::string("/") : path.substr(0, slash);
        }
    }
    return {};
}

std::string resource_file(const std::string& program_directory, const std::string& name) {
    std::vector<std::string> folders = {program_directory};
    const std::string executable = executable_directory();
    if (!executable.empty() && executable != program_directory) {
        folders.push_back(executable);
    }
    for (std::size_t i = 0, n = folders.size(); i < n; ++i) {
        folders.push_back(folders[i] + "/../share/tallycnv");
    }
    for (const std::string& folder : folders) {
        std::string path = folder;
        path.append("/").append(name);
        if (is_readable_file(path)) {
            return path;
        }
    }
    std::string beside = program_directory;
    return beside.append("/").append(name);
}

} // namespace tallycnv
