#include "platform/registry/RegistryHive.h"

#include "platform/text/Ascii.h"

#include <iterator>
#include <utility>

namespace zyr::registry {

const RegistryValue* RegistryKey::FindValue(std::string_view name) const
{
    auto it = valueIndex_.find(zyr::text::AsciiUpper(name));
    return it == valueIndex_.end() ? nullptr : &values_[it->second];
}

void RegistryKey::SetValue(std::string_view name, DWORD type, std::vector<BYTE> data)
{
    auto [it, inserted] = valueIndex_.try_emplace(zyr::text::AsciiUpper(name), values_.size());
    if (!inserted) {
        values_[it->second].type = type;
        values_[it->second].data = std::move(data);
        return;
    }
    values_.push_back(RegistryValue{std::string(name), type, std::move(data)});
}

bool RegistryKey::DeleteValue(std::string_view name)
{
    auto it = valueIndex_.find(zyr::text::AsciiUpper(name));
    if (it == valueIndex_.end()) {
        return false;
    }
    size_t position = it->second;
    valueIndex_.erase(it);
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(position));
    for (auto& [folded, index] : valueIndex_) {
        if (index > position) {
            --index;
        }
    }
    return true;
}

const RegistryKey* RegistryKey::SubKeyAt(size_t index) const
{
    if (index >= children_.size()) {
        return nullptr;
    }
    return std::next(children_.begin(), static_cast<std::ptrdiff_t>(index))->second.get();
}

RegistryKey* RegistryKey::FindSubKey(std::string_view name)
{
    auto it = children_.find(zyr::text::AsciiUpper(name));
    return it == children_.end() ? nullptr : it->second.get();
}

const RegistryKey* RegistryKey::FindSubKey(std::string_view name) const
{
    auto it = children_.find(zyr::text::AsciiUpper(name));
    return it == children_.end() ? nullptr : it->second.get();
}

RegistryKey& RegistryKey::CreateSubKey(std::string_view name, bool* created)
{
    auto [it, inserted] = children_.try_emplace(zyr::text::AsciiUpper(name));
    if (inserted) {
        it->second = std::make_unique<RegistryKey>(std::string(name));
    }
    if (created) {
        *created = inserted;
    }
    return *it->second;
}

bool RegistryKey::RemoveSubKey(std::string_view name)
{
    return children_.erase(zyr::text::AsciiUpper(name)) > 0;
}

const RegistryKey* RegistryHive::Find(const KeyParts& path) const
{
    const RegistryKey* key = &root_;
    for (const auto& part : path) {
        key = key->FindSubKey(part);
        if (!key) {
            return nullptr;
        }
    }
    return key;
}

RegistryKey* RegistryHive::Find(const KeyParts& path)
{
    return const_cast<RegistryKey*>(std::as_const(*this).Find(path));
}

RegistryKey& RegistryHive::Create(const KeyParts& path, bool* created)
{
    RegistryKey* key = &root_;
    bool isNew = false;
    for (const auto& part : path) {
        key = &key->CreateSubKey(part, &isNew);
    }
    if (created) {
        *created = isNew;
    }
    return *key;
}

bool RegistryHive::DeleteTree(const KeyParts& path)
{
    if (path.empty()) {
        root_ = RegistryKey(root_.Name());
        return true;
    }
    KeyParts parentPath(path.begin(), path.end() - 1);
    RegistryKey* parent = Find(parentPath);
    return parent && parent->RemoveSubKey(path.back());
}

} // namespace zyr::registry
