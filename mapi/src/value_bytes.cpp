#include "mapi/value_bytes.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace mapi {

ValueBytes& ValueBytes::operator=(const ValueBytes& other) {
    if (this != &other) assign(other.begin(), other.end());
    return *this;
}

ValueBytes& ValueBytes::operator=(ValueBytes&& other) noexcept {
    if (this != &other) {
        release();
        takeFrom(other);
    }
    return *this;
}

void ValueBytes::reserve(std::size_t count) {
    if (count <= capacity()) return;
    if (count > std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
    // Growing by half again keeps push_back loops linear, as a vector's doubling does.
    const std::size_t grown = std::min<std::size_t>(std::max(count, capacity() + capacity() / 2),
                                                    std::numeric_limits<uint32_t>::max());
    auto* bytes = static_cast<uint8_t*>(::operator new(grown));
    if (size_) std::memcpy(bytes, data(), size_);
    release();
    heap_ = bytes;
    capacity_ = static_cast<uint32_t>(grown);
}

void ValueBytes::resize(std::size_t count, uint8_t fill) {
    if (count > size_) {
        reserve(count);
        std::memset(data() + size_, fill, count - size_);
    }
    size_ = static_cast<uint32_t>(count);
}

void ValueBytes::push_back(uint8_t byte) {
    if (size_ == capacity()) reserve(size_ + 1);
    data()[size_++] = byte;
}

void ValueBytes::assign(std::size_t count, uint8_t fill) {
    clear();
    resize(count, fill);
}

uint8_t* ValueBytes::uninitialised(std::size_t count) {
    reserve(count);
    size_ = static_cast<uint32_t>(count);
    return data();
}

bool ValueBytes::equal(const ValueBytes& a, std::span<const uint8_t> b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

}  // namespace mapi
