#include "zentra/path_list.h"

#include <limits>

#include "zentra/error.h"

namespace zentra {
namespace {

constexpr std::uint32_t kMaxOffset = std::numeric_limits<std::uint32_t>::max();

std::uint32_t checkedEnd(std::size_t end, const char* what) {
    if (end > kMaxOffset) throw Error(kErrOverflow, std::string("the file list holds too many ") + what);
    return static_cast<std::uint32_t>(end);
}

// Length of the valid UTF-8 sequence starting at s[i] (RFC 3629: no overlongs, no surrogates,
// nothing past U+10FFFF), or 0 when it does not start one.
std::size_t utf8SequenceAt(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) length = 2;
    else if (b0 == 0xE0) length = 3, low = 0xA0;
    else if (b0 >= 0xE1 && b0 <= 0xEC) length = 3;
    else if (b0 == 0xED) length = 3, high = 0x9F;
    else if (b0 >= 0xEE && b0 <= 0xEF) length = 3;
    else if (b0 == 0xF0) length = 4, low = 0x90;
    else if (b0 >= 0xF1 && b0 <= 0xF3) length = 4;
    else if (b0 == 0xF4) length = 4, high = 0x8F;
    else return 0;
    if (i + length > s.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return length;
}

void appendEscaped(std::string& out, unsigned char b) {
    static const char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
}

}  // namespace

std::string_view PathList::folderBytes(std::uint32_t f) const {
    const std::uint32_t begin = f == 0 ? 0 : folderEnds_[f - 1];
    return std::string_view(folders_).substr(begin, folderEnds_[f] - begin);
}

std::uint32_t PathList::folderIndexOf(std::string_view folder) {
    // Files of one folder usually arrive together: the last folder is checked first.
    if (!folderEnds_.empty()) {
        const auto last = static_cast<std::uint32_t>(folderEnds_.size() - 1);
        if (folderBytes(last) == folder) return last;
    }
    const auto bytesOf = [this](std::uint32_t f) { return folderBytes(f); };
    if (auto found = folderIndex_.find(folder, bytesOf)) return *found;
    if (folderEnds_.size() >= kMaxOffset) throw Error(kErrOverflow, "the file list holds too many folders");
    const std::uint32_t end = checkedEnd(folders_.size() + folder.size(), "folder names");
    folders_.append(folder);
    folderEnds_.push_back(end);
    const auto index = static_cast<std::uint32_t>(folderEnds_.size() - 1);
    folderIndex_.insert(index, folder, bytesOf);
    return index;
}

PathList::Index PathList::add(std::string_view path) {
    if (entries_.size() >= kMaxOffset) throw Error(kErrOverflow, "the file list holds too many files");
    const std::size_t cut = path.rfind('/');
    const std::string_view folder = cut == std::string_view::npos ? std::string_view() : path.substr(0, cut + 1);
    const std::string_view name = cut == std::string_view::npos ? path : path.substr(cut + 1);
    const std::uint32_t folderIndex = folderIndexOf(folder);
    const std::uint32_t nameEnd = checkedEnd(names_.size() + name.size(), "file names");
    names_.append(name);
    entries_.push_back(Entry{folderIndex, nameEnd});
    return static_cast<Index>(entries_.size() - 1);
}

const PathList::Entry& PathList::at(Index i) const {
    if (i >= entries_.size()) throw Error(kErrSubscriptOutOfRange, "Subscript out of range");
    return entries_[i];
}

std::string_view PathList::folder(Index i) const { return folderBytes(at(i).folder); }

std::string_view PathList::name(Index i) const {
    const Entry& e = at(i);
    const std::uint32_t begin = i == 0 ? 0 : entries_[i - 1].nameEnd;
    return std::string_view(names_).substr(begin, e.nameEnd - begin);
}

std::string PathList::path(Index i) const {
    const std::string_view f = folder(i), n = name(i);
    std::string out;
    out.reserve(f.size() + n.size());
    out.append(f).append(n);
    return out;
}

PathSequence::PathSequence(PathList list) {
    list.shrinkToFit();
    order_.resize(list.size());
    for (std::size_t i = 0; i < order_.size(); ++i) order_[i] = static_cast<PathList::Index>(i);
    list_ = std::make_shared<const PathList>(std::move(list));
}

std::string PathSequence::path(std::size_t position) const {
    if (position >= order_.size()) throw Error(kErrSubscriptOutOfRange, "Subscript out of range");
    return order_[position] == kNone ? std::string() : list_->path(order_[position]);
}

void PathList::shrinkToFit() {
    folders_.shrink_to_fit();
    folderEnds_.shrink_to_fit();
    names_.shrink_to_fit();
    entries_.shrink_to_fit();
}

void PathList::clear() {
    folders_.clear();
    folders_.shrink_to_fit();
    folderEnds_.clear();
    folderEnds_.shrink_to_fit();
    folderIndex_.clear();
    names_.clear();
    names_.shrink_to_fit();
    entries_.clear();
    entries_.shrink_to_fit();
}

std::size_t PathList::bytesHeld() const {
    return folders_.capacity() + folderEnds_.capacity() * sizeof(std::uint32_t) + names_.capacity() +
           entries_.capacity() * sizeof(Entry) + folderIndex_.bytesHeld();
}

std::string readablePath(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        // Printable ASCII, what most paths are made of, goes over as one run.
        std::size_t plain = i;
        while (plain < bytes.size() && bytes[plain] >= 0x20 && bytes[plain] < 0x7F) ++plain;
        if (plain != i) {
            out.append(bytes.substr(i, plain - i));
            i = plain;
            continue;
        }
        const std::size_t length = utf8SequenceAt(bytes, i);
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const bool c1 = length == 2 && b0 == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0;
        if (length == 0 || b0 < 0x20 || b0 == 0x7F || c1) {
            if (c1) {
                appendEscaped(out, b0);
                appendEscaped(out, static_cast<unsigned char>(bytes[i + 1]));
                i += 2;
            } else {
                appendEscaped(out, b0);
                ++i;
            }
            continue;
        }
        out.append(bytes.substr(i, length));
        i += length;
    }
    return out;
}

}  // namespace zentra
