#include "pst/core/le_codec.h"

#include <string>

#include "zentra/error.h"

namespace pst::core {

void throwOutOfRange(size_t offset, size_t width, size_t size) {
    throw zentra::Error(zentra::kErrStoreCorrupt,
                        "structure field at offset " + std::to_string(offset) + " (" + std::to_string(width) +
                            " bytes) lies outside its " + std::to_string(size) + "-byte buffer");
}

}  // namespace pst::core
