#include "roles/Role.h"

#include "common/RequestFrame.h"
#include "web/SecurityPost.h"
#include "web/WebPage.h"

using zyr::records::SetField;

namespace {

// Appends a member named name to members, unless names (the index of
// members) already holds the name.
template <typename Member>
void AddMember(std::vector<std::unique_ptr<Member>>& members, zyr::records::NameSet& names,
               std::string_view name)
{
    auto member = std::make_unique<Member>(name);
    if (names.Insert(member->Name.view())) {
        members.push_back(std::move(member));
    }
}

// Appends a member the server listed, as it stands; the index follows once
// it is built.
template <typename Member>
void AppendMember(std::vector<std::unique_ptr<Member>>& members, zyr::records::NameSet& names, bool indexed,
                  std::string_view name)
{
    members.push_back(std::make_unique<Member>(name));
    if (indexed) {
        names.Insert(members.back()->Name.view());
    }
}

} // namespace

CKVTRoleMemberUser::CKVTRoleMemberUser(std::string_view name)
{
    SetField(Name, name, "MemberUser");
}

CKVTRoleMemberGroup::CKVTRoleMemberGroup(std::string_view name)
{
    SetField(Name, name, "MemberGroup");
}

CKVTRole::CKVTRole() : serverUrl_(zyr::records::ServerUrl::FromConfiguration()) {}

CKVTRole::CKVTRole(std::string_view name, std::string_view description) : CKVTRole()
{
    SetField(CN, name, "CN");
    SetField(DN, name, "DN");
    SetField(Description, description, "Description");
}

CKVTRole::~CKVTRole() = default;

void CKVTRole::IndexMemberNames()
{
    if (namesIndexed_) {
        return;
    }
    for (const auto& member : users_) {
        userNames_.Insert(member->Name.view());
    }
    for (const auto& member : groups_) {
        groupNames_.Insert(member->Name.view());
    }
    namesIndexed_ = true;
}

bool CKVTRole::AddMemberUser(std::string_view name)
{
    IndexMemberNames();
    AddMember(users_, userNames_, name);
    return true;
}

bool CKVTRole::AddMemberGroup(std::string_view name)
{
    IndexMemberNames();
    AddMember(groups_, groupNames_, name);
    return true;
}

void CKVTRole::AppendServerMemberUser(std::string_view name)
{
    AppendMember(users_, userNames_, namesIndexed_, name);
}

void CKVTRole::AppendServerMemberGroup(std::string_view name)
{
    AppendMember(groups_, groupNames_, namesIndexed_, name);
}

void CKVTRole::ClearMemberUsers()
{
    users_.clear();
    userNames_.Clear();
}

void CKVTRole::ClearMemberGroups()
{
    groups_.clear();
    groupNames_.Clear();
}

namespace {

template <typename Members>
std::string JoinMembers(const Members& members)
{
    std::string list;
    for (const auto& member : members) {
        list.append(member->Name.view()).append(1, ';');
    }
    return list;
}

} // namespace

std::string CKVTRole::MemberUserList() const
{
    return JoinMembers(users_);
}

std::string CKVTRole::MemberGroupList() const
{
    return JoinMembers(groups_);
}

std::string CKVTRole::StoredState() const
{
    std::string state(CN.view());
    state.append(1, '\n').append(Description.view()).append(1, '\n');
    return state.append(MemberUserList()).append(1, '\n').append(MemberGroupList());
}

void CKVTRole::NoteSent(bool deleted) const
{
    using Kind = zyr::records::SentChange::Kind;
    zyr::records::NoteSentChange({Kind::Role, deleted, std::string(DN.view()), deleted ? "" : StoredState()});
}

bool CKVTRole::Add()
{
    SetField(DN, zyr::records::NewIdentity(false), "DN");
    NoteSent(false);
    zyr::RequestUrl url(serverUrl_.view(), "Role", "Add");
    url.Escaped("CN", CN.view())
        .Plain("DN", DN.view())
        .Escaped("Desc", Description.view())
        .Plain("MemeberUser", "")
        .Plain("MemberGroup", "")
        .Trailer();
    return zyr::records::SendGetChange(url.str());
}

bool CKVTRole::Update()
{
    zyr::RequestUrl url(serverUrl_.view(), "Role", "Update");
    url.Escaped("CN", CN.view()).Plain("DN", DN.view()).Escaped("Desc", Description.view()).Trailer();
    std::string body = "MemberUser=";
    body.append(zyr::records::EncryptList(MemberUserList()));
    body.append("&MemberGroup=");
    body.append(zyr::records::EncryptList(MemberGroupList()));
    body.append(1, '&').append(AuditText);
    NoteSent(false);
    std::string result = PostSecurityRequest(url.str(), body);
    return zyr::ReportPostResult(result, zyr::PostReportStyle::FirstFailure);
}

bool CKVTRole::Delete()
{
    zyr::RequestUrl url(serverUrl_.view(), "Role", "Delete");
    url.Plain("DN", DN.view()).Trailer().Escaped("CN", CN.view());
    NoteSent(true);
    return zyr::records::SendGetChange(url.str());
}
