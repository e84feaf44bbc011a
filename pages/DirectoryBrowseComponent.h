// The directory-client browse component, served by the console itself since
// its browser is a window: InstallDirectoryBrowse registers the class for the
// process (a class registered in the registry store for the same identity is
// then not used).
// Properties: 8 the kinds that may be picked (1 users, 2 groups, 3 both);
// 5 and 6 (whether to open at the search base, and how many entries one pick
// takes) are kept and answered as this browser always does: at the base, one.
#pragma once

namespace zyr::pages {

void InstallDirectoryBrowse();
// Takes the class out of the process again (the module unloads).
void RemoveDirectoryBrowse();

} // namespace zyr::pages
