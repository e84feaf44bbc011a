#include "host/ConsoleSession.h"

#include "host/ConsoleObjects.h"
#include "host/ProtocolValues.h"
#include "host/SnapinRegistry.h"
#include "platform/com/ClassTable.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"

#include <utility>

namespace zyr::host {

using zyr::com::ComPtr;

namespace {

LPARAM MakeLong(bool low, bool high)
{
    return static_cast<LPARAM>((low ? 1u : 0u) | ((high ? 1u : 0u) << 16));
}

} // namespace

// ---- Lifetime ----

bool ConsoleSession::UseStaticFolderImages(const CLSID& snapin, ScopeItem& root)
{
    // As the console always did, the root shows the folder images of the
    // snap-in's about object; without them the snap-in answers for the root.
    CLSID aboutClass{};
    if (!FindAboutClass(snapin, aboutClass)) {
        return false;
    }
    ComPtr<ISnapinAbout> about;
    if (FAILED(
            CoCreateInstance(aboutClass, nullptr, CLSCTX_INPROC_SERVER, IID_ISnapinAbout, about.PutVoid()))) {
        return false;
    }
    HBITMAP closed = nullptr;
    HBITMAP open = nullptr;
    HBITMAP large = nullptr;
    COLORREF mask = 0;
    if (FAILED(about->GetStaticFolderImage(&closed, &open, &large, &mask)) || closed == nullptr) {
        return false;
    }
    if (!scopeImages_.SetStrip(closed, kStaticFolderImage, mask)) {
        return false;
    }
    root.image = kStaticFolderImage;
    root.openImage = open != nullptr && scopeImages_.SetStrip(open, kStaticFolderImage + 1, mask)
                         ? kStaticFolderImage + 1
                         : kStaticFolderImage;
    return true;
}

ConsoleSession::ConsoleSession() = default;

ConsoleSession::~ConsoleSession()
{
    Stop();
}

ConsoleSession::Call::~Call()
{
    if (--session_.depth_ == 0) {
        session_.Settle();
    }
}

HRESULT ConsoleSession::Start(const CLSID& clsid)
{
    if (Started()) {
        return E_UNEXPECTED;
    }
    Call call(*this);
    snapin_ = clsid;
    HRESULT hr =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IComponentData, componentData_.PutVoid());
    if (FAILED(hr)) {
        return hr;
    }
    snapinConsole_ = ComPtr<ConsoleObject>::Attach(new ConsoleObject(this));
    viewConsole_ = ComPtr<ConsoleObject>::Attach(new ConsoleObject(this));
    scopeImageList_ = ComPtr<ImageListObject>::Attach(new ImageListObject(this, &scopeImages_));
    resultImageList_ = ComPtr<ImageListObject>::Attach(new ImageListObject(this, &resultImages_));
    verbObject_ = ComPtr<VerbObject>::Attach(new VerbObject(this));
    controlbar_ = ComPtr<ControlbarObject>::Attach(new ControlbarObject(this));

    hr = componentData_->Initialize(static_cast<IConsole*>(snapinConsole_.get()));
    if (SUCCEEDED(hr)) {
        hr = componentData_->CreateComponent(component_.Put());
        if (SUCCEEDED(hr) && !component_) {
            hr = E_UNEXPECTED;
        }
    }
    if (SUCCEEDED(hr)) {
        hr = component_->Initialize(viewConsole_.get());
    }
    if (FAILED(hr)) {
        Stop();
        return hr;
    }

    // The root is the console's own item; the snap-in answers for it as cookie 0.
    ScopeItem root;
    root.id = nextScopeId_++;
    root.cookie = 0;
    root.nameCallback = true;
    root.imageCallback = !UseStaticFolderImages(clsid, root);
    root_ = root.id;
    items_.emplace(root.id, std::move(root));
    if (observer_ != nullptr) {
        observer_->ScopeItemInserted(root_);
    }

    extendControlbar_ = component_.As<IExtendControlbar>();
    if (extendControlbar_) {
        extendControlbar_->SetControlbar(controlbar_.get());
    }
    return S_OK;
}

void ConsoleSession::Stop()
{
    if (!componentData_) {
        return;
    }
    ++depth_; // nothing settles while the snap-in goes away
    for (auto& [handle, scope] : sheets_) {
        (void)scope;
        MMCFreeNotifyHandle(handle);
    }
    sheets_.clear();
    if (extendControlbar_) {
        extendControlbar_->SetControlbar(nullptr);
        extendControlbar_.Reset();
    }
    if (component_) {
        component_->Destroy(0);
        component_.Reset();
    }
    componentData_->Destroy();
    componentData_.Reset();
    for (ConsoleObject* console : {snapinConsole_.get(), viewConsole_.get()}) {
        if (console != nullptr) {
            console->Detach();
        }
    }
    if (scopeImageList_) {
        scopeImageList_->Detach();
    }
    if (resultImageList_) {
        resultImageList_->Detach();
    }
    if (verbObject_) {
        verbObject_->Detach();
    }
    if (controlbar_) {
        controlbar_->Detach();
    }
    snapinConsole_.Reset();
    viewConsole_.Reset();
    scopeImageList_.Reset();
    resultImageList_.Reset();
    verbObject_.Reset();
    controlbar_.Reset();
    items_.clear();
    root_ = 0;
    shown_ = 0;
    focus_ = {};
    rows_.clear();
    ReindexRows();
    seenRows_.clear();
    columns_.clear();
    toolbars_.clear();
    --depth_;
}

