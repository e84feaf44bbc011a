#include "pages/PermPage.h"

#include "audit/AuditTexts.h"
#include "common/QueryEscape.h"
#include "common/StringTable.h"
#include "console/framework/AuditGuard.h"
#include "pages/PageControls.h"
#include "pages/QtText.h"
#include "platform/text/CodePage.h"
#include "records/AclEditing.h"
#include "records/Application.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <vector>

namespace {

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr int kNameLimit = 255;

QPushButton* Button(const char* text, int id)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QString::number(id));
    button->setAutoDefault(false);
    return button;
}

// The value text as the combo writes it: the value read as base 16.
QString ComboText(const QString& valueText)
{
    return zyr::pages::ToQString(
        zyr::records::PermissionValueText(zyr::records::PermissionBits(zyr::pages::FromQString(valueText))));
}

} // namespace

CPermPage::CPermPage(LONG_PTR notifyHandle, CKVTAppl* application)
    : CSnapInPropertyPageImpl<CPermPage>(u"Permission Properties", notifyHandle), application_(application),
      guard_(std::make_unique<QObject>())
{
}

QWidget* CPermPage::CreatePage(QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setObjectName(QString::number(IDD));
    list_ = zyr::pages::NewPermissionList(291, false);

    name_ = new QLineEdit;
    name_->setObjectName("292");
    values_ = new QComboBox;
    values_->setObjectName("340");
    values_->setEditable(false);
    auto* grid = new QGridLayout;
    auto* nameLabel = new QLabel("Name:");
    nameLabel->setBuddy(name_);
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(name_, 0, 1, 1, 2);
    auto* valueLabel = new QLabel("Value:");
    valueLabel->setBuddy(values_);
    grid->addWidget(valueLabel, 1, 0);
    grid->addWidget(values_, 1, 1);
    grid->addWidget(new QLabel("Hexadecimal"), 1, 2);

    auto* buttons = new QHBoxLayout;
    QPushButton* add = Button("Add", 293);
    QPushButton* update = Button("Update", 302);
    QPushButton* remove = Button("Delete", 301);
    buttons->addStretch(1);
    buttons->addWidget(add);
    buttons->addWidget(update);
    buttons->addWidget(remove);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(list_, 1);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    QObject::connect(add, &QPushButton::clicked, guard_.get(), [this] { OnAdd(); });
    QObject::connect(update, &QPushButton::clicked, guard_.get(), [this] { OnUpdate(); });
    QObject::connect(remove, &QPushButton::clicked, guard_.get(), [this] { OnDelete(); });
    zyr::pages::WatchMaxText(name_, [page] { zyr::pages::ShowMaxTextMessage(page, zyr::ui::MB_OK); });

    Fill();
    return page;
}

void CPermPage::Fill()
{
    for (int bit = 0; bit < kOfferedBits; ++bit) {
        zyr::pages::InsertSorted(values_,
                                 zyr::pages::ToQString(zyr::records::PermissionValueText(1u << bit)));
    }
    for (const PermissionEntry& permission : application_->Permissions) {
        QString value = zyr::pages::ToQString(permission.Value.view());
        zyr::pages::AddPermissionItem(list_, zyr::pages::ToQString(permission.Name.view()), value);
        int used = values_->findText(ComboText(value), Qt::MatchStartsWith);
        if (used >= 0) {
            values_->removeItem(used);
        }
    }
    values_->setCurrentIndex(values_->count() > 0 ? 0 : -1);
    name_->setMaxLength(kNameLimit);
    if (list_->topLevelItemCount() > 0) {
        list_->scrollToItem(list_->topLevelItem(0));
    }
}

zyr::ui::OwnerWindow CPermPage::Owner() const
{
    return zyr::pages::ActiveOwner(PageWidget());
}

QTreeWidgetItem* CPermPage::SelectedItem() const
{
    QList<QTreeWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

bool CPermPage::CheckName(const QTreeWidgetItem* excluded, QString& name) const
{
    name = name_->text().left(kNameLimit);
    const std::string entered = zyr::pages::FromQString(name);
    if (entered.empty() || !IsValidNameText(entered)) {
        return false;
    }
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list_->topLevelItem(i);
        if (item != excluded && zyr::text::EqualsNoCase(zyr::pages::FromQString(item->text(0)), entered)) {
            zyr::ui::Ui().MessageBox(Owner(),
                                     "Permission '" + entered + "' Already Exists. Please use another Name.",
                                     zyr::LoadStringAnsi(zyr::IDS_PROJNAME), zyr::ui::MB_ICONINFORMATION);
            return false;
        }
    }
    return true;
}

