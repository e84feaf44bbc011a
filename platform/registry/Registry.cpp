// The Win32-shaped registry calls over the registry store. An open key is a
// handle that remembers its hive, its path and the access it was opened with;
// every call looks the key up in the hive as it is now, so a key deleted by
// another handle or process answers ERROR_KEY_DELETED.
#include "platform/registry/Registry.h"

#include "platform/registry/RegistryStore.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_set>

struct RegistryKeyHandle {
    zyr::registry::HiveId hive = zyr::registry::HiveId::Machine;
    zyr::registry::KeyParts parts;
    REGSAM access = 0;
    bool predefined = false; // a root: exists even when the hive is empty
};

namespace zyr::registry {

namespace {

constexpr REGSAM kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

// The open handles: a handle that is not in the table is refused rather than
// followed.
struct HandleTable {
    std::mutex mutex;
    std::unordered_set<RegistryKeyHandle*> open;
};

HandleTable& Handles()
{
    static HandleTable table;
    return table;
}

// Copies what the handle names, so that a concurrent close cannot pull it away.
bool Resolve(HKEY key, RegistryKeyHandle& out)
{
    if (key == HKEY_LOCAL_MACHINE) {
        out = RegistryKeyHandle{HiveId::Machine, {}, KEY_ALL_ACCESS, true};
        return true;
    }
    if (key == HKEY_CURRENT_USER) {
        out = RegistryKeyHandle{HiveId::User, {}, KEY_ALL_ACCESS, true};
        return true;
    }
    if (key == HKEY_CLASSES_ROOT) {
        out = RegistryKeyHandle{HiveId::Machine, {"Software", "Classes"}, KEY_ALL_ACCESS, true};
        return true;
    }
    std::lock_guard lock(Handles().mutex);
    if (!key || !Handles().open.count(key)) {
        return false;
    }
    out = *key;
    return true;
}

// Resolve, and the handle's access must hold needed: ERROR_INVALID_HANDLE or
// ERROR_ACCESS_DENIED otherwise.
LONG ResolveFor(HKEY key, REGSAM needed, RegistryKeyHandle& out)
{
    if (!Resolve(key, out)) {
        return ERROR_INVALID_HANDLE;
    }
    return (out.access & needed) != 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// predefined: the handle names a root again (a root opened with no sub-key),
// which exists even while its hive is empty.
HKEY NewHandle(HiveId hive, KeyParts parts, REGSAM access, bool predefined)
{
    auto* handle = new RegistryKeyHandle{hive, std::move(parts), access, predefined};
    std::lock_guard lock(Handles().mutex);
    Handles().open.insert(handle);
    return handle;
}

// The key a handle names, or nullptr; status tells why.
const RegistryKey* FindKey(const RegistryHive& hive, const RegistryKeyHandle& handle, LONG& status)
{
    const RegistryKey* key = hive.Find(handle.parts);
    status = key ? ERROR_SUCCESS : handle.predefined ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    return key;
}

// Joins a handle's path with a sub-key argument, keeping the stored case of
// keys that exist.
KeyParts Join(const KeyParts& base, const KeyParts& sub)
{
    KeyParts parts = base;
    parts.insert(parts.end(), sub.begin(), sub.end());
    return parts;
}

KeyParts StoredCase(const RegistryHive& hive, const KeyParts& parts)
{
    KeyParts stored;
    const RegistryKey* key = &hive.Root();
    for (const auto& part : parts) {
        key = key ? key->FindSubKey(part) : nullptr;
        stored.push_back(key ? key->Name() : part);
    }
    return stored;
}

LONG QueryValue(HKEY key, const char* valueName, RegistryValue& out)
{
    RegistryKeyHandle handle;
    if (LONG status = ResolveFor(key, KEY_QUERY_VALUE, handle); status != ERROR_SUCCESS) {
        return status;
    }
    std::string_view name = valueName ? valueName : "";
    return ReadHive(handle.hive, [&](const RegistryHive& hive) {
        LONG status = ERROR_SUCCESS;
        const RegistryKey* found = FindKey(hive, handle, status);
        if (!found) {
            return status;
        }
        const RegistryValue* value = found->FindValue(name);
        if (!value) {
            return ERROR_FILE_NOT_FOUND;
        }
        out = *value;
        return ERROR_SUCCESS;
    });
}

// Copies data under the size conventions of RegQueryValueExA.
LONG CopyData(const std::vector<BYTE>& data, BYTE* buffer, DWORD* size)
{
    if (!size) {
        return buffer ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    }
    DWORD needed = static_cast<DWORD>(data.size());
    if (buffer && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (buffer && needed) {
        std::memcpy(buffer, data.data(), needed);
    }
    *size = needed;
    return ERROR_SUCCESS;
}

// Copies a name with its terminator; the size is in characters, and on
// success holds the length without the terminator.
LONG CopyName(const std::string& name, char* buffer, DWORD* size)
{
    if (name.size() + 1 > *size) {
        *size = static_cast<DWORD>(name.size() + 1);
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// The checks that opening and creating a key share: a place for the result
// (cleared), a key handle that is ours, and a sub-key path that is well-formed.
LONG OpenCallArguments(HKEY key, const char* subKey, HKEY* result, RegistryKeyHandle& handle, KeyParts& sub)
{
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    if (!Resolve(key, handle)) {
        return ERROR_INVALID_HANDLE;
    }
    return SplitSubKey(subKey ? subKey : "", sub) ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

} // namespace

bool ReadDword(HKEY key, const char* valueName, DWORD& value)
{
    RegistryValue found;
    if (QueryValue(key, valueName, found) != ERROR_SUCCESS || found.type != REG_DWORD ||
        found.data.size() != 4) {
        return false;
    }
    std::memcpy(&value, found.data.data(), 4);
    return true;
}

bool ReadText(HKEY key, const char* valueName, char* buffer, DWORD capacity)
{
    if (!buffer || capacity == 0) {
        return false;
    }
    buffer[0] = '\0';
    RegistryValue found;
    if (QueryValue(key, valueName, found) != ERROR_SUCCESS) {
        return false;
    }
    const auto& data = found.data;
    bool terminated = false;
    if (found.type == REG_SZ || found.type == REG_EXPAND_SZ) {
        terminated = !data.empty() && data.back() == 0;
    } else if (found.type == REG_MULTI_SZ) {
        terminated = data.size() >= 2 && data[data.size() - 1] == 0 && data[data.size() - 2] == 0;
    }
    if (!terminated || data.size() > capacity) {
        return false;
    }
    std::memcpy(buffer, data.data(), data.size());
    return true;
}

} // namespace zyr::registry

using namespace zyr::registry;

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD /*options*/, REGSAM access, HKEY* result)
{
    RegistryKeyHandle handle;
    KeyParts sub;
    if (LONG status = OpenCallArguments(key, subKey, result, handle, sub); status != ERROR_SUCCESS) {
        return status;
    }
    KeyParts parts;
    LONG status = ReadHive(handle.hive, [&](const RegistryHive& hive) {
        LONG why = ERROR_SUCCESS;
        if (!FindKey(hive, handle, why) && !(handle.predefined && sub.empty())) {
            return why;
        }
        KeyParts full = Join(handle.parts, sub);
        if (!sub.empty() && !hive.Find(full)) {
            return ERROR_FILE_NOT_FOUND;
        }
        parts = StoredCase(hive, full);
        return ERROR_SUCCESS;
    });
    if (status == ERROR_SUCCESS) {
        *result = NewHandle(handle.hive, std::move(parts), access, handle.predefined && sub.empty());
    }
    return status;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD /*reserved*/, char* /*keyClass*/, DWORD /*options*/,
                     REGSAM access, void* /*securityAttributes*/, HKEY* result, DWORD* disposition)
{
    RegistryKeyHandle handle;
    KeyParts sub;
    if (LONG status = OpenCallArguments(key, subKey, result, handle, sub); status != ERROR_SUCCESS) {
        return status;
    }
    KeyParts full = Join(handle.parts, sub);
    KeyParts parts;
    bool created = false;
    // Look first without the lock: opening an existing key writes nothing.
    LONG status = ReadHive(handle.hive, [&](const RegistryHive& hive) {
        LONG why = ERROR_SUCCESS;
        if (!FindKey(hive, handle, why) && !handle.predefined) {
            return why;
        }
        if (!hive.Find(full)) {
            return ERROR_FILE_NOT_FOUND;
        }
        parts = StoredCase(hive, full);
        return ERROR_SUCCESS;
    });
    if (status == ERROR_FILE_NOT_FOUND) {
        if (!(handle.access & KEY_CREATE_SUB_KEY)) {
            return ERROR_ACCESS_DENIED;
        }
        status = ModifyHive(handle.hive, [&](RegistryHive& hive, bool& changed) {
            LONG why = ERROR_SUCCESS;
            if (!FindKey(hive, handle, why) && !handle.predefined) {
                return why;
            }
            hive.Create(full, &created);
            changed = created;
            parts = StoredCase(hive, full);
            return ERROR_SUCCESS;
        });
    }
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (disposition) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *result = NewHandle(handle.hive, std::move(parts), access, handle.predefined && sub.empty());
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT) {
        return ERROR_SUCCESS;
    }
    {
        std::lock_guard lock(Handles().mutex);
        if (!key || Handles().open.erase(key) == 0) {
            return ERROR_INVALID_HANDLE;
        }
    }
    delete key;
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* /*reserved*/, DWORD* type, BYTE* data,
                      DWORD* dataSize)
{
    if (data && !dataSize) {
        return ERROR_INVALID_PARAMETER;
    }
    RegistryValue value;
    LONG status = QueryValue(key, valueName, value);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (type) {
        *type = value.type;
    }
    return CopyData(value.data, data, dataSize);
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD /*reserved*/, DWORD type, const BYTE* data,
                    DWORD dataSize)
{
    RegistryKeyHandle handle;
    if (LONG status = ResolveFor(key, KEY_SET_VALUE, handle); status != ERROR_SUCCESS) {
        return status;
    }
    std::string_view name = valueName ? valueName : "";
    if ((!data && dataSize != 0) || !IsValidValueName(name)) {
        return ERROR_INVALID_PARAMETER;
    }
    std::vector<BYTE> bytes(data, data + dataSize);
    return ModifyHive(handle.hive, [&](RegistryHive& hive, bool& changed) {
        RegistryKey* found = hive.Find(handle.parts);
        if (!found && !handle.predefined) {
            return ERROR_KEY_DELETED;
        }
        if (!found) {
            found = &hive.Create(handle.parts);
        }
        const RegistryValue* old = found->FindValue(name);
        if (old && old->type == type && old->data == bytes) {
            return ERROR_SUCCESS;
        }
        found->SetValue(name, type, std::move(bytes));
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteValueA(HKEY key, const char* valueName)
{
    RegistryKeyHandle handle;
    if (LONG status = ResolveFor(key, KEY_SET_VALUE, handle); status != ERROR_SUCCESS) {
        return status;
    }
    std::string_view name = valueName ? valueName : "";
    return ModifyHive(handle.hive, [&](RegistryHive& hive, bool& changed) {
        RegistryKey* found = hive.Find(handle.parts);
        if (!found) {
            return handle.predefined ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
        }
        changed = found->DeleteValue(name);
        return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

namespace {

// RegDeleteKeyA and RegDeleteTreeA. An empty sub-key is refused by the first
// (a key is not deleted through its own handle) and, for the second, empties
// the key itself.
LONG DeleteKey(HKEY key, const char* subKey, bool tree)
{
    RegistryKeyHandle handle;
    if (!Resolve(key, handle)) {
        return ERROR_INVALID_HANDLE;
    }
    KeyParts sub;
    if (!SplitSubKey(subKey ? subKey : "", sub) || (sub.empty() && !tree)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!(handle.access & kWriteAccess) || (handle.predefined && sub.empty())) {
        return ERROR_ACCESS_DENIED; // a root is never emptied at one stroke
    }
    KeyParts full = Join(handle.parts, sub);
    return ModifyHive(handle.hive, [&](RegistryHive& hive, bool& changed) {
        RegistryKey* base = hive.Find(handle.parts);
        if (!base) {
            return handle.predefined ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
        }
        RegistryKey* target = hive.Find(full);
        if (!target) {
            return ERROR_FILE_NOT_FOUND;
        }
        if (sub.empty()) { // RegDeleteTreeA(key, nullptr): empty the key
            changed = target->SubKeyCount() > 0 || !target->Values().empty();
            while (target->SubKeyCount() > 0) {
                target->RemoveSubKey(target->SubKeyAt(0)->Name());
            }
            target->ClearValues();
            return ERROR_SUCCESS;
        }
        if (!tree && target->SubKeyCount() > 0) {
            return ERROR_ACCESS_DENIED; // a key with sub-keys is deleted as a tree only
        }
        changed = hive.DeleteTree(full);
        return ERROR_SUCCESS;
    });
}

} // namespace

LONG RegDeleteKeyA(HKEY key, const char* subKey)
{
    return DeleteKey(key, subKey, false);
}

LONG RegDeleteTreeA(HKEY key, const char* subKey)
{
    return DeleteKey(key, subKey, true);
}

LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* /*reserved*/, char* keyClass,
                   DWORD* classSize, void* /*lastWriteTime*/)
{
    if (!name || !nameSize) {
        return ERROR_INVALID_PARAMETER;
    }
    RegistryKeyHandle handle;
    if (LONG status = ResolveFor(key, KEY_ENUMERATE_SUB_KEYS, handle); status != ERROR_SUCCESS) {
        return status;
    }
    std::string found;
    LONG status = ReadHive(handle.hive, [&](const RegistryHive& hive) {
        LONG why = ERROR_SUCCESS;
        const RegistryKey* parent = FindKey(hive, handle, why);
        if (!parent) {
            return handle.predefined ? ERROR_NO_MORE_ITEMS : why;
        }
        const RegistryKey* child = parent->SubKeyAt(index);
        if (!child) {
            return ERROR_NO_MORE_ITEMS;
        }
        found = child->Name();
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (keyClass && classSize && *classSize > 0) {
        keyClass[0] = '\0';
    }
    if (classSize) {
        *classSize = 0;
    }
    return CopyName(found, name, nameSize);
}

LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* valueNameSize, DWORD* /*reserved*/,
                   DWORD* type, BYTE* data, DWORD* dataSize)
{
    if (!valueName || !valueNameSize || (data && !dataSize)) {
        return ERROR_INVALID_PARAMETER;
    }
    RegistryKeyHandle handle;
    if (LONG status = ResolveFor(key, KEY_QUERY_VALUE, handle); status != ERROR_SUCCESS) {
        return status;
    }
    RegistryValue value;
    LONG status = ReadHive(handle.hive, [&](const RegistryHive& hive) {
        LONG why = ERROR_SUCCESS;
        const RegistryKey* found = FindKey(hive, handle, why);
        if (!found) {
            return handle.predefined ? ERROR_NO_MORE_ITEMS : why;
        }
        if (index >= found->Values().size()) {
            return ERROR_NO_MORE_ITEMS;
        }
        value = found->Values()[index];
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (type) {
        *type = value.type;
    }
    LONG nameStatus = CopyName(value.name, valueName, valueNameSize);
    LONG dataStatus = CopyData(value.data, data, dataSize);
    return nameStatus != ERROR_SUCCESS ? nameStatus : dataStatus;
}
