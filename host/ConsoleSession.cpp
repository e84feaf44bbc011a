#include "host/ConsoleSession.h"

#include "host/ConsoleObjects.h"
#include "platform/com/ClassTable.h"
#include "platform/registry/RegKey.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace zyr::host {

using zyr::com::ComPtr;

namespace {

LPARAM MakeLong(bool low, bool high)
{
    return static_cast<LPARAM>((low ? 1u : 0u) | ((high ? 1u : 0u) << 16));
}

std::u16string Copy(LPCOLESTR text)
{
    if (text == nullptr || text == MMC_CALLBACK) {
        return {};
    }
    return text;
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i] < 128 ? static_cast<char16_t>(std::tolower(a[i])) : a[i];
        char16_t y = b[i] < 128 ? static_cast<char16_t>(std::tolower(b[i])) : b[i];
        if (x != y) {
            return false;
        }
    }
    return true;
}

constexpr int MMC_IMAGECALLBACK = -1;
constexpr BOOL kTrue = 1;
constexpr BOOL kFalse = 0;

} // namespace

// ---- Finding the snap-in ----

bool FindStandAloneSnapin(const std::u16string& name, const CLSID* wanted, CLSID& found)
{
    zyr::registry::RegKey snapins;
    if (snapins.Open(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\MMC\\SnapIns", KEY_READ) != ERROR_SUCCESS) {
        return false;
    }
    bool ok = false;
    for (DWORD index = 0; !ok; ++index) {
        char keyName[256];
        DWORD size = sizeof(keyName);
        if (RegEnumKeyExA(snapins, index, keyName, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        CLSID clsid{};
        if (!zyr::com::GuidFromString(keyName, clsid)) {
            continue;
        }
        zyr::registry::RegKey entry;
        if (entry.Open(snapins, keyName, KEY_READ) != ERROR_SUCCESS) {
            continue;
        }
        if (zyr::registry::RegKey standAlone;
            standAlone.Open(entry, "StandAlone", KEY_READ) == ERROR_SUCCESS) {
            if (wanted != nullptr) {
                ok = clsid == *wanted;
            } else {
                char text[1024];
                ok = zyr::registry::ReadText(entry, "NameString", text, sizeof(text)) &&
                     zyr::text::Widen(text) == name;
            }
        }
        if (ok) {
            found = clsid;
        }
    }
    return ok;
}

// The class of the snap-in's about object, from its "About" value.
bool FindAboutClass(const CLSID& snapin, CLSID& about)
{
    const std::string path = "Software\\Microsoft\\MMC\\SnapIns\\" + zyr::com::GuidToString(snapin);
    zyr::registry::RegKey entry;
    if (entry.Open(HKEY_LOCAL_MACHINE, path.c_str(), KEY_READ) != ERROR_SUCCESS) {
        return false;
    }
    char text[128];
    return zyr::registry::ReadText(entry, "About", text, sizeof(text)) &&
           zyr::com::GuidFromString(text, about);
}

std::string HtmlFileOfViewType(const std::u16string& viewType)
{
    constexpr std::u16string_view scheme = u"res://";
    if (viewType.size() <= scheme.size() ||
        !EqualsIgnoringCase(std::u16string_view(viewType).substr(0, scheme.size()), scheme)) {
        return {};
    }
    std::u16string rest = viewType.substr(scheme.size());
    size_t slash = rest.rfind(u'/');
    if (slash == std::u16string::npos || slash + 1 >= rest.size()) {
        return {};
    }
    std::filesystem::path module(zyr::text::Narrow(rest.substr(0, slash)));
    std::u16string name = rest.substr(slash + 1);
    if (name.find(u'\\') != std::u16string::npos || name == u".." || name == u".") {
        return {};
    }
    std::filesystem::path folder = module.parent_path();
    std::error_code error;
    std::filesystem::path exact = folder / zyr::text::Narrow(name);
    if (std::filesystem::is_regular_file(exact, error)) {
        return exact.string();
    }
    // Resource names are not case-sensitive; file names are.
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file(error) &&
            EqualsIgnoringCase(zyr::text::Widen(entry.path().filename().string()), name)) {
            return entry.path().string();
        }
    }
    return {};
}

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

// ---- Scope items ----

const ScopeItem* ConsoleSession::Item(HSCOPEITEM id) const
{
    auto it = items_.find(id);
    return it == items_.end() ? nullptr : &it->second;
}

std::u16string ConsoleSession::ItemName(HSCOPEITEM id)
{
    auto it = items_.find(id);
    if (it == items_.end()) {
        return {};
    }
    if (!it->second.nameCallback || !componentData_) {
        return it->second.name;
    }
    SCOPEDATAITEM info;
    info.mask = SDI_STR;
    info.lParam = it->second.cookie;
    info.ID = id;
    if (SUCCEEDED(componentData_->GetDisplayInfo(&info))) {
        it->second.name = Copy(info.displayname);
    }
    return it->second.name;
}

int ConsoleSession::ItemImage(HSCOPEITEM id, bool open)
{
    auto it = items_.find(id);
    if (it == items_.end()) {
        return 0;
    }
    ScopeItem& item = it->second;
    if (item.imageCallback && componentData_) {
        SCOPEDATAITEM info;
        info.mask = SDI_IMAGE | SDI_OPENIMAGE;
        info.lParam = item.cookie;
        info.ID = id;
        if (SUCCEEDED(componentData_->GetDisplayInfo(&info))) {
            item.image = info.nImage;
            item.openImage = info.nOpenImage;
        }
    }
    return open ? item.openImage : item.image;
}

HSCOPEITEM ConsoleSession::FindByPath(const std::u16string& path)
{
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find(u'/', start);
        if (slash == std::u16string::npos) {
            slash = path.size();
        }
        if (slash > start) {
            parts.push_back(path.substr(start, slash - start));
        }
        start = slash + 1;
    }
    if (parts.empty() || root_ == 0 || ItemName(root_) != parts.front()) {
        return 0;
    }
    HSCOPEITEM current = root_;
    for (size_t i = 1; i < parts.size(); ++i) {
        Expand(current);
        HSCOPEITEM next = 0;
        const ScopeItem* item = Item(current);
        if (item == nullptr) {
            return 0;
        }
        std::vector<HSCOPEITEM> children = item->children;
        for (HSCOPEITEM child : children) {
            if (ItemName(child) == parts[i]) {
                next = child;
                break;
            }
        }
        if (next == 0) {
            return 0;
        }
        current = next;
    }
    return current;
}

