// The windows of the role side, installed as the role nodes' hooks.
#pragma once

#include "console/framework/RoleUi.h"

namespace zyr::pages {

IPropertyPage* CreateRoleGeneralPage(CKVTRole* role, LONG_PTR notifyHandle, LPARAM changeParam);
IPropertyPage* CreateRoleMembersPage(zyr::console::MemberPageKind kind, CKVTRole* role, LONG_PTR notifyHandle,
                                     LPARAM changeParam);
bool RunNewRoleDialog(HWND parent, zyr::console::NewRoleTexts* texts);
void RunFindUserDialog();

// Installs the four as the role side's windows.
void InstallRoleWindows();

} // namespace zyr::pages
