#include "console/framework/LogUi.h"

namespace zyr::console {
namespace {

LogUi g_ui;

} // namespace

void SetLogUi(const LogUi& ui)
{
    g_ui = ui;
}

const LogUi& CurrentLogUi()
{
    return g_ui;
}

void ResetLogUi()
{
    g_ui = LogUi();
}

} // namespace zyr::console