// ---- Settling ----

void ConsoleSession::Settle()
{
    // Each step may call the snap-in again; the Call it makes settles again
    // when it returns, so one pass is enough here.
    if (pendingSelect_ != 0) {
        HSCOPEITEM target = std::exchange(pendingSelect_, 0);
        pendingReselect_ = false;
        if (Item(target) != nullptr) {
            SelectScope(target);
            return;
        }
        requestedSelect_ = false;
    }
    if (pendingReselect_) {
        pendingReselect_ = false;
        Call call(*this);
        NotifySelection(focus_, true);
        return;
    }
    if (observer_ == nullptr) {
        dirtyResult_ = dirtyDescription_ = dirtyVerbs_ = dirtyToolbars_ = false;
        return;
    }
    if (std::exchange(dirtyResult_, false)) {
        observer_->ResultPaneChanged();
    }
    if (std::exchange(dirtyDescription_, false)) {
        observer_->DescriptionChanged();
    }
    if (std::exchange(dirtyVerbs_, false)) {
        observer_->VerbsChanged();
    }
    if (std::exchange(dirtyToolbars_, false)) {
        observer_->ToolbarsChanged();
    }
}

void ConsoleSession::MarkResultPane()
{
    dirtyResult_ = true;
    if (depth_ == 0) {
        Settle();
    }
}

void ConsoleSession::MarkDescription()
{
    dirtyDescription_ = true;
    if (depth_ == 0) {
        Settle();
    }
}

void ConsoleSession::MarkVerbs()
{
    dirtyVerbs_ = true;
    if (depth_ == 0) {
        Settle();
    }
}

void ConsoleSession::MarkToolbars()
{
    dirtyToolbars_ = true;
    if (depth_ == 0) {
        Settle();
    }
}

// ---- Data objects and notifications ----

Target ConsoleSession::ScopeTarget(HSCOPEITEM id) const
{
    Target target;
    const ScopeItem* item = Item(id);
    if (item != nullptr) {
        target.scope = true;
        target.scopeId = id;
        target.cookie = item->cookie;
    }
    return target;
}

Target ConsoleSession::ResultTarget(HRESULTITEM id) const
{
    Target target;
    const ResultRow* row = Row(id);
    if (row == nullptr) {
        target.scope = false;
        return target;
    }
    target.scope = row->scopeItem;
    target.scopeId = row->scopeId;
    target.resultId = id;
    target.cookie = row->cookie;
    return target;
}

ComPtr<IDataObject> ConsoleSession::DataObjectOf(const Target& target)
{
    ComPtr<IDataObject> data;
    if (!target) {
        return data;
    }
    if (target.scope) {
        if (componentData_) {
            componentData_->QueryDataObject(target.cookie, CCT_SCOPE, data.Put());
        }
    } else if (component_) {
        component_->QueryDataObject(target.cookie, CCT_RESULT, data.Put());
    }
    return data;
}

HRESULT ConsoleSession::NotifyView(const Target& target, MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param)
{
    if (!component_) {
        return E_UNEXPECTED;
    }
    ComPtr<IDataObject> data = DataObjectOf(target);
    if (!data) {
        return E_UNEXPECTED;
    }
    return component_->Notify(data.get(), event, arg, param);
}

void ConsoleSession::NotifySelection(const Target& target, bool select)
{
    if (!target) {
        return;
    }
    if (select) {
        ResetVerbs();
    }
    LPARAM arg = MakeLong(target.InScopePane(), select);
    ComPtr<IDataObject> data = DataObjectOf(target);
    if (!data || !component_) {
        return;
    }
    component_->Notify(data.get(), MMCN_SELECT, arg, 0);
    if (extendControlbar_) {
        extendControlbar_->ControlbarNotify(MMCN_SELECT, arg, reinterpret_cast<LPARAM>(data.get()));
    }
    MarkVerbs();
}

HRESULT ConsoleSession::UpdateAllViews(IDataObject* dataObject, LPARAM data, LONG_PTR hint)
{
    if (!component_) {
        return E_UNEXPECTED;
    }
    // Every view hears of it as MMCN_VIEW_CHANGE; this console has one.
    Call call(*this);
    component_->Notify(dataObject, MMCN_VIEW_CHANGE, data, hint);
    return S_OK;
}

// ---- Message boxes ----

HRESULT ConsoleSession::ConsoleMessageBox(LPCOLESTR text, LPCOLESTR title, UINT style, int* result)
{
    int answer = zyr::ui::Ui().MessageBox(MainWindow(), zyr::text::Narrow(TextOf(text)),
                                          zyr::text::Narrow(TextOf(title)), style);
    if (result != nullptr) {
        *result = answer;
    }
    return S_OK;
}

} // namespace zyr::host
