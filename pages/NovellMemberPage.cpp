#include "pages/NovellMemberPage.h"

#include "common/DirectoryClientComponents.h"
#include "common/StringTable.h"
#include "console/framework/AuditGuard.h"
#include "pages/QtText.h"
#include "pages/RoleMemberList.h"
#include "platform/com/ClassTable.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"
#include "records/ConsoleAccess.h"
#include "roles/Role.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using zyr::com::ComPtr;

namespace {

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr int kColumnWidth = 500;

zyr::pages::MemberPicture PictureOf(int image)
{
    return image == CNovellMemberPage::kGroupImage ? zyr::pages::MemberPicture::Group
                                                   : zyr::pages::MemberPicture::User;
}

// The list shows exactly the role's members, users and groups alike.
bool ListsTheRolesMembers(const CKVTRole& role, const std::vector<zyr::pages::MemberItem>& items)
{
    std::vector<std::pair<int, std::string>> listed, members;
    for (const zyr::pages::MemberItem& item : items) {
        if (item.image == CNovellMemberPage::kGroupImage || item.image == CNovellMemberPage::kUserImage) {
            listed.emplace_back(item.image, item.text);
        }
    }
    for (const auto& group : role.MemberGroups()) {
        members.emplace_back(CNovellMemberPage::kGroupImage, std::string(group->Name.view()));
    }
    for (const auto& user : role.MemberUsers()) {
        members.emplace_back(CNovellMemberPage::kUserImage, std::string(user->Name.view()));
    }
    std::sort(listed.begin(), listed.end());
    std::sort(members.begin(), members.end());
    return listed == members;
}

} // namespace

CNovellMemberPage::CNovellMemberPage(LONG_PTR notifyHandle, CKVTRole* role, LPARAM changeParam)
    : CSnapInPropertyPageImpl<CNovellMemberPage>(u"Members", notifyHandle), m_pRole(role),
      changeParam_(changeParam)
{
}

QWidget* CNovellMemberPage::CreatePage(QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setObjectName(QString::number(IDD));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel("Role members"));
    list_ = zyr::pages::CreateMemberList("339", kColumnWidth);
    layout->addWidget(list_, 1);
    auto* buttons = new QHBoxLayout;
    auto* add = new QPushButton("&Add...");
    add->setObjectName("242");
    auto* remove = new QPushButton("R&emove");
    remove->setObjectName("243");
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    QObject::connect(add, &QPushButton::clicked, page, [this] { OnAdd(); });
    QObject::connect(remove, &QPushButton::clicked, page, [this] { OnRemove(); });

    // WM_INITDIALOG: the groups, then the users, in the role's order.
    if (m_pRole != nullptr) {
        for (const auto& group : m_pRole->MemberGroups()) {
            zyr::pages::AppendMember(list_, group->Name.view(), kGroupImage, PictureOf(kGroupImage));
        }
        for (const auto& user : m_pRole->MemberUsers()) {
            zyr::pages::AppendMember(list_, user->Name.view(), kUserImage, PictureOf(kUserImage));
        }
    }
    return page;
}

void CNovellMemberPage::OnAdd()
{
    zyr::ui::UiService& ui = zyr::ui::Ui();
    ComPtr<IDirectoryClientBrowse> browse;
    bool shown = false;
    std::u16string name;
    if (FAILED(CoCreateInstance(CLSID_DirectoryClientBrowse, nullptr, CLSCTX_ALL,
                                IDirectoryClientBrowse::InterfaceId(),
                                reinterpret_cast<void**>(browse.Put()))) ||
        !browse || FAILED(browse->PutBoolProperty(5, true)) || FAILED(browse->PutLongProperty(8, 3)) ||
        FAILED(browse->PutLongProperty(6, 1)) || FAILED(browse->Browse(&shown)) ||
        FAILED(browse->GetName(&name))) {
        ui.MessageBox(OwnerWindow(), kComponentErrorText, kCaption, zyr::ui::MB_ICONERROR);
        return;
    }
    if (name.empty()) {
        return;
    }
    ComPtr<IDirectoryClientQuery> query;
    if (FAILED(CoCreateInstance(CLSID_DirectoryClientQuery, nullptr, CLSCTX_ALL,
                                IDirectoryClientQuery::InterfaceId(),
                                reinterpret_cast<void**>(query.Put()))) ||
        !query || FAILED(query->PutName(name))) {
        ui.MessageBox(OwnerWindow(), kComponentErrorText, kCaption, zyr::ui::MB_ICONERROR);
        return;
    }
    std::u16string memberText;
    int image = kUserImage;
    HRESULT hr = query->LookupUser(name, &memberText);
    if (FAILED(hr) && hr != kDirectoryUnreachable) {
        memberText.clear();
        image = kGroupImage;
        hr = query->LookupGroup(name, &memberText);
    }
    if (hr == kDirectoryUnreachable) {
        // Not "not found": the directory could not be asked; say why.
        std::u16string why;
        query->GetErrorText(&why);
        ui.MessageBox(OwnerWindow(), zyr::text::Narrow(why), kCaption, zyr::ui::MB_ICONERROR);
        return;
    }
    if (FAILED(hr)) {
        ui.MessageBox(OwnerWindow(), kNotFoundText, kCaption, zyr::ui::MB_ICONERROR);
        return;
    }
    if (memberText.empty()) {
        return;
    }
    SetModified();
    zyr::pages::InsertMemberAtTop(list_, zyr::text::Narrow(memberText), image, PictureOf(image));
}

void CNovellMemberPage::OnRemove()
{
    SetModified();
    if (list_->selectedItems().size() > kMaxRemove) {
        zyr::ui::Ui().MessageBox(nullptr, zyr::LoadStringAnsi(zyr::IDS_DELETE_AT_MOST_255_MEMBERS),
                                 zyr::LoadStringAnsi(zyr::IDS_PROJNAME), zyr::ui::MB_ICONWARNING);
        return;
    }
    zyr::pages::DeleteSelectedMembers(list_);
}

BOOL CNovellMemberPage::Apply()
{
    if (m_pRole == nullptr || list_ == nullptr ||
        ListsTheRolesMembers(*m_pRole, zyr::pages::MemberItems(list_))) {
        return TRUE; // nothing added or removed: nothing sent
    }
    if (zyr::console::RefuseChangeWhenAuditNotFunctional()) {
        return FALSE;
    }
    const std::vector<zyr::pages::MemberItem> items = zyr::pages::MemberItems(list_);
    const size_t remaining =
        std::count_if(items.begin(), items.end(), [](const zyr::pages::MemberItem& item) {
            return item.image == kGroupImage || item.image == kUserImage;
        });
    const std::string name(m_pRole->CN.view());
    if (!zyr::records::PassesLockoutGuard([&](auto& access) { access.SetMemberCount(name, remaining); })) {
        return FALSE;
    }
    m_pRole->ClearMemberUsers();
    m_pRole->ClearMemberGroups();
    for (const zyr::pages::MemberItem& item : items) {
        if (item.image == kGroupImage) {
            m_pRole->AddMemberGroup(item.text);
        } else if (item.image == kUserImage) {
            m_pRole->AddMemberUser(item.text);
        }
    }
    // This page always sends, with the audit text the role had.
    m_pRole->Update();
    MMCPropertyChangeNotify(m_lNotifyHandle, changeParam_);
    return TRUE;
}
