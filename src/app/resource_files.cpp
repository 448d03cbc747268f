#include "app/resource_files.h"

#include <sys/stat.h>
#include <unistd.h>

namespace tallycnv {

namespace {

bool is_readable_file(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), R_OK) == 0;
}

} // namespace

std::string resource_file(const std::string& program_directory, const std::string& name) {
    const std::string beside = program_directory + "/" + name;
    if (is_readable_file(beside)) {
        return beside;
    }
    const std::string installed = program_directory + "/../share/tallycnv/" + name;
    return is_readable_file(installed) ? installed : beside;
}

} // namespace tallycnv
