#include "records/SecureGroup.h"

#include "common/RequestFrame.h"
#include "records/NameLookup.h"
#include "web/SecurityPost.h"
#include "web/WebPage.h"

#include <algorithm>

using zyr::records::SetField;

namespace zyr::records {

std::string SpacesToUnderscores(std::string_view text)
{
    std::string out(text);
    std::replace(out.begin(), out.end(), ' ', '_');
    return out;
}

bool ReadChildTexts(zyr::xml::KvtXmlDocument& document, const zyr::xml::KvtXmlElement& element, LONG least,
                    LONG most, std::string* texts, LONG count, zyr::xml::KvtXmlElementCollection& children)
{
    LONG length = 0;
    if (FAILED(element.get_children(children)) || FAILED(children.get_length(&length)) || length < least ||
        length > most) {
        return false;
    }
    for (LONG i = 0; i < count; ++i) {
        texts[i].clear();
        zyr::xml::KvtXmlElement child;
        if (SUCCEEDED(children.item(i, child))) {
            document.GetElementText(child, texts[i]);
        }
    }
    return true;
}

} // namespace zyr::records

namespace {

std::string_view Trim(std::string_view text)
{
    constexpr std::string_view kBlanks = " \t\r\n\v\f";
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool SendPostChange(const zyr::RequestUrl& url, const std::string& auditText, std::string_view acl)
{
    // The audit text stays as the page stored it: a second Update never sends
    // a stale access-control field ahead of the current one.
    std::string body = auditText;
    body.append("&ACL=").append(zyr::records::EncryptList(acl));
    std::string result = PostSecurityRequest(url.str(), body);
    return zyr::ReportPostResult(result, zyr::PostReportStyle::EveryTest);
}

void NoteSent(zyr::records::SentChange::Kind kind, std::string_view dn, std::string state = {})
{
    zyr::records::NoteSentChange({kind, state.empty(), std::string(dn), std::move(state)});
}

} // namespace

// ---------------------------------------------------------------------------

CKVTApplSecObj::CKVTApplSecObj() : serverUrl_(zyr::records::ServerUrl::FromConfiguration()) {}

CKVTApplSecObj::CKVTApplSecObj(std::string_view name, std::string_view groupDN, std::string_view applDN,
                               std::string_view description)
    : CKVTApplSecObj()
{
    SetField(CN, name, "CN");
    SetField(GroupDN, groupDN, "GroupDN");
    SetField(ApplDN, applDN, "ApplDN");
    SetField(Description, description, "Description");
    if (!name.empty() || !groupDN.empty() || !applDN.empty()) {
        std::string dn(applDN);
        dn.append(1, '.').append(groupDN).append(1, '.').append(name);
        SetField(DN, zyr::records::SpacesToUnderscores(dn), "DN");
    }
}

CKVTApplSecObj::~CKVTApplSecObj() = default;

std::string CKVTApplSecObj::StoredState() const
{
    return zyr::records::StoredStateText(CN.view(), Description.view(), zyr::records::AccessListText(ACL));
}

bool CKVTApplSecObj::Add()
{
    SetField(DN, zyr::records::NewIdentity(true), "DN");
    zyr::RequestUrl url(serverUrl_.view(), "SecObj", "Add");
    url.Escaped("CN", CN.view())
        .Plain("DN", DN.view())
        .Plain("Appl", ApplDN.view())
        .Escaped("Group", GroupDN.view())
        .Escaped("Desc", Description.view())
        .Plain("ACL", "")
        .Plain("QName", "")
        .Plain("QType", "")
        .Plain("QOper", "")
        .Plain("QValue", "")
        .Number("UseQ", UseQ)
        .Trailer()
        .Escaped("ApplName", LookupNameByDN(ApplDN.view()))
        .Escaped("GroupName", LookupNameByDN(GroupDN.view()));
    NoteSent(zyr::records::SentChange::Kind::Object, DN.view(), StoredState());
    return zyr::records::SendGetChange(url.str());
}

ObjectQualifier& CKVTApplSecObj::Qualifier()
{
    if (!qualifier_) {
        qualifier_ = std::make_unique<ObjectQualifier>();
    }
    return *qualifier_;
}

const ObjectQualifier& CKVTApplSecObj::QualifierOrEmpty() const
{
    static const ObjectQualifier kNone;
    return qualifier_ ? *qualifier_ : kNone;
}

bool CKVTApplSecObj::Update()
{
    zyr::RequestUrl url(serverUrl_.view(), "SecObj", "Update");
    const ObjectQualifier& q = QualifierOrEmpty();
    // The operator and type come from fixed lists and go out as they are; the
    // qualifier's name and value are typed texts and are escaped so that
    // they cannot end their field early.
    url.Escaped("CN", CN.view())
        .Plain("DN", DN.view())
        .Plain("Appl", ApplDN.view())
        .Escaped("Group", GroupDN.view())
        .Escaped("Desc", Description.view())
        .Escaped("QName", q.QName.view())
        .Plain("QType", q.QType.view())
        .Plain("QOper", q.QOper.view())
        .Escaped("QValue", q.QValue.view())
        .Number("UseQ", UseQ)
        .Trailer()
        .Escaped("ApplName", LookupNameByDN(ApplDN.view()))
        .Escaped("GroupName", LookupNameByDN(GroupDN.view()));
    NoteSent(zyr::records::SentChange::Kind::Object, DN.view(), StoredState());
    return SendPostChange(url, AuditText, Trim(zyr::records::AccessListText(ACL)));
}

bool CKVTApplSecObj::Delete()
{
    zyr::RequestUrl url(serverUrl_.view(), "SecObj", "Delete");
    url.Plain("DN", DN.view())
        .Trailer()
        .Escaped("Appl", LookupNameByDN(ApplDN.view()))
        .Escaped("Group", LookupNameByDN(GroupDN.view()))
        .Escaped("CN", CN.view());
    NoteSent(zyr::records::SentChange::Kind::Object, DN.view());
    return zyr::records::SendGetChange(url.str());
}

// ---------------------------------------------------------------------------

CKVTSecGroup::CKVTSecGroup() : serverUrl_(zyr::records::ServerUrl::FromConfiguration()) {}

CKVTSecGroup::CKVTSecGroup(std::string_view name, std::string_view applName, std::string_view applDN,
                           std::string_view description)
    : CKVTSecGroup()
{
    SetField(CN, name, "CN");
    SetField(ApplName, applName, "ApplName");
    SetField(ApplDN, applDN, "ApplDN");
    SetField(Description, description, "Description");
    std::string dn(applName);
    dn.append(1, '.').append(name);
    SetField(DN, zyr::records::SpacesToUnderscores(dn), "DN");
}

CKVTSecGroup::~CKVTSecGroup() = default;

std::string CKVTSecGroup::StoredState() const
{
    return zyr::records::StoredStateText(CN.view(), Description.view(), zyr::records::AccessListText(ACL));
}

void CKVTSecGroup::LoadObjects(zyr::xml::KvtXmlDocument& document,
                               const zyr::xml::KvtXmlElement& groupElement)
{
    zyr::xml::KvtXmlElementCollection children;
    LONG count = 0;
    if (FAILED(groupElement.get_children(children)) || FAILED(children.get_length(&count)) || count < 6) {
        return;
    }
    zyr::records::ListDecryptor decryptor;
    zyr::xml::KvtXmlElementCollection fields; // reused for every record
    std::string texts[4];
    Objects.reserve(Objects.size() + static_cast<size_t>(count - 5));
    zyr::records::SharedField<40> groupDN;
    zyr::records::SharedField<40> applDN;
    SetField(groupDN, DN.view(), "GroupDN");
    SetField(applDN, ApplDN.view(), "ApplDN");
    for (LONG j = 4; j + 1 < count; ++j) {
        zyr::xml::KvtXmlElement element;
        if (FAILED(children.item(j, element)) ||
            !zyr::records::ReadChildTexts(document, element, 4, 4, texts, 4, fields)) {
            continue;
        }
        // The object of an empty name in this group, whose texts then come
        // from its element.
        auto object = std::make_unique<CKVTApplSecObj>();
        object->GroupDN = groupDN;
        object->ApplDN = applDN;
        SetField(object->DN, texts[0], "DN");
        SetField(object->CN, texts[1], "CN");
        SetField(object->Description, texts[2], "Description");
        decryptor.Decrypt(texts[3]);
        zyr::records::ReadAccessList(decryptor.Plain(), object->ACL);
        Objects.push_back(std::move(object));
    }
}

bool CKVTSecGroup::Add()
{
    SetField(DN, zyr::records::NewIdentity(true), "DN");
    zyr::RequestUrl url(serverUrl_.view(), "SecGroup", "Add");
    url.Plain("Appl", ApplDN.view())
        .Escaped("Group", CN.view())
        .Plain("DN", DN.view())
        .Escaped("Desc", Description.view())
        .Plain("ACL", "")
        .Trailer()
        .Escaped("ApplName", ApplName.view());
    NoteSent(zyr::records::SentChange::Kind::Group, DN.view(), StoredState());
    return zyr::records::SendGetChange(url.str());
}

bool CKVTSecGroup::Update()
{
    zyr::RequestUrl url(serverUrl_.view(), "SecGroup", "Update");
    url.Escaped("Appl", ApplName.view())
        .Escaped("Group", CN.view())
        .Plain("DN", DN.view())
        .Escaped("Desc", Description.view())
        .Trailer()
        .Escaped("ApplName", ApplName.view());
    NoteSent(zyr::records::SentChange::Kind::Group, DN.view(), StoredState());
    return SendPostChange(url, AuditText, zyr::records::AccessListText(ACL));
}

bool CKVTSecGroup::Delete()
{
    zyr::RequestUrl url(serverUrl_.view(), "SecGroup", "Delete");
    url.Plain("DN", DN.view()).Trailer().Escaped("Appl", ApplName.view()).Escaped("Group", CN.view());
    NoteSent(zyr::records::SentChange::Kind::Group, DN.view());
    return zyr::records::SendGetChange(url.str());
}
