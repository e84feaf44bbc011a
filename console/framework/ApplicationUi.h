// The windows of the application side that the node logic opens: the pages of
// applications, groups and objects and the New dialogs. The toolkit layer
// installs them at start; until then (and in tests that install doubles) a
// node offers no page and a New command shows no dialog.
#pragma once

#include "platform/mmc/ConsoleInterfaces.h"

#include <string>

class CKVTAppl;
class CKVTSecGroup;
class CKVTApplSecObj;

namespace zyr::console {

enum class NewItemKind { Application, Group, Object };

// What a New dialog returns after OK: the trimmed name and the description.
struct NewItemTexts {
    std::string name;
    std::string description;
};

struct ApplicationUi {
    // The application's pages (properties, then permissions), handed to the
    // sheet; the records stay owned by the tree and outlive the sheet.
    HRESULT(*addApplicationPages)
    (CKVTAppl* application, IPropertySheetCallback* callback, LONG_PTR notifyHandle) = nullptr;
    // The group's page; the application offers its permissions.
    HRESULT(*addGroupPages)
    (CKVTAppl* application, CKVTSecGroup* group, IPropertySheetCallback* callback,
     LONG_PTR notifyHandle) = nullptr;
    // The object's page; the application offers its permissions.
    HRESULT(*addObjectPages)
    (CKVTAppl* application, CKVTApplSecObj* object, IPropertySheetCallback* callback,
     LONG_PTR notifyHandle) = nullptr;
    // Runs the New dialog of the kind over parent; true after OK, with texts
    // filled; false after Cancel or when the dialog could not be shown.
    bool (*runNewItemDialog)(NewItemKind kind, HWND parent, NewItemTexts* texts) = nullptr;
};

void SetApplicationUi(const ApplicationUi& ui);
const ApplicationUi& CurrentApplicationUi();
// Nothing installed (tests).
void ResetApplicationUi();

} // namespace zyr::console