HRESULT ConsoleSession::Expand(HSCOPEITEM id)
{
    auto it = items_.find(id);
    if (it == items_.end() || !componentData_) {
        return E_INVALIDARG;
    }
    if (it->second.expanded) {
        return S_OK;
    }
    Call call(*this);
    it->second.expanded = true;
    ComPtr<IDataObject> data = DataObjectOf(ScopeTarget(id));
    if (!data) {
        return E_UNEXPECTED;
    }
    return componentData_->Notify(data.get(), MMCN_EXPAND, kTrue, static_cast<LPARAM>(id));
}

HRESULT ConsoleSession::InsertScopeItem(SCOPEDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    HSCOPEITEM parent = item->relativeID;
    const ScopeItem* relative = Item(item->relativeID);
    if (relative == nullptr) {
        return E_INVALIDARG;
    }
    bool sibling = (item->mask & (SDI_PREVIOUS | SDI_NEXT)) != 0;
    if (sibling) {
        parent = relative->parent;
        if (Item(parent) == nullptr) {
            return E_INVALIDARG; // the root has no siblings
        }
    }
    ScopeItem added;
    added.id = nextScopeId_++;
    added.parent = parent;
    added.cookie = (item->mask & SDI_PARAM) ? item->lParam : 0;
    if (item->mask & SDI_STR) {
        added.nameCallback = item->displayname == MMC_CALLBACK;
        added.name = Copy(item->displayname);
    }
    if (item->mask & SDI_IMAGE) {
        added.image = item->nImage;
        added.imageCallback = item->nImage == MMC_IMAGECALLBACK;
    }
    added.openImage = (item->mask & SDI_OPENIMAGE) ? item->nOpenImage : added.image;
    if (item->mask & SDI_CHILDREN) {
        added.childrenHint = item->cChildren;
    }
    HSCOPEITEM id = added.id;
    items_.emplace(id, std::move(added));

    std::vector<HSCOPEITEM>& siblings = items_[parent].children;
    auto position = siblings.end();
    if (item->mask & SDI_FIRST) {
        position = siblings.begin();
    } else if (sibling) {
        position = std::find(siblings.begin(), siblings.end(), item->relativeID);
        if (position != siblings.end() && (item->mask & SDI_NEXT)) {
            ++position;
        }
    }
    siblings.insert(position, id);
    item->ID = id;
    if (observer_ != nullptr) {
        observer_->ScopeItemInserted(id);
    }

    // The shown item lists its scope children in the result pane.
    if (parent == shown_ && shown_ != 0) {
        ResultRow row;
        row.id = nextRowId_++;
        row.scopeItem = true;
        row.scopeId = id;
        row.cookie = items_[id].cookie;
        FillRowTexts(row);
        auto scopeEnd =
            std::find_if(rows_.begin(), rows_.end(), [](const ResultRow& r) { return !r.scopeItem; });
        rows_.insert(scopeEnd, std::move(row));
        MarkResultPane();
    }
    return S_OK;
}

