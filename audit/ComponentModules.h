// Registration of the framework's component modules (alarm and events,
// authentication, authorization) in the registry store: the module is loaded
// and its DllRegisterServer writes its classes and ProgIDs.
#pragma once

#include "platform/com/WinTypes.h"

#include <string>

namespace zyr::audit {

// S_OK when the module registered its classes; the failure of loading it
// (E_FAIL, traced to the debug sink) or of its registration otherwise.
HRESULT RegisterComponentModule(const std::string& path);
HRESULT UnregisterComponentModule(const std::string& path);

} // namespace zyr::audit
