#pragma once
// Where a reader's bytes come from, and the whole-file encoding step in front of the line
// splitter: UTF-8 BOM removed, UTF-16 (with or without BOM) transcoded to UTF-8 while reading.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace vcard {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Appends up to `max` bytes to `out`; returns the number appended, 0 at the end.
    // A read error ends the input and leaves its reason in error().
    virtual std::size_t read(std::string& out, std::size_t max) = 0;
    const std::string& error() const { return error_; }

protected:
    std::string error_;
};

// Reads a regular file through a descriptor: one the source opens itself (and closes), or one
// its caller opened and keeps (see Reader::fromDescriptor).
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::filesystem::path& path);   // throws zentra::Error
    // Reads fd from its current position; the caller keeps it open until the source is gone.
    FileSource(int fd, std::uint64_t sizeAtOpen, std::string name);
    ~FileSource() override;
    std::size_t read(std::string& out, std::size_t max) override;

private:
    int fd_ = -1;
    bool ownsFd_ = false;
    std::string path_;
    std::unique_ptr<char[]> scratch_;   // not initialised: fread fills what it reports
    std::size_t scratchSize_ = 0;
    static constexpr std::size_t kUnknownSize = static_cast<std::size_t>(-1);
    std::size_t sizeLeft_ = kUnknownSize;   // bytes the file held at opening minus those read
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    void restart(std::string_view bytes) {
        bytes_ = bytes;
        pos_ = 0;
    }
    std::size_t read(std::string& out, std::size_t max) override;

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

enum class FileEncoding { Bytes, Utf16LE, Utf16BE };

// Reads from a source and hands out UTF-8 (UTF-16 input) or the bytes as they are (everything
// else, with a UTF-8 BOM removed). The encoding is decided from the first bytes.
class DecodingSource {
public:
    DecodingSource(ByteSource& source, std::size_t chunkBytes);
    // Reads another source from its start, keeping the storage grown so far.
    void restart(ByteSource& source);
    std::size_t read(std::string& out);     // appends one chunk; 0 at the end
    FileEncoding encoding() const { return encoding_; }
    const std::string& error() const { return source_->error(); }

private:
    void sniff();
    void transcodeUtf16(std::string_view in, std::string& out);

    ByteSource* source_;
    std::size_t chunkBytes_;
    bool sniffed_ = false;
    FileEncoding encoding_ = FileEncoding::Bytes;
    std::string pending_;        // bytes read but not yet handed out (sniffing, odd UTF-16 byte)
    unsigned highSurrogate_ = 0; // UTF-16 high surrogate waiting for its partner
    std::string scratch_;
};

}  // namespace vcard
