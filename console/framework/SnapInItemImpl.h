// The default answers of every node class. A node class T names its static
// description and, when it has them, its menu, command table and toolbars:
//
//   static constexpr NodeDescription kDescription{{...node type...}, u"Roles"};
//   static constexpr UINT kMenuId = 110;                         // optional
//   static std::span<const CommandEntry<T>> CommandTable();       // optional
//   static constexpr UINT kToolbars[] = {230};                    // optional
//   static constexpr bool kResultChildren = true;                 // optional
//
// Notify routes each event to the node's handler for it; a node overrides
// the handlers it has, and an event without one answers E_NOTIMPL. A node
// whose children stand in the result pane (kResultChildren) lists them on
// MMCN_SHOW after its column headers and takes no MMCN_EXPAND; any other
// node's MMCN_SHOW sets the column headers only.
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
    static constexpr bool ChildrenInResultPane()
    {
        if constexpr (requires { T::kResultChildren; }) {
            return T::kResultChildren;
        } else {
            return false;
        }
    }

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

    HRESULT Notify(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IComponentData* componentData,
                   IComponent* component, DATA_OBJECT_TYPES type) override
    {
        zyr::console::NotifyContext context(componentData, component);
        IConsole* console = context.console.get();
        switch (event) {
        case MMCN_ADD_IMAGES:
            return OnAddImages(event, arg, param, console, type);
        case MMCN_EXPAND:
            if constexpr (ChildrenInResultPane()) {
                return E_NOTIMPL;
            }
            m_scopeDataItem.ID = static_cast<HSCOPEITEM>(param);
            return OnExpand(event, arg, param, console, type);
        case MMCN_SHOW:
            m_bShown = arg != 0;
            if constexpr (!ChildrenInResultPane()) {
                return arg != 0 ? SetColumnHeaders(context.header.get()) : E_NOTIMPL;
            }
            if (arg != 0) {
                SetColumnHeaders(context.header.get());
            }
            return OnShow(event, arg, param, console, type);
        case MMCN_SELECT:
            return OnSelect(console);
        case MMCN_REFRESH:
            return OnRefresh(console);
        case MMCN_DELETE:
            return OnDelete(console);
        case MMCN_REMOVE_CHILDREN:
            return OnRemoveChildren(console);
        case MMCN_PROPERTY_CHANGE:
            return OnPropertyChange(console);
        case MMCN_RENAME:
            return OnRename(arg, param, console);
        case MMCN_VIEW_CHANGE:
            return OnViewChange(arg, param, console);
        default:
            return E_NOTIMPL;
        }
    }

    // The handlers Notify routes to; each answers E_NOTIMPL until a node has it.
    // MMCN_ADD_IMAGES: arg is the view's result image list.
    virtual HRESULT OnAddImages(MMC_NOTIFY_TYPE, LPARAM, LPARAM, IConsole*, DATA_OBJECT_TYPES)
    {
        return E_NOTIMPL;
    }
    // MMCN_EXPAND: arg TRUE to expand, FALSE to collapse; param this node's scope item.
    virtual HRESULT OnExpand(MMC_NOTIFY_TYPE, LPARAM, LPARAM, IConsole*, DATA_OBJECT_TYPES)
    {
        return E_NOTIMPL;
    }
    // MMCN_SHOW: arg TRUE when the node is shown in the result pane, FALSE when it leaves it.
    virtual HRESULT OnShow(MMC_NOTIFY_TYPE, LPARAM, LPARAM, IConsole*, DATA_OBJECT_TYPES)
    {
        return E_NOTIMPL;
    }
    virtual HRESULT SetColumnHeaders(IHeaderCtrl*) { return E_NOTIMPL; }
    virtual HRESULT OnSelect(IConsole*) { return E_NOTIMPL; }
    virtual HRESULT OnRefresh(IConsole*) { return E_NOTIMPL; }
    virtual HRESULT OnDelete(IConsole*) { return E_NOTIMPL; }
    virtual HRESULT OnRemoveChildren(IConsole*) { return E_NOTIMPL; }
    // A page of the node changed it.
    virtual HRESULT OnPropertyChange(IConsole*) { return E_NOTIMPL; }
    // MMCN_RENAME: arg TRUE to ask, FALSE with param the new name.
    virtual HRESULT OnRename(LPARAM, LPARAM, IConsole*) { return E_NOTIMPL; }
    virtual HRESULT OnViewChange(LPARAM, LPARAM, IConsole*) { return E_NOTIMPL; }

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
    // The node's view fills the result pane (set by the last show notice).
    bool m_bShown = false;
};
