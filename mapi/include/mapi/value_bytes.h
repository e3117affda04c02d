#pragma once
// The bytes of one stored property value. A contact has some fifty values, most of them a few
// bytes: integers, flags, times and short strings (a name, a phone number in UTF-16LE). Held in a
// std::vector each was a heap allocation made on the reading thread and freed on the writing one,
// the importer's largest single cost. Values up to kInlineBytes long sit inside the object; longer
// ones go to the heap. The interface is the part of std::vector<uint8_t> that callers use.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <new>
#include <span>
#include <vector>

namespace mapi {

class ValueBytes {
public:
    // Two thirds of a typical contact's values fit: every fixed-size one and strings of up to
    // 16 UTF-16 units.
    static constexpr std::size_t kInlineBytes = 32;

    using value_type = uint8_t;
    using size_type = std::size_t;
    using iterator = uint8_t*;
    using const_iterator = const uint8_t*;

    ValueBytes() noexcept = default;
    explicit ValueBytes(std::size_t count, uint8_t fill = 0) { assign(count, fill); }
    ValueBytes(std::span<const uint8_t> bytes) { assign(bytes.begin(), bytes.end()); }
    ValueBytes(const std::vector<uint8_t>& bytes) : ValueBytes(std::span<const uint8_t>(bytes)) {}
    ValueBytes(std::initializer_list<uint8_t> bytes) { assign(bytes.begin(), bytes.end()); }
    template <class It>
    ValueBytes(It first, It last) {
        assign(first, last);
    }
    ValueBytes(const ValueBytes& other) : ValueBytes(std::span<const uint8_t>(other.data(), other.size())) {}
    ValueBytes(ValueBytes&& other) noexcept { takeFrom(other); }
    ValueBytes& operator=(const ValueBytes& other);
    ValueBytes& operator=(ValueBytes&& other) noexcept;
    ~ValueBytes() { release(); }

    uint8_t* data() { return onHeap() ? heap_ : inline_; }
    const uint8_t* data() const { return onHeap() ? heap_ : inline_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::size_t capacity() const { return onHeap() ? capacity_ : kInlineBytes; }
    uint8_t* begin() { return data(); }
    uint8_t* end() { return data() + size_; }
    const uint8_t* begin() const { return data(); }
    const uint8_t* end() const { return data() + size_; }
    uint8_t& operator[](std::size_t i) { return data()[i]; }
    uint8_t operator[](std::size_t i) const { return data()[i]; }
    explicit operator std::vector<uint8_t>() const { return {begin(), end()}; }

    void reserve(std::size_t count);
    void resize(std::size_t count, uint8_t fill = 0);
    void clear() { size_ = 0; }
    void push_back(uint8_t byte);
    void assign(std::size_t count, uint8_t fill);
    template <class It>
    void assign(It first, It last) {
        clear();
        insert(end(), first, last);
    }
    // Appends only: `at` must be end(), the one place callers insert.
    template <class It>
    void insert(const uint8_t* at, It first, It last) {
        (void)at;
        const auto count = static_cast<std::size_t>(last - first);
        reserve(size_ + count);
        uint8_t* out = data() + size_;
        for (; first != last; ++first) *out++ = static_cast<uint8_t>(*first);
        size_ += static_cast<uint32_t>(count);
    }
    // Sets the size to `count` without writing the bytes; the caller fills them (a writer that
    // knows the most it will write, then gives the size it wrote with resize).
    uint8_t* uninitialised(std::size_t count);

    friend bool operator==(const ValueBytes& a, const ValueBytes& b) { return equal(a, {b.data(), b.size()}); }
    friend bool operator==(const ValueBytes& a, std::span<const uint8_t> b) { return equal(a, b); }
    friend bool operator==(const ValueBytes& a, const std::vector<uint8_t>& b) { return equal(a, b); }

private:
    bool onHeap() const { return capacity_ > kInlineBytes; }
    static bool equal(const ValueBytes& a, std::span<const uint8_t> b);
    // Inline: every value is moved and destroyed on its way to the file, millions per import.
    void takeFrom(ValueBytes& other) noexcept {
        size_ = other.size_;
        capacity_ = other.capacity_;
        // The whole inline area, whatever the size: a fixed-size copy is a few register moves,
        // where one of size_ bytes is a call.
        if (other.onHeap()) heap_ = other.heap_;
        else std::memcpy(inline_, other.inline_, kInlineBytes);
        other.size_ = 0;
        other.capacity_ = 0;
    }
    void release() noexcept {
        if (onHeap()) ::operator delete(heap_);
        capacity_ = 0;
    }

    uint32_t size_ = 0;
    uint32_t capacity_ = 0;   // heap bytes when more than kInlineBytes, else the bytes are inline
    union {
        uint8_t inline_[kInlineBytes];
        uint8_t* heap_;
    };
};

}  // namespace mapi
