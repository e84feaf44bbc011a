// The module's resources: menus 104, 108, 110 and 111, toolbar 230 and the
// bitmaps (node image strip 102 and 103, toolbar bitmap 230, about icon 185
// and folder 222).
#pragma once

#include "console/framework/Resources.h"

namespace zyr::module {

// Built on first use; lives as long as the module.
const console::ResourceSet& ModuleResourceSet();

} // namespace zyr::module
