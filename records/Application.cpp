#include "records/Application.h"

#include "cache/CacheFiles.h"
#include "cache/FreshCache.h"
#include "common/RequestFrame.h"
#include "common/ServerSettings.h"
#include "common/XmlListChildren.h"
#include "web/SecurityPost.h"
#include "web/WebPage.h"

#include <algorithm>
#include <limits>

using zyr::records::SetField;

namespace {

CKVTApplList*& CurrentList()
{
    static CKVTApplList* current = nullptr;
    return current;
}

// The application record of an element; null when the element does not read
// as one, and with stop set when no record can be made (no server URL).
std::unique_ptr<CKVTAppl> ReadApplication(zyr::xml::KvtXmlDocument& document,
                                          const zyr::xml::KvtXmlElement& element,
                                          zyr::records::ListDecryptor& decryptor,
                                          zyr::xml::KvtXmlElementCollection& fields, std::string (&texts)[5],
                                          bool& stop)
{
    if (!zyr::records::ReadChildTexts(document, element, 5, std::numeric_limits<LONG>::max(), texts, 5,
                                      fields)) {
        return nullptr;
    }
    auto application = std::make_unique<CKVTAppl>();
    if (!application->IsValid()) {
        stop = true;
        return nullptr;
    }
    SetField(application->DN, texts[0], "DN");
    SetField(application->CN, texts[1], "CN");
    SetField(application->Description, texts[2], "Description");
    decryptor.Decrypt(texts[3]);
    zyr::records::ReadPermissionList(decryptor.Plain(), application->Permissions);
    decryptor.Decrypt(texts[4]);
    zyr::records::ReadAccessList(decryptor.Plain(), application->ACL);
    return application;
}

// The applications of a list reply, each a text of its own, and the reply
// let go. False (the reply untouched) when the reply is not plainly such a
// list, or a part of it does not parse: it is then read whole, as it always
// was, and a list that does not parse gives nothing.
bool SplitApplications(std::string& reply, std::vector<std::string>& pieces)
{
    zyr::xml::ListChildren split;
    if (!zyr::xml::SplitListChildren(reply, "DOCUMENT", "KVTAPPLS", split) || split.children.empty()) {
        return false;
    }
    // Read whole, the first list element anywhere is read: here the only one.
    size_t lists = 0;
    for (size_t at = split.envelope.find("<KVTAPPLS"); at != std::string::npos;
         at = split.envelope.find("<KVTAPPLS", at + 1)) {
        ++lists;
    }
    std::unique_ptr<zyr::xml::KvtXmlDocument> check;
    if (lists != 1 || FAILED(zyr::xml::CreateKvtXmlDocument(check)) || !check ||
        FAILED(check->put_XmlString(std::string_view(split.envelope)))) {
        return false;
    }
    for (std::string_view child : split.children) {
        if (FAILED(check->put_XmlString(child))) {
            return false;
        }
    }
    // The list's last child is its count, not an application.
    pieces.assign(split.children.begin(), split.children.end() - 1);
    std::string().swap(reply); // (an assignment would keep its bytes)
    return true;
}

} // namespace

namespace zyr::records {

CKVTApplList* CurrentApplList()
{
    return CurrentList();
}

void ResetCurrentApplList()
{
    CurrentList() = nullptr;
}

} // namespace zyr::records

// ---------------------------------------------------------------------------

CKVTAppl::CKVTAppl() : serverUrl_(zyr::records::ServerUrl::FromConfiguration()) {}

CKVTAppl::CKVTAppl(std::string_view name, std::string_view description, bool builtInPermissions) : CKVTAppl()
{
    SetField(CN, name, "CN");
    SetField(DN, zyr::records::SpacesToUnderscores(name), "DN");
    SetField(Description, description, "Description");
    if (builtInPermissions) {
        Permissions.emplace_back("Read", "0x00000001");
        Permissions.emplace_back("Write", "0x00000002");
        Permissions.emplace_back("Execute", "0x00000004");
    }
}

CKVTAppl::~CKVTAppl() = default;

void CKVTAppl::ReleaseSourceElements()
{
    sourceElement_ = {};
    for (auto& group : Groups) {
        group->ReleaseSourceElement();
    }
}

std::string CKVTAppl::StoredState() const
{
    return zyr::records::StoredStateText(CN.view(), Description.view(), zyr::records::AccessListText(ACL),
                                         zyr::records::PermissionListText(Permissions));
}

bool CKVTAppl::Add()
{
    SetField(DN, zyr::records::NewIdentity(true), "DN");
    zyr::records::NoteSentChange(
        {zyr::records::SentChange::Kind::Application, false, DN.str(), StoredState()});
    zyr::RequestUrl url(serverUrl_.view(), "Appl", "Add");
    url.Escaped("Appl", CN.view())
        .Escaped("DN", DN.view())
        .Escaped("Desc", Description.view())
        .Encrypted("Perm", zyr::records::EncryptList(zyr::records::PermissionListText(Permissions)))
        .Plain("ACL", "")
        .Trailer();
    return zyr::records::SendGetChange(url.str());
}

