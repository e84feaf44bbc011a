#include "pages/NTRoleMemberPage.h"

#include "audit/AuditTexts.h"
#include "common/ErrorTrace.h"
#include "common/ServerSettings.h"
#include "console/framework/AuditGuard.h"
#include "pages/NTAdvancedDlg.h"
#include "pages/QtText.h"
#include "pages/RoleMemberList.h"
#include "platform/identity/AccountDirectory.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"
#include "records/ConsoleAccess.h"
#include "roles/Role.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr int kColumnWidth = 250;

zyr::pages::MemberPicture PictureOf(int image)
{
    switch (image) {
    case CNTRoleMemberPage::kEveryoneImage:
        return zyr::pages::MemberPicture::Everyone;
    case CNTRoleMemberPage::kUserImage:
        return zyr::pages::MemberPicture::User;
    default:
        return zyr::pages::MemberPicture::Group;
    }
}

} // namespace

CNTRoleMemberPage::CNTRoleMemberPage(LONG_PTR notifyHandle, CKVTRole* role, LPARAM changeParam)
    : CSnapInPropertyPageImpl<CNTRoleMemberPage>(u"Members", notifyHandle), m_pRole(role),
      changeParam_(changeParam)
{
}

QWidget* CNTRoleMemberPage::CreatePage(QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setObjectName(QString::number(IDD));
    auto* layout = new QVBoxLayout(page);
    auto* box = new QGroupBox("Role Members");
    auto* boxLayout = new QVBoxLayout(box);
    list_ = zyr::pages::CreateMemberList("350", kColumnWidth);
    boxLayout->addWidget(list_, 1);
    auto* buttons = new QHBoxLayout;
    add_ = new QPushButton("Add...");
    add_->setObjectName("353");
    auto* remove = new QPushButton("Remove");
    remove->setObjectName("348");
    auto* advanced = new QPushButton("Advanced...");
    advanced->setObjectName("349");
    buttons->addWidget(add_);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    buttons->addWidget(advanced);
    boxLayout->addLayout(buttons);
    layout->addWidget(box);

    QObject::connect(add_, &QPushButton::clicked, page, [this] { OnAdd(); });
    QObject::connect(remove, &QPushButton::clicked, page, [this] { OnRemove(); });
    QObject::connect(advanced, &QPushButton::clicked, page, [this] { OnAdvanced(); });

    // WM_INITDIALOG: the groups, then the users, in the role's order. A group
    // named "Everyone" keeps its globe, so that it looks as it did when it
    // was picked (both images apply as a group).
    if (m_pRole != nullptr) {
        for (const auto& group : m_pRole->MemberGroups()) {
            const bool everyone = zyr::text::EqualsNoCase(group->Name.view(), "Everyone");
            const int image = everyone ? kEveryoneImage : kGroupImage;
            zyr::pages::AppendMember(list_, group->Name.view(), image, PictureOf(image));
        }
        for (const auto& user : m_pRole->MemberUsers()) {
            zyr::pages::AppendMember(list_, user->Name.view(), kUserImage, PictureOf(kUserImage));
        }
    }
    return page;
}

void CNTRoleMemberPage::OnAdd()
{
    CAccountPickerDlg picker(zyr::identity::ListDirectoryAccounts(GetLocalComputerName()));
    std::vector<PickedAccount> selections;
    HRESULT hr = picker.InvokeDialog(PageWidget(), selections);
    if (hr == S_FALSE) {
        DebugPrint("User canceled object picker dialog\n");
    } else if (hr == S_OK && !selections.empty()) {
        AddSelections(selections);
        SetModified();
    }
}

void CNTRoleMemberPage::AddSelections(const std::vector<PickedAccount>& selections)
{
    for (const PickedAccount& selection : selections) {
        int image = 0;
        if (zyr::text::EqualsNoCase(selection.objectClass, "Group")) {
            image = zyr::text::EqualsNoCase(selection.name, "Everyone") ? kEveryoneImage : kGroupImage;
        } else if (zyr::text::EqualsNoCase(selection.objectClass, "User")) {
            image = kUserImage;
        } else {
            break;
        }
        const std::string text = image == kEveryoneImage ? std::string("Everyone") : selection.name;
        zyr::pages::InsertMemberAtTop(list_, text, image, PictureOf(image));
    }
}

void CNTRoleMemberPage::OnAdvanced()
{
    CNTAdvancedDlg dialog;
    if (dialog.DoModal(PageWidget()) != zyr::ui::IDOK) {
        return;
    }
    const int image = dialog.m_nType == CNTAdvancedDlg::kUser ? kUserImage : kGroupImage;
    zyr::pages::InsertMemberAtTop(list_, dialog.m_strName, image, PictureOf(image));
}

void CNTRoleMemberPage::OnRemove()
{
    SetModified();
    zyr::pages::DeleteSelectedMembers(list_);
}

BOOL CNTRoleMemberPage::Apply()
{
    if (zyr::console::RefuseChangeWhenAuditNotFunctional()) {
        return FALSE;
    }
    if (m_pRole == nullptr || list_ == nullptr) {
        return TRUE;
    }
    std::vector<std::string> oldUsers, oldGroups;
    for (const auto& user : m_pRole->MemberUsers()) {
        oldUsers.emplace_back(user->Name.view());
    }
    for (const auto& group : m_pRole->MemberGroups()) {
        oldGroups.emplace_back(group->Name.view());
    }
    const std::vector<zyr::pages::MemberItem> items = zyr::pages::MemberItems(list_);
    const size_t remaining =
        std::count_if(items.begin(), items.end(), [](const zyr::pages::MemberItem& item) {
            return item.image == kEveryoneImage || item.image == kGroupImage || item.image == kUserImage;
        });
    const std::string name(m_pRole->CN.view());
    if (!zyr::records::PassesLockoutGuard([&](auto& access) { access.SetMemberCount(name, remaining); })) {
        return FALSE;
    }
    m_pRole->ClearMemberUsers();
    m_pRole->ClearMemberGroups();
    std::vector<std::string> newUsers, newGroups;
    for (const zyr::pages::MemberItem& item : items) {
        switch (item.image) {
        case kEveryoneImage:
        case kGroupImage:
            m_pRole->AddMemberGroup(item.text);
            newGroups.push_back(item.text);
            break;
        case kUserImage:
            m_pRole->AddMemberUser(item.text);
            newUsers.push_back(item.text);
            break;
        default:
            break; // not a member
        }
    }
    std::optional<zyr::audit::AuditRenderings> renderings =
        zyr::audit::RoleMembersRenderings(oldUsers, oldGroups, newUsers, newGroups);
    if (!renderings) {
        return TRUE; // nothing added or removed: nothing sent
    }
    m_pRole->AuditText = zyr::audit::MakeAuditText(*renderings);
    m_pRole->Update();
    MMCPropertyChangeNotify(m_lNotifyHandle, changeParam_);
    return TRUE;
}
