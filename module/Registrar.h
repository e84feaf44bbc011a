// Writes and removes a registration script: a tree of keys with default and
// named text values under the registry roots. A ForceRemove key is deleted
// with its subkeys before it is written, and removed on unregistration; a
// NoRemove key is created when missing and never removed; any other key is
// removed on unregistration once it holds nothing but what the script wrote.
// "%MODULE%" in a value stands for the module's path.
#pragma once

#include "platform/com/WinTypes.h"
#include "platform/registry/Registry.h"

#include <string>
#include <vector>

namespace zyr::module {

enum class KeyRule { Normal, ForceRemove, NoRemove };

struct ScriptValue {
    std::string name; // empty for the default value
    std::string text;
};

struct ScriptKey {
    std::string name;
    KeyRule rule = KeyRule::Normal;
    std::vector<ScriptValue> values;
    std::vector<ScriptKey> keys;
};

struct ScriptRoot {
    HKEY root;
    std::vector<ScriptKey> keys;
};

using RegistrationScript = std::vector<ScriptRoot>;

// Each answers S_OK or the HRESULT of the first failing registry call;
// nothing is rolled back.
HRESULT RegisterScript(const RegistrationScript& script, const std::string& modulePath);
HRESULT UnregisterScript(const RegistrationScript& script);

} // namespace zyr::module
