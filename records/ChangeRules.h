// The rules and messages of the changes that the console's commands, pages
// and dialogs make, without their windows: the checks of a new name, the
// look-ups for duplicates, the free permission bits, and the texts of the
// refusals and questions. The console and the command-line tool share them,
// so both refuse the same input with the same words.
#pragma once

#include "platform/com/WinTypes.h"
#include "records/AccessEntry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CKVTAppl;
class CKVTSecGroup;
class CKVTApplSecObj;

namespace zyr::records {

// Duplicates (caption string resource 100, information icon); %s is the
// existing record's name.
constexpr const char* kApplicationExistsFormat = "Application '%s' Already Exists";
constexpr const char* kGroupExistsFormat = "Securable Group '%s' Already Exists";
constexpr const char* kObjectExistsFormat = "Securable Object '%s' Already Exists";
constexpr const char* kRoleExistsFormat = "Role '%s' Already Exists.";
// The permissions page; %s is the entered name.
constexpr const char* kPermissionExistsFormat = "Permission '%s' Already Exists. Please use another Name.";

// Questions before a deletion (caption string resource 100, warning icon, Yes and No).
constexpr const char* kDeleteApplicationFormat = "Are you sure you want to delete the application %s?";
constexpr const char* kDeleteGroupFormat = "Are you sure you want to delete the secure group '%s'?";
constexpr const char* kDeleteObjectFormat = "Are you sure you want to delete the securable object %s?";
constexpr const char* kDeleteRoleFormat = "Are you sure you want to delete the role %s?";
// Deleting the logs of a range: the From text, then the To text.
constexpr const char* kDeleteLogRangePrefix = "Are you sure you want to delete all logs from ";
constexpr const char* kDeleteLogRangeMiddle = "  To ";

// Deleting a permission whose bit a group or object still grants.
constexpr const char* kGrantedPermissionCaption = "ZYR Security";
constexpr const char* kGrantedPermissionQuestion =
    "Please uncheck this permission from the properties of the application, groups and objects before "
    "delete.\nOtherwise the permission with the same bit value may still be granted after it is deleted or "
    "added back.\nDo you want to proceed to delete this permission?";

// The permissions page offers the 31 bits 2^0 to 2^30; 2^31 is never offered.
constexpr uint32_t kHighestOfferedPermissionBit = 0x40000000u;

// format with its one %s replaced by text (no other conversion is read).
std::string FormatWithName(const char* format, std::string_view text);

// text without white space at either end.
std::string TrimWhiteSpace(std::string_view text);

// The kinds of record that a New dialog makes.
enum class NewRecordKind { Application, Group, Object, Role };

// The verdict of a New dialog's OK on a name and a description.
struct NewNameCheck {
    bool ok = false;
    std::string name; // trimmed
    // When refused: the string resource to show (0 when IsValidNameText has
    // shown its own message already) and the icon of its box.
    UINT messageId = 0;
    unsigned icon = 0;
};
// The dialog's checks in its order: the name trimmed; an empty one refused
// with the kind's message; a role name of one byte refused; name and
// description through IsValidNameText. A name or description over 255
// characters, which the dialogs' edits never hold, is refused with "Only 255
// characters are allowed.".
NewNameCheck CheckNewRecordName(NewRecordKind kind, std::string_view name, std::string_view description);

// The group or object of that name (without regard to case), or null.
CKVTSecGroup* FindGroupByName(const CKVTAppl& application, std::string_view name);
CKVTApplSecObj* FindObjectByName(const CKVTSecGroup& group, std::string_view name);
// The permission of that name (without regard to case), or null.
const PermissionEntry* FindPermissionByName(const std::vector<PermissionEntry>& permissions,
                                            std::string_view name);

// The lowest of the offered bits that no permission uses; 0 when all 31 are
// in use.
uint32_t FirstFreePermissionBit(const std::vector<PermissionEntry>& permissions);
// True for one of the 31 offered bits that no permission uses.
bool IsFreePermissionBit(const std::vector<PermissionEntry>& permissions, uint32_t bits);

} // namespace zyr::records
