// A registry store of its own for one test: hive folders in a fresh temporary
// directory, removed afterwards, with helpers that write values.
#pragma once

#include "platform/registry/RegKey.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace zyr::testing {

class TempRegistry {
public:
    TempRegistry()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zyr-registry-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            root_ = pattern;
        }
        std::filesystem::create_directories(root_ / "machine");
        std::filesystem::create_directories(root_ / "user");
        zyr::registry::SetLocation({(root_ / "machine").string(), (root_ / "user").string()});
    }
    ~TempRegistry()
    {
        zyr::registry::ResetLocation();
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    const std::filesystem::path& Root() const { return root_; }

    static bool SetText(HKEY root, const char* keyName, const char* valueName, const std::string& text,
                        DWORD type = REG_SZ)
    {
        return Set(root, keyName, valueName, type, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    }
    static bool SetDword(HKEY root, const char* keyName, const char* valueName, DWORD value)
    {
        return Set(root, keyName, valueName, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
    static bool CreateKey(HKEY root, const char* keyName)
    {
        zyr::registry::RegKey key;
        return key.Create(root, keyName, KEY_ALL_ACCESS) == ERROR_SUCCESS;
    }

private:
    static bool Set(HKEY root, const char* keyName, const char* valueName, DWORD type, const BYTE* data,
                    DWORD size)
    {
        zyr::registry::RegKey key;
        return key.Create(root, keyName, KEY_ALL_ACCESS) == ERROR_SUCCESS &&
               RegSetValueExA(key, valueName, 0, type, data, size) == ERROR_SUCCESS;
    }

    std::filesystem::path root_;
};

} // namespace zyr::testing
