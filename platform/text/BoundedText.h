// Fixed-size text fields: N bytes with the terminator, never overrun, cut on a
// character boundary of the active code page.
#pragma once

#include "platform/text/CodePage.h"

#include <array>
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
// capacity and cutting rules in sixteen bytes. A text of up to 14 bytes (a
// name, a role, a qualifier) lives in them; a longer one on the heap, taking
// only what it needs.
template <size_t N>
class CompactBoundedText {
    static_assert(N > 1, "a bounded text holds at least one character");
    static_assert(N <= 0xFFFF, "the heap size is kept in sixteen bits");

public:
    static constexpr size_t kCapacity = N - 1;
    static constexpr size_t kInline = 14;

    CompactBoundedText() = default;
    explicit CompactBoundedText(std::string_view text) { Assign(text); }
    CompactBoundedText(const CompactBoundedText& other) { Assign(other.view()); }
    CompactBoundedText(CompactBoundedText&& other) noexcept : bytes_(other.bytes_) { other.bytes_ = {}; }
    CompactBoundedText& operator=(const CompactBoundedText& other)
    {
        if (this != &other) {
            Assign(other.view());
        }
        return *this;
    }
    CompactBoundedText& operator=(CompactBoundedText&& other) noexcept
    {
        if (this != &other) {
            Release();
            bytes_ = other.bytes_;
            other.bytes_ = {};
        }
        return *this;
    }
    ~CompactBoundedText() { Release(); }

    // Copies text, cut to the capacity on a character boundary. Returns false
    // when the text was cut. The text may be this field's own.
    bool Assign(std::string_view text)
    {
        const size_t length = text.size() <= kCapacity ? text.size() : CharacterBoundary(text, kCapacity);
        if (length <= kInline) {
            char copy[kInline];
            text.copy(copy, length);
            Release();
            bytes_ = {};
            std::memcpy(bytes_.data(), copy, length);
            bytes_[kTag] = static_cast<char>(length);
            return length == text.size();
        }
        // A much shorter text does not keep a long text's bytes.
        const size_t allocated = IsHeap() ? Get<uint16_t>(kAllocatedAt) : 0;
        if (length <= allocated && allocated <= 2 * length + 32) {
            std::memmove(Heap(), text.data(), length);
        } else {
            char* block = new char[length + 1];
            std::memcpy(block, text.data(), length);
            Release();
            Set<char*>(kPointerAt, block);
            Set<uint16_t>(kAllocatedAt, static_cast<uint16_t>(length));
            bytes_[kTag] = kHeapTag;
        }
        Heap()[length] = '\0';
        Set<uint32_t>(kLengthAt, static_cast<uint32_t>(length));
        return length == text.size();
    }
    CompactBoundedText& operator=(std::string_view text)
    {
        Assign(text);
        return *this;
    }

    void Clear()
    {
        Release();
        bytes_ = {};
    }
    const char* c_str() const { return IsHeap() ? Heap() : bytes_.data(); }
    std::string_view view() const { return std::string_view(c_str(), size()); }
    std::string str() const { return std::string(view()); }
    size_t size() const { return IsHeap() ? Get<uint32_t>(kLengthAt) : static_cast<size_t>(bytes_[kTag]); }
    bool empty() const { return size() == 0; }
    static constexpr size_t capacity() { return kCapacity; }

    friend bool operator==(const CompactBoundedText& a, std::string_view b) { return a.view() == b; }

private:
    // Inline: the text and its terminator from byte 0, its length in the tag.
    // On the heap: the pointer, the length, the size of the block, the tag.
    static constexpr size_t kPointerAt = 0;
    static constexpr size_t kLengthAt = 8;
    static constexpr size_t kAllocatedAt = 12;
    static constexpr size_t kTag = 15;
    static constexpr char kHeapTag = static_cast<char>(0x7f);
    static_assert(sizeof(char*) <= kLengthAt, "the pointer fits before the length");

    template <typename T>
    T Get(size_t at) const
    {
        T value;
        std::memcpy(&value, bytes_.data() + at, sizeof value);
        return value;
    }
    template <typename T>
    void Set(size_t at, T value)
    {
        std::memcpy(bytes_.data() + at, &value, sizeof value);
    }
    bool IsHeap() const { return bytes_[kTag] == kHeapTag; }
    char* Heap() const { return Get<char*>(kPointerAt); }
    void Release()
    {
        if (IsHeap()) {
            delete[] Heap();
            bytes_ = {};
        }
    }

    std::array<char, 16> bytes_{};
};

} // namespace zyr::text
