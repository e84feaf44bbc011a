#include "signin/directory/DirectorySettings.h"

#include "platform/registry/Registry.h"

#include <vector>

namespace zyr::directory {

namespace {

constexpr const char* kClientKey = "Software\\Tarnwick\\Zyr";

bool ReadValue(HKEY key, const char* name, std::string& value)
{
    std::vector<char> buffer(4096);
    if (!zyr::registry::ReadText(key, name, buffer.data(), static_cast<DWORD>(buffer.size()))) {
        return false;
    }
    value = buffer.data();
    size_t first = value.find_first_not_of(" \t");
    size_t last = value.find_last_not_of(" \t");
    value = first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
    return true;
}

// One filter in parentheses whose parentheses balance: a configured filter is
// joined into larger ones, so a stray parenthesis would change their meaning.
bool IsOneFilter(const std::string& filter)
{
    if (filter.size() < 3 || filter.front() != '(' || filter.back() != ')') {
        return false;
    }
    int depth = 0;
    for (size_t i = 0; i < filter.size(); ++i) {
        char c = filter[i];
        if (c == '\\') {
            ++i;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0 && i + 1 != filter.size()) {
            return false;
        }
        if (depth < 0) {
            return false;
        }
    }
    return depth == 0;
}

} // namespace

bool ReadDirectorySettings(DirectorySettings& settings, std::string& error)
{
    settings = DirectorySettings{};
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClientKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        error = "The directory is not configured (DirectoryURL and DirectoryBase).";
        return false;
    }
    std::string bind;
    ReadValue(key, "DirectoryURL", settings.urls);
    ReadValue(key, "DirectoryBase", settings.base);
    ReadValue(key, "DirectoryUserFilter", settings.userFilter);
    ReadValue(key, "DirectoryGroupFilter", settings.groupFilter);
    ReadValue(key, "DirectoryBind", bind);
    ReadValue(key, "DirectoryBindDN", settings.bindDn);
    ReadValue(key, "DirectoryBindPasswordFile", settings.bindPasswordFile);
    ReadValue(key, "CAFile", settings.caFile);
    RegCloseKey(key);

    if (settings.urls.empty() || settings.base.empty()) {
        error = "The directory is not configured (DirectoryURL and DirectoryBase).";
        return false;
    }
    if (!IsOneFilter(settings.userFilter) || !IsOneFilter(settings.groupFilter)) {
        error = "DirectoryUserFilter and DirectoryGroupFilter must each be one filter in parentheses.";
        return false;
    }
    if (bind.empty() || bind == "anonymous") {
        settings.bind = BindMethod::Anonymous;
    } else if (bind == "simple") {
        settings.bind = BindMethod::Simple;
    } else if (bind == "sasl-gssapi") {
        settings.bind = BindMethod::SaslGssapi;
    } else {
        error = "DirectoryBind must be anonymous, simple or sasl-gssapi.";
        return false;
    }
    return true;
}

} // namespace zyr::directory