bool CKVTAppl::Update()
{
    zyr::RequestUrl url(serverUrl_.view(), "Appl", "Update");
    url.Escaped("CN", CN.view())
        .Escaped("DN", DN.view())
        .Escaped("Desc", Description.view())
        .Encrypted("Perm", zyr::records::EncryptList(zyr::records::PermissionListText(Permissions)))
        .Trailer();
    // The audit text stays as the page stored it, so that a second Update
    // never sends a stale access-control field ahead of the current one.
    std::string body = AuditText;
    body.append("&ACL=").append(zyr::records::EncryptList(zyr::records::AccessListText(ACL)));
    zyr::records::NoteSentChange(
        {zyr::records::SentChange::Kind::Application, false, DN.str(), StoredState()});
    std::string result = PostSecurityRequest(url.str(), body);
    return zyr::ReportPostResult(result, zyr::PostReportStyle::EveryTest);
}

bool CKVTAppl::Delete()
{
    zyr::RequestUrl url(serverUrl_.view(), "Appl", "Delete");
    url.Plain("DN", DN.view()).Trailer().Escaped("Appl", CN.view());
    zyr::records::NoteSentChange({zyr::records::SentChange::Kind::Application, true, DN.str(), {}});
    return zyr::records::SendGetChange(url.str());
}

void CKVTAppl::LoadGroups(zyr::xml::KvtXmlDocument& document,
                          const zyr::xml::KvtXmlElement& applicationElement)
{
    zyr::xml::KvtXmlElementCollection children;
    LONG count = 0;
    if (FAILED(applicationElement.get_children(children)) || FAILED(children.get_length(&count)) ||
        count < 6) {
        return;
    }
    zyr::records::ListDecryptor decryptor;
    zyr::xml::KvtXmlElementCollection fields; // reused for every record
    std::string texts[4];
    Groups.reserve(Groups.size() + static_cast<size_t>(count - 6));
    for (LONG i = 5; i + 1 < count; ++i) {
        zyr::xml::KvtXmlElement element;
        if (FAILED(children.item(i, element)) ||
            !zyr::records::ReadChildTexts(document, element, 5, std::numeric_limits<LONG>::max(), texts, 4,
                                          fields)) {
            continue;
        }
        auto group = std::make_unique<CKVTSecGroup>();
        SetField(group->DN, texts[0], "DN");
        SetField(group->CN, texts[1], "CN");
        SetField(group->Description, texts[2], "Description");
        decryptor.Decrypt(texts[3]);
        zyr::records::ReadAccessList(decryptor.Plain(), group->ACL);
        SetField(group->ApplName, CN.view(), "ApplName");
        SetField(group->ApplDN, DN.view(), "ApplDN");
        group->SetSourceElement(element);
        Groups.push_back(std::move(group));
    }
}

// ---------------------------------------------------------------------------

CKVTApplList::CKVTApplList() : serverUrl_(zyr::records::ServerUrl::FromConfiguration())
{
    CurrentList() = this;
}

CKVTApplList::~CKVTApplList()
{
    // A list that is gone cannot serve name look-ups any more.
    if (CurrentList() == this) {
        CurrentList() = nullptr;
    }
}

CKVTAppl& CKVTApplList::Append(std::unique_ptr<CKVTAppl> application)
{
    Applications.push_back(std::move(application));
    return *Applications.back();
}

bool CKVTApplList::Remove(const CKVTAppl* application)
{
    return zyr::records::RemoveRecord(Applications, application);
}

CKVTAppl* CKVTApplList::FindByNameOrDN(std::string_view name, std::string_view dn) const
{
    for (const auto& application : Applications) {
        if ((!dn.empty() && application->DN.view() == dn) ||
            zyr::text::EqualsNoCase(application->CN.view(), name)) {
            return application.get();
        }
    }
    return nullptr;
}

void CKVTApplList::LoadApplications(zyr::xml::KvtXmlDocument& document,
                                    const zyr::xml::KvtXmlElement& applications)
{
    zyr::xml::KvtXmlElementCollection children;
    LONG count = 0;
    if (FAILED(applications.get_children(children)) || FAILED(children.get_length(&count))) {
        return;
    }
    zyr::records::ListDecryptor decryptor;
    zyr::xml::KvtXmlElementCollection fields; // reused for every record
    std::string texts[5];
    if (count > 1) {
        Applications.reserve(Applications.size() + static_cast<size_t>(count - 1));
    }
    for (LONG i = 0; i + 1 < count; ++i) {
        zyr::xml::KvtXmlElement element;
        bool stop = false;
        std::unique_ptr<CKVTAppl> application;
        if (SUCCEEDED(children.item(i, element))) {
            application = ReadApplication(document, element, decryptor, fields, texts, stop);
        }
        if (stop) {
            return; // no server URL: nothing more can be read
        }
        if (application) {
            application->SetSourceElement(element);
            Applications.push_back(std::move(application));
        }
    }
}

// ---------------------------------------------------------------------------

