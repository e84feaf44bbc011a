#include "roles/RoleList.h"

#include "cache/CacheFiles.h"
#include "cache/FreshCache.h"
#include "common/ErrorTrace.h"
#include "common/KvtXml.h"
#include "common/RequestFrame.h"
#include "common/ServerSettings.h"
#include "web/WebPage.h"

#include <algorithm>
#include <future>
#include <system_error>
#include <utility>

namespace {

CKVTRoleList*& CurrentList()
{
    static CKVTRoleList* current = nullptr;
    return current;
}

constexpr const char* kTraceFile = "roles";
constexpr const char* kTracePath = "InitCache.GetRoles.GetRoleFromWeb";

} // namespace

namespace zyr::records {

CKVTRoleList* CurrentRoleList()
{
    return CurrentList();
}

void ResetCurrentRoleList()
{
    CurrentList() = nullptr;
}

void BeginStartupFetches()
{
    zyr::cache::BeginFreshCacheWindow();
}

void EndStartupFetches()
{
    zyr::cache::EndFreshCacheWindow();
}

} // namespace zyr::records

CKVTRoleList::CKVTRoleList() : serverUrl_(zyr::records::ServerUrl::FromConfiguration())
{
    char buffer[256];
    DWORD size = sizeof buffer;
    if (SUCCEEDED(GetCachePath(buffer, &size))) {
        cacheDirectory_ = buffer;
        cacheDirectoryKnown_ = true;
    }
    CurrentList() = this;
}

CKVTRoleList::~CKVTRoleList()
{
    // A list that is gone cannot serve name look-ups any more.
    if (CurrentList() == this) {
        CurrentList() = nullptr;
    }
}

CKVTRole& CKVTRoleList::Append(std::unique_ptr<CKVTRole> role)
{
    roles_.push_back(std::move(role));
    return *roles_.back();
}

bool CKVTRoleList::Remove(const CKVTRole* role)
{
    return zyr::records::RemoveRecord(roles_, role);
}

CKVTRole* CKVTRoleList::FindByName(std::string_view name) const
{
    for (const auto& role : roles_) {
        if (zyr::text::EqualsNoCase(role->CN.view(), name)) {
            return role.get();
        }
    }
    return nullptr;
}

CKVTRole* CKVTRoleList::FindByDN(std::string_view dn) const
{
    for (const auto& role : roles_) {
        if (role->DN.view() == dn) {
            return role.get();
        }
    }
    return nullptr;
}

zyr::records::FetchResult CKVTRoleList::GetRoles()
{
    using zyr::records::FetchResult;
    if (serverUrl_.empty()) {
        return FetchResult::NoServer;
    }
    if (!cacheDirectoryKnown_) {
        return FetchResult::NoCacheFolder;
    }
    const std::string cacheFile =
        zyr::cache::CacheFilePath(cacheDirectory_.view(), zyr::cache::kRoleCacheFileName);

    std::unique_ptr<zyr::xml::KvtXmlDocument> document;
    HRESULT hr = zyr::xml::CreateKvtXmlDocument(document);
    if (FAILED(hr) || !document) {
        TraceError(kTraceFile, __LINE__, kTracePath, "CoCreateInstance", "Creating instance of IKvtXml",
                   FAILED(hr) ? hr : E_FAIL, "Class not registered");
        return FetchResult::NotAList;
    }

    // At start-up the authorization component has just fetched the list and
    // written it to the cache file: read that instead of fetching it again.
    std::string reply;
    const bool fresh =
        zyr::cache::ReadFreshCacheFile(cacheFile, reply) && reply.find("<KVTROLES>") != std::string::npos;
    if (!fresh && !GetWebPage(zyr::RequestUrl(serverUrl_.view(), "Role", "Get").str(), reply, true)) {
        return FetchResult::NotRead;
    }
    // A fresh text goes into the document whole; a reply from the server is
    // kept for the cache file written beside the reading.
    hr = fresh ? document->put_XmlString(std::move(reply)) : document->put_XmlString(std::string_view(reply));
    zyr::xml::KvtXmlElement rolesElement;
    if (SUCCEEDED(hr) && FAILED(document->FindElement(nullptr, "KVTROLES", rolesElement))) {
        hr = E_FAIL;
    }
    if (FAILED(hr)) {
        // Neither the cache nor the list takes a reply that is not a role list.
        TraceError(kTraceFile, __LINE__, kTracePath, "put_XmlString", "Parsing the XML string", hr,
                   "Parsing failed");
        return FetchResult::NotAList;
    }
    // The cache file is written (and synced to the disk) while the roles are
    // read, on a thread of its own when one can be had. A cache file that
    // cannot be written is a local problem: the trace says so, and the roles
    // the server sent are read all the same.
    if (fresh) {
        LoadRoles(*document);
        return FetchResult::Fetched;
    }
    auto persist = [&reply, &cacheFile] { return KvtEncryptBufferAndPersistInFile(reply, cacheFile); };
    std::future<HRESULT> written;
    try {
        written = std::async(std::launch::async, persist);
    } catch (const std::system_error&) {
    }
    LoadRoles(*document);
    hr = written.valid() ? written.get() : persist();
    if (FAILED(hr)) {
        TraceError(kTraceFile, __LINE__, kTracePath, "KvtEncryptBufferAndPersistInFile",
                   "Writing the ZYR Roles in Cache", hr, "Write operation failed");
    }
    return FetchResult::Fetched;
}

bool CKVTRoleList::LoadRoles(const zyr::xml::KvtXmlDocument& document)
{
    zyr::xml::KvtXmlElement roles;
    if (FAILED(document.FindElement(nullptr, "KVTROLES", roles))) {
        return false;
    }
    zyr::xml::KvtXmlElementCollection children;
    LONG count = 0;
    if (FAILED(roles.get_children(children)) || FAILED(children.get_length(&count))) {
        return true;
    }
    zyr::records::ListDecryptor decryptor;
    zyr::xml::KvtXmlElementCollection fields; // reused for every record
    std::string texts[5];
    roles_.reserve(roles_.size() + static_cast<size_t>(std::max<LONG>(count - 1, 0)));
    for (LONG i = 0; i + 1 < count; ++i) {
        zyr::xml::KvtXmlElement element;
        LONG fieldCount = 0;
        if (FAILED(children.item(i, element)) || FAILED(element.get_children(fields)) ||
            FAILED(fields.get_length(&fieldCount)) || fieldCount != 5) {
            continue;
        }
        for (LONG f = 0; f < 5; ++f) {
            texts[f].clear();
            zyr::xml::KvtXmlElement field;
            if (SUCCEEDED(fields.item(f, field))) {
                document.GetElementText(field, texts[f]);
            }
        }
        auto role = std::make_unique<CKVTRole>();
        zyr::records::SetField(role->DN, texts[0], "DN");
        zyr::records::SetField(role->CN, texts[1], "CN");
        zyr::records::SetField(role->Description, texts[2], "Description");
        decryptor.Decrypt(texts[3]);
        zyr::records::ForEachListItem(decryptor.Plain(),
                                      [&](std::string_view name) { role->AppendServerMemberGroup(name); });
        decryptor.Decrypt(texts[4]);
        zyr::records::ForEachListItem(decryptor.Plain(),
                                      [&](std::string_view name) { role->AppendServerMemberUser(name); });
        roles_.push_back(std::move(role));
    }
    return true;
}
