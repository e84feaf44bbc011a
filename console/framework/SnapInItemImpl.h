// The default answers of every node class. A node class T names its static
// description and, when it has them, its menu, command table and toolbars:
//
//   static constexpr NodeDescription kDescription{{...node type...}, u"Roles"};
//   static constexpr UINT kMenuId = 110;                         // optional
//   static std::span<const CommandEntry<T>> CommandTable();       // optional
//   static constexpr UINT kToolbars[] = {230};                    // optional
#pragma once

#include "console/framework/NodeHelpers.h"
#include "console/framework/SnapInItem.h"

#include <span>
#include <string>

// One entry of a command table: the handler sets handled to false when it
// declines the command.
template <typename T>
struct CommandEntry {
    long id;
    HRESULT (T::*handler)(bool& handled, CSnapInObjectRootBase* root);
};

template <typename T>
class CSnapInItemImpl : public CSnapInItem {
public:
    CSnapInItemImpl() : m_bstrDisplayName(T::kDescription.displayName)
    {
        m_scopeDataItem.mask = SDI_STR | SDI_IMAGE | SDI_OPENIMAGE | SDI_PARAM;
        m_scopeDataItem.displayname = MMC_CALLBACK;
        m_scopeDataItem.nImage = 0;
        m_scopeDataItem.nOpenImage = 0;
        m_scopeDataItem.lParam = CookieOf(this);
        m_resultDataItem.mask = RDI_STR | RDI_IMAGE | RDI_PARAM;
        m_resultDataItem.str = MMC_CALLBACK;
        m_resultDataItem.nImage = 0;
        m_resultDataItem.lParam = CookieOf(this);
    }
    CSnapInItemImpl(const CSnapInItemImpl&) = delete;
    CSnapInItemImpl& operator=(const CSnapInItemImpl&) = delete;

    HRESULT Notify(MMC_NOTIFY_TYPE, LPARAM, LPARAM, IComponentData*, IComponent*, DATA_OBJECT_TYPES) override
    {
        return E_NOTIMPL;
    }

    HRESULT GetScopePaneInfo(SCOPEDATAITEM* item) override
    {
        return zyr::console::FillScopePaneInfo(m_scopeDataItem, m_bstrDisplayName, item);
    }

    HRESULT GetResultViewType(LPOLESTR* viewType, long* options) override
    {
        if (viewType == nullptr || options == nullptr) {
            return E_POINTER;
        }
        *viewType = nullptr;
        *options = MMC_VIEW_OPTIONS_NONE;
        return S_FALSE;
    }

    HRESULT GetResultPaneInfo(RESULTDATAITEM* item) override
    {
        if (item == nullptr) {
            return E_POINTER;
        }
        const bool scope = item->bScopeItem != 0;
        if (item->mask & RDI_STR) {
            item->str = const_cast<LPOLESTR>(m_bstrDisplayName.c_str());
        }
        if (item->mask & RDI_IMAGE) {
            item->nImage = scope ? m_scopeDataItem.nImage : m_resultDataItem.nImage;
        }
        if (item->mask & RDI_PARAM) {
            item->lParam = scope ? m_scopeDataItem.lParam : m_resultDataItem.lParam;
        }
        if (!scope && (item->mask & RDI_INDEX)) {
            item->nIndex = m_resultDataItem.nIndex;
        }
        return S_OK;
    }

    HRESULT AddMenuItems(IContextMenuCallback* callback, long* insertionAllowed, DATA_OBJECT_TYPES) override
    {
        if constexpr (requires { T::kMenuId; }) {
            return zyr::console::AddMenuItemsFromResource(T::kMenuId, callback, insertionAllowed);
        } else {
            (void)callback;
            (void)insertionAllowed;
            return S_OK;
        }
    }

    HRESULT Command(long commandId, CSnapInObjectRootBase* root, DATA_OBJECT_TYPES) override
    {
        if constexpr (requires { T::CommandTable(); }) {
            for (const CommandEntry<T>& entry : T::CommandTable()) {
                if (entry.id == commandId) {
                    bool handled = true;
                    HRESULT hr = (static_cast<T*>(this)->*entry.handler)(handled, root);
                    return handled ? hr : S_OK;
                }
            }
        } else {
            (void)commandId;
            (void)root;
        }
        return S_OK;
    }

    HRESULT CreatePropertyPages(IPropertySheetCallback*, LONG_PTR, IUnknown*, DATA_OBJECT_TYPES) override
    {
        return E_NOTIMPL;
    }

    HRESULT QueryPagesFor(DATA_OBJECT_TYPES) override { return E_NOTIMPL; }

    HRESULT SetControlbar(IControlbar* controlbar, IExtendControlbar* extend, ToolbarMap* toolbars) override
    {
        return zyr::console::CreateToolbars(ToolbarIds(), controlbar, extend, toolbars);
    }

    HRESULT ControlbarNotify(IControlbar* controlbar, IExtendControlbar*, ToolbarMap* toolbars,
                             MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, CSnapInObjectRootBase* root,
                             DATA_OBJECT_TYPES type) override
    {
        switch (event) {
        case MMCN_SELECT:
            return zyr::console::SelectToolbars(ToolbarIds(), controlbar, toolbars, arg);
        case MMCN_BTN_CLICK:
            return Command(static_cast<long>(param), root, type);
        default:
            return E_UNEXPECTED;
        }
    }

    HRESULT GetScopeData(SCOPEDATAITEM** item) override
    {
        if (item == nullptr) {
            return E_FAIL;
        }
        *item = &m_scopeDataItem;
        return S_OK;
    }

    HRESULT GetResultData(RESULTDATAITEM** item) override
    {
        if (item == nullptr) {
            return E_FAIL;
        }
        *item = &m_resultDataItem;
        return S_OK;
    }

    HRESULT FillData(CLIPFORMAT format, IStream* stream) override
    {
        return zyr::console::FillNodeData(format, stream, T::kDescription.nodeType,
                                          T::kDescription.displayName);
    }

    HRESULT GetDataObject(IDataObject** dataObject, DATA_OBJECT_TYPES type) override
    {
        return zyr::console::CreateDataObject(this, type, dataObject);
    }

    static std::span<const UINT> ToolbarIds()
    {
        if constexpr (requires { T::kToolbars; }) {
            return std::span<const UINT>(T::kToolbars);
        } else {
            return {};
        }
    }

    std::u16string m_bstrDisplayName;
    SCOPEDATAITEM m_scopeDataItem;
    RESULTDATAITEM m_resultDataItem;
};
