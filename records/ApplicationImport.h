// The import of an application export file: the server imports the file
// text, then the console adds the application that the file describes.
#pragma once

#include "common/KvtXml.h"
#include "platform/com/WinTypes.h"
#include "platform/ui/UiService.h"
#include "records/Application.h"

#include <functional>
#include <string>

namespace zyr::records {

// The message shown when the file names an application already in the list.
extern const char* const kApplicationExistsMessage;

// Shows kApplicationExistsMessage; without one, a box without owner window
// shows it (the console shows it through its own message box).
using ApplicationExistsReporter = std::function<void(const std::string& text)>;

// Checks a loaded export file against list without changing anything: the
// name and the description through IsValidNameText (which shows its own
// message), the name and identity against the applications of the list.
// S_OK when the file may be imported, S_FALSE when it is refused (the message
// has been shown), the failure of reading "ApplName" otherwise.
HRESULT CheckImportedApplication(const CKVTApplList& list, zyr::xml::KvtXmlDocument& document,
                                 const ApplicationExistsReporter& reportExists = {});

// The file dialog of an application export file, for its export and its
// import alike: XML files, asking before one is overwritten.
zyr::ui::FileDialog ExportFileDialog();

// The name of the application an export file describes; empty when the file
// does not load or names none.
std::string ImportedApplicationName(const std::string& path);

// Loads the file at path and checks it (CheckImportedApplication) before
// anything is sent; sends a file that passes to the server and, when the
// server took it, adds its application to list (added points to it). S_OK
// also when the file cannot be read or is refused by name or duplicate
// (nothing is sent, added stays null, the message has been shown); the
// reading failure for a file that does not load; E_FAIL when the server
// refused the import or could not be reached.
HRESULT ImportApplicationFile(CKVTApplList& list, const std::string& path, CKVTAppl** added,
                              const ApplicationExistsReporter& reportExists = {});

// Checks the loaded file's name, identity and description and appends its
// application to list, filled by ImportFromXml.
HRESULT AddImportedApplication(CKVTApplList& list, zyr::xml::KvtXmlDocument& document, CKVTAppl** added,
                               const ApplicationExistsReporter& reportExists = {});

} // namespace zyr::records
