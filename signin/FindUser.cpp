#include "signin/FindUser.h"

#include "common/ServerSettings.h"
#include "platform/com/ClassTable.h"
#include "platform/text/CodePage.h"

#include <cstdio>

namespace zyr::signin {

namespace {

std::string Trim(const std::string& text)
{
    const char* blanks = " \t\r\n\v\f";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

} // namespace

bool ConvertRoleNames(const TextArrayVariant& variant, std::vector<std::string>& names)
{
    names.clear();
    if (variant.dimensions == 0) {
        return true;
    }
    if (variant.dimensions != 1) {
        return false;
    }
    for (const std::u16string& element : variant.elements) {
        names.push_back(Trim(zyr::text::Narrow(element)));
    }
    return true;
}

std::string RoleCountText(size_t count)
{
    char text[64];
    std::snprintf(text, sizeof(text), kRoleCountFormat, static_cast<int>(count));
    return text;
}

FindUserAnswer GetRoles(std::string& domain, std::string& userName)
{
    FindUserAnswer answer;
    if (userName.empty() && !domain.empty()) {
        answer.message = kEnterUserNameMessage;
        return answer;
    }
    if (!userName.empty() && domain.empty()) {
        answer.message = kEnterDomainMessage;
        return answer;
    }
    bool logonUser = userName.empty();
    if (logonUser) {
        GetLogonUser(domain, userName);
        answer.fieldsFilled = true;
    }
    std::u16string wideDomain = zyr::text::Widen(domain);
    std::u16string wideUser = zyr::text::Widen(userName);

    zyr::com::ComPtr<IKvtAuthorize> authorize;
    TextArrayVariant roleNames, roleIds;
    std::vector<std::string> names;
    if (FAILED(CoCreateInstance(CLSID_KvtAuthorize, nullptr, CLSCTX_ALL, IKvtAuthorize::InterfaceId(),
                                authorize.PutVoid())) ||
        FAILED(authorize->Prepare()) ||
        FAILED(authorize->GetUserRoles(logonUser ? nullptr : wideDomain.c_str(),
                                       logonUser ? nullptr : wideUser.c_str(), &roleNames, &roleIds)) ||
        !ConvertRoleNames(roleNames, names)) {
        answer.message = kRolesQueryFailedMessage;
        return answer;
    }
    answer.roles = std::move(names);
    answer.countText = RoleCountText(answer.roles.size());
    return answer;
}

} // namespace zyr::signin
