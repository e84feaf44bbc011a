#include "console/framework/RoleUi.h"

namespace zyr::console {
namespace {

RoleUi g_ui;

} // namespace

void SetRoleUi(const RoleUi& ui)
{
    g_ui = ui;
}

const RoleUi& CurrentRoleUi()
{
    return g_ui;
}

void ResetRoleUi()
{
    g_ui = RoleUi();
}

} // namespace zyr::console
