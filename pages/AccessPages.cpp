#include "pages/AccessPages.h"

#include "audit/AuditTexts.h"
#include "common/QueryEscape.h"
#include "common/StringTable.h"
#include "console/framework/AuditGuard.h"
#include "pages/PageControls.h"
#include "pages/QtText.h"
#include "platform/ui/UiService.h"
#include "records/AclEditing.h"
#include "records/Application.h"
#include "records/ConsoleAccess.h"
#include "records/SecureGroup.h"
#include "roles/RoleList.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <exception>

namespace {

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
// The longest description and role name the page reads from its controls.
constexpr qsizetype kTextLimit = 255;

QLineEdit* ReadOnlyEdit(int id)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::number(id));
    edit->setReadOnly(true);
    return edit;
}

} // namespace

namespace zyr::pages {

std::string AccessIdText(std::string_view dn)
{
    std::string text = "KVT";
    if (dn.find('{') != std::string_view::npos) {
        if (dn.size() >= 2) {
            text.append(dn.substr(1, dn.size() - 2));
        }
        return text;
    }
    return text.append(dn);
}

AccessPanel::AccessPanel(const AccessPageLayout& layout, AccessTarget target,
                         std::function<void()> markChanged)
    : layout_(layout), target_(std::move(target)), markChanged_(std::move(markChanged)),
      guard_(std::make_unique<QObject>())
{
}

AccessPanel::~AccessPanel() = default;

QWidget* AccessPanel::Build(QWidget* parent)
{
    auto* page = new QWidget(parent);
    page_ = page;
    page->setObjectName(QString::number(layout_.dialog));
    auto* grid = new QGridLayout;
    name_ = ReadOnlyEdit(layout_.name);
    id_ = ReadOnlyEdit(layout_.id);
    description_ = new QLineEdit;
    description_->setObjectName(QString::number(layout_.description));
    roles_ = new QComboBox;
    roles_->setObjectName(QString::number(layout_.role));
    roles_->setEditable(false);
    int row = 0;
    for (auto [label, control] : {std::pair<const char*, QWidget*>{"&Name:", name_},
                                  {"&ID:", id_},
                                  {"&Description:", description_},
                                  {"&Role:", roles_}}) {
        auto* text = new QLabel(label);
        text->setBuddy(control);
        grid->addWidget(text, row, 0);
        grid->addWidget(control, row, 1);
        ++row;
    }
    list_ = NewPermissionList(layout_.list, true);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(grid);
    layout->addWidget(list_, 1);

    try {
        Fill();
    } catch (const std::exception&) {
        if (layout_.reportFillFailure) {
            zyr::ui::Ui().MessageBox(page, "Exception occured", LoadStringAnsi(IDS_PROJNAME), zyr::ui::MB_OK);
        }
    }

    QObject::connect(description_, &QLineEdit::textEdited, guard_.get(), [this] { markChanged_(); });
    QObject::connect(roles_, &QComboBox::currentIndexChanged, guard_.get(),
                     [this](int index) { OnRoleChanged(index); });
    // A checked or cleared permission is a change; filling the list is not.
    QObject::connect(list_, &QTreeWidget::itemChanged, guard_.get(), [this] {
        if (!filling_) {
            markChanged_();
        }
    });
    if (layout_.warnAtDescriptionLimit) {
        WatchMaxText(description_, [page = page_] { ShowMaxTextMessage(page.data()); });
    }
    return page;
}

void AccessPanel::Fill()
{
    filling_ = true;
    name_->setText(ToQString(target_.name));
    if (layout_.descriptionLimit > 0) {
        description_->setMaxLength(layout_.descriptionLimit);
    }
    id_->setText(ToQString(AccessIdText(target_.dn)));
    // Long texts are shown from their start.
    name_->setCursorPosition(0);
    id_->setCursorPosition(0);
    description_->setText(ToQString(target_.description->view()));

    // Every role of the list with the mask the record grants it; the combo
    // keeps the masks as the old values of the audit text.
    if (const CKVTRoleList* roleList = zyr::records::CurrentRoleList()) {
        for (const auto& role : roleList->Roles()) {
            if (!role) {
                break;
            }
            uint32_t mask = zyr::records::RoleMask(*target_.acl, role->CN.view());
            InsertSorted(roles_, ToQString(role->CN.view()), QVariant::fromValue(mask));
        }
    }
    if (roles_->count() > 0) {
        roles_->setCurrentIndex(0);
        currentRole_ = FromQString(roles_->itemText(0).left(kTextLimit));
    }

    for (const PermissionEntry& permission : *target_.permissions) {
        AddPermissionItem(list_, ToQString(permission.Name.view()), ToQString(permission.Value.view()));
    }
    ShowRights();
    if (list_->topLevelItemCount() > 0) {
        list_->scrollToItem(list_->topLevelItem(0));
    }
    AttachPointerTip(roles_, layout_.tipWidth, [combo = QPointer<QComboBox>(roles_)] {
        return combo ? combo->currentText() : QString();
    });
    filling_ = false;
}

uint32_t AccessPanel::RoleNumber(int index) const
{
    return roles_->itemData(index).toUInt();
}

void AccessPanel::ShowRights()
{
    bool wasFilling = filling_;
    filling_ = true;
    // Without a role nothing is granted (an entry with an empty role name is
    // no role's).
    uint32_t mask = currentRole_.empty() ? 0 : zyr::records::RoleMask(*target_.acl, currentRole_);
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        bool granted = (zyr::records::PermissionBits(FromQString(item->text(1))) & mask) != 0;
        item->setCheckState(0, granted ? Qt::Checked : Qt::Unchecked);
    }
    filling_ = wasFilling;
}

