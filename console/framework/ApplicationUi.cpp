#include "console/framework/ApplicationUi.h"

namespace zyr::console {
namespace {

ApplicationUi g_ui;

} // namespace

void SetApplicationUi(const ApplicationUi& ui)
{
    g_ui = ui;
}

const ApplicationUi& CurrentApplicationUi()
{
    return g_ui;
}

void ResetApplicationUi()
{
    g_ui = ApplicationUi();
}

} // namespace zyr::console
