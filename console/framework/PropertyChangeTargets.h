// Where a property sheet's change report goes. The console reports a page's
// MMCPropertyChangeNotify to the view component without a data object, with
// the param the page passed; nodes whose pages report changes register the
// params that name them (their cookie, the record their pages edit), so that
// the view finds the node without ever reading an unknown param as a pointer.
#pragma once

#include "console/framework/SnapInItem.h"

namespace zyr::console {

// Registers key for node (a later registration of the same key replaces it).
void RegisterPropertyChangeTarget(LPARAM key, CSnapInItem* node);
// Forgets one key, when it still names node.
void UnregisterPropertyChangeTarget(LPARAM key, const CSnapInItem* node);
// Forgets every key of node (when it goes).
void UnregisterPropertyChangeTargets(const CSnapInItem* node);
// The node that key names, or null.
CSnapInItem* FindPropertyChangeTarget(LPARAM key);
// Nothing registered (tests).
void ResetPropertyChangeTargets();

} // namespace zyr::console
