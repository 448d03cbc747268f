// Where the help text and the default language file are found: beside the
// program, else in ../share/tallycnv/ as a `cmake --install` tree lays them out.
#include "app/resource_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/k479_builder.h"
#include "support/run_program.h"

namespace tallycnv {
namespace {

namespace fs = std::filesystem;

TEST(ResourceFile, BesideTheProgramThenInstalledPlace) {
    struct row {
        const char* name;
        bool beside;    // a file of that name in prefix/bin
        bool installed; // a file of that name in prefix/share/tallycnv
        bool directory; // prefix/bin holds a directory of that name instead
        const char* expected;
    };
    const row rows[] = {
        {"LANG.479", true, true, false, "bin/LANG.479"},
        {"LANG.479", false, true, false, "bin/../share/tallycnv/LANG.479"},
        {"TALLYCNV.HLP", false, true, true, "bin/../share/tallycnv/TALLYCNV.HLP"},
        {"TALLYCNV.HLP", true, false, false, "bin/TALLYCNV.HLP"},
        {"TALLYCNV.HLP", false, false, false, "bin/TALLYCNV.HLP"}, // missing: reported from beside
        {"LANG.479", false, false, true, "bin/LANG.479"},
    };
    for (const row& r : rows) {
        const std::string prefix = test::make_temp_dir();
        fs::create_directories(prefix + "/bin");
        fs::create_directories(prefix + "/share/tallycnv");
        if (r.beside) {
            test::write_file(prefix + "/bin/" + r.name, test::bytes{'b'});
        }
        if (r.directory) {
            fs::create_directory(prefix + "/bin/" + r.name);
        }
        if (r.installed) {
            test::write_file(prefix + "/share/tallycnv/" + r.name, test::bytes{'s'});
        }
        EXPECT_EQ(resource_file(prefix + "/bin", r.name), prefix + "/" + r.expected)
            << r.name << " beside=" << r.beside << " installed=" << r.installed;
        fs::remove_all(prefix);
    }
}

} // namespace
} // namespace tallycnv
