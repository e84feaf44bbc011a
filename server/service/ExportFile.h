// Reads the export file of one application (the body of an import): the
// application's name, identity, description and permissions, and its groups
// and objects with their identities. Element names are matched without regard
// to case, so a group's "Description" and "DESCRIPTION" both count.
#pragma once

#include "server/storage/Records.h"

#include <string>
#include <string_view>

namespace zyr::server {

// False, with the reason, when the text is not a complete export file: not
// XML, a missing name or identity, a count that names a missing element.
bool ReadExportFile(std::string_view text, ApplicationRecord& out, std::string& reason);

} // namespace zyr::server
