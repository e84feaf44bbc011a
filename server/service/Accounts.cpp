#include "server/service/Accounts.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace zyr::server {

std::string ShortHostName()
{
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') {
        return "LOCALHOST";
    }
    std::string name(host);
    name = name.substr(0, name.find('.'));
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return name;
}

std::string AccountOfUid(uid_t uid)
{
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_name ||
        !*found->pw_name) {
        return {};
    }
    return ShortHostName() + "\\" + found->pw_name;
}

} // namespace zyr::server
