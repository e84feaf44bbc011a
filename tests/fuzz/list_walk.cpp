// Feeds arbitrary bytes, as a list reply, to the readers that turn the
// server's replies into records: the split of a list into its children,
// applications with their groups and objects (and the release of each
// application's part of the document, as the fetch does it), roles with
// their members, and log entries.
#include "common/KvtXml.h"
#include "common/ServerSettings.h"
#include "common/XmlListChildren.h"
#include "platform/text/CodePage.h"
#include "records/Application.h"
#include "records/Log.h"
#include "roles/RoleList.h"
#include "tests/platform/TempRegistry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// Records are only made with a configured server URL.
void Configure()
{
    static zyr::testing::TempRegistry registry;
    static const bool configured = [] {
        zyr::testing::TempRegistry::SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\ZYR", "URL",
                                            "http://127.0.0.1:9/zyr/security");
        zyr::ResetServerSettings();
        return true;
    }();
    (void)configured;
}

LONG ChildCount(const zyr::xml::KvtXmlDocument& document, const char* list)
{
    zyr::xml::KvtXmlElement element;
    zyr::xml::KvtXmlElementCollection children;
    LONG count = 0;
    if (FAILED(document.FindElement(nullptr, list, element)) || FAILED(element.get_children(children)) ||
        FAILED(children.get_length(&count))) {
        return 0;
    }
    return count;
}

// A field cut to its capacity holds the start of the text it was given.
bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Configure();
    std::string xml(reinterpret_cast<const char*>(data), size);
    // A split leaves nothing out and takes nothing twice: the envelope and the
    // children, each a tag-bounded part of the text, make up the whole text.
    zyr::xml::ListChildren split;
    if (zyr::xml::SplitListChildren(xml, "DOCUMENT", "KVTAPPLS", split)) {
        size_t total = split.envelope.size();
        for (std::string_view child : split.children) {
            if (child.data() < xml.data() || child.data() + child.size() > xml.data() + xml.size() ||
                child.size() < 2 || child.front() != '<' || child.back() != '>') {
                __builtin_trap();
            }
            total += child.size();
        }
        if (total != xml.size()) {
            __builtin_trap();
        }
    }
    zyr::xml::KvtXmlDocument document(zyr::text::CP_UTF8);
    if (FAILED(document.put_XmlString(std::move(xml)))) {
        return 0;
    }

    const LONG roleElements = ChildCount(document, "KVTROLES");
    CKVTRoleList roles;
    roles.LoadRoles(document);
    if (static_cast<LONG>(roles.Roles().size()) > roleElements) {
        __builtin_trap();
    }
    for (const auto& role : roles.Roles()) {
        for (const auto& member : role->MemberUsers()) {
            if (member->Name.view().empty() || member->Name.view().find(';') != std::string_view::npos) {
                __builtin_trap();
            }
        }
    }

    const LONG logElements = ChildCount(document, "KVTLOGS");
    CKVTLogList logs;
    logs.LoadLogs(document);
    if (static_cast<LONG>(logs.Entries().size()) > logElements) {
        __builtin_trap();
    }

    zyr::xml::KvtXmlElement applications;
    if (FAILED(document.FindElement(nullptr, "KVTAPPLS", applications))) {
        return 0;
    }
    CKVTApplList list;
    list.LoadApplications(document, applications);
    for (const auto& application : list.Applications) {
        zyr::xml::KvtXmlElement element = application->SourceElement();
        if (!element.IsValid()) {
            continue;
        }
        LoadApplicationTree(document, element, *application);
        application->ReleaseSourceElements();
        if (FAILED(document.RemoveElement(element))) {
            __builtin_trap();
        }
        for (const auto& group : application->Groups) {
            if (!StartsWith(application->DN.view(), group->ApplDN.view())) {
                __builtin_trap();
            }
            for (const auto& object : group->Objects) {
                if (!StartsWith(group->DN.view(), object->GroupDN.view())) {
                    __builtin_trap();
                }
            }
        }
    }
    return 0;
}
