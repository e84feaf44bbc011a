// The string table: every text the system shows, by its resource id, in one
// place shared by every layer.
#pragma once

#include "platform/com/WinTypes.h"

#include <optional>
#include <string>

// The wide text of a resource, or nothing when the id is not in the table.
std::optional<std::u16string> LoadStringResource(UINT id);

namespace zyr {
// The resource in the configured code page; a missing resource gives "".
std::string LoadStringAnsi(UINT id);

// Product and about texts.
constexpr UINT IDS_PROJNAME = 100;           // "ZYR Security Manager": the caption of every message
constexpr UINT IDS_SNAPIN_DESCRIPTION = 106; // "ZYR Security Manager"
constexpr UINT IDS_SNAPIN_PROVIDER = 107;    // the maker's company name
constexpr UINT IDS_SNAPIN_VERSION = 108;     // "ZYR Snapin Version 4.0"

// Status-bar texts of menu commands (the id is the command's).
constexpr UINT IDS_EXPORT_APPLICATION_HINT = 32784;
constexpr UINT IDS_IMPORT_APPLICATION_HINT = 32785;
// Toolbar texts of the log container (the id is the command's).
constexpr UINT IDS_PREVIOUS_LOGS = 32799;
constexpr UINT IDS_NEXT_LOGS = 32800;

// Dialog and page messages.
constexpr UINT IDS_EMPTY_APPLICATION_NAME = 32801;
constexpr UINT IDS_ROLE_NAME_TOO_SHORT = 32802;
constexpr UINT IDS_EMPTY_ROLE_NAME = 32803;
constexpr UINT IDS_EMPTY_SECURE_OBJECT_NAME = 32804;
constexpr UINT IDS_FROM_DATE_AFTER_TO_DATE = 32805;
constexpr UINT IDS_CONFIRM_DELETE_ALL_LOGS = 32814;
constexpr UINT IDS_CONFIRM_DELETE_LOG = 32815;
constexpr UINT IDS_ONLY_255_CHARACTERS = 32820;
constexpr UINT IDS_INVALID_ROLE = 32822;
constexpr UINT IDS_MAX_32_PERMISSIONS = 32825;
constexpr UINT IDS_IMPORT_SUCCEEDED = 32826;
constexpr UINT IDS_EXPORT_SUCCEEDED = 32828;
constexpr UINT IDS_DELETE_AT_MOST_255_MEMBERS = 32830;
constexpr UINT IDS_EMPTY_GROUP_NAME = 32832;
constexpr UINT IDS_AUDIT_COMPONENTS_MISSING = 32834;
constexpr UINT IDS_AUDIT_SEND_FAILED = 32835;
constexpr UINT IDS_ADD_ROLE_FAILED = 32836;

// The log container's list export and the deletions the server refused.
constexpr UINT IDS_EXPORT_LOG_LIST_HINT = 32870; // status-bar text of "Export List..."
constexpr UINT IDS_LOG_NOT_DELETED = 32871;
constexpr UINT IDS_LOGS_NOT_DELETED = 32872;
constexpr UINT IDS_LOG_EXPORT_FAILED = 32873;

// Registry names: the remembered sign-in key and its three values, and the
// framework's key.
constexpr UINT IDS_LOGIN_SETTINGS_KEY = 32807;         // "Software\Tarnwick\ZYR\Security\Snap-in"
constexpr UINT IDS_LOGIN_USER_NAME_VALUE = 32808;      // "UserName"
constexpr UINT IDS_LOGIN_DOMAIN_VALUE = 32809;         // "Domain"
constexpr UINT IDS_LOGIN_USE_LOGON_USER_VALUE = 32810; // "LoginUser"
constexpr UINT IDS_FRAMEWORK_REGISTRY_KEY = 32816;     // "Software\Tarnwick\ZYR"
} // namespace zyr
