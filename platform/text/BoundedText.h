// Fixed-size text fields: N bytes with the terminator, never overrun, cut on a
// character boundary of the active code page.
#pragma once

#include "platform/text/CodePage.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <strings.h>

namespace zyr::text {

template <size_t N>
class BoundedText {
    static_assert(N > 1, "a bounded text holds at least one character");

public:
    static constexpr size_t kCapacity = N - 1; // characters without the terminator

    BoundedText() { data_[0] = '\0'; }
    explicit BoundedText(std::string_view text) { Assign(text); }

    // Copies text, cut to the capacity on a character boundary. Returns false
    // when the text was cut.
    bool Assign(std::string_view text)
    {
        size_t length = text.size() <= kCapacity ? text.size() : CharacterBoundary(text, kCapacity);
        if (length != 0) {
            std::memcpy(data_, text.data(), length);
        }
        data_[length] = '\0';
        length_ = length;
        return length == text.size();
    }
    BoundedText& operator=(std::string_view text)
    {
        Assign(text);
        return *this;
    }

    void Clear()
    {
        data_[0] = '\0';
        length_ = 0;
    }
    // Clears every byte, for a secret that must not linger in memory.
    void Wipe()
    {
        explicit_bzero(data_, sizeof data_);
        length_ = 0;
    }
    const char* c_str() const { return data_; }
    std::string_view view() const { return {data_, length_}; }
    std::string str() const { return {data_, length_}; }
    size_t size() const { return length_; }
    bool empty() const { return length_ == 0; }
    static constexpr size_t capacity() { return kCapacity; }

    friend bool operator==(const BoundedText& a, std::string_view b) { return a.view() == b; }

private:
    char data_[N];
    size_t length_ = 0;
};

// The same bounded field for records kept by the hundred thousand: the same
// capacity and cutting rules, but the bytes live on the heap and take only
// what the text needs (nothing for an empty text).
template <size_t N>
class CompactBoundedText {
    static_assert(N > 1, "a bounded text holds at least one character");

public:
    static constexpr size_t kCapacity = N - 1;

    CompactBoundedText() = default;
    explicit CompactBoundedText(std::string_view text) { Assign(text); }
    CompactBoundedText(const CompactBoundedText& other) { Assign(other.view()); }
    CompactBoundedText(CompactBoundedText&&) noexcept = default;
    CompactBoundedText& operator=(const CompactBoundedText& other)
    {
        if (this != &other) {
            Assign(other.view());
        }
        return *this;
    }
    CompactBoundedText& operator=(CompactBoundedText&&) noexcept = default;

    // Copies text, cut to the capacity on a character boundary. Returns false
    // when the text was cut.
    bool Assign(std::string_view text)
    {
        size_t length = text.size() <= kCapacity ? text.size() : CharacterBoundary(text, kCapacity);
        if (length == 0) {
            Clear();
            return text.empty();
        }
        // A much shorter text does not keep a long text's bytes.
        if (length > allocated_ || allocated_ > 2 * length + 32) {
            data_ = std::make_unique_for_overwrite<char[]>(length + 1);
            allocated_ = static_cast<uint32_t>(length);
        }
        std::memcpy(data_.get(), text.data(), length);
        data_[length] = '\0';
        length_ = static_cast<uint32_t>(length);
        return length == text.size();
    }
    CompactBoundedText& operator=(std::string_view text)
    {
        Assign(text);
        return *this;
    }

    void Clear()
    {
        data_.reset();
        length_ = 0;
        allocated_ = 0;
    }
    const char* c_str() const { return data_ ? data_.get() : ""; }
    std::string_view view() const
    {
        return data_ ? std::string_view(data_.get(), length_) : std::string_view();
    }
    std::string str() const { return std::string(view()); }
    size_t size() const { return length_; }
    bool empty() const { return length_ == 0; }
    static constexpr size_t capacity() { return kCapacity; }

    friend bool operator==(const CompactBoundedText& a, std::string_view b) { return a.view() == b; }

private:
    std::unique_ptr<char[]> data_;
    uint32_t length_ = 0;
    uint32_t allocated_ = 0;
};

} // namespace zyr::text
