// The import of an application export file: the server imports the file
// text, then the console adds the application that the file describes.
#pragma once

#include "platform/com/WinTypes.h"
#include "security/common/KvtXml.h"
#include "security/common/data/Application.h"

#include <string>

namespace zyr::records {

// The message shown when the file names an application already in the list.
extern const char* const kApplicationExistsMessage;

// Sends the file at path to the server and, when the server took it, adds
// its application to list (added points to it). S_OK also when the file
// cannot be read (nothing is sent) or the application is refused by name or
// duplicate (added stays null; the message has been shown); E_FAIL when the
// server refused the import.
HRESULT ImportApplicationFile(CKVTApplList& list, const std::string& path, CKVTAppl** added);

// Checks the loaded file's name, identity and description and appends its
// application to list, filled by ImportFromXml.
HRESULT AddImportedApplication(CKVTApplList& list, zyr::xml::KvtXmlDocument& document, CKVTAppl** added);

} // namespace zyr::records
