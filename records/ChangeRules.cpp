#include "records/ChangeRules.h"

#include "common/QueryEscape.h"
#include "common/StringTable.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"
#include "records/AclEditing.h"
#include "records/Application.h"

namespace zyr::records {

namespace {

// The dialogs' edits hold at most 255 characters.
constexpr size_t kMaxTypedLength = 255;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace

std::string FormatWithName(const char* format, std::string_view text)
{
    std::string_view pattern(format);
    size_t at = pattern.find("%s");
    if (at == std::string_view::npos) {
        return std::string(pattern);
    }
    std::string out(pattern.substr(0, at));
    out.append(text).append(pattern.substr(at + 2));
    return out;
}

std::string TrimWhiteSpace(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

NewNameCheck CheckNewRecordName(NewRecordKind kind, std::string_view name, std::string_view description)
{
    NewNameCheck check;
    if (name.size() > kMaxTypedLength || description.size() > kMaxTypedLength) {
        check.messageId = zyr::IDS_ONLY_255_CHARACTERS;
        check.icon = zyr::ui::MB_OK;
        return check;
    }
    check.name = TrimWhiteSpace(name);
    if (check.name.empty()) {
        check.icon = zyr::ui::MB_ICONERROR;
        switch (kind) {
        case NewRecordKind::Application:
            check.messageId = zyr::IDS_EMPTY_APPLICATION_NAME;
            break;
        case NewRecordKind::Group:
            check.messageId = zyr::IDS_EMPTY_GROUP_NAME;
            break;
        case NewRecordKind::Object:
            check.messageId = zyr::IDS_EMPTY_SECURE_OBJECT_NAME;
            break;
        case NewRecordKind::Role:
            check.messageId = zyr::IDS_EMPTY_ROLE_NAME;
            break;
        }
        return check;
    }
    if (kind == NewRecordKind::Role && check.name.size() == 1) {
        check.messageId = zyr::IDS_ROLE_NAME_TOO_SHORT;
        check.icon = zyr::ui::MB_ICONINFORMATION;
        return check;
    }
    // IsValidNameText shows its own message.
    check.ok = IsValidNameText(name) && IsValidNameText(description);
    return check;
}

CKVTSecGroup* FindGroupByName(const CKVTAppl& application, std::string_view name)
{
    for (const auto& group : application.Groups) {
        if (group && zyr::text::EqualsNoCase(group->CN.view(), name)) {
            return group.get();
        }
    }
    return nullptr;
}

CKVTApplSecObj* FindObjectByName(const CKVTSecGroup& group, std::string_view name)
{
    for (const auto& object : group.Objects) {
        if (object && zyr::text::EqualsNoCase(object->CN.view(), name)) {
            return object.get();
        }
    }
    return nullptr;
}

const PermissionEntry* FindPermissionByName(const std::vector<PermissionEntry>& permissions,
                                            std::string_view name)
{
    for (const auto& permission : permissions) {
        if (zyr::text::EqualsNoCase(permission.Name.view(), name)) {
            return &permission;
        }
    }
    return nullptr;
}

bool IsFreePermissionBit(const std::vector<PermissionEntry>& permissions, uint32_t bits)
{
    // Exactly one of the offered bits.
    if (bits == 0 || (bits & (bits - 1)) != 0 || bits > kHighestOfferedPermissionBit) {
        return false;
    }
    for (const auto& permission : permissions) {
        if (PermissionBits(permission) == bits) {
            return false;
        }
    }
    return true;
}

uint32_t FirstFreePermissionBit(const std::vector<PermissionEntry>& permissions)
{
    for (uint32_t bits = 1; bits != 0 && bits <= kHighestOfferedPermissionBit; bits <<= 1) {
        if (IsFreePermissionBit(permissions, bits)) {
            return bits;
        }
    }
    return 0;
}

} // namespace zyr::records
