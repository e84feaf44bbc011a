// The application object of the module: one per process, started when the
// module is loaded and shut down when it is unloaded. It owns the role list
// that start-up fetches and answers for the application list of the
// Applications node.
#pragma once

#include "platform/com/Guid.h"

#include <string>

class CKVTRoleList;
class CKVTApplList;

class CKVTSnapinApp {
public:
    // Initialises the COM module (class table, class start hooks, resources,
    // module path) and then the application object itself.
    bool InitInstance();
    // Destroys the role list, terminates the COM module.
    void ExitInstance();

    // Takes the role list, destroying an earlier one with the destroyer it
    // was given.
    using RoleListDestroyer = void (*)(CKVTRoleList*);
    void SetRoleList(CKVTRoleList* roleList, RoleListDestroyer destroy);
    CKVTRoleList* RoleList() const { return roleList_; }

    // The application list of the Applications node (the data layer's
    // current list); not owned, null before the first fetch.
    CKVTApplList* ApplList() const;

    bool IsInitialised() const { return initialised_; }

private:
    void DestroyRoleList();

    CKVTRoleList* roleList_ = nullptr;
    RoleListDestroyer destroyRoleList_ = nullptr;
    bool initialised_ = false;
};

// The one application object of the process.
CKVTSnapinApp& TheApp();

namespace zyr::module {

// The class objects the module serves; CLASS_E_CLASSNOTAVAILABLE for others.
HRESULT GetClassObject(const CLSID& clsid, const IID& iid, void** object);
// The path of the loaded module file (from the dynamic loader).
std::string LoadedModulePath();

} // namespace zyr::module
