// What the module writes to the registry: the snap-in's script, the about
// class's standard entries and the type library.
#pragma once

#include "module/Registrar.h"

#include <string>

namespace zyr::module {

// The file beside the module that describes the type library.
constexpr char kTypeLibraryFile[] = "KVTSnapin.typelib";

RegistrationScript SnapinScript();
RegistrationScript AboutClassEntries();
// The type library's entries; typeLibraryPath is the description file.
RegistrationScript TypeLibraryEntries(const std::string& typeLibraryPath, const std::string& helpFolder);

} // namespace zyr::module
