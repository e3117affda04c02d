// libFuzzer target for the PST engine: each input is a little program (folders, messages,
// attachments, commits) run against a new store; the written file must pass pstcheck and the
// node database's verifier and read back exactly as written. Any disagreement aborts, so
// libFuzzer keeps the input. See README.md for building and running it.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine_driver.h"

namespace {

const std::string& scratchDir() {
    static const std::string dir = [] {
        const char* env = std::getenv("PST_FUZZ_SCRATCH");
        std::filesystem::path p = env ? env : (std::filesystem::temp_directory_path() / "pst-engine-fuzz");
        std::filesystem::create_directories(p);
        return p.string();
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return -1;   // longer programs add nothing the bounds would not cut off
    pst_fuzz::DriverResult result = pst_fuzz::runEngineInput({data, size}, scratchDir());
    if (!result.problem.empty()) {
        std::fprintf(stderr, "PST engine disagreement: %s\n  store kept at %s\n", result.problem.c_str(),
                     result.path.c_str());
        std::abort();
    }
    return 0;
}
