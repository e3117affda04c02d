#pragma once
// A one-line progress bar on a terminal, redrawn at most a few times a second.
#include <chrono>
#include <cstdio>

namespace vcf2pst {

class TerminalProgress {
public:
    // Draws only when `stream` is a terminal and `enabled`.
    TerminalProgress(std::FILE* stream, bool enabled);
    void update(int done, int total);
    void finish();   // clears the line

private:
    std::FILE* stream_;
    bool active_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace vcf2pst
