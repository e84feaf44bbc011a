#include "console/framework/PagedList.h"

#include "common/StringTable.h"
#include "platform/com/Unknown.h"
#include "platform/ui/UiService.h"

#include <fstream>

namespace zyr::console {

std::string PageCountText(int pageSize, int page, int shown, std::string_view one, std::string_view many)
{
    if (shown == 0) {
        return "0 " + std::string(many);
    }
    const int first = pageSize * page + 1;
    if (shown == 1 && first == 1) {
        return "1 " + std::string(one);
    }
    return std::to_string(first) + " - " + std::to_string(first + shown - 1) + " " + std::string(many);
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
