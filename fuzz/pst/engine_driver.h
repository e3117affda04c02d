#pragma once
// Drives the PST engine with a little program decoded from arbitrary bytes: a new store, a
// folder tree (Unicode names, case-differing siblings that must be refused), messages with
// random property sets (tagged and named properties, every value type the engine writes,
// values from empty to several blocks), attachments and commits in any order. Everything the
// program writes is recorded in a model; after close() the file must pass pstcheck and the
// node database's verifier, and reading it back must give exactly the model.
//
// Shared by the libFuzzer target (fuzz/pst/pst_engine_fuzz.cpp) and the regression test that
// replays kept inputs (tests/pst/engine_fuzz_regress.cpp).
#include <cstdint>
#include <span>
#include <string>

namespace pst_fuzz {

struct DriverResult {
    std::string problem;   // empty when the engine did everything right
    std::string path;      // the store written (kept only when there is a problem)
    size_t folders = 0;    // folders created by the program
    size_t messages = 0;   // messages added
    size_t commits = 0;    // explicit commits
};

// Runs one input in scratchDir (which must exist). The store file gets a name unique to this
// process and run, and is removed afterwards unless a problem was found or keepStore is set.
DriverResult runEngineInput(std::span<const uint8_t> input, const std::string& scratchDir, bool keepStore = false);

}  // namespace pst_fuzz