uint32_t AccessPanel::CheckedMask() const
{
    uint32_t mask = 0;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked) {
            mask |= zyr::records::PermissionBits(FromQString(item->text(1)));
        }
    }
    return mask;
}

void AccessPanel::OnRoleChanged(int index)
{
    if (filling_ || index < 0) {
        return;
    }
    // Showing another role changes nothing by itself.
    if (!currentRole_.empty()) {
        zyr::records::SetRoleMask(*target_.acl, currentRole_, CheckedMask());
    }
    currentRole_ = FromQString(roles_->itemText(index).left(kTextLimit));
    ShowRights();
}

bool AccessPanel::Unchanged() const
{
    if (FromQString(description_->text().left(kTextLimit)) != target_.description->view()) {
        return false;
    }
    if (!currentRole_.empty() && CheckedMask() != zyr::records::RoleMask(*target_.acl, currentRole_)) {
        return false;
    }
    for (int i = 0; i < roles_->count(); ++i) {
        const AccessEntry* entry =
            zyr::records::FindAccessEntry(*target_.acl, FromQString(roles_->itemText(i)));
        if (entry != nullptr && entry->Mask != RoleNumber(i)) {
            return false;
        }
    }
    return true;
}

BOOL AccessPanel::Apply()
{
    if (page_ != nullptr && Unchanged()) {
        return TRUE; // nothing changed, nothing sent
    }
    if (zyr::console::RefuseChangeWhenAuditNotFunctional()) {
        return FALSE;
    }
    zyr::records::Field<256>& description = *target_.description;
    const std::string oldDescription(description.view());
    description.Assign(FromQString(description_->text().left(kTextLimit)));
    if (!IsValidNameText(description.view())) {
        description.Assign(oldDescription);
        return FALSE;
    }
    if (roles_->currentIndex() < 0) {
        // Nothing is applied: the record keeps its description, so that the
        // next apply still reports the change.
        description.Assign(oldDescription);
        zyr::ui::Ui().MessageBox(ActiveOwner(page_.data()), LoadStringAnsi(IDS_INVALID_ROLE),
                                 LoadStringAnsi(IDS_PROJNAME), zyr::ui::MB_ICONERROR);
        return FALSE;
    }

    // The shown role gets exactly the checked permissions of the list.
    std::vector<zyr::audit::PermissionItem> items;
    uint32_t mask = 0;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        std::string name = FromQString(item->text(0));
        uint32_t bits = zyr::records::PermissionBits(FromQString(item->text(1)));
        items.push_back({name, bits});
        if (item->checkState(0) != Qt::Checked) {
            continue;
        }
        for (const PermissionEntry& permission : *target_.permissions) {
            if (permission.Name.view() == name) {
                mask |= bits;
                break;
            }
        }
    }
    const std::string role = FromQString(roles_->currentText().left(kTextLimit));
    if (!zyr::records::PassesLockoutGuard([&](zyr::records::ConsoleAccess& access) {
            if (access.Holds(*target_.acl)) {
                access.SetMask(role, mask);
            }
        })) {
        description.Assign(oldDescription);
        return FALSE;
    }
    zyr::records::SetRoleMask(*target_.acl, role, mask);

    // Every role whose mask differs from the one the combo remembers.
    std::vector<zyr::audit::RoleMaskChange> changes;
    for (int i = 0; i < roles_->count(); ++i) {
        std::string name = FromQString(roles_->itemText(i));
        const AccessEntry* entry = zyr::records::FindAccessEntry(*target_.acl, name);
        if (entry == nullptr || entry->Mask == RoleNumber(i)) {
            continue;
        }
        changes.push_back({name, RoleNumber(i), entry->Mask});
        roles_->setItemData(i, QVariant::fromValue(entry->Mask));
    }

    zyr::audit::AuditRenderings renderings =
        zyr::audit::AccessPageRenderings(oldDescription, std::string(description.view()), changes, items);
    if (target_.beforeUpdate) {
        target_.beforeUpdate();
    }
    *target_.auditText = zyr::audit::MakeAuditText(renderings);
    // The record reports its own failures; the sheet closes all the same.
    target_.update();
    return TRUE;
}

} // namespace zyr::pages

