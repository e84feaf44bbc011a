#include "tests/host/testsnapin/TestSnapin.h"

#include "platform/com/ClassFactory.h"
#include "platform/mmc/ConsoleInterfaces.h"

#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>

#include <dlfcn.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using zyr::com::ComObject;
using zyr::com::ComPtr;

std::string g_log;
// Leaves added to Alpha beyond its two, for the tests at scale.
int g_extraLeaves = 0;

void Log(const std::string& line)
{
    g_log += line;
    g_log += '\n';
}

std::string Narrow(const std::u16string& text)
{
    return std::string(text.begin(), text.end()); // the test names are ASCII
}

std::u16string ModulePath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::string path = info.dli_fname;
    return std::u16string(path.begin(), path.end());
}

// A strip of four 16x16 pictures, made once: blue, green, red, grey squares.
const ImageStrip* Strip()
{
    static QByteArray png;
    static ImageStrip strip;
    if (png.isEmpty()) {
        QImage image(64, 16, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        const QColor colours[] = {Qt::blue, Qt::darkGreen, Qt::red, Qt::gray};
        for (int i = 0; i < 4; ++i) {
            painter.fillRect(i * 16 + 2, 2, 12, 12, colours[i]);
        }
        painter.end();
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        strip.width = 16;
        strip.height = 16;
        strip.count = 4;
        strip.png = reinterpret_cast<const unsigned char*>(png.constData());
        strip.size = static_cast<size_t>(png.size());
    }
    return &strip;
}

enum class Kind { Root, Container, Leaf };

struct Node {
    Kind kind = Kind::Leaf;
    std::u16string name;
    std::u16string description;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
    HSCOPEITEM scopeId = 0;
    HRESULTITEM resultId = 0;
    bool deletable = false;

    Node* Add(Kind childKind, std::u16string childName, std::u16string childDescription)
    {
        auto child = std::make_unique<Node>();
        child->kind = childKind;
        child->name = std::move(childName);
        child->description = std::move(childDescription);
        child->parent = this;
        children.push_back(std::move(child));
        return children.back().get();
    }
    void Remove(Node* child)
    {
        for (auto it = children.begin(); it != children.end(); ++it) {
            if (it->get() == child) {
                children.erase(it);
                return;
            }
        }
    }
    size_t Leaves() const
    {
        size_t count = 0;
        for (const auto& child : children) {
            count += child->kind == Kind::Leaf ? 1 : 0;
        }
        return count;
    }
};

// {6B0C3E57-92A4-4D1E-8F3B-5A7C21D9E4FF}: how the snap-in knows its own data objects.
constexpr IID IID_ITestNodeData = {
    0x6B0C3E57, 0x92A4, 0x4D1E, {0x8F, 0x3B, 0x5A, 0x7C, 0x21, 0xD9, 0xE4, 0xFF}};

struct ITestNodeData : IUnknown {
    static const IID& InterfaceId() { return IID_ITestNodeData; }
    using BaseInterface = IUnknown;
    virtual Node* GetNode() = 0;
    virtual DATA_OBJECT_TYPES GetType() = 0;

protected:
    ~ITestNodeData() = default;
};

class CDataObject : public ComObject<IDataObject, ITestNodeData> {
public:
    CDataObject(Node* node, DATA_OBJECT_TYPES type) : node_(node), type_(type) {}
    Node* GetNode() override { return node_; }
    DATA_OBJECT_TYPES GetType() override { return type_; }
    HRESULT GetData(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(DWORD, IUnknown**) override { return E_NOTIMPL; }
    HRESULT DAdvise(FORMATETC*, DWORD, IUnknown*, DWORD*) override { return E_NOTIMPL; }
    HRESULT DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT EnumDAdvise(IUnknown**) override { return E_NOTIMPL; }

private:
    Node* node_;
    DATA_OBJECT_TYPES type_;
};

Node* NodeOf(IDataObject* data)
{
    if (data == nullptr) {
        return nullptr;
    }
    ComPtr<ITestNodeData> mine = ComPtr<IDataObject>::Share(data).As<ITestNodeData>();
    return mine ? mine->GetNode() : nullptr;
}

// The property page: the name of a node in one edit field. A sheet has it
// twice, as "General" and "Notes"; the second logs its applies as "NOTES".
class CNamePage : public QWidget, public IPropertyPage {
public:
    CNamePage(Node* node, LONG_PTR notifyHandle, std::u16string title = u"General")
        : node_(node), notifyHandle_(notifyHandle), title_(std::move(title))
    {
    }
    std::u16string_view Title() override { return title_; }
    HWND CreatePageWindow(HWND parent, IPropertySheetSite* site) override
    {
        site_ = site;
        setParent(static_cast<QWidget*>(parent));
        auto* layout = new QVBoxLayout(this);
        edit_ = new QLineEdit(QString::fromStdU16String(node_->name), this);
        edit_->setObjectName(title_ == u"General" ? QStringLiteral("nameEdit") : QStringLiteral("notesEdit"));
        layout->addWidget(edit_);
        connect(edit_, &QLineEdit::textEdited, this, [this] { site_->PageChanged(this); });
        return static_cast<QWidget*>(this);
    }
    BOOL OnApply() override
    {
        if (edit_ == nullptr) {
            return 1;
        }
        if (edit_->text().isEmpty()) {
            Log("APPLY refused");
            return 0;
        }
        if (title_ != u"General") {
            Log("NOTES APPLY");
            return 1;
        }
        node_->name = edit_->text().toStdU16String();
        Log("APPLY " + Narrow(node_->name));
        MMCPropertyChangeNotify(notifyHandle_, reinterpret_cast<LPARAM>(node_));
        return 1;
    }
    void OnCancel() override { Log("CANCEL"); }
    void Release() override
    {
        MMCFreeNotifyHandle(notifyHandle_);
        delete this;
    }

private:
    Node* node_;
    LONG_PTR notifyHandle_;
    std::u16string title_;
    IPropertySheetSite* site_ = nullptr;
    QLineEdit* edit_ = nullptr;
};

class CComponent;

class CSnapin : public ComObject<IComponentData, IExtendContextMenu, IExtendPropertySheet> {
public:
    CSnapin()
    {
        root_.kind = Kind::Root;
        root_.name = u"Test Root";
        Node* alpha = root_.Add(Kind::Container, u"Alpha", u"Holds leaves");
        alpha->Add(Kind::Leaf, u"Leaf One", u"The first leaf");
        alpha->Add(Kind::Leaf, u"Leaf Two", u"The second leaf");
        for (int i = 0; i < g_extraLeaves; ++i) {
            std::u16string name = u"Bulk ";
            for (char digit : std::to_string(i)) {
                name += static_cast<char16_t>(digit);
            }
            alpha->Add(Kind::Leaf, name, u"A leaf of many");
        }
        Node* beta = root_.Add(Kind::Container, u"Beta", u"Can be deleted");
        beta->deletable = true;
    }

    Node* Root() { return &root_; }
    IConsole* Console() { return console_.get(); }
    CComponent* View() { return view_; }
    void ViewGone() { view_ = nullptr; }

    // IComponentData
    HRESULT Initialize(IUnknown* console) override
    {
        if (console == nullptr) {
            return E_POINTER;
        }
        console_ = ComPtr<IUnknown>::Share(console).As<IConsole>();
        nameSpace_ = console_.As<IConsoleNameSpace>();
        if (!console_ || !nameSpace_) {
            return E_NOINTERFACE;
        }
        ComPtr<IImageList> images;
        if (SUCCEEDED(console_->QueryScopeImageList(images.Put()))) {
            images->ImageListSetStrip(Strip(), Strip(), 0, 0);
        }
        if (ComPtr<IConsoleStatusBar> bar = console_.As<IConsoleStatusBar>()) {
            bar->SetStatusText(u"Server: test:");
        }
        Log("INITIALIZE");
        return S_OK;
    }
    HRESULT CreateComponent(IComponent** component) override;
    HRESULT Notify(IDataObject* data, MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param) override
    {
        Node* node = NodeOf(data);
        if (node == nullptr) {
            return E_NOTIMPL;
        }
        if (event != MMCN_EXPAND) {
            return E_NOTIMPL;
        }
        Log("EXPAND " + Narrow(node->name) + (arg ? "" : " collapse"));
        node->scopeId = static_cast<HSCOPEITEM>(param);
        for (auto& child : node->children) {
            if (child->kind == Kind::Leaf) {
                continue;
            }
            InsertScope(child.get());
        }
        return S_OK;
    }
    HRESULT Destroy() override
    {
        Log("DESTROY");
        nameSpace_.Reset();
        console_.Reset();
        return S_OK;
    }
    HRESULT QueryDataObject(MMC_COOKIE cookie, DATA_OBJECT_TYPES type, IDataObject** data) override
    {
        if (data == nullptr) {
            return E_POINTER;
        }
        Node* node = cookie == 0 ? &root_ : reinterpret_cast<Node*>(cookie);
        *data = new CDataObject(node, type);
        return S_OK;
    }
    HRESULT GetDisplayInfo(SCOPEDATAITEM* item) override
    {
        if (item == nullptr) {
            return E_POINTER;
        }
        Node* node = item->lParam == 0 ? &root_ : reinterpret_cast<Node*>(item->lParam);
        if (item->mask & SDI_STR) {
            item->displayname = node->name.data();
        }
        if (item->mask & SDI_IMAGE) {
            item->nImage = node->kind == Kind::Root ? 3 : 0;
        }
        if (item->mask & SDI_OPENIMAGE) {
            item->nOpenImage = node->kind == Kind::Root ? 3 : 1;
        }
        return S_OK;
    }
    HRESULT CompareObjects(IDataObject* a, IDataObject* b) override
    {
        return NodeOf(a) == NodeOf(b) ? S_OK : S_FALSE;
    }

    // IExtendContextMenu
    HRESULT AddMenuItems(IDataObject* data, IContextMenuCallback* callback, long* allowed) override;
    HRESULT Command(long commandId, IDataObject* data) override;

    // IExtendPropertySheet
    HRESULT CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR handle, IDataObject* data) override
    {
        Node* node = NodeOf(data);
        if (node == nullptr || callback == nullptr) {
            return E_UNEXPECTED;
        }
        Log("PAGES " + Narrow(node->name));
        if (HRESULT hr = callback->AddPage(new CNamePage(node, handle)); FAILED(hr)) {
            return hr;
        }
        return callback->AddPage(new CNamePage(node, 0, u"Notes"));
    }
    HRESULT QueryPagesFor(IDataObject* data) override
    {
        Node* node = NodeOf(data);
        return node != nullptr && node->kind != Kind::Root ? S_OK : S_FALSE;
    }

    void InsertScope(Node* child)
    {
        SCOPEDATAITEM item;
        item.mask = SDI_STR | SDI_IMAGE | SDI_OPENIMAGE | SDI_PARAM | SDI_CHILDREN;
        item.displayname = MMC_CALLBACK;
        item.nImage = 0;
        item.nOpenImage = 1;
        item.cChildren = 0;
        item.lParam = reinterpret_cast<LPARAM>(child);
        item.relativeID = child->parent->scopeId;
        if (SUCCEEDED(nameSpace_->InsertItem(&item))) {
            child->scopeId = item.ID;
        }
    }
    IConsoleNameSpace* NameSpace() { return nameSpace_.get(); }

private:
    Node root_;
    ComPtr<IConsole> console_;
    ComPtr<IConsoleNameSpace> nameSpace_;
    CComponent* view_ = nullptr;
};

class CComponent : public ComObject<IComponent, IExtendContextMenu, IExtendPropertySheet, IExtendControlbar> {
public:
    explicit CComponent(CSnapin* snapin) : snapin_(ComPtr<CSnapin>::Share(snapin)) {}
    ~CComponent() override { snapin_->ViewGone(); }

    // IComponent
    HRESULT Initialize(IConsole* console) override
    {
        if (console == nullptr) {
            return E_POINTER;
        }
        console_ = ComPtr<IConsole>::Share(console);
        results_ = console_.As<IResultData>();
        header_ = console_.As<IHeaderCtrl>();
        return results_ && header_ ? S_OK : E_NOINTERFACE;
    }
    HRESULT Notify(IDataObject* data, MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param) override
    {
        if (event == MMCN_PROPERTY_CHANGE) {
            auto* node = reinterpret_cast<Node*>(param);
            Log("PROPERTY_CHANGE " + Narrow(node->name) + (arg ? " scope" : " result") +
                (QThread::currentThread() == qApp->thread() ? "" : " off-thread"));
            if (node->resultId != 0) {
                results_->UpdateItem(node->resultId);
            }
            if (node->scopeId != 0 && node->kind != Kind::Leaf) {
                SCOPEDATAITEM item;
                item.mask = SDI_STR;
                item.displayname = MMC_CALLBACK;
                item.ID = node->scopeId;
                snapin_->NameSpace()->SetItem(&item);
            }
            return S_OK;
        }
        Node* node = NodeOf(data);
        if (node == nullptr) {
            return E_NOTIMPL;
        }
        const std::string name = Narrow(node->name);
        switch (event) {
        case MMCN_ADD_IMAGES: {
            Log("ADD_IMAGES " + name);
            auto* images = reinterpret_cast<IImageList*>(arg);
            return images->ImageListSetStrip(Strip(), Strip(), 0, 0);
        }
        case MMCN_SHOW:
            Log(std::string("SHOW ") + (arg ? "1 " : "0 ") + name);
            if (!arg) {
                if (shown_ == node) {
                    shown_ = nullptr;
                }
                for (auto& child : node->children) {
                    child->resultId = 0;
                }
                return S_OK;
            }
            shown_ = node;
            header_->InsertColumn(0, u"Name", 0, 200);
            header_->InsertColumn(1, u"Description", 0, 300);
            for (auto& child : node->children) {
                if (child->kind == Kind::Leaf) {
                    InsertResult(child.get());
                }
            }
            return S_OK;
        case MMCN_SELECT: {
            bool scope = (arg & 0xFFFF) != 0;
            bool select = ((arg >> 16) & 0xFFFF) != 0;
            Log(std::string("SELECT ") + (select ? "1 " : "0 ") + (scope ? "scope " : "result ") + name);
            if (!select) {
                return S_OK;
            }
            ComPtr<IConsoleVerb> verbs;
            console_->QueryConsoleVerb(verbs.Put());
            if (node->kind != Kind::Root) {
                verbs->SetVerbState(MMC_VERB_PROPERTIES, ENABLED, 1);
            }
            if (node->kind == Kind::Leaf || node->deletable) {
                verbs->SetVerbState(MMC_VERB_DELETE, ENABLED, 1);
            }
            if (node->kind == Kind::Container) {
                verbs->SetVerbState(MMC_VERB_REFRESH, ENABLED, 1);
                UpdateDescription(node);
            }
            return S_OK;
        }
        case MMCN_DELETE:
            Log("DELETE " + name);
            if (node->kind == Kind::Leaf) {
                Node* parent = node->parent;
                if (node->resultId != 0) {
                    results_->DeleteItem(node->resultId, 0);
                }
                parent->Remove(node);
                UpdateDescription(parent);
            } else if (node->deletable) {
                snapin_->NameSpace()->DeleteItem(node->scopeId, 1);
                node->parent->Remove(node);
            }
            return S_OK;
        case MMCN_REFRESH:
            Log("REFRESH " + name);
            // Other views hear of it.
            return console_->UpdateAllViews(data, 7, 9);
        case MMCN_VIEW_CHANGE:
            Log("VIEW_CHANGE " + name + " " + std::to_string(arg) + " " + std::to_string(param));
            return S_OK;
        default:
            return E_NOTIMPL;
        }
    }
    HRESULT Destroy(MMC_COOKIE) override
    {
        Log("VIEW DESTROY");
        if (toolbar_ && controlbar_) {
            controlbar_->Detach(toolbar_.get());
        }
        toolbar_.Reset();
        controlbar_.Reset();
        header_.Reset();
        results_.Reset();
        console_.Reset();
        return S_OK;
    }
    HRESULT QueryDataObject(MMC_COOKIE cookie, DATA_OBJECT_TYPES type, IDataObject** data) override
    {
        if (data == nullptr) {
            return E_POINTER;
        }
        if (cookie == 0) {
            return E_UNEXPECTED;
        }
        *data = new CDataObject(reinterpret_cast<Node*>(cookie), type);
        return S_OK;
    }
    HRESULT GetResultViewType(MMC_COOKIE cookie, LPOLESTR* viewType, long* options) override
    {
        *viewType = nullptr;
        *options = MMC_VIEW_OPTIONS_NONE;
        if (cookie == 0) {
            // The module's folder holds "welcome.html"; the resource name is in capitals.
            *viewType = CoTaskMemDupString(u"res://" + ModulePath() + u"/WELCOME.HTML");
            *options = MMC_VIEW_OPTIONS_NOLISTVIEWS;
            return S_OK;
        }
        return S_FALSE;
    }
    HRESULT GetDisplayInfo(RESULTDATAITEM* item) override
    {
        if (item == nullptr) {
            return E_POINTER;
        }
        auto* node = reinterpret_cast<Node*>(item->lParam);
        if (node == nullptr) {
            return E_UNEXPECTED;
        }
        if (item->mask & RDI_STR) {
            text_ = item->nCol == 0 ? node->name : item->nCol == 1 ? node->description : std::u16string();
            item->str = text_.data();
        }
        if (item->mask & RDI_IMAGE) {
            item->nImage = node->kind == Kind::Leaf ? 2 : 0;
        }
        return S_OK;
    }
    HRESULT CompareObjects(IDataObject* a, IDataObject* b) override
    {
        return NodeOf(a) == NodeOf(b) ? S_OK : S_FALSE;
    }

    // IExtendContextMenu, IExtendPropertySheet: as the snap-in does.
    HRESULT AddMenuItems(IDataObject* data, IContextMenuCallback* callback, long* allowed) override
    {
        return snapin_->AddMenuItems(data, callback, allowed);
    }
    HRESULT Command(long commandId, IDataObject* data) override { return snapin_->Command(commandId, data); }
    HRESULT CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR handle, IDataObject* data) override
    {
        return snapin_->CreatePropertyPages(callback, handle, data);
    }
    HRESULT QueryPagesFor(IDataObject* data) override { return snapin_->QueryPagesFor(data); }

    // IExtendControlbar
    HRESULT SetControlbar(IControlbar* controlbar) override
    {
        if (controlbar == nullptr) {
            Log("CONTROLBAR released");
            toolbar_.Reset();
            controlbar_.Reset();
            return S_OK;
        }
        controlbar_ = ComPtr<IControlbar>::Share(controlbar);
        ComPtr<IUnknown> created;
        HRESULT hr = controlbar_->Create(TOOLBAR, this, created.Put());
        if (FAILED(hr)) {
            return hr;
        }
        toolbar_ = created.As<IToolbar>();
        toolbar_->AddBitmap(4, Strip(), 16, 16, 0);
        MMCBUTTON button;
        button.nBitmap = 1;
        button.idCommand = kCommandNewLeaf;
        button.fsState = TBSTATE_ENABLED;
        button.fsType = TBSTYLE_BUTTON;
        button.lpButtonText = const_cast<LPOLESTR>(u"New Leaf");
        button.lpTooltipText = const_cast<LPOLESTR>(u"Adds a leaf");
        return toolbar_->AddButtons(1, &button);
    }
    HRESULT ControlbarNotify(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param) override
    {
        if (event == MMCN_SELECT) {
            Node* node = NodeOf(reinterpret_cast<IDataObject*>(param));
            bool select = ((arg >> 16) & 0xFFFF) != 0;
            if (node != nullptr && select && node->kind == Kind::Container) {
                controlbar_->Attach(TOOLBAR, toolbar_.get());
            } else if (select) {
                controlbar_->Detach(toolbar_.get());
            }
            return S_OK;
        }
        if (event == MMCN_BTN_CLICK) {
            Log("BTN_CLICK " + std::to_string(param));
            return snapin_->Command(static_cast<long>(param), reinterpret_cast<IDataObject*>(arg));
        }
        return E_UNEXPECTED;
    }

    void InsertResult(Node* leaf)
    {
        RESULTDATAITEM item;
        item.mask = RDI_STR | RDI_IMAGE | RDI_PARAM;
        item.str = MMC_CALLBACK;
        item.nImage = 2;
        item.lParam = reinterpret_cast<LPARAM>(leaf);
        if (SUCCEEDED(results_->InsertItem(&item))) {
            leaf->resultId = item.itemID;
        }
    }
    void UpdateDescription(Node* node)
    {
        std::u16string text =
            std::u16string(u"") + static_cast<char16_t>(u'0' + node->Leaves() % 10) + u" leaves";
        results_->SetDescBarText(text.data());
    }
    Node* Shown() const { return shown_; }
    IConsole* Console() const { return console_.get(); }

private:
    ComPtr<CSnapin> snapin_;
    ComPtr<IConsole> console_;
    ComPtr<IResultData> results_;
    ComPtr<IHeaderCtrl> header_;
    ComPtr<IControlbar> controlbar_;
    ComPtr<IToolbar> toolbar_;
    Node* shown_ = nullptr;
    std::u16string text_;
};

