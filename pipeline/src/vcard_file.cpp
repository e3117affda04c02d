#include "vcard_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "pipeline/file_cards.h"
#include "zentra/error.h"
#include "zentra/path_list.h"

namespace pipeline::detail {
namespace {

std::string trimmedOfSpaces(const std::string& path) {
    std::size_t begin = 0, end = path.size();
    while (begin < end && path[begin] == ' ') ++begin;
    while (end > begin && path[end - 1] == ' ') --end;
    return path.substr(begin, end - begin);
}

// The file name without its extension, as std::filesystem::path::stem gives it ("a.b.vcf" ->
// "a.b", ".vcf" -> ".vcf"), without building a path object for every file read.
std::string_view stemOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (name == "." || name == "..") return name;
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

struct Opened {
    vcard::OpenedFile file;
    std::string path;
};

Opened openExactOrTrimmed(const std::string& path) {
    const std::string trimmed = trimmedOfSpaces(path);
    try {
        return Opened{vcard::openRegularFile(path), path};
    } catch (const zentra::Error& e) {
        if (e.number() != zentra::kErrFileNotFound || trimmed == path || trimmed.empty()) throw;
    }
    return Opened{vcard::openRegularFile(trimmed), trimmed};
}

}  // namespace

VcardFile::VcardFile(const SourceFile& file, const contact::MapOptions& options, ReadingState* state)
    : state_(state ? *state : ownState_) {
    Opened opened;
    try {
        opened = openExactOrTrimmed(file.path);
    } catch (const zentra::Error& e) {
        // The reason names the path in its exact bytes; messages carry its readable form.
        throw zentra::Error(e.number(), zentra::readablePath(e.description()));
    }
    fd_ = opened.file.fd;
    shownPath_ = zentra::readablePath(opened.path);
    sizeAtOpen_ = opened.file.size;
    modifiedAtOpen_.tv_sec = static_cast<time_t>(opened.file.modifiedSeconds);
    modifiedAtOpen_.tv_nsec = opened.file.modifiedNanoseconds;
    // Most files hold one small card: read whole by one call, the file is done with before its
    // first card is parsed. Larger files, and files that changed since they were opened, are
    // read as they are parsed.
    bool whole = false;
    if (sizeAtOpen_ <= options.reader.chunkBytes) {
        try {
            whole = vcard::readWhole(opened.file, state_.bytes);
        } catch (const zentra::Error& e) {
            ::close(fd_);
            throw e.withContext(shownPath_);
        }
    }
    if (whole) {
        ::close(fd_);
        fd_ = -1;
        if (state_.wholeFiles) state_.wholeFiles->restart(state_.bytes);
        else state_.wholeFiles.emplace(vcard::Reader::fromBuffer(state_.bytes, options.reader));
        if (!state_.options) state_.options.emplace(options);
        options_ = &*state_.options;
    } else {
        stream_.emplace(vcard::Reader::fromDescriptor(fd_, sizeAtOpen_, shownPath_, options.reader));
        options_ = &ownOptions_.emplace(options);
    }
    // The readable form, since the name may become a contact's display name.
    contact::MapOptions& named = ownOptions_ ? *ownOptions_ : *state_.options;
    named.sourceName.assign(stemOf(shownPath_));
}

VcardFile::~VcardFile() {
    if (fd_ >= 0) ::close(fd_);
}

void VcardFile::checkUnchanged() {
    if (fd_ < 0) return;   // read whole by one call: one version of the file
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        throw zentra::Error(zentra::kErrDeviceIO, shownPath_ + ": " + std::strerror(errno));
    const bool sameSize = static_cast<std::uint64_t>(info.st_size) == sizeAtOpen_;
    const bool sameTime = info.st_mtim.tv_sec == modifiedAtOpen_.tv_sec && info.st_mtim.tv_nsec == modifiedAtOpen_.tv_nsec;
    if (!sameSize || !sameTime)
        throw zentra::Error(zentra::kErrImportFailed,
                            shownPath_ + " changed while it was being read; the " + std::to_string(cards_) +
                                " contacts read from it may mix two versions of the file: import it again");
}

bool VcardFile::next(contact::ContactItem& out) {
    if (!nextCard(state_.card)) return false;
    map(state_.card, out);
    return true;
}

bool VcardFile::nextCard(vcard::Card& card) {
    if (ended_) return false;
    if (!reader().next(card)) {
        ended_ = true;
        checkUnchanged();
        if (cards_ == 0) throw zentra::Error(zentra::kErrImportFailed, "no vCard found in " + shownPath_);
        return false;
    }
    ++cards_;
    return true;
}

void VcardFile::map(const vcard::Card& card, contact::ContactItem& out) const { contact::mapCard(card, *options_, out); }

std::vector<FileWarning> VcardFile::fileWarnings() const {
    std::vector<FileWarning> out;
    for (const vcard::Warning& w : reader().fileWarnings()) {
        FileWarning f;
        f.source = FileWarning::Source::Parser;
        f.line = w.line;
        f.property = w.property;
        f.message = w.message;
        out.push_back(std::move(f));
    }
    return out;
}

namespace {

class InlineCards final : public FileCards {
public:
    InlineCards(const SourceFile& file, const contact::MapOptions& options) : file_(file, options) {}
    bool next(contact::ContactItem& out) override { return file_.next(out); }
    std::size_t cardsRead() const override { return file_.cards(); }
    bool allRead() const override { return file_.ended(); }
    std::vector<FileWarning> fileWarnings() const override { return file_.fileWarnings(); }

private:
    VcardFile file_;
};

}  // namespace
}  // namespace pipeline::detail

namespace pipeline {

std::unique_ptr<FileCards> readHere(const SourceFile& file, const contact::MapOptions& options) {
    return std::make_unique<detail::InlineCards>(file, options);
}

}  // namespace pipeline
