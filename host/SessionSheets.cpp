// The property pages a session asks of the snap-in, and the change notices
// of the sheets open on them.
#include "host/ConsoleSession.h"

#include "host/ConsoleObjects.h"
#include "host/ProtocolValues.h"

namespace zyr::host {

using zyr::com::ComPtr;

HRESULT ConsoleSession::QueryProperties(const Target& target, SheetRequest& sheet)
{
    Call call(*this);
    ComPtr<IExtendPropertySheet> extend;
    ComPtr<IDataObject> data;
    if (HRESULT hr = ExtensionOf(target, extend, data); hr != S_OK) {
        return hr;
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

} // namespace zyr::host