HRESULT CSnapin::CreateComponent(IComponent** component)
{
    if (component == nullptr) {
        return E_POINTER;
    }
    view_ = new CComponent(this);
    *component = view_;
    return S_OK;
}

HRESULT CSnapin::AddMenuItems(IDataObject* data, IContextMenuCallback* callback, long* allowed)
{
    Node* node = NodeOf(data);
    if (node == nullptr || callback == nullptr || allowed == nullptr) {
        return E_UNEXPECTED;
    }
    auto add = [&](const char16_t* name, const char16_t* status, long command, long point, long bit) {
        if ((*allowed & bit) == 0) {
            return;
        }
        CONTEXTMENUITEM item;
        item.strName = const_cast<LPOLESTR>(name);
        item.strStatusBarText = const_cast<LPOLESTR>(status);
        item.lCommandID = command;
        item.lInsertionPointID = point;
        callback->AddItem(&item);
    };
    if (node->kind == Kind::Container) {
        add(u"Leaf", u"Adds a leaf", kCommandNewLeaf, CCM_INSERTIONPOINTID_PRIMARY_NEW,
            CCM_INSERTIONALLOWED_NEW);
        add(u"Count Leaves", u"Shows how many leaves there are", kCommandCountLeaves,
            CCM_INSERTIONPOINTID_PRIMARY_TASK, CCM_INSERTIONALLOWED_TASK);
    }
    if (node->kind == Kind::Root) {
        add(u"Go to Beta", u"Selects Beta", kCommandSelectBeta, CCM_INSERTIONPOINTID_PRIMARY_TOP,
            CCM_INSERTIONALLOWED_TOP);
    }
    return S_OK;
}