void LoadApplicationTree(zyr::xml::KvtXmlDocument& document, const zyr::xml::KvtXmlElement& element,
                         CKVTAppl& application)
{
    size_t first = application.Groups.size();
    application.LoadGroups(document, element);
    for (size_t g = first; g < application.Groups.size(); ++g) {
        CKVTSecGroup& group = *application.Groups[g];
        group.LoadObjects(document, group.SourceElement());
    }
}

namespace {

// Reads the groups and objects of the list's application at index at, from
// its element, through the handler when there is one.
void ReadApplicationTree(CKVTApplList& list, size_t at, zyr::xml::KvtXmlDocument& document,
                         const zyr::xml::KvtXmlElement& element, const ApplicationElementHandler& handler)
{
    CKVTAppl& application = *list.Applications[at];
    if (handler) {
        handler(document, element, application, list);
    } else {
        LoadApplicationTree(document, element, application);
    }
    // (A handler may have taken the application out of the list.)
    if (at < list.Applications.size() && list.Applications[at].get() == &application) {
        application.ReleaseSourceElements();
    }
}

// Reads the applications of a list one at a time, each with its groups and
// objects, and lets each text go once read: the records grow while the texts
// shrink, and no tree of the whole list is ever built.
zyr::records::FetchResult ReadApplications(CKVTApplList& list, std::vector<std::string>& pieces,
                                           const StatusTextHandler& status,
                                           const ApplicationElementHandler& handler)
{
    if (status) {
        status("Fetching Application Data from the Server...");
        status("Initializing the Applications ");
    }
    list.Applications.reserve(list.Applications.size() + pieces.size());
    zyr::records::ListDecryptor decryptor;
    zyr::xml::KvtXmlElementCollection fields; // reused for every record
    std::string texts[5];
    for (std::string& piece : pieces) {
        std::unique_ptr<zyr::xml::KvtXmlDocument> document;
        zyr::xml::KvtXmlElement element;
        if (FAILED(zyr::xml::CreateKvtXmlDocument(document)) || !document ||
            FAILED(document->put_XmlString(std::move(piece))) ||
            FAILED(document->get_documentElement(element))) {
            continue;
        }
        bool stop = false;
        std::unique_ptr<CKVTAppl> read = ReadApplication(*document, element, decryptor, fields, texts, stop);
        if (stop) {
            break; // no server URL: nothing more can be read
        }
        if (!read) {
            continue;
        }
        read->SetSourceElement(element);
        list.Applications.push_back(std::move(read));
        ReadApplicationTree(list, list.Applications.size() - 1, *document, element, handler);
    }
    return zyr::records::FetchResult::Fetched;
}

} // namespace

zyr::records::FetchResult FetchApplications(CKVTApplList& list, const StatusTextHandler& status,
                                            const ApplicationElementHandler& handler)
{
    using zyr::records::FetchResult;
    char url[1024];
    DWORD size = sizeof url;
    if (FAILED(GetSecurityServerUrl(url, &size))) {
        return FetchResult::NoServer;
    }
    // At start-up the authorization component has just fetched the list and
    // written it to the cache file: read that instead of fetching it again.
    std::string reply;
    char cacheDirectory[256];
    DWORD cacheSize = sizeof cacheDirectory;
    const bool fresh =
        SUCCEEDED(GetCachePath(cacheDirectory, &cacheSize)) &&
        zyr::cache::ReadFreshCacheFile(
            zyr::cache::CacheFilePath(cacheDirectory, zyr::cache::kApplCacheFileName), reply) &&
        reply.find("<KVTAPPLS>") != std::string::npos;
    if (!fresh && !GetWebPage(zyr::RequestUrl(url, "Appl", "GetAll").str(), reply, true)) {
        return FetchResult::NotRead;
    }
    std::unique_ptr<zyr::xml::KvtXmlDocument> document;
    if (FAILED(zyr::xml::CreateKvtXmlDocument(document)) || !document) {
        return FetchResult::NotAList;
    }
    std::vector<std::string> pieces;
    if (SplitApplications(reply, pieces)) {
        return ReadApplications(list, pieces, status, handler);
    }
    if (FAILED(document->put_XmlString(std::move(reply)))) {
        return FetchResult::NotAList;
    }
    zyr::xml::KvtXmlElement applications;
    if (FAILED(document->FindElement(nullptr, "KVTAPPLS", applications))) {
        return FetchResult::NotAList;
    }
    if (status) {
        status("Fetching Application Data from the Server...");
    }
    size_t first = list.Applications.size();
    list.LoadApplications(*document, applications);
    if (status) {
        status("Initializing the Applications ");
    }
    // Each application goes with the element it was read from, so a skipped
    // malformed element never shifts the pairing. An application's part of
    // the document is let go as soon as it is read: the records then grow
    // while the document shrinks, instead of both being held whole at once.
    for (size_t i = first; i < list.Applications.size(); ++i) {
        CKVTAppl& application = *list.Applications[i];
        zyr::xml::KvtXmlElement element = application.SourceElement();
        if (!element.IsValid()) {
            continue;
        }
        ReadApplicationTree(list, i, *document, element, handler);
        document->RemoveElement(element);
    }
    return FetchResult::Fetched;
}
