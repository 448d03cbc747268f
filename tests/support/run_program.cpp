#include "support/run_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/k479_builder.h"

namespace tallycnv::test {

std::string make_temp_dir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tallycnv-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory");
    }
    return pattern;
}

run_result run_tallycnv(const std::vector<std::string>& args, const std::string& working_directory,
                        const std::string& program, const std::vector<std::string>& environment,
                        bool stdout_closed) {
    const std::string scratch = make_temp_dir();
    int pipe_ends[2] = {-1, -1};
    if (stdout_closed && pipe(pipe_ends) != 0) {
        throw std::runtime_error("pipe failed");
    }
    if (stdout_closed) {
        close(pipe_ends[0]);
    }
    const std::string out_path = scratch + "/stdout";
    const std::string err_path = scratch + "/stderr";
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out =
            stdout_closed ? pipe_ends[1] : open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) {
            _exit(127);
        }
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (!working_directory.empty() && chdir(working_directory.c_str()) != 0) {
            _exit(127);
        }
        for (const std::string& entry : environment) {
            const std::size_t eq = entry.find('=');
            if (eq == std::string::npos ||
                setenv(entry.substr(0, eq).c_str(), entry.c_str() + eq + 1, 1) != 0) {
                _exit(127);
            }
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (stdout_closed) {
        close(pipe_ends[1]);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run_result result;
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    std::filesystem::remove_all(scratch);
    return result;
}

} // namespace tallycnv::test
