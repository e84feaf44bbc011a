// The read-only access views of the console: the preview of an import before
// it is sent, who holds each permission on a record, and an account's
// effective access in the find-user dialog.
#pragma once

#include "platform/mmc/ConsoleTypes.h"
#include "records/EffectiveAccess.h"

#include <vector>

class CKVTAppl;
class CKVTApplList;
class CKVTApplSecObj;
class CKVTSecGroup;
class QTreeWidget;

namespace zyr::pages {

// The preview of the export file's application over parent, with the
// warnings of what the server would refuse; true for OK.
bool RunImportPreview(HWND parent, const CKVTAppl& file, const CKVTApplList& list);

// Every permission of the application with the roles (and their members)
// that hold it on the record: the application, or its group or object.
void RunWhoHasAccess(HWND parent, const CKVTAppl& application, const CKVTSecGroup* group,
                     const CKVTApplSecObj* object);

// Fills tree (columns Where, Permission, Granted By) with places, each place
// a top-level item and its permissions below it, expanded.
void FillEffectiveAccess(QTreeWidget* tree, const std::vector<zyr::records::PlaceAccess>& places);

} // namespace zyr::pages
