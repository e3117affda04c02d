#pragma once
// Groups logical lines into cards: BEGIN/END framing with nesting (AGENT cards and cards nested
// without AGENT), stray text, missing BEGIN or END, and the per-card decoding step once the
// card's VERSION is known (it may come last).
#include <memory>
#include <vector>

#include "byte_source.h"
#include "charset.h"
#include "line_reader.h"
#include "property_pool.h"
#include "vcard/reader.h"

namespace vcard {

class CardAssembler {
public:
    // `level` is the nesting level of the cards read here (0 for a file, deeper for the text
    // of a 3.0 AGENT value).
    CardAssembler(std::unique_ptr<ByteSource> source, const ReaderOptions& options, int level);
    // Reads another source from its start, as a new assembler would, with the storage this one
    // grew (its property pool, line buffers and charset converters).
    void restart(std::unique_ptr<ByteSource> source);
    bool next(Card& out);
    const std::vector<Warning>& fileWarnings() const { return fileWarnings_; }

private:
    struct Frame {
        Card card;
        bool agent = false;      // belongs to the AGENT property of the card below it
        bool implicit = false;   // opened by properties with no BEGIN:VCARD before them
        std::size_t lineWarnings = 0;   // warnings about its lines, listed up to a cap
    };

    void process(LogicalLine& line);
    void begin(std::size_t line, bool implicit);
    void close(bool complete);
    void finish();
    void finalize(Card& card, int level);
    void readAgentText(Card& card, const Property& agent, int level);
    void warnHere(std::size_t line, const std::string& property, std::string message);
    void fileWarning(Warning warning);
    int levelOfNewCard() const { return level_ + static_cast<int>(stack_.size()); }

    std::unique_ptr<ByteSource> source_;
    ReaderOptions options_;
    int level_;
    DecodingSource decoding_;
    PhysicalLineReader physical_;
    LogicalLineReader logical_;
    CharsetDecoder charsets_;
    std::vector<Frame> stack_;
    std::vector<Card> ready_;        // cards complete but not handed out yet, from readyHead_ on
    std::size_t readyHead_ = 0;
    std::vector<Card> nestedDone_;   // cards nested without AGENT, emitted after their outer card
    std::vector<Warning> fileWarnings_;
    PropertyPool pool_;              // the caller's previous card, reused for the next ones
    int skipDepth_ = 0;              // inside cards nested too deeply: skipped
    bool binarySeen_ = false;        // binary data outside cards since the last BEGIN:VCARD
    bool finished_ = false;
    LogicalLine line_;
    std::string decodeScratch_;      // working space of decodeProperty, kept across properties
};

}  // namespace vcard
