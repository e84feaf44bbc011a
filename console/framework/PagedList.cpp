#include "console/framework/PagedList.h"

#include "common/StringTable.h"
#include "platform/com/Unknown.h"
#include "platform/ui/UiService.h"

#include <fstream>

namespace zyr::console {

HRESULT ReplaceResultItems(IConsole* console, const std::vector<CSnapInItem*>& nodes)
{
    com::ComPtr<IResultData> resultData = com::ComPtr<IConsole>::Share(console).As<IResultData>();
    if (!resultData) {
        return E_UNEXPECTED;
    }
    resultData->DeleteAllRsltItems();
    HRESULT hr = S_OK;
    for (CSnapInItem* node : nodes) {
        RESULTDATAITEM* item = nullptr;
        node->GetResultData(&item);
        hr = resultData->InsertItem(item);
    }
    return hr;
}

HRESULT ExportListText(HWND owner, const std::string& initialName, const std::string& text)
{
    ui::FileDialog dialog;
    dialog.title = "Export List";
    dialog.filter = "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|";
    dialog.defaultExt = "csv";
    dialog.initialName = initialName;
    std::string path;
    if (!ui::Ui().GetSaveFileName(owner, dialog, path)) {
        return S_FALSE;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    if (!file) {
        ui::Ui().MessageBox(owner, LoadStringAnsi(IDS_LOG_EXPORT_FAILED), LoadStringAnsi(IDS_PROJNAME),
                            ui::MB_OK | ui::MB_ICONERROR);
        return E_FAIL;
    }
    return S_OK;
}

} // namespace zyr::console
