// The view component: one per console view that shows the snap-in.
#pragma once

#include "console/framework/ModuleState.h"
#include "console/framework/SnapInObjectRoot.h"
#include "platform/com/Unknown.h"
#include "platform/mmc/ConsoleInterfaces.h"

class CKVTSnapin;

class CKVTSnapinComponent : public zyr::com::ComObject<IComponent, IExtendPropertySheet, IExtendContextMenu,
                                                       IExtendControlbar, IPersistStream>,
                            public CSnapInObjectRootBase {
public:
    CKVTSnapinComponent();

    // Tells the view component its component data (a reference is kept).
    void SetComponentData(CKVTSnapin* componentData);

    // IComponent
    HRESULT Initialize(IConsole* console) override;
    HRESULT Notify(IDataObject* dataObject, MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param) override;
    HRESULT Destroy(MMC_COOKIE cookie) override;
    HRESULT QueryDataObject(MMC_COOKIE cookie, DATA_OBJECT_TYPES type, IDataObject** dataObject) override;
    HRESULT GetResultViewType(MMC_COOKIE cookie, LPOLESTR* viewType, long* options) override;
    HRESULT GetDisplayInfo(RESULTDATAITEM* item) override;
    HRESULT CompareObjects(IDataObject* a, IDataObject* b) override;

    // IExtendPropertySheet
    HRESULT CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                                IDataObject* dataObject) override;
    HRESULT QueryPagesFor(IDataObject* dataObject) override;

    // IExtendContextMenu
    HRESULT AddMenuItems(IDataObject* dataObject, IContextMenuCallback* callback,
                         long* insertionAllowed) override;
    HRESULT Command(long commandId, IDataObject* dataObject) override;

    // IExtendControlbar
    HRESULT SetControlbar(IControlbar* controlbar) override;
    HRESULT ControlbarNotify(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param) override;

    // IPersistStream
    HRESULT GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT IsDirty() override { return E_NOTIMPL; }
    HRESULT Load(IStream*) override { return S_OK; }
    HRESULT Save(IStream*, BOOL) override { return S_OK; }
    HRESULT GetSizeMax(uint64_t*) override { return E_NOTIMPL; }

    IConsole* ObjectConsole() const override { return m_spConsole.get(); }

    zyr::com::ComPtr<IConsole> m_spConsole;

private:
    zyr::com::ComPtr<IComponentData> componentData_;
    CKVTSnapin* snapin_ = nullptr;
    zyr::console::ModuleLock lock_;
};