void ConsoleSession::RemoveScopeRows(HSCOPEITEM id)
{
    rows_.erase(std::remove_if(rows_.begin(), rows_.end(),
                               [id](const ResultRow& row) { return row.scopeItem && row.scopeId == id; }),
                rows_.end());
}

void ConsoleSession::RemoveTree(HSCOPEITEM id)
{
    auto it = items_.find(id);
    if (it == items_.end()) {
        return;
    }
    std::vector<HSCOPEITEM> children = it->second.children;
    for (HSCOPEITEM child : children) {
        RemoveTree(child);
    }
    RemoveScopeRows(id);
    if (focus_.scope && focus_.scopeId == id) {
        focus_ = {};
    }
    items_.erase(id);
}

HRESULT ConsoleSession::DeleteScopeItem(HSCOPEITEM id, long deleteThis)
{
    auto it = items_.find(id);
    if (it == items_.end()) {
        return E_INVALIDARG;
    }
    if (deleteThis && id == root_) {
        return E_INVALIDARG; // the console's own item stays
    }
    // Which of the items going away is shown now?
    bool shownGoes = false;
    for (HSCOPEITEM walk = shown_; walk != 0; walk = Item(walk) ? Item(walk)->parent : 0) {
        if (walk == id) {
            shownGoes = deleteThis || shown_ != id;
            break;
        }
    }
    HSCOPEITEM parent = it->second.parent;
    if (observer_ != nullptr) {
        observer_->ScopeItemsRemoved(id, deleteThis != 0);
    }
    std::vector<HSCOPEITEM> children = it->second.children;
    for (HSCOPEITEM child : children) {
        RemoveTree(child);
    }
    items_[id].children.clear();
    if (deleteThis) {
        RemoveTree(id);
        auto& siblings = items_[parent].children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
    }
    if (shownGoes) {
        // The pane showed an item that is gone: show what is left above it.
        shown_ = 0;
        focus_ = {};
        rows_.clear();
        columns_.clear();
        description_.clear();
        htmlView_.clear();
        ResetVerbs();
        pendingSelect_ = deleteThis ? parent : id;
        MarkResultPane();
        MarkDescription();
    } else {
        if (!focus_ && shown_ != 0) {
            focus_ = ScopeTarget(shown_);
            pendingReselect_ = true;
        }
        MarkResultPane();
    }
    if (depth_ == 0) {
        Settle();
    }
    return S_OK;
}

