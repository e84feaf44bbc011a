// Records as the JSON of --json and as plain text.
#pragma once

#include "records/AccessEntry.h"
#include "records/Application.h"
#include "roles/RoleList.h"
#include "tools/zyrsec/Json.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zyr::zyrsec {

// An access-control list: role, mask and the names of the granted
// permissions; as text "ROLE: PERM, PERM; ROLE: ...".
Json AclJson(const std::vector<AccessEntry>& acl, const CKVTAppl& application);
std::string AclText(const std::vector<AccessEntry>& acl, const CKVTAppl& application);

Json ObjectJson(const CKVTApplSecObj& object, const CKVTAppl& application);
Json GroupJson(const CKVTSecGroup& group, const CKVTAppl& application);
Json ApplicationJson(const CKVTAppl& application);
// An application as "app show" prints it: its fields, permissions, groups and
// objects with their access-control lists.
std::string ApplicationText(const CKVTAppl& application);

// The names of a role's user members, or of its group members.
std::vector<std::string> MemberNames(const CKVTRole& role, bool users);
Json RoleJson(const CKVTRole& role);

Json Strings(const std::vector<std::string>& texts);
// {"name": name, "id": id}
Json Named(const std::string& name, std::string_view id);

void WriteJson(std::FILE* out, const Json& json);
// The answer of a failed command: ok false, its exit status and messages.
Json FailureJson(int status, const std::vector<std::string>& messages);

} // namespace zyr::zyrsec
