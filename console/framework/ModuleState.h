// Module-wide state that the snap-in objects share with the module's exports:
// the lock count that keeps the module loaded while objects of it are alive,
// and the path of the module file.
#pragma once

#include "platform/com/WinTypes.h"

#include <string>

namespace zyr::console {

// Every live snap-in object, view component and data object holds one lock.
void LockModule();
void UnlockModule();
long ModuleLockCount();

// The full path of the module file; empty when it is not known.
const std::string& ModulePath();
void SetModulePath(std::string path);
// The folder of the module file (the path up to its last '/'); empty when
// the path is not known.
std::string ModuleFolder();

// Holds one module lock for its lifetime (a member of each counted object).
class ModuleLock {
public:
    ModuleLock() { LockModule(); }
    ~ModuleLock() { UnlockModule(); }
    ModuleLock(const ModuleLock&) = delete;
    ModuleLock& operator=(const ModuleLock&) = delete;
};

// Back to no locks and no path (tests).
void ResetModuleState();

} // namespace zyr::console
