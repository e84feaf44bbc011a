#include "console/appl/ApplNodeSupport.h"

#include "common/QueryEscape.h"
#include "common/StringTable.h"
#include "console/framework/NodeHelpers.h"
#include "platform/ui/UiService.h"

using zyr::com::ComPtr;

namespace zyr::console::appl {

bool RunNewItemDialog(NewItemKind kind, IConsole* console, NewItemTexts& texts)
{
    if (!CurrentApplicationUi().RunNewItemDialog(kind, MainWindowOf(console), texts)) {
        return false;
    }
    // The dialogs check the texts already; a name the server would refuse is
    // stopped here too, so that no request goes out for it.
    return !texts.name.empty() && IsValidNameText(texts.name) && IsValidNameText(texts.description);
}

void ShowAlreadyExists(IConsole* console, std::string_view what, const std::string& name)
{
    ConsoleMessageText(console, std::string(what) + " '" + name + "' Already Exists", ui::MB_ICONINFORMATION);
}

std::string DeleteRefusedText(std::string_view what, std::string_view name)
{
    std::string text = "The ";
    text.append(what).append(" '").append(name).append(
        "' could not be deleted. It is still in the security database.");
    return text;
}

void ShowDeleteRefused(std::string_view what, std::string_view name, IConsole* console)
{
    const std::string text = DeleteRefusedText(what, name);
    if (console != nullptr) {
        ConsoleMessageText(console, text, ui::MB_ICONERROR);
        return;
    }
    ui::Ui().MessageBox(nullptr, text, LoadStringAnsi(IDS_PROJNAME), ui::MB_OK | ui::MB_ICONERROR);
}

HRESULT InsertScopeChild(IConsole* console, bool parentExpanded, HSCOPEITEM parentId, SCOPEDATAITEM* child)
{
    if (!parentExpanded || parentId == 0) {
        return S_OK;
    }
    ComPtr<IConsoleNameSpace> nameSpace = ComPtr<IConsole>::Share(console).As<IConsoleNameSpace>();
    if (!nameSpace) {
        return E_UNEXPECTED;
    }
    child->relativeID = parentId;
    return nameSpace->InsertItem(child);
}

HRESULT InsertScopeChild(IConsole* console, bool parentExpanded, HSCOPEITEM parentId, CSnapInItem* child)
{
    SCOPEDATAITEM* item = nullptr;
    child->GetScopeData(&item);
    return InsertScopeChild(console, parentExpanded, parentId, item);
}

HRESULT RemoveFromConsole(IConsole* console, HSCOPEITEM scopeId, HRESULTITEM resultId)
{
    if (scopeId == 0) {
        return S_OK; // never listed in the tree
    }
    ComPtr<IConsoleNameSpace> nameSpace = ComPtr<IConsole>::Share(console).As<IConsoleNameSpace>();
    if (!nameSpace) {
        return E_UNEXPECTED;
    }
    HRESULT hr = nameSpace->DeleteItem(scopeId, 1);
    if (FAILED(hr)) {
        return hr;
    }
    if (resultId != 0) {
        if (ComPtr<IResultData> resultData = ComPtr<IConsole>::Share(console).As<IResultData>()) {
            resultData->DeleteItem(resultId, 0);
        }
    }
    return S_OK;
}

HRESULT RefreshScopeItem(IConsole* console, HSCOPEITEM id)
{
    if (id == 0) {
        return S_OK;
    }
    ComPtr<IConsoleNameSpace> nameSpace = ComPtr<IConsole>::Share(console).As<IConsoleNameSpace>();
    if (!nameSpace) {
        return E_UNEXPECTED;
    }
    SCOPEDATAITEM item;
    item.mask = SDI_STR;
    item.displayname = MMC_CALLBACK;
    item.ID = id;
    return nameSpace->SetItem(&item);
}

HRESULT RefreshResultItem(IConsole* console, HRESULTITEM id)
{
    if (id == 0) {
        return S_OK;
    }
    ComPtr<IResultData> resultData = ComPtr<IConsole>::Share(console).As<IResultData>();
    if (!resultData) {
        return E_UNEXPECTED;
    }
    return resultData->UpdateItem(id);
}

} // namespace zyr::console::appl
