// The node of the console tree as the snap-in objects see it: the operations
// every node class answers, and the static description of a node class.
#pragma once

#include "console/framework/SnapInObjectRoot.h"
#include "platform/mmc/ConsoleInterfaces.h"

#include <string_view>

// The class-wide constants of a node class.
struct NodeDescription {
    GUID nodeType;
    std::u16string_view displayName; // the static display name
};

class CSnapInItem {
public:
    virtual ~CSnapInItem() = default;
    virtual HRESULT Notify(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IComponentData* componentData,
                           IComponent* component, DATA_OBJECT_TYPES type) = 0;
    virtual HRESULT GetScopePaneInfo(SCOPEDATAITEM* item) = 0;
    virtual HRESULT GetResultViewType(LPOLESTR* viewType, long* options) = 0;
    virtual HRESULT GetResultPaneInfo(RESULTDATAITEM* item) = 0;
    virtual HRESULT AddMenuItems(IContextMenuCallback* callback, long* insertionAllowed,
                                 DATA_OBJECT_TYPES type) = 0;
    virtual HRESULT Command(long commandId, CSnapInObjectRootBase* root, DATA_OBJECT_TYPES type) = 0;
    virtual HRESULT CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                                        IUnknown* unknown, DATA_OBJECT_TYPES type) = 0;
    virtual HRESULT QueryPagesFor(DATA_OBJECT_TYPES type) = 0;
    virtual HRESULT SetControlbar(IControlbar* controlbar, IExtendControlbar* extend,
                                  ToolbarMap* toolbars) = 0;
    virtual HRESULT ControlbarNotify(IControlbar* controlbar, IExtendControlbar* extend, ToolbarMap* toolbars,
                                     MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param,
                                     CSnapInObjectRootBase* root, DATA_OBJECT_TYPES type) = 0;
    virtual HRESULT GetScopeData(SCOPEDATAITEM** item) = 0;
    virtual HRESULT GetResultData(RESULTDATAITEM** item) = 0;
    virtual HRESULT FillData(CLIPFORMAT format, IStream* stream) = 0;
    virtual void InitDataClass(IDataObject* dataObject, CSnapInItem* defaultNode)
    {
        (void)dataObject;
        (void)defaultNode;
    }
    virtual HRESULT GetDataObject(IDataObject** dataObject, DATA_OBJECT_TYPES type) = 0;

    // Finds the node and context type a data object carries. A null data
    // object, one of the console's special values (-10 .. -1) and a data
    // object that this snap-in did not make answer E_NOTIMPL; *item is then
    // null and *type CCT_UNINITIALIZED.
    static HRESULT GetDataClass(IDataObject* dataObject, CSnapInItem** item, DATA_OBJECT_TYPES* type);
    // The same, with E_UNEXPECTED for a data object of ours that carries no node:
    // what every handler that acts on the node wants.
    static HRESULT NodeOf(IDataObject* dataObject, CSnapInItem** item, DATA_OBJECT_TYPES* type);
    // Runs action(node, context) on the node a data object carries, or gives
    // NodeOf's failure.
    template <typename Action>
    static HRESULT OnNode(IDataObject* dataObject, Action&& action)
    {
        CSnapInItem* item = nullptr;
        DATA_OBJECT_TYPES type = CCT_UNINITIALIZED;
        HRESULT hr = NodeOf(dataObject, &item, &type);
        return FAILED(hr) ? hr : action(*item, type);
    }

    // The cookie of a node (its address), and back.
    static MMC_COOKIE CookieOf(const CSnapInItem* item) { return reinterpret_cast<MMC_COOKIE>(item); }
    static CSnapInItem* FromCookie(MMC_COOKIE cookie) { return reinterpret_cast<CSnapInItem*>(cookie); }
};
