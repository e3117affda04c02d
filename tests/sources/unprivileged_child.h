#pragma once
// Runs a piece of a test as an ordinary user would: in a child process that has given up every
// capability in its effective set, so that root (as CI runs) no longer reads folders whose
// permissions deny it. The child reports back through a pipe as text, and the parent checks
// the report, so a failure is seen by the test framework of the parent.
#include <functional>
#include <linux/capability.h>
#include <optional>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sources::testing {

// The report the child's body returned, or nothing when the child did not end normally.
inline std::optional<std::string> runUnprivileged(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return std::nullopt;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct caps[2]{};
        if (::syscall(SYS_capget, &header, caps) != 0) ::_exit(2);
        for (auto& set : caps) set.effective = 0;
        if (::syscall(SYS_capset, &header, caps) != 0) ::_exit(3);
        std::string report;
        try {
            report = body();
        } catch (const std::exception& e) {
            report = std::string("child: exception ") + e.what();
        }
        for (std::size_t done = 0; done < report.size();) {
            const ssize_t n = ::write(pipeFds[1], report.data() + done, report.size() - done);
            if (n <= 0) ::_exit(4);
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return report;
}

}  // namespace sources::testing