HRESULT CSnapin::Command(long commandId, IDataObject* data)
{
    Node* node = NodeOf(data);
    if (node == nullptr) {
        return E_UNEXPECTED;
    }
    Log("COMMAND " + std::to_string(commandId) + " " + Narrow(node->name));
    switch (commandId) {
    case kCommandNewLeaf: {
        if (node->kind != Kind::Container) {
            return S_OK;
        }
        std::u16string name = u"Leaf ";
        name += static_cast<char16_t>(u'0' + (node->children.size() + 1) % 10);
        node->Add(Kind::Leaf, name, u"Made by a command");
        // As the real snap-in does: the container is selected (again), and
        // the console shows it with the new leaf selected.
        if (view_ != nullptr && view_->Shown() == node) {
            view_->UpdateDescription(node);
        }
        return node->scopeId != 0 ? console_->SelectScopeItem(node->scopeId) : S_OK;
    }
    case kCommandCountLeaves: {
        std::u16string text =
            std::u16string(u"") + static_cast<char16_t>(u'0' + node->Leaves() % 10) + u" leaves";
        int answer = 0;
        return console_->MessageBox(text.c_str(), u"Test Snap-in", 0x40, &answer);
    }
    case kCommandSelectBeta:
        for (auto& child : root_.children) {
            if (child->name == u"Beta" && child->scopeId != 0) {
                return console_->SelectScopeItem(child->scopeId);
            }
        }
        return S_OK;
    default:
        return S_OK;
    }
}

