// Applications, the list of all applications, and the fetch of that list.
#pragma once

#include "common/KvtXml.h"
#include "platform/com/WinTypes.h"
#include "records/AccessEntry.h"
#include "records/SecureGroup.h"
#include "roles/RecordSupport.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CKVTApplList;

class CKVTAppl {
public:
    // A fetched application: every text empty. IsValid is false when no
    // server URL could be obtained.
    CKVTAppl();
    // An application made in the console: its DN is its name with spaces
    // replaced by "_" until Add; with builtInPermissions, Read, Write and
    // Execute.
    CKVTAppl(std::string_view name, std::string_view description, bool builtInPermissions);
    virtual ~CKVTAppl();
    CKVTAppl(const CKVTAppl&) = delete;
    CKVTAppl& operator=(const CKVTAppl&) = delete;

    bool IsValid() const { return !serverUrl_.empty(); }

    zyr::records::Field<256> DN;
    zyr::records::Field<256> CN;
    zyr::records::Field<256> Description;
    std::vector<PermissionEntry> Permissions;
    std::vector<AccessEntry> ACL;
    std::vector<std::unique_ptr<CKVTSecGroup>> Groups;
    std::string AuditText;

    bool Add();
    bool Update();
    bool Delete();
    // The fields the server keeps, in one text (see CKVTRole::StoredState).
    std::string StoredState() const;

    // Appends the groups that the application's element describes; each
    // group keeps its own element for LoadObjects.
    void LoadGroups(zyr::xml::KvtXmlDocument& document, const zyr::xml::KvtXmlElement& applicationElement);

    // The export file: asks for the path through the UI service and writes
    // it. S_OK when written or cancelled; the component's failure otherwise.
    HRESULT Export();
    // Writes the export file to path without asking (the command-line tool).
    HRESULT ExportToFile(const std::string& path) const;
    // Adds the application's elements under parent (null: the root element).
    HRESULT WriteExport(zyr::xml::KvtXmlDocument& document, const zyr::xml::KvtXmlElement* parent) const;
    // Fills permissions, DN, groups and objects from a loaded export file.
    HRESULT ImportFromXml(zyr::xml::KvtXmlDocument& document);

    const zyr::xml::KvtXmlElement& SourceElement() const { return sourceElement_; }
    void SetSourceElement(zyr::xml::KvtXmlElement element) { sourceElement_ = std::move(element); }
    void ReleaseSourceElements();

    std::string_view ServerUrlText() const { return serverUrl_.view(); }

private:
    zyr::records::ServerUrl serverUrl_;
    zyr::xml::KvtXmlElement sourceElement_;
};

class CKVTApplList {
public:
    // An empty list that becomes the current application list.
    CKVTApplList();
    // Destroys the applications; the list stops being the current one.
    ~CKVTApplList();
    CKVTApplList(const CKVTApplList&) = delete;
    CKVTApplList& operator=(const CKVTApplList&) = delete;

    // Appends the applications that the "KVTAPPLS" element describes, each
    // with its own element.
    void LoadApplications(zyr::xml::KvtXmlDocument& document, const zyr::xml::KvtXmlElement& applications);

    std::vector<std::unique_ptr<CKVTAppl>> Applications;

    CKVTAppl& Append(std::unique_ptr<CKVTAppl> application);
    bool Remove(const CKVTAppl* application);
    // The first application whose name (without regard to case) or, when dn
    // is not empty, identity (exact) matches, or null.
    CKVTAppl* FindByNameOrDN(std::string_view name, std::string_view dn = {}) const;

    std::string_view ServerUrlText() const { return serverUrl_.view(); }

private:
    zyr::records::ServerUrl serverUrl_;
};

// Called by FetchApplications for every application read, with the element
// it was read from: the Applications node builds the application's node here,
// reading its groups and objects. The element and everything under it are
// removed from the document when the handler returns: keep no handle to them.
using ApplicationElementHandler =
    std::function<void(zyr::xml::KvtXmlDocument&, const zyr::xml::KvtXmlElement&, CKVTAppl&, CKVTApplList&)>;
// Shows a text in the start-up status window.
using StatusTextHandler = std::function<void(std::string_view)>;

// Fetches the application list into list. Without a handler, every
// application's groups and objects are read (LoadApplicationTree). Stops at
// the first failed step (only the transport traces) and says which failed;
// Fetched when the list was read, even empty.
zyr::records::FetchResult FetchApplications(CKVTApplList& list, const StatusTextHandler& status = {},
                                            const ApplicationElementHandler& handler = {});

// Reads the groups of an application and the objects of each group from the
// application's element, with ApplName and ApplDN set from the application.
void LoadApplicationTree(zyr::xml::KvtXmlDocument& document, const zyr::xml::KvtXmlElement& element,
                         CKVTAppl& application);

namespace zyr::records {
// The most recently constructed application list still alive, or null.
CKVTApplList* CurrentApplList();
void ResetCurrentApplList();
} // namespace zyr::records
