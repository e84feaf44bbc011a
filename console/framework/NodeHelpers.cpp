#include "console/framework/NodeHelpers.h"

#include "common/StringTable.h"
#include "console/framework/ClipboardFormats.h"
#include "console/framework/Resources.h"
#include "console/framework/SnapInDataObject.h"
#include "console/framework/SnapinIds.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"

#include <cstdio>
#include <memory>
#include <vector>

using zyr::com::ComPtr;

namespace zyr::console {
namespace {

constexpr size_t kMenuTextLimit = 127;
constexpr size_t kStatusTextLimit = 255;
constexpr size_t kDescriptionBarLimit = 49;

constexpr long kInsertionPoints[] = {CCM_INSERTIONPOINTID_PRIMARY_TOP, CCM_INSERTIONPOINTID_PRIMARY_NEW,
                                     CCM_INSERTIONPOINTID_PRIMARY_TASK, CCM_INSERTIONPOINTID_PRIMARY_VIEW};
constexpr long kInsertionAllowed[] = {CCM_INSERTIONALLOWED_TOP, CCM_INSERTIONALLOWED_NEW,
                                      CCM_INSERTIONALLOWED_TASK, CCM_INSERTIONALLOWED_VIEW};

std::u16string ResourceText(UINT id, size_t limit)
{
    std::u16string text = LoadStringResource(id).value_or(std::u16string());
    if (text.size() > limit) {
        text.resize(limit);
    }
    return text;
}

} // namespace

void ShowFetchFailure(zyr::records::FetchResult result, std::string_view what, bool refresh)
{
    if (result == zyr::records::FetchResult::Fetched) {
        return;
    }
    std::string text(zyr::records::FetchFailureText(result));
    if (refresh) {
        text.append(" The ").append(what).append(" shown are those read before and may be out of date.");
    } else {
        text.append(" The ").append(what).append(" are not shown.");
    }
    ui::Ui().MessageBox(nullptr, text, LoadStringAnsi(IDS_PROJNAME), ui::MB_OK | ui::MB_ICONERROR);
}

std::u16string NodeTypeString(const GUID& nodeType)
{
    std::u16string braced = com::GuidToWide(nodeType);
    return braced.substr(1, 36);
}

HRESULT WriteWideText(IStream* stream, std::u16string_view text)
{
    std::u16string copy(text);
    return stream->Write(copy.c_str(), static_cast<ULONG>((copy.size() + 1) * sizeof(char16_t)), nullptr);
}

HRESULT FillNodeData(CLIPFORMAT format, IStream* stream, const GUID& nodeType,
                     std::u16string_view displayName)
{
    if (stream == nullptr) {
        return E_POINTER;
    }
    const ClipboardFormats& formats = Formats();
    if (format == formats.nodeType) {
        return stream->Write(&nodeType, sizeof(GUID), nullptr);
    }
    if (format == formats.szNodeType) {
        return WriteWideText(stream, NodeTypeString(nodeType));
    }
    if (format == formats.displayName) {
        return WriteWideText(stream, displayName);
    }
    if (format == formats.snapinClassId) {
        return stream->Write(&CLSID_KVTSnapin, sizeof(CLSID), nullptr);
    }
    return DV_E_CLIPFORMAT;
}

HRESULT FillScopePaneInfo(const SCOPEDATAITEM& own, const std::u16string& displayName, SCOPEDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    if (item->mask & SDI_STR) {
        item->displayname = const_cast<LPOLESTR>(displayName.c_str());
    }
    if (item->mask & SDI_IMAGE) {
        item->nImage = own.nImage;
    }
    if (item->mask & SDI_OPENIMAGE) {
        item->nOpenImage = own.nOpenImage;
    }
    if (item->mask & SDI_PARAM) {
        item->lParam = own.lParam;
    }
    if (item->mask & SDI_STATE) {
        item->nState = own.nState;
    }
    return S_OK;
}

HRESULT CreateDataObject(CSnapInItem* item, DATA_OBJECT_TYPES type, IDataObject** dataObject)
{
    if (dataObject == nullptr) {
        return E_POINTER;
    }
    *dataObject = new (std::nothrow) CSnapInDataObjectImpl(item, type);
    return *dataObject == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT AddMenuItemsFromResource(UINT menuId, IContextMenuCallback* callback, long* insertionAllowed)
{
    const MenuResource* menu = LoadMenuResource(menuId);
    if (menu == nullptr) {
        return S_OK;
    }
    if (callback == nullptr) {
        return E_POINTER;
    }
    long allowed = insertionAllowed != nullptr ? *insertionAllowed : 0;
    for (size_t position = 0; position < menu->positions.size() && position < 4; ++position) {
        const MenuPosition& popup = menu->positions[position];
        if (!popup.popup) {
            break;
        }
        if ((allowed & kInsertionAllowed[position]) == 0) {
            continue;
        }
        for (const MenuItem& entry : popup.items) {
            if (entry.separator || entry.text.empty()) {
                continue;
            }
            std::string_view text = entry.text.substr(0, text::CharacterBoundary(entry.text, kMenuTextLimit));
            std::u16string name;
            if (!text::ToWide(text, name)) {
                return E_FAIL;
            }
            std::u16string status = ResourceText(static_cast<UINT>(entry.commandId), kStatusTextLimit);
            CONTEXTMENUITEM item;
            item.strName = name.data();
            item.strStatusBarText = status.data();
            item.lCommandID = entry.commandId;
            item.lInsertionPointID = kInsertionPoints[position];
            item.fFlags = entry.state;
            item.fSpecialFlags = 0;
            callback->AddItem(&item);
        }
    }
    return S_OK;
}

HRESULT CreateToolbars(std::span<const UINT> toolbarIds, IControlbar* controlbar, IExtendControlbar* extend,
                       ToolbarMap* toolbars)
{
    if (toolbarIds.empty()) {
        return S_OK;
    }
    if (controlbar == nullptr || toolbars == nullptr) {
        return E_UNEXPECTED;
    }
    for (UINT id : toolbarIds) {
        if (toolbars->contains(id)) {
            continue;
        }
        const ToolbarResource* resource = LoadToolbarResource(id);
        HBITMAP bitmap = resource != nullptr ? LoadBitmapResource(resource->bitmapId) : nullptr;
        if (bitmap == nullptr) {
            return E_FAIL;
        }
        ComPtr<IUnknown> control;
        HRESULT hr = controlbar->Create(TOOLBAR, extend, control.Put());
        if (FAILED(hr)) {
            return hr;
        }
        ComPtr<IToolbar> toolbar = control.As<IToolbar>();
        if (!toolbar) {
            return E_NOINTERFACE;
        }
        hr = toolbar->AddBitmap(bitmap->count, bitmap, bitmap->width, bitmap->height, kNodeImageMask);
        if (FAILED(hr)) {
            return hr;
        }
        std::vector<std::u16string> texts;
        texts.reserve(resource->buttons.size() * 2);
        std::vector<MMCBUTTON> buttons;
        for (const ToolbarButton& button : resource->buttons) {
            MMCBUTTON entry;
            entry.nBitmap = button.image;
            entry.idCommand = button.commandId;
            if (button.commandId == 0) {
                entry.fsType = TBSTYLE_SEP;
                entry.fsState = 0;
                texts.emplace_back();
                texts.emplace_back();
            } else {
                entry.fsType = TBSTYLE_BUTTON;
                entry.fsState = TBSTATE_ENABLED;
                std::u16string text = ResourceText(static_cast<UINT>(button.commandId), kStatusTextLimit);
                size_t split = text.find(u'\n');
                texts.push_back(text.substr(0, split));
                texts.push_back(split == std::u16string::npos ? text : text.substr(split + 1));
            }
            entry.lpButtonText = texts[texts.size() - 2].data();
            entry.lpTooltipText = texts.back().data();
            buttons.push_back(entry);
        }
        hr = toolbar->AddButtons(static_cast<int>(buttons.size()), buttons.data());
        if (FAILED(hr)) {
            return hr;
        }
        (*toolbars)[id] = toolbar;
    }
    return S_OK;
}

HRESULT SelectToolbars(std::span<const UINT> toolbarIds, IControlbar* controlbar, ToolbarMap* toolbars,
                       LPARAM arg)
{
    if (toolbarIds.empty()) {
        return S_OK;
    }
    if (controlbar == nullptr || toolbars == nullptr) {
        return E_UNEXPECTED;
    }
    bool select = ((static_cast<uintptr_t>(arg) >> 16) & 0xFFFF) != 0;
    HRESULT result = S_OK;
    for (UINT id : toolbarIds) {
        auto found = toolbars->find(id);
        if (found == toolbars->end() || !found->second) {
            continue;
        }
        IToolbar* toolbar = found->second.get();
        if (!select) {
            result = controlbar->Detach(toolbar);
            continue;
        }
        result = controlbar->Attach(TOOLBAR, toolbar);
        if (FAILED(result)) {
            continue;
        }
        if (const ToolbarResource* resource = LoadToolbarResource(id)) {
            for (const ToolbarButton& button : resource->buttons) {
                if (button.commandId != 0) {
                    toolbar->SetButtonState(button.commandId, ENABLED, 1);
                }
            }
        }
    }
    return result;
}

HRESULT SetNodeImageStrip(IImageList* imageList)
{
    if (imageList == nullptr) {
        return E_POINTER;
    }
    HBITMAP small = LoadBitmapResource(IDB_NODE_IMAGES_16);
    HBITMAP large = LoadBitmapResource(IDB_NODE_IMAGES_32);
    if (small == nullptr || large == nullptr) {
        return E_FAIL;
    }
    return imageList->ImageListSetStrip(small, large, 0, kNodeImageMask);
}

HRESULT InsertResultItems(IConsole* console, const std::vector<CSnapInItem*>& nodes, bool replace)
{
    ComPtr<IResultData> resultData = ComPtr<IConsole>::Share(console).As<IResultData>();
    if (!resultData) {
        return E_UNEXPECTED;
    }
    if (replace) {
        resultData->DeleteAllRsltItems();
    }
    HRESULT hr = S_OK;
    for (CSnapInItem* node : nodes) {
        RESULTDATAITEM* item = nullptr;
        node->GetResultData(&item);
        hr = resultData->InsertItem(item);
    }
    return hr;
}

HWND MainWindowOf(IConsole* console)
{
    HWND window = nullptr;
    if (console == nullptr || FAILED(console->GetMainWindow(&window))) {
        return nullptr;
    }
    return window;
}

HRESULT ConsoleOf(CSnapInObjectRootBase* root, IConsole** console)
{
    if (console == nullptr || root == nullptr) {
        return E_POINTER;
    }
    *console = nullptr;
    if (root->m_nType != CSnapInObjectRootBase::kComponentData &&
        root->m_nType != CSnapInObjectRootBase::kComponent) {
        return E_FAIL;
    }
    IConsole* own = root->ObjectConsole();
    if (own == nullptr) {
        return E_FAIL;
    }
    own->AddRef();
    *console = own;
    return S_OK;
}

HRESULT ConsoleMessageText(IConsole* console, std::string_view text, UINT style, int* result)
{
    if (console == nullptr) {
        return E_POINTER;
    }
    std::u16string wide = text::Widen(text);
    std::u16string title = LoadStringResource(IDS_PROJNAME).value_or(std::u16string());
    int answer = 0;
    HRESULT hr = console->MessageBox(wide.c_str(), title.c_str(), style, &answer);
    if (result != nullptr) {
        *result = answer;
    }
    return hr;
}

HRESULT ConsoleMessage(IConsole* console, UINT textId, UINT style, int* result)
{
    return ConsoleMessageText(console, LoadStringAnsi(textId), style, result);
}

NotifyContext::NotifyContext(IComponentData* componentData, IComponent* component)
{
    CSnapInObjectRootBase* root = nullptr;
    if (componentData != nullptr) {
        root = dynamic_cast<CSnapInObjectRootBase*>(componentData);
    } else if (component != nullptr) {
        root = dynamic_cast<CSnapInObjectRootBase*>(component);
    }
    if (root != nullptr) {
        console = ComPtr<IConsole>::Share(root->ObjectConsole());
    }
    if (componentData == nullptr && console) {
        header = console.As<IHeaderCtrl>();
    }
}

HRESULT SetDescriptionBarText(IConsole* console, std::string_view text)
{
    if (console == nullptr) {
        return E_POINTER;
    }
    ComPtr<IResultData> resultData = ComPtr<IConsole>::Share(console).As<IResultData>();
    if (!resultData) {
        return E_NOINTERFACE;
    }
    std::u16string wide = text::Widen(text.substr(0, text::CharacterBoundary(text, kDescriptionBarLimit)));
    return resultData->SetDescBarText(wide.data());
}

HRESULT SetDescriptionBar(IConsole* console, int count, const char* singular, const char* plural)
{
    char buffer[kDescriptionBarLimit + 1] = {};
    std::snprintf(buffer, sizeof(buffer), count == 1 ? singular : plural, count);
    return SetDescriptionBarText(console, buffer);
}

HRESULT InsertColumns(IHeaderCtrl* header, std::initializer_list<ColumnHeader> columns)
{
    if (header == nullptr) {
        return E_POINTER;
    }
    HRESULT hr = S_OK;
    int number = 0;
    for (const ColumnHeader& column : columns) {
        std::u16string title(column.title);
        hr = header->InsertColumn(number++, title.c_str(), 0, column.width);
    }
    return hr;
}

HRESULT InsertNameDescriptionColumns(IHeaderCtrl* header, std::u16string_view title)
{
    return InsertColumns(header, {{title, 200}, {u"Description", 350}});
}

HRESULT AddPropertyPage(IPropertySheetCallback* callback, IPropertyPage* page)
{
    if (page == nullptr) {
        return E_OUTOFMEMORY;
    }
    if (callback == nullptr) {
        page->Release();
        return E_POINTER;
    }
    HRESULT hr = callback->AddPage(page);
    if (FAILED(hr)) {
        page->Release();
    }
    return hr;
}

HRESULT EnableVerbs(IConsole* console, std::initializer_list<MMC_CONSOLE_VERB> verbs)
{
    if (console == nullptr) {
        return E_POINTER;
    }
    ComPtr<IConsoleVerb> verb;
    HRESULT hr = console->QueryConsoleVerb(verb.Put());
    if (FAILED(hr) || !verb) {
        return FAILED(hr) ? hr : E_UNEXPECTED;
    }
    for (MMC_CONSOLE_VERB each : verbs) {
        hr = verb->SetVerbState(each, ENABLED, 1);
    }
    return hr;
}

} // namespace zyr::console
