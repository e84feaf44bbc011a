// An open registry key that closes itself when it goes out of scope.
#pragma once

#include "platform/registry/Registry.h"

#include <utility>

namespace zyr::registry {

class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegKey& operator=(RegKey&& other) noexcept
    {
        if (this != &other) {
            Close();
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }

    // Open and Create close the key held before; on failure none is held.
    LONG Open(HKEY parent, const char* subKey, REGSAM access)
    {
        return RegOpenKeyExA(parent, subKey, 0, access, Receive());
    }
    LONG Create(HKEY parent, const char* subKey, REGSAM access)
    {
        return RegCreateKeyExA(parent, subKey, 0, nullptr, 0, access, nullptr, Receive(), nullptr);
    }

    // For a call that opens a key into an HKEY*.
    HKEY* Receive()
    {
        Close();
        return &key_;
    }
    void Close()
    {
        if (key_ != nullptr) {
            RegCloseKey(key_);
            key_ = nullptr;
        }
    }

    HKEY get() const { return key_; }
    operator HKEY() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }

private:
    HKEY key_ = nullptr;
};

} // namespace zyr::registry
