// Runs a reader as a child process with its output captured in temporary files and the whole
// run bounded by coreutils' `timeout`, which also kills a reader that ignores SIGTERM.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "readers.h"

namespace zentra::readers {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, std::chrono::seconds timeout, const std::string& workingDir,
                         bool mergeOutput) {
    ProcessResult result;
    std::string base = (std::filesystem::temp_directory_path() / "zentra-reader-XXXXXX").string();
    int outFd = mkstemp(base.data());
    if (outFd < 0) {
        result.err = "cannot create a temporary file";
        return result;
    }
    std::string outPath = base, errPath = base + ".err";
    int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::vector<std::string> full = {"timeout", "--kill-after=5", std::to_string(timeout.count())};
    full.insert(full.end(), argv.begin(), argv.end());
    std::vector<char*> args;
    for (auto& a : full) args.push_back(a.data());
    args.push_back(nullptr);

    pid_t pid = fork();
    if (pid == 0) {
        dup2(outFd, 1);
        dup2(mergeOutput ? outFd : errFd, 2);
        int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, 0);
        if (!workingDir.empty() && chdir(workingDir.c_str()) != 0) _exit(126);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(outFd);
    if (errFd >= 0) close(errFd);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0) {
        result.err = "cannot start " + argv.front();
    } else if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
        // timeout exits 124 when the time ran out, 137 when it had to kill the reader.
        result.timedOut = result.exitCode == 124 || result.exitCode == 137;
    } else if (WIFSIGNALED(status)) {
        result.exitCode = 128 + WTERMSIG(status);
        // After --kill-after, timeout sends SIGKILL to its whole process group, itself included.
        result.timedOut = WTERMSIG(status) == SIGKILL;
    }
    result.out = slurp(outPath);
    result.err += slurp(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return result;
}

}  // namespace zentra::readers
