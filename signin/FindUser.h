// The roles of one account, as the find-user dialog asks for them: the field
// checks, the query to the authorization component and the count text. The
// dialog shows what the answer says.
#pragma once

#include "signin/components/AuthInterfaces.h"

#include <string>
#include <vector>

namespace zyr::signin {

constexpr const char* kFindUserCaption = "ZYR Security Manager";
constexpr const char* kEnterUserNameMessage = "Please enter an User Name";
constexpr const char* kEnterDomainMessage = "Please enter a Domain Name";
constexpr const char* kRolesQueryFailedMessage = "Exception occured while getting UserRoles";
constexpr const char* kRoleCountFormat = "Number of Roles : %2d";

struct FindUserAnswer {
    // Empty when the query ran; otherwise the message to show (error icon).
    std::string message;
    std::vector<std::string> roles; // in array order, trimmed
    std::string countText;          // "Number of Roles : %2d"; empty unless the query ran
    // Both fields were empty: they now hold the logon user, to be shown.
    bool fieldsFilled = false;
};

// Runs the Get Roles query for domain and userName. With both empty they are
// filled with the logon user and the component gets null texts.
FindUserAnswer GetRoles(std::string& domain, std::string& userName);

// An empty VARIANT gives no roles, a one-dimensional array its texts trimmed
// of white space in index order; any other dimension fails.
bool ConvertRoleNames(const TextArrayVariant& variant, std::vector<std::string>& names);

std::string RoleCountText(size_t count);

} // namespace zyr::signin
