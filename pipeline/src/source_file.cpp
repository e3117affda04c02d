#include "pipeline/source_file.h"

namespace pipeline {

SourceFile FileQueue::file(std::size_t position) const {
    return SourceFile{paths_.path(position), position + 1, this};
}

}  // namespace pipeline
