// What every node command receives: the snap-in object that issued it (the
// component data, kind 1, or a view component, kind 2), with its control bar
// and the toolbars it created.
#pragma once

#include "platform/com/Unknown.h"
#include "platform/mmc/ConsoleInterfaces.h"

#include <map>

// Toolbars created for one control bar, by toolbar resource id.
using ToolbarMap = std::map<UINT, zyr::com::ComPtr<IToolbar>>;

class CSnapInObjectRootBase {
public:
    static constexpr int kComponentData = 1;
    static constexpr int kComponent = 2;

    explicit CSnapInObjectRootBase(int kind) : m_nType(kind) {}
    virtual ~CSnapInObjectRootBase() = default;
    CSnapInObjectRootBase(const CSnapInObjectRootBase&) = delete;
    CSnapInObjectRootBase& operator=(const CSnapInObjectRootBase&) = delete;

    // The console this object was given (null before Initialize or after
    // Destroy); no reference is added.
    virtual IConsole* ObjectConsole() const = 0;

    // Detaches every toolbar of the map from the control bar and forgets them.
    void ReleaseToolbars();

    int m_nType;
    zyr::com::ComPtr<IControlbar> m_spControlbar;
    ToolbarMap m_toolbarMap;
};
