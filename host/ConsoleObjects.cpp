#include "host/ConsoleObjects.h"

#include "host/ProtocolValues.h"

#include <algorithm>
#include <new>

namespace zyr::host {

namespace {

// No exception leaves a call of the snap-in protocol.
template <typename Body>
HRESULT Guarded(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace

// ---- IConsole ----

HRESULT ConsoleObject::SetHeader(IHeaderCtrl*)
{
    return Guarded([&]() -> HRESULT {
        // The header control is the console itself; nothing to remember.
        return session_ ? S_OK : E_UNEXPECTED;
    });
}

HRESULT ConsoleObject::SetToolbar(IToolbar*)
{
    return E_NOTIMPL;
}

HRESULT ConsoleObject::QueryResultView(IUnknown** unknown)
{
    return Guarded([&]() -> HRESULT {
        if (unknown == nullptr) {
            return E_POINTER;
        }
        *unknown = nullptr;
        return E_NOTIMPL;
    });
}

HRESULT ConsoleObject::QueryScopeImageList(IImageList** imageList)
{
    return Guarded([&]() -> HRESULT {
        if (imageList == nullptr) {
            return E_POINTER;
        }
        *imageList = nullptr;
        if (session_ == nullptr || !session_->scopeImageList_) {
            return E_UNEXPECTED;
        }
        *imageList = zyr::com::ComPtr<IImageList>::Share(session_->scopeImageList_.get()).Detach();
        return S_OK;
    });
}

HRESULT ConsoleObject::QueryResultImageList(IImageList** imageList)
{
    return Guarded([&]() -> HRESULT {
        if (imageList == nullptr) {
            return E_POINTER;
        }
        *imageList = nullptr;
        if (session_ == nullptr || !session_->resultImageList_) {
            return E_UNEXPECTED;
        }
        *imageList = zyr::com::ComPtr<IImageList>::Share(session_->resultImageList_.get()).Detach();
        return S_OK;
    });
}

HRESULT ConsoleObject::UpdateAllViews(IDataObject* dataObject, LPARAM data, LONG_PTR hint)
{
    return Guarded([&]() -> HRESULT {
        return session_ ? session_->UpdateAllViews(dataObject, data, hint) : E_UNEXPECTED;
    });
}

HRESULT ConsoleObject::MessageBox(LPCOLESTR text, LPCOLESTR title, UINT style, int* result)
{
    return Guarded([&]() -> HRESULT {
        if (session_ == nullptr) {
            return E_UNEXPECTED;
        }
        return session_->ConsoleMessageBox(text, title, style, result);
    });
}

HRESULT ConsoleObject::QueryConsoleVerb(IConsoleVerb** verb)
{
    return Guarded([&]() -> HRESULT {
        if (verb == nullptr) {
            return E_POINTER;
        }
        *verb = nullptr;
        if (session_ == nullptr || !session_->verbObject_) {
            return E_UNEXPECTED;
        }
        *verb = zyr::com::ComPtr<IConsoleVerb>::Share(session_->verbObject_.get()).Detach();
        return S_OK;
    });
}

HRESULT ConsoleObject::SelectScopeItem(HSCOPEITEM item)
{
    return Guarded(
        [&]() -> HRESULT { return session_ ? session_->SelectScopeItemRequest(item) : E_UNEXPECTED; });
}

HRESULT ConsoleObject::GetMainWindow(HWND* window)
{
    return Guarded([&]() -> HRESULT {
        if (window == nullptr) {
            return E_POINTER;
        }
        *window = session_ ? session_->MainWindow() : nullptr;
        return session_ ? S_OK : E_UNEXPECTED;
    });
}

// ---- IConsoleNameSpace ----

HRESULT ConsoleObject::InsertItem(SCOPEDATAITEM* item)
{
    return Guarded([&]() -> HRESULT { return session_ ? session_->InsertScopeItem(item) : E_UNEXPECTED; });
}

HRESULT ConsoleObject::DeleteItem(HSCOPEITEM item, long deleteThis)
{
    return Guarded(
        [&]() -> HRESULT { return session_ ? session_->DeleteScopeItem(item, deleteThis) : E_UNEXPECTED; });
}

HRESULT ConsoleObject::SetItem(SCOPEDATAITEM* item)
{
    return Guarded([&]() -> HRESULT { return session_ ? session_->SetScopeItem(item) : E_UNEXPECTED; });
}

HRESULT ConsoleObject::GetItem(SCOPEDATAITEM* item)
{
    return Guarded([&]() -> HRESULT { return session_ ? session_->GetScopeItem(item) : E_UNEXPECTED; });
}

HRESULT ConsoleObject::GetChildItem(HSCOPEITEM item, HSCOPEITEM* child, MMC_COOKIE* cookie)
{
    return Guarded([&]() -> HRESULT {
        if (child == nullptr || cookie == nullptr) {
            return E_POINTER;
        }
        *child = 0;
        *cookie = 0;
        const ScopeItem* parent = session_ ? session_->Item(item) : nullptr;
        if (parent == nullptr) {
            return E_INVALIDARG;
        }
        if (parent->children.empty()) {
            return S_FALSE;
        }
        *child = parent->children.front();
        *cookie = session_->Item(*child)->cookie;
        return S_OK;
    });
}

HRESULT ConsoleObject::GetNextItem(HSCOPEITEM item, HSCOPEITEM* next, MMC_COOKIE* cookie)
{
    return Guarded([&]() -> HRESULT {
        if (next == nullptr || cookie == nullptr) {
            return E_POINTER;
        }
        *next = 0;
        *cookie = 0;
        const ScopeItem* self = session_ ? session_->Item(item) : nullptr;
        if (self == nullptr) {
            return E_INVALIDARG;
        }
        const ScopeItem* parent = session_->Item(self->parent);
        if (parent == nullptr) {
            return S_FALSE;
        }
        auto it = std::find(parent->children.begin(), parent->children.end(), item);
        if (it == parent->children.end() || ++it == parent->children.end()) {
            return S_FALSE;
        }
        *next = *it;
        *cookie = session_->Item(*next)->cookie;
        return S_OK;
    });
}

HRESULT ConsoleObject::GetParentItem(HSCOPEITEM item, HSCOPEITEM* parent, MMC_COOKIE* cookie)
{
    return Guarded([&]() -> HRESULT {
        if (parent == nullptr || cookie == nullptr) {
            return E_POINTER;
        }
        *parent = 0;
        *cookie = 0;
        const ScopeItem* self = session_ ? session_->Item(item) : nullptr;
        if (self == nullptr) {
            return E_INVALIDARG;
        }
        const ScopeItem* up = session_->Item(self->parent);
        if (up == nullptr) {
            return S_FALSE;
        }
        *parent = up->id;
        *cookie = up->cookie;
        return S_OK;
    });
}

// ---- IResultData ----

HRESULT ConsoleObject::InsertItem(RESULTDATAITEM* item)
{
    return Guarded([&]() -> HRESULT { return session_ ? session_->InsertResultItem(item) : E_UNEXPECTED; });
}

HRESULT ConsoleObject::DeleteItem(HRESULTITEM itemID, int)
{
    return Guarded([&]() -> HRESULT { return session_ ? session_->DeleteResultItem(itemID) : E_UNEXPECTED; });
}

HRESULT ConsoleObject::FindItemByLParam(LPARAM lParam, HRESULTITEM* itemID)
{
    return Guarded([&]() -> HRESULT {
        if (itemID == nullptr) {
            return E_POINTER;
        }
        *itemID = 0;
        if (session_ == nullptr) {
            return E_UNEXPECTED;
        }
        *itemID = session_->ResultRowOfCookie(lParam);
        return *itemID != 0 ? S_OK : E_FAIL;
    });
}

HRESULT ConsoleObject::DeleteAllRsltItems()
{
    return Guarded([&]() -> HRESULT {
        if (session_ == nullptr) {
            return E_UNEXPECTED;
        }
        session_->DeleteAllResultItems();
        return S_OK;
    });
}

HRESULT ConsoleObject::SetItem(RESULTDATAITEM* item)
{
    return Guarded([&]() -> HRESULT { return session_ ? session_->SetResultItem(item) : E_UNEXPECTED; });
}

HRESULT ConsoleObject::GetItem(RESULTDATAITEM* item)
{
    return Guarded([&]() -> HRESULT { return session_ ? session_->GetResultItem(item) : E_UNEXPECTED; });
}

HRESULT ConsoleObject::UpdateItem(HRESULTITEM itemID)
{
    return Guarded([&]() -> HRESULT { return session_ ? session_->UpdateResultItem(itemID) : E_UNEXPECTED; });
}

HRESULT ConsoleObject::SetDescBarText(LPOLESTR text)
{
    return Guarded([&]() -> HRESULT {
        if (session_ == nullptr) {
            return E_UNEXPECTED;
        }
        session_->SetDescription(text);
        return S_OK;
    });
}

HRESULT ConsoleObject::SetStatusText(LPCOLESTR text)
{
    return Guarded([&]() -> HRESULT {
        if (session_ == nullptr) {
            return E_UNEXPECTED;
        }
        session_->SetStatusText(text);
        return S_OK;
    });
}

HRESULT ConsoleObject::SetItemCount(int, DWORD)
{
    return Guarded([&]() -> HRESULT {
        // Virtual lists are not offered.
        return E_NOTIMPL;
    });
}

// ---- IHeaderCtrl ----

HRESULT ConsoleObject::InsertColumn(int column, LPCOLESTR title, int format, int width)
{
    return Guarded([&]() -> HRESULT {
        return session_ ? session_->InsertColumn(column, title, format, width) : E_UNEXPECTED;
    });
}

HRESULT ConsoleObject::DeleteColumn(int column)
{
    return Guarded([&]() -> HRESULT { return session_ ? session_->DeleteColumn(column) : E_UNEXPECTED; });
}

HRESULT ConsoleObject::SetColumnText(int column, LPCOLESTR title)
{
    return Guarded(
        [&]() -> HRESULT { return session_ ? session_->SetColumnText(column, title) : E_UNEXPECTED; });
}

HRESULT ConsoleObject::SetColumnWidth(int column, int width)
{
    return Guarded(
        [&]() -> HRESULT { return session_ ? session_->SetColumnWidth(column, width) : E_UNEXPECTED; });
}

// ---- IImageList ----

HRESULT ImageListObject::ImageListSetIcon(LONG_PTR*, long)
{
    return E_NOTIMPL;
}

HRESULT ImageListObject::ImageListSetStrip(HBITMAP smallStrip, HBITMAP largeStrip, long start, COLORREF mask)
{
    return Guarded([&]() -> HRESULT {
        if (session_ == nullptr) {
            return E_UNEXPECTED;
        }
        // The console shows small images only; the large strip is the fallback.
        HBITMAP strip = smallStrip != nullptr ? smallStrip : largeStrip;
        if (!list_->SetStrip(strip, start, mask)) {
            return E_INVALIDARG;
        }
        if (session_->observer_ != nullptr) {
            session_->observer_->ImagesChanged();
        }
        return S_OK;
    });
}

// ---- IConsoleVerb ----

HRESULT VerbObject::GetVerbState(MMC_CONSOLE_VERB verb, MMC_BUTTON_STATE state, BOOL* value)
{
    return Guarded([&]() -> HRESULT {
        if (value == nullptr) {
            return E_POINTER;
        }
        if (session_ == nullptr) {
            return E_UNEXPECTED;
        }
        *value = session_->GetVerb(verb, state);
        return S_OK;
    });
}

HRESULT VerbObject::SetVerbState(MMC_CONSOLE_VERB verb, MMC_BUTTON_STATE state, BOOL value)
{
    return Guarded([&]() -> HRESULT {
        if (session_ == nullptr) {
            return E_UNEXPECTED;
        }
        session_->SetVerb(verb, state, value);
        return S_OK;
    });
}

HRESULT VerbObject::SetDefaultVerb(MMC_CONSOLE_VERB verb)
{
    return Guarded([&]() -> HRESULT {
        if (session_ == nullptr) {
            return E_UNEXPECTED;
        }
        session_->SetDefaultVerb(verb);
        return S_OK;
    });
}

HRESULT VerbObject::GetDefaultVerb(MMC_CONSOLE_VERB* verb)
{
    return Guarded([&]() -> HRESULT {
        if (verb == nullptr) {
            return E_POINTER;
        }
        if (session_ == nullptr) {
            return E_UNEXPECTED;
        }
        *verb = session_->DefaultVerb();
        return S_OK;
    });
}

// ---- IToolbar ----

HRESULT ToolbarObject::AddBitmap(int images, HBITMAP bitmap, int, int, COLORREF mask)
{
    return Guarded([&]() -> HRESULT {
        ToolbarModel* model = Model();
        if (model == nullptr) {
            return E_UNEXPECTED;
        }
        if (bitmap == nullptr || images <= 0) {
            return E_INVALIDARG;
        }
        // Images are numbered across bitmaps in the order they were added.
        int start = 0;
        for (int probe = 0;; ++probe) {
            int position = 0;
            if (model->images.Find(probe, position) == nullptr) {
                start = probe;
                break;
            }
        }
        if (!model->images.SetStrip(bitmap, start, mask)) {
            return E_INVALIDARG;
        }
        session_->ToolbarChanged();
        return S_OK;
    });
}

HRESULT ToolbarObject::AddButtons(int count, MMCBUTTON* buttons)
{
    return Guarded([&]() -> HRESULT {
        ToolbarModel* model = Model();
        if (model == nullptr) {
            return E_UNEXPECTED;
        }
        if (buttons == nullptr || count < 0) {
            return E_INVALIDARG;
        }
        for (int i = 0; i < count; ++i) {
            HRESULT hr = InsertButton(static_cast<int>(model->buttons.size()), &buttons[i]);
            if (FAILED(hr)) {
                return hr;
            }
        }
        return S_OK;
    });
}

HRESULT ToolbarObject::InsertButton(int index, MMCBUTTON* button)
{
    return Guarded([&]() -> HRESULT {
        ToolbarModel* model = Model();
        if (model == nullptr) {
            return E_UNEXPECTED;
        }
        if (button == nullptr || index < 0 || index > static_cast<int>(model->buttons.size())) {
            return E_INVALIDARG;
        }
        ToolbarButton added;
        added.image = button->nBitmap;
        added.command = button->idCommand;
        added.state = button->fsState;
        added.type = button->fsType;
        added.text = TextOf(button->lpButtonText);
        added.tooltip = TextOf(button->lpTooltipText);
        model->buttons.insert(model->buttons.begin() + index, std::move(added));
        session_->ToolbarChanged();
        return S_OK;
    });
}

HRESULT ToolbarObject::DeleteButton(int index)
{
    return Guarded([&]() -> HRESULT {
        ToolbarModel* model = Model();
        if (model == nullptr) {
            return E_UNEXPECTED;
        }
        if (index < 0 || index >= static_cast<int>(model->buttons.size())) {
            return E_INVALIDARG;
        }
        model->buttons.erase(model->buttons.begin() + index);
        session_->ToolbarChanged();
        return S_OK;
    });
}

namespace {

// The toolbar states that MMC_BUTTON_STATE names, as TBSTATE bits.
BYTE StateBit(MMC_BUTTON_STATE state)
{
    switch (state) {
    case ENABLED:
        return TBSTATE_ENABLED;
    case HIDDEN:
        return TBSTATE_HIDDEN;
    case CHECKED:
        return 0x1;
    case BUTTONPRESSED:
        return 0x2;
    case INDETERMINATE:
        return 0x10;
    }
    return 0;
}

} // namespace

HRESULT ToolbarObject::GetButtonState(int command, MMC_BUTTON_STATE state, BOOL* value)
{
    return Guarded([&]() -> HRESULT {
        if (value == nullptr) {
            return E_POINTER;
        }
        ToolbarModel* model = Model();
        if (model == nullptr) {
            return E_UNEXPECTED;
        }
        for (const ToolbarButton& button : model->buttons) {
            if (button.command == command && button.type != TBSTYLE_SEP) {
                *value = (button.state & StateBit(state)) != 0;
                return S_OK;
            }
        }
        return E_INVALIDARG;
    });
}

HRESULT ToolbarObject::SetButtonState(int command, MMC_BUTTON_STATE state, BOOL value)
{
    return Guarded([&]() -> HRESULT {
        ToolbarModel* model = Model();
        if (model == nullptr) {
            return E_UNEXPECTED;
        }
        bool found = false;
        for (ToolbarButton& button : model->buttons) {
            if (button.command == command && button.type != TBSTYLE_SEP) {
                BYTE bit = StateBit(state);
                button.state =
                    value ? static_cast<BYTE>(button.state | bit) : static_cast<BYTE>(button.state & ~bit);
                found = true;
            }
        }
        if (!found) {
            return E_INVALIDARG;
        }
        session_->ToolbarChanged();
        return S_OK;
    });
}

// ---- IControlbar ----

void ControlbarObject::Detach()
{
    for (auto& toolbar : toolbars_) {
        toolbar->Detach();
    }
    toolbars_.clear();
    session_ = nullptr;
}

ToolbarObject* ControlbarObject::Find(IUnknown* control) const
{
    if (control == nullptr) {
        return nullptr;
    }
    zyr::com::ComPtr<IToolbar> toolbar = zyr::com::ComPtr<IUnknown>::Share(control).As<IToolbar>();
    for (const auto& held : toolbars_) {
        if (static_cast<IToolbar*>(held.get()) == toolbar.get()) {
            return held.get();
        }
    }
    return nullptr;
}

HRESULT ControlbarObject::Create(MMC_CONTROL_TYPE type, IExtendControlbar* extend, IUnknown** control)
{
    return Guarded([&]() -> HRESULT {
        if (control == nullptr) {
            return E_POINTER;
        }
        *control = nullptr;
        if (session_ == nullptr) {
            return E_UNEXPECTED;
        }
        if (type != TOOLBAR) {
            // Menu buttons and combo boxes are not offered.
            return E_NOTIMPL;
        }
        ToolbarModel* model = session_->NewToolbar(extend);
        auto toolbar = zyr::com::ComPtr<ToolbarObject>::Attach(new ToolbarObject(session_, model));
        toolbars_.push_back(toolbar);
        *control = static_cast<IToolbar*>(toolbar.get());
        (*control)->AddRef();
        return S_OK;
    });
}

HRESULT ControlbarObject::Attach(MMC_CONTROL_TYPE type, IUnknown* control)
{
    return Guarded([&]() -> HRESULT {
        if (session_ == nullptr) {
            return E_UNEXPECTED;
        }
        ToolbarObject* toolbar = type == TOOLBAR ? Find(control) : nullptr;
        if (toolbar == nullptr || toolbar->Model() == nullptr) {
            return E_INVALIDARG;
        }
        toolbar->Model()->attached = true;
        session_->ToolbarChanged();
        return S_OK;
    });
}

HRESULT ControlbarObject::Detach(IUnknown* control)
{
    return Guarded([&]() -> HRESULT {
        if (session_ == nullptr) {
            return E_UNEXPECTED;
        }
        ToolbarObject* toolbar = Find(control);
        if (toolbar == nullptr || toolbar->Model() == nullptr) {
            return E_INVALIDARG;
        }
        toolbar->Model()->attached = false;
        session_->ToolbarChanged();
        return S_OK;
    });
}

// ---- Callbacks ----

HRESULT MenuCallbackObject::AddItem(CONTEXTMENUITEM* item)
{
    return Guarded([&]() -> HRESULT {
        if (item == nullptr) {
            return E_POINTER;
        }
        if (item->strName == nullptr || item->strName == MMC_CALLBACK) {
            return E_INVALIDARG;
        }
        MenuEntry entry;
        entry.name = item->strName;
        entry.statusText = TextOf(item->strStatusBarText);
        entry.commandId = item->lCommandID;
        entry.insertionPoint = item->lInsertionPointID;
        entry.flags = item->fFlags;
        entries.push_back(std::move(entry));
        return S_OK;
    });
}

HRESULT SheetCallbackObject::AddPage(HPROPSHEETPAGE page)
{
    return Guarded([&]() -> HRESULT {
        if (page == nullptr) {
            return E_INVALIDARG;
        }
        pages.push_back(page);
        return S_OK;
    });
}

HRESULT SheetCallbackObject::RemovePage(HPROPSHEETPAGE page)
{
    return Guarded([&]() -> HRESULT {
        auto it = std::find(pages.begin(), pages.end(), page);
        if (it == pages.end()) {
            return E_INVALIDARG;
        }
        (*it)->Release();
        pages.erase(it);
        return S_OK;
    });
}

} // namespace zyr::host
