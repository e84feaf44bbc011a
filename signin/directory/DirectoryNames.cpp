#include "signin/directory/DirectoryNames.h"

#include <ldap.h>

namespace zyr::directory {

namespace {

// A parsed DN, freed with its owner.
class ParsedDn {
public:
    explicit ParsedDn(std::string_view text)
    {
        // A DN holds no NUL: one that does is no DN.
        if (text.find('\0') != std::string_view::npos) {
            return;
        }
        std::string copy(text);
        if (ldap_str2dn(copy.c_str(), &dn_, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS) {
            dn_ = nullptr;
        }
    }
    ~ParsedDn() { ldap_dnfree(dn_); }
    ParsedDn(const ParsedDn&) = delete;
    ParsedDn& operator=(const ParsedDn&) = delete;

    LDAPDN Get() const { return dn_; }
    bool Valid() const { return dn_ != nullptr && dn_[0] != nullptr; }

private:
    LDAPDN dn_ = nullptr;
};

} // namespace

std::string EscapeFilterValue(std::string_view value)
{
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '*' || c == '(' || c == ')' || c == '\\' || c == '\0') {
            auto byte = static_cast<unsigned char>(c);
            out += '\\';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::string ContainerOf(std::string_view dn)
{
    ParsedDn parsed(dn);
    if (!parsed.Valid() || parsed.Get()[1] == nullptr) {
        return {};
    }
    char* text = nullptr;
    if (ldap_dn2str(parsed.Get() + 1, &text, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS || text == nullptr) {
        return {};
    }
    std::string container(text);
    ldap_memfree(text);
    return container;
}

std::string FirstRdnValue(std::string_view dn)
{
    ParsedDn parsed(dn);
    if (!parsed.Valid()) {
        return {};
    }
    LDAPAVA* ava = parsed.Get()[0][0];
    if (ava == nullptr) {
        return {};
    }
    return std::string(ava->la_value.bv_val, ava->la_value.bv_len);
}

bool IsDn(std::string_view text)
{
    return ParsedDn(text).Valid();
}

std::string MemberText(std::string_view context, std::string_view name)
{
    std::string text(context);
    text += '\\';
    text += name;
    return text;
}

} // namespace zyr::directory
