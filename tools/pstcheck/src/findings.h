#pragma once
// Collects findings while the checks run.
#include <map>

#include "pstcheck/checker.h"

namespace pstcheck {

std::string hex(uint64_t v);

class Sink {
public:
    explicit Sink(Report& report) : report_(report) {}
    void error(const std::string& code, std::optional<uint64_t> offset, const std::string& message) {
        add(Severity::Error, code, offset, message);
    }
    void warn(const std::string& code, std::optional<uint64_t> offset, const std::string& message) {
        add(Severity::Warning, code, offset, message);
    }

private:
    static constexpr int kMaxPerCode = 50;
    void add(Severity s, const std::string& code, std::optional<uint64_t> offset, const std::string& message);
    Report& report_;
    std::map<std::string, int> perCode_;
};

}  // namespace pstcheck