HRESULT ConsoleSession::SetScopeItem(const SCOPEDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    auto it = items_.find(item->ID);
    if (it == items_.end()) {
        return E_INVALIDARG;
    }
    ScopeItem& target = it->second;
    if (item->mask & SDI_STR) {
        target.nameCallback = item->displayname == MMC_CALLBACK;
        target.name = Copy(item->displayname);
    }
    if (item->mask & SDI_IMAGE) {
        target.image = item->nImage;
        target.imageCallback = item->nImage == MMC_IMAGECALLBACK;
    }
    if (item->mask & SDI_OPENIMAGE) {
        target.openImage = item->nOpenImage;
    }
    if (item->mask & SDI_PARAM) {
        target.cookie = item->lParam;
    }
    if (item->mask & SDI_CHILDREN) {
        target.childrenHint = item->cChildren;
    }
    if (observer_ != nullptr) {
        observer_->ScopeItemChanged(item->ID);
    }
    for (ResultRow& row : rows_) {
        if (row.scopeItem && row.scopeId == item->ID) {
            row.cookie = target.cookie;
            FillRowTexts(row);
            MarkResultPane();
        }
    }
    return S_OK;
}

HRESULT ConsoleSession::GetScopeItem(SCOPEDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    const ScopeItem* source = Item(item->ID);
    if (source == nullptr) {
        return E_INVALIDARG;
    }
    if (item->mask & SDI_STR) {
        item->displayname = source->nameCallback ? MMC_CALLBACK : nullptr;
    }
    if (item->mask & SDI_IMAGE) {
        item->nImage = source->image;
    }
    if (item->mask & SDI_OPENIMAGE) {
        item->nOpenImage = source->openImage;
    }
    if (item->mask & SDI_PARAM) {
        item->lParam = source->cookie;
    }
    if (item->mask & SDI_CHILDREN) {
        item->cChildren = source->childrenHint < 0 ? 0 : source->childrenHint;
    }
    item->relativeID = source->parent;
    return S_OK;
}

