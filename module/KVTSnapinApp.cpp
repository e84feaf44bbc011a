#include "module/KVTSnapinApp.h"

#include "audit/ComplianceFlag.h"
#include "console/KVTSnapin.h"
#include "console/KVTSnapinAbout.h"
#include "console/framework/AuditGuard.h"
#include "console/framework/ClipboardFormats.h"
#include "console/framework/ModuleState.h"
#include "console/framework/NodeHelpers.h"
#include "console/framework/Resources.h"
#include "console/framework/SnapinIds.h"
#include "console/framework/StartupHooks.h"
#include "module/resources/ModuleResources.h"
#include "pages/ApplicationWindows.h"
#include "pages/AuditTrailWindows.h"
#include "pages/DirectoryBrowseComponent.h"
#include "pages/LogFilterDlg.h"
#include "pages/RoleWindows.h"
#include "pages/StartupDialogs.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ClassTable.h"
#include "records/Application.h"
#include "roles/RoleList.h"

#include <filesystem>
#include <functional>
#include <new>

using zyr::com::ComPtr;

namespace {

// A class of the module's class table: its identity, how an instance is
// made, whether an outer object may aggregate it, and its start hook.
struct ModuleClass {
    const CLSID* clsid;
    IUnknown* (*create)();
    void (*start)();
};

IUnknown* CreateSnapin()
{
    return static_cast<IComponentData*>(new (std::nothrow) CKVTSnapin());
}

IUnknown* CreateAbout()
{
    return static_cast<ISnapinAbout*>(new (std::nothrow) CKVTSnapinAbout());
}

const ModuleClass kClasses[] = {
    {&CLSID_KVTSnapin, &CreateSnapin, &zyr::console::RegisterClipboardFormats},
    {&CLSID_KVTSnapinAbout, &CreateAbout, nullptr},
};

// LockServer of the module's class objects keeps the module loaded.
void LockModuleFromClassObject(bool lock)
{
    if (lock) {
        zyr::console::LockModule();
    } else {
        zyr::console::UnlockModule();
    }
}

void DestroyRoleList(CKVTRoleList* roleList)
{
    delete roleList;
}

// Start-up step 5: a new role list replaces the one kept before it, then
// fetches the roles (and rewrites the role cache).
void LoadRoleList()
{
    auto* roleList = new (std::nothrow) CKVTRoleList();
    if (roleList == nullptr) {
        return;
    }
    TheApp().SetRoleList(roleList, &DestroyRoleList);
    zyr::console::ShowFetchFailure(roleList->GetRoles(), "roles");
}

// The steps with windows, and the role list that this module keeps.
class StartupSteps final : public zyr::pages::StartupDialogs {
public:
    void LoadRoles() override { LoadRoleList(); }
};

void InstallStartupSteps()
{
    static StartupSteps steps;
    zyr::console::SetStartupHooks(&steps);
    zyr::pages::InstallRoleWindows();
    zyr::pages::InstallLogUi();
    zyr::pages::InstallAuditTrailWindows();
    zyr::pages::InstallApplicationWindows();
    zyr::pages::InstallDirectoryBrowse();
    // Changes are refused while compliance mode is on and the audit path fails.
    zyr::console::SetAuditCheck(&IsAuditNotFunctional, &zyr::audit::AuditRefusalText);
}

} // namespace

bool CKVTSnapinApp::InitInstance()
{
    if (initialised_) {
        return true;
    }
    zyr::console::SetModulePath(zyr::module::LoadedModulePath());
    zyr::console::InstallResources(&zyr::module::ModuleResourceSet());
    InstallStartupSteps();
    for (const ModuleClass& entry : kClasses) {
        if (entry.start != nullptr) {
            entry.start();
        }
    }
    initialised_ = true;
    return true;
}

void CKVTSnapinApp::ExitInstance()
{
    DestroyRoleList();
    zyr::pages::RemoveDirectoryBrowse();
    initialised_ = false;
}

CKVTApplList* CKVTSnapinApp::ApplList() const
{
    return zyr::records::CurrentApplList();
}

void CKVTSnapinApp::SetRoleList(CKVTRoleList* roleList, RoleListDestroyer destroy)
{
    if (roleList != roleList_) {
        DestroyRoleList();
    }
    roleList_ = roleList;
    destroyRoleList_ = destroy;
}

void CKVTSnapinApp::DestroyRoleList()
{
    if (roleList_ != nullptr && destroyRoleList_ != nullptr) {
        destroyRoleList_(roleList_);
    }
    roleList_ = nullptr;
    destroyRoleList_ = nullptr;
}

CKVTSnapinApp& TheApp()
{
    static CKVTSnapinApp app;
    return app;
}

namespace zyr::module {

HRESULT GetClassObject(const CLSID& clsid, const IID& iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    TheApp().InitInstance();
    for (const ModuleClass& entry : kClasses) {
        if (*entry.clsid == clsid) {
            return zyr::com::OfferClassObject(entry.create, iid, object, &LockModuleFromClassObject);
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

std::string LoadedModulePath()
{
    std::string loaded = zyr::com::ModulePathOf(reinterpret_cast<const void*>(&GetClassObject));
    if (loaded.empty()) {
        return loaded;
    }
    // The loader gives the path as it was asked for; the registry wants it whole.
    std::error_code error;
    std::filesystem::path full = std::filesystem::weakly_canonical(std::filesystem::absolute(loaded), error);
    return error ? loaded : full.string();
}

} // namespace zyr::module

namespace {

// Start and shut-down follow the loading and unloading of the module.
struct ModuleLifetime {
    ModuleLifetime() { TheApp().InitInstance(); }
    ~ModuleLifetime() { TheApp().ExitInstance(); }
};
const ModuleLifetime g_lifetime;

} // namespace
