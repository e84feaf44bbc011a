#include "console/framework/LogUi.h"

namespace zyr::console {
namespace {

LogUi g_default;
LogUi* g_ui = nullptr;

} // namespace

bool LogUi::RunLogFilterDialog(HWND, LogFilterChoice&)
{
    return false;
}

LogUi& CurrentLogUi()
{
    return g_ui ? *g_ui : g_default;
}

void SetLogUi(LogUi* ui)
{
    g_ui = ui;
}

void ResetLogUi()
{
    g_ui = nullptr;
}

} // namespace zyr::console
