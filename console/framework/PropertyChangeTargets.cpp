#include "console/framework/PropertyChangeTargets.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace zyr::console {
namespace {

// Both directions are indexed, so that a node going away forgets its keys
// without a walk over every registered node (a tree of 100,000 nodes is torn
// down in linear time).
struct TargetIndex {
    std::unordered_map<LPARAM, CSnapInItem*> byKey;
    std::unordered_map<const CSnapInItem*, std::vector<LPARAM>> keysOf;
};

// Used on the console's thread only: the host hands change reports from the
// sheets' threads to it.
TargetIndex& Targets()
{
    static TargetIndex targets;
    return targets;
}

void ForgetKeyOf(const CSnapInItem* node, LPARAM key)
{
    auto keys = Targets().keysOf.find(node);
    if (keys == Targets().keysOf.end()) {
        return;
    }
    std::erase(keys->second, key);
    if (keys->second.empty()) {
        Targets().keysOf.erase(keys);
    }
}

} // namespace

void RegisterPropertyChangeTarget(LPARAM key, CSnapInItem* node)
{
    if (key == 0 || node == nullptr) {
        return;
    }
    auto [entry, added] = Targets().byKey.try_emplace(key, node);
    if (!added) {
        if (entry->second == node) {
            return;
        }
        ForgetKeyOf(entry->second, key);
        entry->second = node;
    }
    Targets().keysOf[node].push_back(key);
}

void UnregisterPropertyChangeTarget(LPARAM key, const CSnapInItem* node)
{
    auto found = Targets().byKey.find(key);
    if (found != Targets().byKey.end() && found->second == node) {
        Targets().byKey.erase(found);
        ForgetKeyOf(node, key);
    }
}

void UnregisterPropertyChangeTargets(const CSnapInItem* node)
{
    auto keys = Targets().keysOf.find(node);
    if (keys == Targets().keysOf.end()) {
        return;
    }
    for (LPARAM key : keys->second) {
        Targets().byKey.erase(key);
    }
    Targets().keysOf.erase(keys);
}

CSnapInItem* FindPropertyChangeTarget(LPARAM key)
{
    auto found = Targets().byKey.find(key);
    return found == Targets().byKey.end() ? nullptr : found->second;
}

void ResetPropertyChangeTargets()
{
    Targets().byKey.clear();
    Targets().keysOf.clear();
}

} // namespace zyr::console
