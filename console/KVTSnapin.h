// The component data of the snap-in: one per console document. It owns the
// root node and with it the whole tree, and creates a view component for
// every console view.
#pragma once

#include "console/framework/ModuleState.h"
#include "console/framework/SnapInObjectRoot.h"
#include "console/root/RootNode.h"
#include "platform/com/Unknown.h"
#include "platform/mmc/ConsoleInterfaces.h"

#include <memory>

class CKVTSnapin : public zyr::com::ComObject<IComponentData, IExtendPropertySheet, IExtendContextMenu,
                                              IPersistStream, ISnapinHelp>,
                   public CSnapInObjectRootBase {
public:
    CKVTSnapin();
    ~CKVTSnapin() override;

    // IComponentData
    HRESULT Initialize(IUnknown* console) override;
    HRESULT CreateComponent(IComponent** component) override;
    HRESULT Notify(IDataObject* dataObject, MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param) override;
    HRESULT Destroy() override;
    HRESULT QueryDataObject(MMC_COOKIE cookie, DATA_OBJECT_TYPES type, IDataObject** dataObject) override;
    HRESULT GetDisplayInfo(SCOPEDATAITEM* item) override;
    HRESULT CompareObjects(IDataObject* a, IDataObject* b) override;

    // IExtendPropertySheet
    HRESULT CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                                IDataObject* dataObject) override;
    HRESULT QueryPagesFor(IDataObject* dataObject) override;

    // IExtendContextMenu
    HRESULT AddMenuItems(IDataObject* dataObject, IContextMenuCallback* callback,
                         long* insertionAllowed) override;
    HRESULT Command(long commandId, IDataObject* dataObject) override;

    // IPersistStream: nothing is kept in the console document.
    HRESULT GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT IsDirty() override { return E_NOTIMPL; }
    HRESULT Load(IStream*) override { return S_OK; }
    HRESULT Save(IStream*, BOOL) override { return S_OK; }
    HRESULT GetSizeMax(uint64_t*) override { return E_NOTIMPL; }

    // ISnapinHelp: the module folder + "/MorvelSecurityManager.chm".
    HRESULT GetHelpTopic(LPOLESTR* compiledHelpFile) override;

    IConsole* ObjectConsole() const override { return m_spConsole.get(); }
    CRootNode* RootNode() const { return m_pNode.get(); }

    zyr::com::ComPtr<IConsole> m_spConsole;

private:
    std::unique_ptr<CRootNode> m_pNode;
    zyr::console::ModuleLock lock_;
};
