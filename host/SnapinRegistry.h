// The snap-ins the registry lists under HKLM\Software\Microsoft\MMC\SnapIns.
#pragma once

#include "platform/mmc/ConsoleInterfaces.h"

#include <string>

namespace zyr::host {

// Finds a stand-alone snap-in: the one of the given CLSID, or else the one
// whose NameString is name.
bool FindStandAloneSnapin(const std::u16string& name, const CLSID* wanted, CLSID& found);

// The class of the snap-in's about object, from its "About" value.
bool FindAboutClass(const CLSID& snapin, CLSID& about);

} // namespace zyr::host
