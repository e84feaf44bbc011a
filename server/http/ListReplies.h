// The list replies: one XML document with the root DOCUMENT. Each list holds
// one element per record and one trailing element that is not a record; a
// record's fields are its child elements, read by position, and every
// identity element is directly followed by its name element (tag ending in
// "NAME"). Nothing but elements stands between elements, and empty texts are
// written as an opening and a closing tag.
#pragma once

#include "server/storage/Records.h"

#include <string>
#include <string_view>
#include <vector>

namespace zyr::server {

std::string RenderApplications(const std::vector<ApplicationRecord>& applications);
std::string RenderRoles(const std::vector<RoleRecord>& roles);
std::string RenderLogs(const std::vector<LogEntry>& entries);
std::string RenderAudit(const std::vector<AuditRecord>& records);

} // namespace zyr::server
