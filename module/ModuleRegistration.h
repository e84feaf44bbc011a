// Registration of the module's classes and type library, and the settings
// entry point that the module exports.
#pragma once

#include "platform/com/WinTypes.h"

namespace zyr::module {

HRESULT RegisterServer();
HRESULT UnregisterServer();

// The settings layer's SetSecurityServer, for the export of the same name.
HRESULT ForwardSetSecurityServer(const char16_t* accessKey, const char16_t* serverUrl);

// TYPE_E_CANTLOADLIBRARY: the type library description is not beside the module.
constexpr HRESULT TYPE_E_CANTLOADLIBRARY = static_cast<HRESULT>(0x80029C4A);

} // namespace zyr::module