namespace {

zyr::pages::AccessPageLayout ApplLayout()
{
    zyr::pages::AccessPageLayout layout;
    layout.dialog = CApplPage::IDD;
    layout.name = 253;
    layout.id = 311;
    layout.description = 254;
    layout.role = 255;
    layout.list = 305;
    layout.descriptionLimit = 255;
    layout.tipWidth = 250;
    layout.reportFillFailure = true;
    return layout;
}

zyr::pages::AccessPageLayout GroupLayout()
{
    zyr::pages::AccessPageLayout layout;
    layout.dialog = CGroupPage::IDD;
    layout.name = 260;
    layout.id = 312;
    layout.description = 261;
    layout.role = 262;
    layout.list = 306;
    layout.tipWidth = 250;
    return layout;
}

zyr::pages::AccessPageLayout ObjectLayout()
{
    zyr::pages::AccessPageLayout layout;
    layout.dialog = CApplSecObjPage::IDD;
    layout.name = 232;
    layout.id = 313;
    layout.description = 231;
    layout.role = 228;
    layout.list = 307;
    layout.descriptionLimit = 1024;
    layout.tipWidth = 300;
    layout.warnAtDescriptionLimit = true;
    return layout;
}

// The target of a record's page: its name, identity, description, list and
// audit text, the permissions of its application, and its own update.
template <typename Record>
zyr::pages::AccessTarget RecordTarget(CKVTAppl* application, Record* record)
{
    zyr::pages::AccessTarget target;
    target.name = record->CN.view();
    target.dn = record->DN.view();
    target.description = &record->Description;
    target.acl = &record->ACL;
    target.permissions = &application->Permissions;
    target.auditText = &record->AuditText;
    target.update = [record] { return record->Update(); };
    return target;
}

zyr::pages::AccessTarget ApplTarget(CKVTAppl* application)
{
    return RecordTarget(application, application);
}

zyr::pages::AccessTarget GroupTarget(CKVTAppl* application, CKVTSecGroup* group)
{
    return RecordTarget(application, group);
}

zyr::pages::AccessTarget ObjectTarget(CKVTAppl* application, CKVTApplSecObj* object)
{
    zyr::pages::AccessTarget target = RecordTarget(application, object);
    // The page has no qualifier controls: an apply sends the object without
    // its qualifier and leaves the qualifier texts as they are.
    target.beforeUpdate = [object] { object->UseQ = 0; };
    return target;
}

} // namespace

CApplPage::CApplPage(LONG_PTR notifyHandle, CKVTAppl* application)
    : CAccessPageImpl(u"Application Properties", notifyHandle, ApplLayout(), ApplTarget(application),
                      application)
{
}

CGroupPage::CGroupPage(LONG_PTR notifyHandle, CKVTAppl* application, CKVTSecGroup* group)
    : CAccessPageImpl(u"SecureGroup Properties", notifyHandle, GroupLayout(), GroupTarget(application, group),
                      group)
{
}

CApplSecObjPage::CApplSecObjPage(LONG_PTR notifyHandle, CKVTAppl* application, CKVTApplSecObj* object)
    : CAccessPageImpl(u"Securable Object", notifyHandle, ObjectLayout(), ObjectTarget(application, object),
                      object)
{
}
