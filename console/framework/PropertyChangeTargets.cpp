#include "console/framework/PropertyChangeTargets.h"

#include <map>

namespace zyr::console {
namespace {

// Used on the console's thread only: the host hands change reports from the
// sheets' threads to it.
std::map<LPARAM, CSnapInItem*>& Targets()
{
    static std::map<LPARAM, CSnapInItem*> targets;
    return targets;
}

} // namespace

void RegisterPropertyChangeTarget(LPARAM key, CSnapInItem* node)
{
    if (key == 0 || node == nullptr) {
        return;
    }
    Targets()[key] = node;
}

void UnregisterPropertyChangeTarget(LPARAM key, const CSnapInItem* node)
{
    auto found = Targets().find(key);
    if (found != Targets().end() && found->second == node) {
        Targets().erase(found);
    }
}

void UnregisterPropertyChangeTargets(const CSnapInItem* node)
{
    std::erase_if(Targets(), [node](const auto& entry) { return entry.second == node; });
}

CSnapInItem* FindPropertyChangeTarget(LPARAM key)
{
    auto found = Targets().find(key);
    return found == Targets().end() ? nullptr : found->second;
}

void ResetPropertyChangeTargets()
{
    Targets().clear();
}

} // namespace zyr::console
