// The context menus of a session: the snap-in's items for a target, and the
// commands chosen from them.
#include "host/ConsoleSession.h"

#include "host/ConsoleObjects.h"

namespace zyr::host {

using zyr::com::ComPtr;

HRESULT ConsoleSession::BuildMenu(const Target& target, long allowed, std::vector<MenuEntry>& entries)
{
    entries.clear();
    Call call(*this);
    ComPtr<IExtendContextMenu> extend;
    ComPtr<IDataObject> data;
    if (HRESULT hr = ExtensionOf(target, extend, data); hr != S_OK) {
        return hr;
    }
    auto callback = ComPtr<MenuCallbackObject>::Attach(new MenuCallbackObject);
    long offered = allowed;
    HRESULT hr = extend->AddMenuItems(data.get(), callback.get(), &offered);
    // Items for insertion points that were not offered are dropped.
    for (MenuEntry& entry : callback->entries) {
        long bit = 0;
        switch (entry.insertionPoint) {
        case CCM_INSERTIONPOINTID_PRIMARY_TOP:
            bit = CCM_INSERTIONALLOWED_TOP;
            break;
        case CCM_INSERTIONPOINTID_PRIMARY_NEW:
            bit = CCM_INSERTIONALLOWED_NEW;
            break;
        case CCM_INSERTIONPOINTID_PRIMARY_TASK:
            bit = CCM_INSERTIONALLOWED_TASK;
            break;
        case CCM_INSERTIONPOINTID_PRIMARY_VIEW:
            bit = CCM_INSERTIONALLOWED_VIEW;
            break;
        default:
            break;
        }
        if ((allowed & bit) != 0) {
            entries.push_back(std::move(entry));
        }
    }
    return hr;
}

HRESULT ConsoleSession::Command(const Target& target, long commandId)
{
    Call call(*this);
    ComPtr<IExtendContextMenu> extend;
    ComPtr<IDataObject> data;
    if (HRESULT hr = ExtensionOf(target, extend, data); hr != S_OK) {
        return FAILED(hr) ? hr : E_UNEXPECTED;
    }
    return extend->Command(commandId, data.get());
}

} // namespace zyr::host
