// The registry store: the two hive files on disk, read when they change and
// written atomically under a file lock. The Win32-shaped calls of Registry.h
// and the zyr-reg tool both work through it.
//
// Files: <machineDir>/machine.reg holds HKEY_LOCAL_MACHINE (HKEY_CLASSES_ROOT
// is its Software\Classes key), <userDir>/user.reg holds HKEY_CURRENT_USER.
// Beside each hive a lock file (machine.reg.lock, user.reg.lock) serialises
// writers with flock. A writer takes the lock, reads the hive afresh, applies
// its change and, when something changed, writes a temporary file in the same
// folder, flushes it and renames it over the hive: two processes writing at
// once lose nothing, and a reader sees the old or the new hive, never half of
// one. A malformed hive file is reported (file and line) through the
// diagnostic sink and answered with ERROR_BADDB; it is never rewritten.
#pragma once

#include "platform/registry/RegFile.h"

#include <functional>
#include <string>

namespace zyr::registry {

constexpr const char* kMachineHiveFile = "machine.reg";
constexpr const char* kUserHiveFile = "user.reg";

// Where diagnostics about hive files go; standard error by default. An empty
// function restores the default.
using DiagnosticSink = std::function<void(const std::string& message)>;
void SetDiagnosticSink(DiagnosticSink sink);

// The full path of a hive file in the current location.
std::string HivePath(HiveId hive);

// Runs reader over the current contents of the hive (an empty hive when the
// file does not exist). Answers ERROR_BADDB for a malformed file, another
// Win32 error when the file cannot be read, else what reader answers.
LONG ReadHive(HiveId hive, const std::function<LONG(const RegistryHive&)>& reader);

// Runs change over the hive read afresh under the lock. change sets changed
// when it altered the hive; only then is the file written. Answers the first
// failure: ERROR_BADDB, ERROR_ACCESS_DENIED or ERROR_WRITE_FAULT when the
// hive cannot be read or written, else what change answers (the hive is
// written only when change answers ERROR_SUCCESS). change may run more than
// once (first on an empty hive when the hive's folder does not exist yet), so
// it sets its results afresh each time.
LONG ModifyHive(HiveId hive, const std::function<LONG(RegistryHive& hive, bool& changed)>& change);

// Reads a .reg file and applies it to the hives it names, one hive at a
// time. Nothing is applied when the file is malformed; the error then names
// the line. Answers ERROR_SUCCESS or the first failure.
LONG ImportRegFile(const std::string& path, std::string& error);

// Drops every cached hive (the location stays).
void DropCachedHives();

} // namespace zyr::registry