HRESULT ConsoleSession::SelectScopeItemRequest(HSCOPEITEM id)
{
    if (Item(id) == nullptr) {
        return E_INVALIDARG;
    }
    pendingSelect_ = id;
    if (depth_ == 0) {
        Settle();
    }
    return S_OK;
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

// ---- Selection and the result pane ----

void ConsoleSession::HideShown()
{
    if (shown_ == 0) {
        return;
    }
    NotifySelection(focus_, false);
    NotifyView(ScopeTarget(shown_), MMCN_SHOW, kFalse, static_cast<LPARAM>(shown_));
    shown_ = 0;
    focus_ = {};
}

HRESULT ConsoleSession::SelectScope(HSCOPEITEM id)
{
    if (Item(id) == nullptr || !component_) {
        return E_INVALIDARG;
    }
    Call call(*this);
    if (id == shown_) {
        if (!focus_.InScopePane()) {
            NotifySelection(focus_, false);
            focus_ = ScopeTarget(id);
            NotifySelection(focus_, true);
        }
        return S_OK;
    }
    Expand(id);
    if (Item(id) == nullptr) {
        return E_INVALIDARG; // the snap-in took it away while expanding
    }
    HideShown();
    columns_.clear();
    rows_.clear();
    description_.clear();
    htmlView_.clear();
    listViewAllowed_ = true;
    ResetVerbs();
    shown_ = id;
    focus_ = ScopeTarget(id);
    MarkResultPane();
    MarkDescription();

    const MMC_COOKIE cookie = focus_.cookie;
    LPOLESTR viewType = nullptr;
    long options = MMC_VIEW_OPTIONS_NONE;
    if (component_->GetResultViewType(cookie, &viewType, &options) == S_OK && viewType != nullptr) {
        htmlView_ = HtmlFileOfViewType(viewType);
        listViewAllowed_ = (options & MMC_VIEW_OPTIONS_NOLISTVIEWS) == 0;
    }
    if (viewType != nullptr) {
        CoTaskMemFree(viewType);
    }

    NotifyView(focus_, MMCN_ADD_IMAGES,
               reinterpret_cast<LPARAM>(static_cast<IImageList*>(resultImageList_.get())),
               static_cast<LPARAM>(id));
    if (shown_ != id) {
        return S_OK; // the snap-in moved the console elsewhere
    }
    NotifyView(focus_, MMCN_SHOW, kTrue, static_cast<LPARAM>(id));
    if (shown_ != id || Item(id) == nullptr) {
        return S_OK;
    }
    // The console lists the scope children itself, ahead of the result items.
    std::vector<ResultRow> scopeRows;
    for (HSCOPEITEM child : Item(id)->children) {
        ResultRow row;
        row.id = nextRowId_++;
        row.scopeItem = true;
        row.scopeId = child;
        row.cookie = Item(child)->cookie;
        FillRowTexts(row);
        scopeRows.push_back(std::move(row));
    }
    rows_.insert(rows_.begin(), std::make_move_iterator(scopeRows.begin()),
                 std::make_move_iterator(scopeRows.end()));
    NotifySelection(focus_, true);
    if (observer_ != nullptr) {
        observer_->ShownScopeChanged(id);
    }
    return S_OK;
}

HRESULT ConsoleSession::SelectResult(HRESULTITEM rowId)
{
    if (shown_ == 0) {
        return E_UNEXPECTED;
    }
    Target next = rowId == 0 ? ScopeTarget(shown_) : ResultTarget(rowId);
    if (!next) {
        return E_INVALIDARG;
    }
    if (next.resultId == focus_.resultId && next.scopeId == focus_.scopeId) {
        return S_OK;
    }
    Call call(*this);
    NotifySelection(focus_, false);
    focus_ = next;
    NotifySelection(focus_, true);
    return S_OK;
}

const ResultRow* ConsoleSession::Row(HRESULTITEM id) const
{
    for (const ResultRow& row : rows_) {
        if (row.id == id) {
            return &row;
        }
    }
    return nullptr;
}

void ConsoleSession::FillRowTexts(ResultRow& row)
{
    size_t columns = std::max<size_t>(columns_.size(), 1);
    std::vector<std::u16string> texts(columns);
    if (row.fixedText && !row.texts.empty()) {
        texts[0] = row.texts[0];
    }
    for (size_t column = 0; column < columns; ++column) {
        if (column == 0 && row.fixedText) {
            continue;
        }
        RESULTDATAITEM info;
        info.mask = RDI_STR;
        if (column == 0 && (row.scopeItem || row.imageCallback)) {
            info.mask |= RDI_IMAGE;
        }
        info.bScopeItem = row.scopeItem;
        info.itemID = row.id;
        info.nCol = static_cast<int>(column);
        info.lParam = row.cookie;
        if (component_ && SUCCEEDED(component_->GetDisplayInfo(&info))) {
            texts[column] = Copy(info.str);
            if (info.mask & RDI_IMAGE) {
                row.image = info.nImage;
            }
        }
    }
    row.texts = std::move(texts);
}

HRESULT ConsoleSession::InsertResultItem(RESULTDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    if (shown_ == 0) {
        return E_UNEXPECTED;
    }
    ResultRow row;
    row.id = nextRowId_++;
    row.scopeItem = item->bScopeItem != 0;
    row.cookie = (item->mask & RDI_PARAM) ? item->lParam : 0;
    if (item->mask & RDI_IMAGE) {
        row.image = item->nImage;
        row.imageCallback = item->nImage == MMC_IMAGECALLBACK;
    }
    if ((item->mask & RDI_STR) && item->str != MMC_CALLBACK) {
        row.fixedText = true;
        row.texts.push_back(Copy(item->str));
    }
    if (row.scopeItem) {
        // A scope item placed in the pane by the snap-in: find its handle.
        for (const auto& [id, scope] : items_) {
            if (scope.cookie == row.cookie && scope.parent == shown_) {
                row.scopeId = id;
                break;
            }
        }
    }
    FillRowTexts(row);
    item->itemID = row.id;
    rows_.push_back(std::move(row));
    MarkResultPane();
    return S_OK;
}

HRESULT ConsoleSession::DeleteResultItem(HRESULTITEM id)
{
    auto it = std::find_if(rows_.begin(), rows_.end(), [id](const ResultRow& row) { return row.id == id; });
    if (it == rows_.end()) {
        return E_INVALIDARG;
    }
    rows_.erase(it);
    if (focus_.resultId == id) {
        // The selected row is gone: the shown scope item has the focus again.
        focus_ = ScopeTarget(shown_);
        pendingReselect_ = true;
    }
    MarkResultPane();
    return S_OK;
}

void ConsoleSession::DeleteAllResultItems()
{
    bool focusGone = focus_.resultId != 0 && !focus_.scope;
    rows_.erase(
        std::remove_if(rows_.begin(), rows_.end(), [](const ResultRow& row) { return !row.scopeItem; }),
        rows_.end());
    if (focusGone) {
        focus_ = ScopeTarget(shown_);
        pendingReselect_ = true;
    }
    MarkResultPane();
}

HRESULT ConsoleSession::SetResultItem(const RESULTDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    for (ResultRow& row : rows_) {
        if (row.id != item->itemID) {
            continue;
        }
        if (item->mask & RDI_PARAM) {
            row.cookie = item->lParam;
        }
        if (item->mask & RDI_IMAGE) {
            row.image = item->nImage;
            row.imageCallback = item->nImage == MMC_IMAGECALLBACK;
        }
        if (item->mask & RDI_STR) {
            size_t column = static_cast<size_t>(std::max(item->nCol, 0));
            if (item->str == MMC_CALLBACK) {
                if (column == 0) {
                    row.fixedText = false;
                }
            } else {
                if (row.texts.size() <= column) {
                    row.texts.resize(column + 1);
                }
                row.texts[column] = Copy(item->str);
                if (column == 0) {
                    row.fixedText = true;
                }
            }
        }
        FillRowTexts(row);
        MarkResultPane();
        return S_OK;
    }
    return E_INVALIDARG;
}

HRESULT ConsoleSession::GetResultItem(RESULTDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    const ResultRow* row = Row(item->itemID);
    if (row == nullptr) {
        return E_INVALIDARG;
    }
    if (item->mask & RDI_PARAM) {
        item->lParam = row->cookie;
    }
    if (item->mask & RDI_IMAGE) {
        item->nImage = row->image;
    }
    if (item->mask & RDI_STR) {
        item->str = row->fixedText ? nullptr : MMC_CALLBACK;
    }
    item->bScopeItem = row->scopeItem;
    return S_OK;
}

HRESULT ConsoleSession::UpdateResultItem(HRESULTITEM id)
{
    for (ResultRow& row : rows_) {
        if (row.id == id) {
            FillRowTexts(row);
            MarkResultPane();
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

HRESULT ConsoleSession::InsertColumn(int column, LPCOLESTR title, int format, int width)
{
    if (column < 0 || column > static_cast<int>(columns_.size())) {
        return E_INVALIDARG;
    }
    columns_.insert(columns_.begin() + column, ResultColumn{Copy(title), format, width});
    for (ResultRow& row : rows_) {
        FillRowTexts(row);
    }
    MarkResultPane();
    return S_OK;
}

HRESULT ConsoleSession::DeleteColumn(int column)
{
    if (column < 0 || column >= static_cast<int>(columns_.size())) {
        return E_INVALIDARG;
    }
    columns_.erase(columns_.begin() + column);
    for (ResultRow& row : rows_) {
        if (column < static_cast<int>(row.texts.size())) {
            row.texts.erase(row.texts.begin() + column);
        }
    }
    MarkResultPane();
    return S_OK;
}

HRESULT ConsoleSession::SetColumnText(int column, LPCOLESTR title)
{
    if (column < 0 || column >= static_cast<int>(columns_.size())) {
        return E_INVALIDARG;
    }
    columns_[column].title = Copy(title);
    MarkResultPane();
    return S_OK;
}

HRESULT ConsoleSession::SetColumnWidth(int column, int width)
{
    if (column < 0 || column >= static_cast<int>(columns_.size())) {
        return E_INVALIDARG;
    }
    columns_[column].width = width;
    MarkResultPane();
    return S_OK;
}

void ConsoleSession::SetDescription(LPCOLESTR text)
{
    description_ = Copy(text);
    MarkDescription();
}

// ---- Verbs ----

void ConsoleSession::ResetVerbs()
{
    verbs_.clear();
    defaultVerb_ = MMC_VERB_NONE;
    MarkVerbs();
}

void ConsoleSession::SetVerb(MMC_CONSOLE_VERB verb, MMC_BUTTON_STATE state, BOOL value)
{
    DWORD& bits = verbs_[verb];
    bits = value ? (bits | state) : (bits & ~static_cast<DWORD>(state));
    MarkVerbs();
}

BOOL ConsoleSession::GetVerb(MMC_CONSOLE_VERB verb, MMC_BUTTON_STATE state) const
{
    auto it = verbs_.find(verb);
    return it != verbs_.end() && (it->second & state) != 0;
}

void ConsoleSession::SetDefaultVerb(MMC_CONSOLE_VERB verb)
{
    defaultVerb_ = verb;
}

bool ConsoleSession::VerbEnabled(MMC_CONSOLE_VERB verb) const
{
    return GetVerb(verb, ENABLED) && !GetVerb(verb, HIDDEN);
}

HRESULT ConsoleSession::DeleteFocus()
{
    if (!focus_ || !VerbEnabled(MMC_VERB_DELETE)) {
        return S_FALSE;
    }
    Call call(*this);
    return NotifyView(focus_, MMCN_DELETE, 0, 0);
}

bool ConsoleSession::DoubleClickFocus()
{
    if (!focus_) {
        return false;
    }
    Call call(*this);
    // S_FALSE, and a failure (the view answers failures as S_FALSE), asks
    // the console for its default action.
    return NotifyView(focus_, MMCN_DBLCLICK, 0, 0) != S_OK;
}

HRESULT ConsoleSession::RefreshFocus()
{
    if (!focus_ || !VerbEnabled(MMC_VERB_REFRESH)) {
        return S_FALSE;
    }
    Call call(*this);
    return NotifyView(focus_, MMCN_REFRESH, 0, focus_.scope ? static_cast<LPARAM>(focus_.scopeId) : 0);
}

// ---- Property sheets ----

HRESULT ConsoleSession::QueryProperties(const Target& target, SheetRequest& sheet)
{
    if (!target || !componentData_) {
        return E_INVALIDARG;
    }
    Call call(*this);
    ComPtr<IExtendPropertySheet> extend =
        target.scope ? componentData_.As<IExtendPropertySheet>() : component_.As<IExtendPropertySheet>();
    ComPtr<IDataObject> data = DataObjectOf(target);
    if (!extend || !data) {
        return S_FALSE;
    }
    if (extend->QueryPagesFor(data.get()) != S_OK) {
        return S_FALSE;
    }
    LONG_PTR handle = nextSheet_++;
    sheets_[handle] = target.scope;
    auto callback = ComPtr<SheetCallbackObject>::Attach(new SheetCallbackObject);
    HRESULT hr = extend->CreatePropertyPages(callback.get(), handle, data.get());
    if (FAILED(hr) || callback->pages.empty()) {
        for (IPropertyPage* page : callback->pages) {
            page->Release();
        }
        sheets_.erase(handle);
        return FAILED(hr) ? hr : S_FALSE;
    }
    sheet.target = target;
    sheet.notifyHandle = handle;
    sheet.pages = std::move(callback->pages);
    if (target.scope && target.resultId == 0) {
        sheet.title = ItemName(target.scopeId);
    } else {
        const ResultRow* row = Row(target.resultId);
        if (row != nullptr && !row->texts.empty()) {
            sheet.title = row->texts[0];
        }
    }
    sheet.title += u" Properties";
    return S_OK;
}

void ConsoleSession::EndSheet(SheetRequest& sheet)
{
    for (IPropertyPage* page : sheet.pages) {
        page->Release();
    }
    sheet.pages.clear();
    sheets_.erase(sheet.notifyHandle);
    sheet.notifyHandle = 0;
}

HRESULT ConsoleSession::PropertyChanged(LONG_PTR notifyHandle, LPARAM param)
{
    auto it = sheets_.find(notifyHandle);
    if (it == sheets_.end() || !component_) {
        return E_INVALIDARG;
    }
    Call call(*this);
    // As the console always did: no data object; arg tells a scope item.
    return component_->Notify(nullptr, MMCN_PROPERTY_CHANGE, it->second ? kTrue : kFalse, param);
}

// ---- Context menus ----

HRESULT ConsoleSession::BuildMenu(const Target& target, long allowed, std::vector<MenuEntry>& entries)
{
    entries.clear();
    if (!target || !componentData_) {
        return E_INVALIDARG;
    }
    Call call(*this);
    ComPtr<IExtendContextMenu> extend =
        target.scope ? componentData_.As<IExtendContextMenu>() : component_.As<IExtendContextMenu>();
    ComPtr<IDataObject> data = DataObjectOf(target);
    if (!extend || !data) {
        return S_FALSE;
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
    if (!target || !componentData_) {
        return E_INVALIDARG;
    }
    Call call(*this);
    ComPtr<IExtendContextMenu> extend =
        target.scope ? componentData_.As<IExtendContextMenu>() : component_.As<IExtendContextMenu>();
    ComPtr<IDataObject> data = DataObjectOf(target);
    if (!extend || !data) {
        return E_UNEXPECTED;
    }
    return extend->Command(commandId, data.get());
}

// ---- Toolbars ----

ToolbarModel* ConsoleSession::NewToolbar(IExtendControlbar* owner)
{
    auto model = std::make_unique<ToolbarModel>();
    model->owner = owner;
    toolbars_.push_back(std::move(model));
    MarkToolbars();
    return toolbars_.back().get();
}

void ConsoleSession::ToolbarChanged()
{
    MarkToolbars();
}

HRESULT ConsoleSession::ClickButton(const ToolbarModel& toolbar, int command)
{
    if (toolbar.owner == nullptr || !focus_) {
        return E_UNEXPECTED;
    }
    Call call(*this);
    ComPtr<IDataObject> data = DataObjectOf(focus_);
    if (!data) {
        return E_UNEXPECTED;
    }
    return toolbar.owner->ControlbarNotify(MMCN_BTN_CLICK, reinterpret_cast<LPARAM>(data.get()), command);
}

// ---- Message boxes ----

HRESULT ConsoleSession::ConsoleMessageBox(LPCOLESTR text, LPCOLESTR title, UINT style, int* result)
{
    int answer = zyr::ui::Ui().MessageBox(MainWindow(), zyr::text::Narrow(Copy(text)),
                                          zyr::text::Narrow(Copy(title)), style);
    if (result != nullptr) {
        *result = answer;
    }
    return S_OK;
}

} // namespace zyr::host
