#pragma once
// Memory checks in a child process: fork, run the body there, and wait4 gives the child's own
// peak resident size, compared against a child that does nothing. Header only, for any test.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <functional>

namespace zentra::testing {

// Whether resident-memory figures mean anything in this build: under AddressSanitizer they
// measure its shadow memory and quarantine.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasureMemory = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMeasureMemory = false;
#else
constexpr bool kMeasureMemory = true;
#endif
#else
constexpr bool kMeasureMemory = true;
#endif

constexpr long kMiB = 1024;   // ru_maxrss is in KiB

struct ChildRun {
    bool passed = false;   // the child's checks all held
    long peakKb = 0;
};

// Runs `body` in a child process; it returns true when its checks held (it prints why not).
inline ChildRun runInChild(const std::function<bool()>& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        bool ok = false;
        try {
            ok = body();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "child: exception %s\n", e.what());
        }
        std::fflush(nullptr);
        ::_exit(ok ? 0 : 1);
    }
    ChildRun run;
    int status = 0;
    rusage usage{};
    if (pid > 0 && ::wait4(pid, &status, 0, &usage) == pid) {
        run.passed = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        run.peakKb = usage.ru_maxrss;
    }
    std::printf("child peak resident size: %ld KiB\n", run.peakKb);
    return run;
}

// Peak of a child that only exists: what every child starts with.
inline long idleChildKb() {
    static const long kb = runInChild([] { return true; }).peakKb;
    return kb;
}

inline bool check(bool condition, const char* what) {
    if (!condition) std::fprintf(stderr, "child check failed: %s\n", what);
    return condition;
}

}  // namespace zentra::testing
