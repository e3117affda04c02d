#include "terminal_progress.h"

#include <unistd.h>

#include <string>

namespace vcf2pst {

TerminalProgress::TerminalProgress(std::FILE* stream, bool enabled)
    : stream_(stream), active_(enabled && isatty(fileno(stream))) {}

void TerminalProgress::update(int done, int total) {
    if (!active_ || total <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && done < total && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    constexpr int kWidth = 40;
    const int filled = static_cast<int>(static_cast<long long>(done) * kWidth / total);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kWidth - filled), '.');
    std::fprintf(stream_, "\r[%s] %3d%% %d/%d files", bar.c_str(),
                 static_cast<int>(static_cast<long long>(done) * 100 / total), done, total);
    std::fflush(stream_);
    drawn_ = true;
}

void TerminalProgress::finish() {
    if (!drawn_) return;
    std::fprintf(stream_, "\r\033[K");
    std::fflush(stream_);
    drawn_ = false;
}

}  // namespace vcf2pst
