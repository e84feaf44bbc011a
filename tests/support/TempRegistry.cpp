#include "tests/support/TempRegistry.h"

#include "platform/registry/Registry.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace zyr::test {

namespace {

HKEY CreateMachineKey(const char* subKey)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

} // namespace

TempRegistry::TempRegistry()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "zyr-registry-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        folder_ = pattern;
    }
    zyr::registry::SetLocation({folder_ + "/machine", folder_ + "/user"});
}

TempRegistry::~TempRegistry()
{
    zyr::registry::ResetLocation();
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

bool TempRegistry::SetMachineDword(const char* subKey, const char* name, DWORD value)
{
    HKEY key = CreateMachineKey(subKey);
    if (key == nullptr) {
        return false;
    }
    LONG result =
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool TempRegistry::SetMachineText(const char* subKey, const char* name, const std::string& value)
{
    HKEY key = CreateMachineKey(subKey);
    if (key == nullptr) {
        return false;
    }
    LONG result = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool TempRegistry::DeleteMachineValue(const char* subKey, const char* name)
{
    HKEY key = CreateMachineKey(subKey);
    if (key == nullptr) {
        return false;
    }
    LONG result = RegDeleteValueA(key, name);
    RegCloseKey(key);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

} // namespace zyr::test