// The folder images and the texts of the About window; no picture of its own.
class CAbout : public ComObject<ISnapinAbout> {
public:
    HRESULT GetSnapinDescription(LPOLESTR* text) override
    {
        *text = CoTaskMemDupString(u"Tests the console");
        return S_OK;
    }
    HRESULT GetProvider(LPOLESTR* text) override
    {
        *text = CoTaskMemDupString(u"Test Works");
        return S_OK;
    }
    HRESULT GetSnapinVersion(LPOLESTR* text) override
    {
        *text = CoTaskMemDupString(u"1.2");
        return S_OK;
    }
    HRESULT GetSnapinImage(HBITMAP*) override { return E_NOTIMPL; }
    HRESULT GetStaticFolderImage(HBITMAP* smallImage, HBITMAP* smallOpenImage, HBITMAP* largeImage,
                                 COLORREF* mask) override
    {
        *smallImage = Strip();
        *smallOpenImage = Strip();
        *largeImage = Strip();
        *mask = 0;
        return S_OK;
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(const CLSID& clsid,
                                                                            const IID& iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (clsid == CLSID_TestSnapin) {
        return zyr::com::OfferClassObject(
            []() -> IUnknown* { return static_cast<IComponentData*>(new CSnapin); }, iid, object);
    }
    if (clsid == CLSID_TestSnapinAbout) {
        return zyr::com::OfferClassObject([]() -> IUnknown* { return new CAbout; }, iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __attribute__((visibility("default"))) const char* TestSnapinLog()
{
    return g_log.c_str();
}

extern "C" __attribute__((visibility("default"))) void TestSnapinClearLog()
{
    g_log.clear();
}

extern "C" __attribute__((visibility("default"))) void TestSnapinSetExtraLeaves(int count)
{
    g_extraLeaves = count;
}
