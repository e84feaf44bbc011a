#include "common/StringTable.h"

#include "platform/text/CodePage.h"

#include <string_view>

namespace {

struct StringResource {
    UINT id;
    std::u16string_view text;
};

using namespace zyr;

constexpr StringResource kStrings[] = {
    {IDS_PROJNAME, u"ZYR Security Manager"},
    {IDS_SNAPIN_DESCRIPTION, u"ZYR Security Manager"},
    {IDS_SNAPIN_PROVIDER, u"Tarnwick"},
    {IDS_SNAPIN_VERSION, u"ZYR Snapin Version 4.0"},
    {IDS_EXPORT_APPLICATION_HINT,
     u"Exports all the securable objects, groups and the application data to a file."},
    {IDS_IMPORT_APPLICATION_HINT, u"Imports securable objects, groups and application data from a file. "},
    {IDS_PREVIOUS_LOGS, u"Previous Logs"},
    {IDS_NEXT_LOGS, u"Next Logs"},
    {IDS_EMPTY_APPLICATION_NAME, u"Empty Application Name Field."},
    {IDS_ROLE_NAME_TOO_SHORT, u"You must enter a Role Name consisting of at least 2 characters/digits. "},
    {IDS_EMPTY_ROLE_NAME, u"Empty Role Name Field"},
    {IDS_EMPTY_SECURE_OBJECT_NAME, u"Empty Secure Object Name Field"},
    {IDS_FROM_DATE_AFTER_TO_DATE, u"'From Date' Should be less than or Equal to 'To Date'"},
    {IDS_LOGIN_SETTINGS_KEY, u"Software\\Tarnwick\\ZYR\\Security\\Snap-in"},
    {IDS_LOGIN_USER_NAME_VALUE, u"UserName"},
    {IDS_LOGIN_DOMAIN_VALUE, u"Domain"},
    {IDS_LOGIN_USE_LOGON_USER_VALUE, u"LoginUser"},
    {IDS_CONFIRM_DELETE_ALL_LOGS, u"Are you sure you want to delete all logs."},
    {IDS_CONFIRM_DELETE_LOG, u"Are you sure you want to delete the Log."},
    {IDS_FRAMEWORK_REGISTRY_KEY, u"Software\\Tarnwick\\ZYR"},
    {IDS_ONLY_255_CHARACTERS, u"Only 255 characters are allowed."},
    {IDS_INVALID_ROLE, u"Invalid Role \nPlease Select a Role."},
    {IDS_MAX_32_PERMISSIONS, u"Maximum of 32 permissions are allowed."},
    {IDS_IMPORT_SUCCEEDED, u"Data successfully imported"},
    {IDS_EXPORT_SUCCEEDED, u"Data successfully exported"},
    {IDS_DELETE_AT_MOST_255_MEMBERS, u"Only 255 Users/Groups can be deleted at a time"},
    {IDS_EMPTY_GROUP_NAME, u"Empty Group Name Field."},
    {IDS_AUDIT_COMPONENTS_MISSING,
     u"An error occurred when attempting to update the Security Database.\n"
     u"The compliance-enabling features have been activated and one of the required components is missing or "
     u"non functional.\n\nMore details:\nCould not create one of the Alarm and Events components.\n"},
    {IDS_AUDIT_SEND_FAILED,
     u"An error occurred when attempting to update the Security Database.\n"
     u"The compliance-enabling features have been activated and one of the required components is missing or "
     u"non functional.\n\nMore details:\nThe Send function on the Alarm and Event component failed.\n"},
    {IDS_ADD_ROLE_FAILED,
     u"Failed to add a new role:\n\nPlease make sure both IUSR and IIS_IUSRS user accounts have Write "
     u"permission "
     u"on \\Tarnwick\\Local Security\\Access97 folder (The Tarnwick folder refers to your selected install "
     u"location) if you are using Local Security\n\nPlease check SQL or Oracle database connection if you "
     u"are "
     u"using Morvel Security Framework"},
    {IDS_EXPORT_LOG_LIST_HINT, u"Writes the log entries shown to a file of comma-separated values."},
    {IDS_LOG_NOT_DELETED, u"The server did not delete the log. It is still in the list."},
    {IDS_LOGS_NOT_DELETED, u"The server did not delete the logs. They are still in the list."},
    {IDS_LOG_EXPORT_FAILED, u"The list could not be written to the file."},
};

} // namespace

std::optional<std::u16string> LoadStringResource(UINT id)
{
    for (const StringResource& entry : kStrings) {
        if (entry.id == id) {
            return std::u16string(entry.text);
        }
    }
    return std::nullopt;
}

namespace zyr {

std::string LoadStringAnsi(UINT id)
{
    std::optional<std::u16string> text = LoadStringResource(id);
    return text ? text::Narrow(*text) : std::string();
}

} // namespace zyr
