#include "vcard/reader.h"

#include "card_assembler.h"

namespace vcard {

Reader::Reader(std::unique_ptr<CardAssembler> assembler) : assembler_(std::move(assembler)) {}
Reader::Reader(Reader&&) noexcept = default;
Reader& Reader::operator=(Reader&&) noexcept = default;
Reader::~Reader() = default;

Reader Reader::openFile(const std::filesystem::path& path, ReaderOptions options) {
    return Reader(std::make_unique<CardAssembler>(std::make_unique<FileSource>(path), options, 0));
}

Reader Reader::fromDescriptor(int fd, std::uint64_t sizeAtOpen, std::string name, ReaderOptions options) {
    return Reader(std::make_unique<CardAssembler>(std::make_unique<FileSource>(fd, sizeAtOpen, std::move(name)),
                                                  options, 0));
}

Reader Reader::fromBuffer(std::string_view bytes, ReaderOptions options) {
    return Reader(std::make_unique<CardAssembler>(std::make_unique<MemorySource>(bytes), options, 0));
}

void Reader::restart(std::string_view bytes) { assembler_->restart(std::make_unique<MemorySource>(bytes)); }

bool Reader::next(Card& card) { return assembler_->next(card); }

const std::vector<Warning>& Reader::fileWarnings() const { return assembler_->fileWarnings(); }

std::vector<Card> parseBuffer(std::string_view bytes, const ReaderOptions& options) {
    Reader reader = Reader::fromBuffer(bytes, options);
    std::vector<Card> cards;
    Card card;
    while (reader.next(card)) cards.push_back(std::move(card));
    return cards;
}

std::size_t parseFile(const std::filesystem::path& path, const std::function<void(Card&&)>& onCard,
                      const ReaderOptions& options) {
    Reader reader = Reader::openFile(path, options);
    std::size_t count = 0;
    Card card;
    while (reader.next(card)) {
        ++count;
        onCard(std::move(card));
        card = Card();
    }
    return count;
}

}  // namespace vcard
