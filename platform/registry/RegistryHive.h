// One hive of the registry store in memory: a tree of keys, each with its
// values. Key and value names compare without regard to ASCII letter case and
// keep the case they were created with.
#pragma once

#include "platform/registry/Registry.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zyr::registry {

struct RegistryValue {
    std::string name; // empty for the default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

class RegistryKey {
public:
    explicit RegistryKey(std::string name) : name_(std::move(name)) {}

    const std::string& Name() const { return name_; }

    // Values keep the order in which they were first set.
    const std::vector<RegistryValue>& Values() const { return values_; }
    const RegistryValue* FindValue(std::string_view name) const;
    // Replaces the data of a value of that name (keeping its position) or
    // appends a new one. The stored name keeps the case of its first setting.
    void SetValue(std::string_view name, DWORD type, std::vector<BYTE> data);
    bool DeleteValue(std::string_view name);
    void ClearValues()
    {
        values_.clear();
        valueIndex_.clear();
    }

    // Sub-keys in the order of their folded names.
    size_t SubKeyCount() const { return children_.size(); }
    const RegistryKey* SubKeyAt(size_t index) const;
    RegistryKey* FindSubKey(std::string_view name);
    const RegistryKey* FindSubKey(std::string_view name) const;
    RegistryKey& CreateSubKey(std::string_view name, bool* created = nullptr);
    bool RemoveSubKey(std::string_view name);
    template <typename F>
    void ForEachSubKey(F&& f) const
    {
        for (const auto& [folded, child] : children_) {
            f(*child);
        }
    }

private:
    std::string name_;
    std::vector<RegistryValue> values_;
    std::unordered_map<std::string, size_t> valueIndex_;           // folded name -> position in values_
    std::map<std::string, std::unique_ptr<RegistryKey>> children_; // by folded name
};

using KeyParts = std::vector<std::string>;

class RegistryHive {
public:
    explicit RegistryHive(std::string rootName) : root_(std::move(rootName)) {}

    RegistryKey& Root() { return root_; }
    const RegistryKey& Root() const { return root_; }

    const RegistryKey* Find(const KeyParts& path) const;
    RegistryKey* Find(const KeyParts& path);
    // Creates every missing key along the path; created tells whether the last
    // one is new.
    RegistryKey& Create(const KeyParts& path, bool* created = nullptr);
    // Removes the key and everything below it; false when it does not exist.
    // The root itself cannot be removed; it is emptied instead.
    bool DeleteTree(const KeyParts& path);

private:
    RegistryKey root_;
};

} // namespace zyr::registry
