#include "console/KVTSnapin.h"

#include "console/KVTSnapinComponent.h"
#include "console/framework/ModuleState.h"
#include "console/framework/NodeHelpers.h"
#include "console/framework/StartupHooks.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"
#include "roles/RoleList.h"

#include <cstring>
#include <new>

using zyr::com::ComPtr;

namespace {

constexpr size_t kHelpPathCapacity = 260; // wide characters with the terminator
constexpr char kHelpFileName[] = "MorvelSecurityManager.chm";

} // namespace

CKVTSnapin::CKVTSnapin() : CSnapInObjectRootBase(kComponentData), m_pNode(std::make_unique<CRootNode>()) {}

CKVTSnapin::~CKVTSnapin() = default;

HRESULT CKVTSnapin::Initialize(IUnknown* console)
{
    if (console == nullptr) {
        return E_POINTER;
    }
    ComPtr<IConsole> first = ComPtr<IUnknown>::Share(console).As<IConsole>();
    HWND mainWindow = nullptr;
    if (!first || FAILED(first->GetMainWindow(&mainWindow))) {
        return S_FALSE;
    }
    zyr::console::StartupHooks& hooks = zyr::console::CurrentStartupHooks();
    zyr::ui::WaitCursor wait;
    // Signing in caches both lists; the tree built below reads them from
    // there, so each list is fetched once per start-up.
    zyr::records::BeginStartupFetches();
    struct EndFetches {
        ~EndFetches() { zyr::records::EndStartupFetches(); }
    } endFetches;
    if (!hooks.SignIn(mainWindow)) {
        return S_FALSE;
    }
    std::unique_ptr<zyr::console::StatusWindow> status = hooks.OpenStatusWindow(mainWindow);
    if (status) {
        status->ShowStep("Initializing the security snap-in...");
    }
    zyr::console::SetSignedIn();
    hooks.LoadRoles();
    HRESULT hr = console->QueryInterface(IID_IConsole, m_spConsole.PutVoid());
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IImageList> imageList;
    if (FAILED(m_spConsole->QueryScopeImageList(imageList.Put())) || !imageList) {
        return E_UNEXPECTED;
    }
    if (SUCCEEDED(zyr::console::SetNodeImageStrip(imageList.get()))) {
        m_pNode->InitChildren(status.get());
    }
    return S_OK;
}

HRESULT CKVTSnapin::CreateComponent(IComponent** component)
{
    if (component == nullptr) {
        return E_POINTER;
    }
    auto* view = new (std::nothrow) CKVTSnapinComponent();
    if (view == nullptr) {
        *component = nullptr;
        return E_OUTOFMEMORY;
    }
    view->SetComponentData(this);
    *component = view;
    return S_OK;
}

HRESULT CKVTSnapin::Notify(IDataObject* dataObject, MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param)
{
    if (dataObject == nullptr) {
        return E_POINTER;
    }
    return CSnapInItem::OnNode(dataObject, [&](CSnapInItem& item, DATA_OBJECT_TYPES type) {
        return item.Notify(event, arg, param, this, nullptr, type);
    });
}

HRESULT CKVTSnapin::Destroy()
{
    ReleaseToolbars();
    m_spControlbar.Reset();
    m_spConsole.Reset();
    return S_OK;
}

HRESULT CKVTSnapin::QueryDataObject(MMC_COOKIE cookie, DATA_OBJECT_TYPES type, IDataObject** dataObject)
{
    if (dataObject == nullptr) {
        return E_POINTER;
    }
    CSnapInItem* item = cookie != 0 ? CSnapInItem::FromCookie(cookie) : m_pNode.get();
    return item->GetDataObject(dataObject, type);
}

HRESULT CKVTSnapin::GetDisplayInfo(SCOPEDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    CSnapInItem* node = item->lParam != 0 ? CSnapInItem::FromCookie(item->lParam) : m_pNode.get();
    if (node == nullptr) {
        return E_UNEXPECTED;
    }
    return node->GetScopePaneInfo(item);
}

HRESULT CKVTSnapin::CompareObjects(IDataObject*, IDataObject*)
{
    return S_OK;
}

HRESULT CKVTSnapin::CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                                        IDataObject* dataObject)
{
    return CSnapInItem::OnNode(dataObject, [&](CSnapInItem& item, DATA_OBJECT_TYPES type) {
        return item.CreatePropertyPages(callback, notifyHandle, static_cast<IComponentData*>(this), type);
    });
}

HRESULT CKVTSnapin::QueryPagesFor(IDataObject* dataObject)
{
    return CSnapInItem::OnNode(
        dataObject, [&](CSnapInItem& item, DATA_OBJECT_TYPES type) { return item.QueryPagesFor(type); });
}

HRESULT CKVTSnapin::AddMenuItems(IDataObject* dataObject, IContextMenuCallback* callback,
                                 long* insertionAllowed)
{
    return CSnapInItem::OnNode(dataObject, [&](CSnapInItem& item, DATA_OBJECT_TYPES type) {
        return item.AddMenuItems(callback, insertionAllowed, type);
    });
}

HRESULT CKVTSnapin::Command(long commandId, IDataObject* dataObject)
{
    return CSnapInItem::OnNode(dataObject, [&](CSnapInItem& item, DATA_OBJECT_TYPES type) {
        return item.Command(commandId, this, type);
    });
}

HRESULT CKVTSnapin::GetHelpTopic(LPOLESTR* compiledHelpFile)
{
    if (compiledHelpFile == nullptr) {
        return E_POINTER;
    }
    std::string folder = zyr::console::ModuleFolder();
    if (folder.empty()) {
        return S_FALSE;
    }
    auto* block = static_cast<char16_t*>(CoTaskMemAlloc(kHelpPathCapacity * sizeof(char16_t)));
    if (block == nullptr) {
        return E_OUTOFMEMORY;
    }
    std::u16string path = zyr::text::Widen(folder + "/" + kHelpFileName);
    if (path.size() >= kHelpPathCapacity) {
        path.resize(kHelpPathCapacity - 1);
    }
    std::memcpy(block, path.c_str(), (path.size() + 1) * sizeof(char16_t));
    *compiledHelpFile = block;
    return S_OK;
}
