// A registry store of its own for one test: a fresh temporary folder holds
// the machine and user hives while the object lives, and the previous
// location is restored (and the folder removed) afterwards.
#pragma once

#include "platform/com/WinTypes.h"

#include <string>

namespace zyr::test {

class TempRegistry {
public:
    TempRegistry();
    ~TempRegistry();
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    const std::string& Folder() const { return folder_; }

    // Writes (or, with Delete, removes) a value under HKEY_LOCAL_MACHINE\subKey,
    // creating the key as needed. True on success.
    bool SetMachineDword(const char* subKey, const char* name, DWORD value);
    bool SetMachineText(const char* subKey, const char* name, const std::string& value);
    bool DeleteMachineValue(const char* subKey, const char* name);

private:
    std::string folder_;
};

} // namespace zyr::test
