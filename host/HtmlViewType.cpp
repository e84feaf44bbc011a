#include "host/HtmlViewType.h"

#include "platform/text/CodePage.h"

#include <cctype>
#include <filesystem>
#include <string_view>

namespace zyr::host {

namespace {

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i] < 128 ? static_cast<char16_t>(std::tolower(a[i])) : a[i];
        char16_t y = b[i] < 128 ? static_cast<char16_t>(std::tolower(b[i])) : b[i];
        if (x != y) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string HtmlFileOfViewType(const std::u16string& viewType)
{
    constexpr std::u16string_view scheme = u"res://";
    if (viewType.size() <= scheme.size() ||
        !EqualsIgnoringCase(std::u16string_view(viewType).substr(0, scheme.size()), scheme)) {
        return {};
    }
    std::u16string rest = viewType.substr(scheme.size());
    size_t slash = rest.rfind(u'/');
    if (slash == std::u16string::npos || slash + 1 >= rest.size()) {
        return {};
    }
    std::filesystem::path module(zyr::text::Narrow(rest.substr(0, slash)));
    std::u16string name = rest.substr(slash + 1);
    if (name.find(u'\\') != std::u16string::npos || name == u".." || name == u".") {
        return {};
    }
    std::filesystem::path folder = module.parent_path();
    std::error_code error;
    std::filesystem::path exact = folder / zyr::text::Narrow(name);
    if (std::filesystem::is_regular_file(exact, error)) {
        return exact.string();
    }
    // Resource names are not case-sensitive; file names are.
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file(error) &&
            EqualsIgnoringCase(zyr::text::Widen(entry.path().filename().string()), name)) {
            return entry.path().string();
        }
    }
    return {};
}

} // namespace zyr::host
