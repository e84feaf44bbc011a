#include "pages/RoleGenPage.h"

#include "audit/AuditTexts.h"
#include "common/QueryEscape.h"
#include "console/framework/AuditGuard.h"
#include "pages/QtText.h"
#include "platform/text/BoundedText.h"
#include "roles/Role.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

} // namespace

CRoleGenPage::CRoleGenPage(LONG_PTR notifyHandle, CKVTRole* role, LPARAM changeParam)
    : CSnapInPropertyPageImpl<CRoleGenPage>(u"General", notifyHandle), m_pRole(role),
      changeParam_(changeParam)
{
}

QWidget* CRoleGenPage::CreatePage(QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setObjectName(QString::number(IDD));
    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    name_ = new QLineEdit;
    name_->setObjectName("238");
    name_->setReadOnly(true);
    description_ = new QLineEdit;
    description_->setObjectName("239");
    description_->setMaxLength(254);
    form->addRow("&Name:", name_);
    form->addRow("&Description:", description_);
    layout->addLayout(form);
    layout->addStretch(1);

    // WM_INITDIALOG.
    if (m_pRole != nullptr) {
        name_->setText(zyr::pages::ToQString(m_pRole->CN.view()));
        description_->setText(zyr::pages::ToQString(m_pRole->Description.view()));
    }
    MarkChangedOnEdit(description_);
    return page;
}

BOOL CRoleGenPage::Apply()
{
    if (m_pRole == nullptr || description_ == nullptr) {
        MMCPropertyChangeNotify(m_lNotifyHandle, changeParam_);
        return TRUE;
    }
    const std::string oldDescription(m_pRole->Description.view());
    // At most 254 characters, as the page always read them.
    const std::string newDescription =
        zyr::text::BoundedText<255>(zyr::pages::FromQString(description_->text())).str();
    if (!IsValidNameText(newDescription)) {
        return FALSE;
    }
    std::optional<zyr::audit::AuditRenderings> renderings =
        zyr::audit::RoleDescriptionRenderings(oldDescription, newDescription);
    if (!renderings) {
        return TRUE; // nothing changed, nothing sent
    }
    if (zyr::console::RefuseChangeWhenAuditNotFunctional()) {
        return FALSE;
    }
    m_pRole->Description = newDescription;
    m_pRole->AuditText = zyr::audit::MakeAuditText(*renderings);
    // Update shows its own messages; the sheet closes whatever it answers and
    // the new description stays in memory.
    m_pRole->Update();
    // After the record holds the new text, so that the redrawn item shows it.
    MMCPropertyChangeNotify(m_lNotifyHandle, changeParam_);
    return TRUE;
}
