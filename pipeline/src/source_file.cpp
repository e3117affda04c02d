#include "pipeline/source_file.h"

namespace pipeline {

SourceFile FileQueue::file(std::size_t position) const {
    return SourceFile{paths_.path(static_cast<zentra::PathList::Index>(position)), position + 1, this};
}

}  // namespace pipeline
