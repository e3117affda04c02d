#pragma once
// The contacts of a store as libpst's lspst lists them, for the command-line tests that read
// back thousands of contacts (lspst reads 100,000 in about a second; pypff takes minutes).
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <sstream>
#include <string>

#include "readers.h"

namespace zentra::readers {

inline std::multiset<std::string> contactsByLibpst(const std::string& pst) {
    auto r = runProcess({"lspst", pst}, std::chrono::seconds(300));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::multiset<std::string> names;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("Contact\t", 0) == 0) names.insert(line.substr(8));
    return names;
}

}  // namespace zentra::readers
