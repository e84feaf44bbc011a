#include "console/KVTSnapinComponent.h"

#include "console/KVTSnapin.h"
#include "console/framework/PropertyChangeTargets.h"

using zyr::com::ComPtr;

CKVTSnapinComponent::CKVTSnapinComponent() : CSnapInObjectRootBase(kComponent) {}

void CKVTSnapinComponent::SetComponentData(CKVTSnapin* componentData)
{
    snapin_ = componentData;
    componentData_ = ComPtr<IComponentData>::Share(componentData);
}

HRESULT CKVTSnapinComponent::Initialize(IConsole* console)
{
    if (console == nullptr) {
        return E_POINTER;
    }
    m_spConsole = ComPtr<IConsole>::Share(console);
    // The console keeps the header control; this view does not.
    ComPtr<IHeaderCtrl> header = m_spConsole.As<IHeaderCtrl>();
    return m_spConsole->SetHeader(header.get());
}

HRESULT CKVTSnapinComponent::Notify(IDataObject* dataObject, MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param)
{
    if (dataObject == nullptr) {
        // A property sheet's change report carries no data object: param
        // names the node only when a node registered it.
        CSnapInItem* target =
            event == MMCN_PROPERTY_CHANGE ? zyr::console::FindPropertyChangeTarget(param) : nullptr;
        if (target == nullptr) {
            return E_NOTIMPL;
        }
        HRESULT changed = target->Notify(event, arg, param, nullptr, this, arg != 0 ? CCT_SCOPE : CCT_RESULT);
        return FAILED(changed) ? S_FALSE : changed;
    }
    CSnapInItem* item = nullptr;
    DATA_OBJECT_TYPES type = CCT_UNINITIALIZED;
    HRESULT hr = CSnapInItem::NodeOf(dataObject, &item, &type);
    if (FAILED(hr)) {
        return hr;
    }
    hr = item->Notify(event, arg, param, nullptr, this, type);
    return FAILED(hr) ? S_FALSE : hr;
}

HRESULT CKVTSnapinComponent::Destroy(MMC_COOKIE)
{
    ReleaseToolbars();
    m_spControlbar.Reset();
    if (m_spConsole) {
        m_spConsole->SetHeader(nullptr);
    }
    m_spConsole.Reset();
    return S_OK;
}

HRESULT CKVTSnapinComponent::QueryDataObject(MMC_COOKIE cookie, DATA_OBJECT_TYPES type,
                                             IDataObject** dataObject)
{
    if (dataObject == nullptr) {
        return E_POINTER;
    }
    if (cookie == 0 || cookie == MMC_MULTI_SELECT_COOKIE) {
        return E_UNEXPECTED;
    }
    return CSnapInItem::FromCookie(cookie)->GetDataObject(dataObject, type);
}

HRESULT CKVTSnapinComponent::GetResultViewType(MMC_COOKIE cookie, LPOLESTR* viewType, long* options)
{
    CSnapInItem* item = nullptr;
    if (cookie != 0) {
        item = CSnapInItem::FromCookie(cookie);
    } else if (snapin_ != nullptr) {
        item = snapin_->RootNode();
    }
    if (item == nullptr) {
        return E_FAIL;
    }
    return item->GetResultViewType(viewType, options);
}

HRESULT CKVTSnapinComponent::GetDisplayInfo(RESULTDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    if (item->lParam == 0) {
        return E_UNEXPECTED;
    }
    return CSnapInItem::FromCookie(item->lParam)->GetResultPaneInfo(item);
}

HRESULT CKVTSnapinComponent::CompareObjects(IDataObject* a, IDataObject* b)
{
    CSnapInItem* first = nullptr;
    CSnapInItem* second = nullptr;
    DATA_OBJECT_TYPES type = CCT_UNINITIALIZED;
    if (FAILED(CSnapInItem::GetDataClass(a, &first, &type)) ||
        FAILED(CSnapInItem::GetDataClass(b, &second, &type))) {
        return S_FALSE;
    }
    return first == second ? S_OK : S_FALSE;
}

HRESULT CKVTSnapinComponent::CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                                                 IDataObject* dataObject)
{
    return CSnapInItem::OnNode(dataObject, [&](CSnapInItem& item, DATA_OBJECT_TYPES type) {
        return item.CreatePropertyPages(callback, notifyHandle, static_cast<IComponent*>(this), type);
    });
}

HRESULT CKVTSnapinComponent::QueryPagesFor(IDataObject* dataObject)
{
    return CSnapInItem::OnNode(
        dataObject, [&](CSnapInItem& item, DATA_OBJECT_TYPES type) { return item.QueryPagesFor(type); });
}

HRESULT CKVTSnapinComponent::AddMenuItems(IDataObject* dataObject, IContextMenuCallback* callback,
                                          long* insertionAllowed)
{
    return CSnapInItem::OnNode(dataObject, [&](CSnapInItem& item, DATA_OBJECT_TYPES type) {
        return item.AddMenuItems(callback, insertionAllowed, type);
    });
}

HRESULT CKVTSnapinComponent::Command(long commandId, IDataObject* dataObject)
{
    return CSnapInItem::OnNode(dataObject, [&](CSnapInItem& item, DATA_OBJECT_TYPES type) {
        return item.Command(commandId, this, type);
    });
}

HRESULT CKVTSnapinComponent::SetControlbar(IControlbar* controlbar)
{
    if (controlbar == nullptr) {
        ReleaseToolbars();
        m_spControlbar.Reset();
        return S_OK;
    }
    if (m_spControlbar.get() != controlbar) {
        ReleaseToolbars();
        m_spControlbar = ComPtr<IControlbar>::Share(controlbar);
    }
    if (snapin_ == nullptr || snapin_->RootNode() == nullptr) {
        return S_OK;
    }
    return snapin_->RootNode()->SetControlbar(controlbar, this, &m_toolbarMap);
}

HRESULT CKVTSnapinComponent::ControlbarNotify(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param)
{
    // MMCN_SELECT carries the data object in param, MMCN_BTN_CLICK in arg.
    IDataObject* dataObject = nullptr;
    if (event == MMCN_SELECT) {
        dataObject = reinterpret_cast<IDataObject*>(param);
    } else if (event == MMCN_BTN_CLICK) {
        dataObject = reinterpret_cast<IDataObject*>(arg);
    } else {
        return E_UNEXPECTED;
    }
    CSnapInItem* item = nullptr;
    DATA_OBJECT_TYPES type = CCT_UNINITIALIZED;
    HRESULT hr = CSnapInItem::NodeOf(dataObject, &item, &type);
    if (FAILED(hr)) {
        return hr;
    }
    if (event == MMCN_SELECT) {
        // A node's toolbars are made the first time it is selected in a view.
        hr = item->SetControlbar(m_spControlbar.get(), this, &m_toolbarMap);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return item->ControlbarNotify(m_spControlbar.get(), this, &m_toolbarMap, event, arg, param, this, type);
}
