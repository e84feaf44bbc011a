#include "console/framework/LogUi.h"

#include "console/framework/InstalledSeam.h"

namespace zyr::console {
namespace {

InstalledSeam<LogUi> g_ui;

} // namespace

bool LogUi::RunLogFilterDialog(HWND, LogFilterChoice&)
{
    return false;
}

LogUi& CurrentLogUi()
{
    return g_ui.Current();
}

void SetLogUi(LogUi* ui)
{
    g_ui.Set(ui);
}

void ResetLogUi()
{
    g_ui.Reset();
}

} // namespace zyr::console
