#pragma once
// One listed vCard file on its way into the store: its exact path, and its place in the queue
// of files an import run reads ahead. The place is the file's identity between the reading
// thread and the item that takes it; paths are never compared to find a prepared file.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "zentra/path_list.h"

namespace pipeline {

struct SourceFile {
    std::string path;             // exact bytes, as listed
    std::uint64_t queued = 0;     // 1-based place in its FileQueue; 0: not queued
    const void* queue = nullptr;  // the queue it belongs to
};

// The files of one import run in the order the loop takes them. Shared between the loop and the
// reading thread; the paths are the list's own (the grid's, for an import run: see
// zentra::PathSequence) and never change once queued.
class FileQueue {
public:
    FileQueue() = default;
    explicit FileQueue(zentra::PathSequence paths) : paths_(std::move(paths)) {}
    explicit FileQueue(zentra::PathList paths) : paths_(std::move(paths)) {}

    std::size_t size() const { return paths_.size(); }
    // The file at a 0-based position, carrying its identity in this queue.
    SourceFile file(std::size_t position) const;

private:
    zentra::PathSequence paths_;
};

using SharedFileQueue = std::shared_ptr<const FileQueue>;

}  // namespace pipeline
