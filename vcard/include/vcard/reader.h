#pragma once
// Reading vCard files: a streaming reader that hands out one card at a time, so memory stays
// proportional to the card being read, and convenience functions for buffers and callbacks.
//
//   vcard::Reader reader = vcard::Reader::openFile(path);   // throws zentra::Error on open
//   vcard::Card card;
//   while (reader.next(card)) { ... }
//
// Nothing in a file's content throws: problems become warnings on the card they belong to.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vcard/card.h"

namespace vcard {

struct ReaderOptions {
    // A logical line (a property with its folded continuations) longer than this is dropped with
    // a warning; its card is kept. Large enough for big inline photos.
    std::size_t maxLineBytes = 128u << 20;
    // Cards nested inside AGENT properties deeper than this are not read (with a warning).
    int maxAgentDepth = 4;
    // The legacy charset: 8-bit text without a CHARSET parameter (values and parameters) that is
    // not valid UTF-8 is read in it, with a warning once per card. An iconv name that reads
    // ASCII as ASCII (vcard/legacy_charset.h); others are replaced by WINDOWS-1252.
    std::string fallbackCharset = "WINDOWS-1252";
    // Size of each read from a file.
    std::size_t chunkBytes = 64u << 10;
};

class ByteSource;   // where the bytes come from (file or memory)
class CardAssembler;

class Reader {
public:
    // Opens a file for reading. Throws zentra::Error (file not found, permission denied, ...)
    // with the path and the reason.
    static Reader openFile(const std::filesystem::path& path, ReaderOptions options = {});
    // Reads a file its caller opened (see openRegularFile) from the descriptor's current position.
    // The caller keeps fd open while the reader lives and closes it afterwards; `name` is the path
    // shown in messages.
    static Reader fromDescriptor(int fd, std::uint64_t sizeAtOpen, std::string name, ReaderOptions options = {});
    // Reads from a buffer. The bytes are copied chunk by chunk; the buffer must outlive the reader.
    static Reader fromBuffer(std::string_view bytes, ReaderOptions options = {});
    // Reads another buffer from its start, as fromBuffer with the same options would, keeping the
    // storage this reader grew: many small files read one after another by one reader (into one
    // Card) cost almost no allocations. Its file warnings start again.
    void restart(std::string_view bytes);

    Reader(Reader&&) noexcept;
    Reader& operator=(Reader&&) noexcept;
    ~Reader();

    // Fills `card` with the next card and returns true, or returns false at the end of input.
    // A returned card replaces whatever `card` held; reading into the same Card again (also one
    // kept across readers) lets the reader reuse its storage, with far fewer allocations than a
    // new Card each time.
    bool next(Card& card);

    // Problems not tied to a card (text after the last card, read errors), in input order.
    const std::vector<Warning>& fileWarnings() const;

private:
    explicit Reader(std::unique_ptr<CardAssembler> assembler);
    std::unique_ptr<CardAssembler> assembler_;
};

// A regular file opened for reading: the descriptor, which the caller closes, and the size and
// modification time the file had when it was opened.
struct OpenedFile {
    int fd = -1;
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    long modifiedNanoseconds = 0;
};

// Opens a file for reading without waiting and refuses anything but a regular file (a folder,
// pipe, socket or device would block the reader or never end). Throws zentra::Error naming the
// path and why.
OpenedFile openRegularFile(const std::string& path);

// Reads an opened file whole with a single read call into `out` (its content replaced). True when
// that call reached the end exactly at the size the file had when it was opened: `out` is the
// file as it was, and nothing can have changed between two reads of it. Otherwise (the file grew
// or shrank, the call returned only part, or it failed) the descriptor is set back to the start of
// the file and the file can be read through fromDescriptor, which notices what changed.
bool readWhole(const OpenedFile& file, std::string& out);

// Every card of a buffer.
std::vector<Card> parseBuffer(std::string_view bytes, const ReaderOptions& options = {});

// Calls `onCard` for each card of a file, in file order; returns the number of cards.
// Throws zentra::Error only when the file cannot be opened.
std::size_t parseFile(const std::filesystem::path& path, const std::function<void(Card&&)>& onCard,
                      const ReaderOptions& options = {});

}  // namespace vcard