void CPermPage::TakeChosenValue()
{
    values_->removeItem(values_->currentIndex());
    values_->setCurrentIndex(values_->count() > 0 ? 0 : -1);
}

void CPermPage::OfferValue(const QString& valueText)
{
    uint32_t bits = zyr::records::PermissionBits(zyr::pages::FromQString(valueText));
    // Only the bits the combo offers at all, once, and only while no other
    // permission of the page still holds the value: a bit offered twice, or
    // while in use, would give two permissions the same bit.
    bool offered = bits != 0 && (bits & (bits - 1)) == 0 && bits < (1u << kOfferedBits);
    QString text = ComboText(valueText);
    if (!offered || values_->findText(text, Qt::MatchFixedString) >= 0) {
        return;
    }
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        if (ComboText(list_->topLevelItem(i)->text(1)) == text) {
            return;
        }
    }
    zyr::pages::InsertSorted(values_, text);
}

void CPermPage::OnAdd()
{
    if (values_->count() == 0) {
        zyr::ui::Ui().MessageBox(Owner(), zyr::LoadStringAnsi(zyr::IDS_MAX_32_PERMISSIONS),
                                 zyr::LoadStringAnsi(zyr::IDS_PROJNAME), zyr::ui::MB_ICONINFORMATION);
        return;
    }
    QString name;
    if (!CheckName(nullptr, name)) {
        return;
    }
    zyr::pages::AddPermissionItem(list_, name, values_->currentText());
    TakeChosenValue();
    SetModified();
}

void CPermPage::OnUpdate()
{
    QTreeWidgetItem* item = SelectedItem();
    if (item == nullptr) {
        return;
    }
    QString name;
    if (!CheckName(item, name)) {
        return;
    }
    item->setText(0, name);
    SetModified();
    if (values_->count() == 0) {
        // Every offered bit is in use: the permission is renamed and keeps
        // its bit, the only valid value left to it.
        return;
    }
    const QString previous = item->text(1);
    item->setText(1, values_->currentText());
    TakeChosenValue();
    OfferValue(previous);
}

void CPermPage::OnDelete()
{
    QTreeWidgetItem* item = SelectedItem();
    if (item == nullptr) {
        return;
    }
    const QString value = item->text(1);
    uint32_t bits = zyr::records::PermissionBits(zyr::pages::FromQString(value));
    if (zyr::records::IsGrantedInGroupsOrObjects(*application_, bits) &&
        zyr::ui::Ui().MessageBox(Owner(), kDeleteWarning, "ZYR Security",
                                 zyr::ui::MB_ICONWARNING | zyr::ui::MB_YESNO) != zyr::ui::IDYES) {
        return;
    }
    delete item;
    OfferValue(value);
    SetModified();
}

BOOL CPermPage::Apply()
{
    std::vector<zyr::audit::PermissionText> before;
    for (const PermissionEntry& permission : application_->Permissions) {
        before.push_back({std::string(permission.Name.view()), std::string(permission.Value.view())});
    }
    std::vector<PermissionEntry> listed;
    std::vector<zyr::audit::PermissionText> after;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list_->topLevelItem(i);
        const PermissionEntry& permission = listed.emplace_back(zyr::pages::FromQString(item->text(0)),
                                                                zyr::pages::FromQString(item->text(1)));
        after.push_back({std::string(permission.Name.view()), std::string(permission.Value.view())});
    }
    if (after == before) {
        return TRUE; // nothing changed, nothing sent
    }
    if (zyr::console::RefuseChangeWhenAuditNotFunctional()) {
        return FALSE;
    }
    application_->Permissions = std::move(listed);
    application_->AuditText = zyr::audit::MakeAuditText(zyr::audit::PermissionPageRenderings(before, after));
    // The application reports its own failures; the sheet closes all the same.
    application_->Update();
    if (m_lNotifyHandle != 0) {
        MMCPropertyChangeNotify(m_lNotifyHandle, reinterpret_cast<LPARAM>(application_));
    }
    return TRUE;
}
