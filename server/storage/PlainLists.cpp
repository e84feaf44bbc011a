#include "server/storage/PlainLists.h"

#include "platform/text/Ascii.h"

#include <charconv>

namespace zyr::server {

namespace {

template <typename F>
void ForEachItem(std::string_view plain, F&& f)
{
    size_t start = 0;
    while (start < plain.size()) {
        size_t end = plain.find(';', start);
        if (end == std::string_view::npos) {
            end = plain.size();
        }
        f(plain.substr(start, end - start), end < plain.size());
        start = end + 1;
    }
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
        s.remove_suffix(1);
    }
    return s;
}

bool ParseMask(std::string_view text, int32_t& mask)
{
    text = Trim(text);
    if (text.empty()) {
        return false;
    }
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    if (value < INT32_MIN || value > static_cast<int64_t>(UINT32_MAX)) {
        return false;
    }
    mask = static_cast<int32_t>(static_cast<uint32_t>(value));
    return true;
}

} // namespace

bool ParseAccessList(std::string_view plain, std::vector<AccessItem>& out)
{
    out.clear();
    bool ok = true;
    ForEachItem(Trim(plain), [&](std::string_view item, bool) {
        if (!ok || Trim(item).empty()) {
            return;
        }
        size_t colon = item.find(':');
        AccessItem entry;
        if (colon == std::string_view::npos || !ParseMask(item.substr(colon + 1), entry.mask)) {
            ok = false;
            return;
        }
        entry.role = std::string(item.substr(0, colon));
        out.push_back(std::move(entry));
    });
    if (!ok) {
        out.clear();
    }
    return ok;
}

std::string RenderAccessList(const std::vector<AccessItem>& items)
{
    std::string out;
    for (const auto& item : items) {
        out += item.role;
        out += ':';
        out += std::to_string(item.mask);
        out += ';';
    }
    return out;
}

bool SameRoleName(std::string_view a, std::string_view b)
{
    return text::EqualsAsciiNoCase(a, b);
}

size_t RemoveRoleFromAccessList(std::string_view plain, std::string_view role, std::string& out)
{
    std::vector<AccessItem> items;
    if (!ParseAccessList(plain, items)) {
        return 0;
    }
    // The items are cut from the text ParseAccessList read (the list without
    // its surrounding white space), so that the entry names are the same; the
    // surrounding white space itself stays.
    std::string_view body = Trim(plain);
    const size_t bodyStart = static_cast<size_t>(body.data() - plain.data());
    std::string kept(plain.substr(0, bodyStart));
    size_t removed = 0;
    ForEachItem(body, [&](std::string_view item, bool terminated) {
        if (!Trim(item).empty() && SameRoleName(item.substr(0, item.find(':')), role)) {
            ++removed;
            return;
        }
        kept += item;
        if (terminated) {
            kept += ';';
        }
    });
    if (removed == 0) {
        return 0;
    }
    kept += plain.substr(bodyStart + body.size());
    out = std::move(kept);
    return removed;
}

std::vector<std::pair<std::string, std::string>> ParsePermissionList(std::string_view plain)
{
    std::vector<std::pair<std::string, std::string>> out;
    ForEachItem(plain, [&](std::string_view item, bool terminated) {
        if (!terminated) {
            return;
        }
        size_t colon = item.find(':');
        if (colon == std::string_view::npos) {
            out.emplace_back(std::string(), std::string(item));
        } else {
            out.emplace_back(std::string(item.substr(0, colon)), std::string(item.substr(colon + 1)));
        }
    });
    return out;
}

std::string RenderPermissionList(const std::vector<std::pair<std::string, std::string>>& items)
{
    std::string out;
    for (const auto& [name, value] : items) {
        out += name;
        out += ':';
        out += value;
        out += ';';
    }
    return out;
}

std::vector<std::string> ParseMemberList(std::string_view plain)
{
    std::vector<std::string> out;
    ForEachItem(plain, [&](std::string_view item, bool) {
        if (!item.empty()) {
            out.emplace_back(item);
        }
    });
    return out;
}

std::string RenderMemberList(const std::vector<std::string>& names)
{
    std::string out;
    for (const auto& name : names) {
        out += name;
        out += ';';
    }
    return out;
}

} // namespace zyr::server
