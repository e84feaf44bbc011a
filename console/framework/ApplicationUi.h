// The windows of the application side that the node logic opens: the pages of
// applications, groups and objects and the New dialogs. The toolkit layer
// installs its implementation at start; until then (and in tests that install
// no double) a node offers no page and a New command shows no dialog.
#pragma once

#include "platform/mmc/ConsoleInterfaces.h"

#include <string>

class CKVTAppl;
class CKVTApplList;
class CKVTSecGroup;
class CKVTApplSecObj;

namespace zyr::console {

enum class NewItemKind { Application, Group, Object };

// What a New dialog returns after OK: the trimmed name and the description.
struct NewItemTexts {
    std::string name;
    std::string description;
};

// Each answer of this base is the one of a console without windows.
class ApplicationUi {
public:
    virtual ~ApplicationUi() = default;
    // The application's pages (properties, then permissions), handed to the
    // sheet; the records stay owned by the tree and outlive the sheet. S_OK
    // when no page is offered.
    virtual HRESULT AddApplicationPages(CKVTAppl* application, IPropertySheetCallback* callback,
                                        LONG_PTR notifyHandle);
    // The group's page; the application offers its permissions.
    virtual HRESULT AddGroupPages(CKVTAppl* application, CKVTSecGroup* group,
                                  IPropertySheetCallback* callback, LONG_PTR notifyHandle);
    // The object's page; the application offers its permissions.
    virtual HRESULT AddObjectPages(CKVTAppl* application, CKVTApplSecObj* object,
                                   IPropertySheetCallback* callback, LONG_PTR notifyHandle);
    // Runs the New dialog of the kind over parent; true after OK, with texts
    // filled; false after Cancel or when the dialog could not be shown.
    virtual bool RunNewItemDialog(NewItemKind kind, HWND parent, NewItemTexts& texts);
    // Shows what importing the export file's application would add, with
    // warnings, over parent; true for OK (the import goes on), false for
    // Cancel (nothing is sent). Without windows the import goes on.
    virtual bool ConfirmImport(HWND parent, const CKVTAppl& file, const CKVTApplList& list);
    // Shows every role, with its members, that holds each permission on the
    // application, or on its group or object when given.
    virtual void ShowWhoHasAccess(HWND parent, const CKVTAppl& application, const CKVTSecGroup* group,
                                  const CKVTApplSecObj* object);
};

// The installed windows; before any is installed, the base above.
ApplicationUi& CurrentApplicationUi();
void SetApplicationUi(ApplicationUi* ui); // not owned; null restores the default
void ResetApplicationUi();

} // namespace zyr::console
