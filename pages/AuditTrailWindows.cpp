#include "pages/AuditTrailWindows.h"

#include "common/StringTable.h"
#include "console/framework/NodeHelpers.h"
#include "pages/QtText.h"
#include "platform/ui/UiService.h"
#include "records/AuditChange.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFont>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>

#include <new>

namespace {

using zyr::pages::FromQString;
using zyr::pages::ToQString;

constexpr const char* kTimeFormat = "yyyy-MM-dd HH:mm:ss";

// The kinds of record the server keeps, as the filter offers them.
struct Kind {
    const char* label;
    const char* object;
};
constexpr Kind kKinds[] = {
    {"(any)", ""},
    {"Application", "Appl"},
    {"Secure Group", "SecGroup"},
    {"Securable Object", "SecObj"},
    {"Role", "Role"},
    {"Log", "Log"},
    {"Import", "KVTAPI"},
    {"Event", "Audit"},
    {"Database", "Database"},
};

QDateTimeEdit* TimeEdit(const char* id, const std::string& text, const QDateTime& fallback)
{
    auto* edit = new QDateTimeEdit;
    edit->setObjectName(id);
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(kTimeFormat);
    QDateTime value = QDateTime::fromString(ToQString(text), kTimeFormat);
    edit->setDateTime(value.isValid() ? value : fallback);
    return edit;
}

} // namespace

CAuditFilterDlg::CAuditFilterDlg(zyr::records::AuditFilter filter) : m_filter(std::move(filter)) {}

bool CAuditFilterDlg::BuildDialog(QDialog& dialog)
{
    dialog.setObjectName("AuditFilter");
    dialog.setWindowTitle("Audit Trail Filter");
    auto* layout = new QVBoxLayout(&dialog);

    const QDateTime now = QDateTime::currentDateTime();
    auto* range = new QGroupBox("Time");
    auto* grid = new QGridLayout(range);
    useFrom_ = new QCheckBox("&From");
    useFrom_->setObjectName("UseFrom");
    useFrom_->setChecked(!m_filter.from.empty());
    from_ = TimeEdit("From", m_filter.from, QDateTime(now.date(), QTime(0, 0)));
    useTo_ = new QCheckBox("&To");
    useTo_->setObjectName("UseTo");
    useTo_->setChecked(!m_filter.to.empty());
    // The server's end is exclusive; the dialog shows the last second included.
    QDateTime to = QDateTime::fromString(ToQString(m_filter.to), kTimeFormat);
    to_ = TimeEdit("To", {}, to.isValid() ? to.addSecs(-1) : QDateTime(now.date(), QTime(23, 59, 59)));
    grid->addWidget(useFrom_, 0, 0);
    grid->addWidget(from_, 0, 1);
    grid->addWidget(useTo_, 1, 0);
    grid->addWidget(to_, 1, 1);
    layout->addWidget(range);
    from_->setEnabled(useFrom_->isChecked());
    to_->setEnabled(useTo_->isChecked());
    QObject::connect(useFrom_, &QCheckBox::toggled, from_, &QWidget::setEnabled);
    QObject::connect(useTo_, &QCheckBox::toggled, to_, &QWidget::setEnabled);

    auto* form = new QFormLayout;
    user_ = new QLineEdit(ToQString(m_filter.user));
    user_->setObjectName("User");
    user_->setPlaceholderText("DOMAIN\\account (any when empty)");
    user_->setMaxLength(255);
    kind_ = new QComboBox;
    kind_->setObjectName("Kind");
    for (const Kind& kind : kKinds) {
        kind_->addItem(kind.label, kind.object);
    }
    const int current = kind_->findData(ToQString(m_filter.object), Qt::UserRole, Qt::MatchFixedString);
    kind_->setCurrentIndex(current >= 0 ? current : 0);
    name_ = new QLineEdit(ToQString(m_filter.name));
    name_->setObjectName("Name");
    name_->setPlaceholderText("a part of the name (any when empty)");
    name_->setMaxLength(255);
    form->addRow("&User:", user_);
    form->addRow("&Object kind:", kind_);
    form->addRow("&Name contains:", name_);
    // The fields are wide enough for their hints to be read whole.
    for (QLineEdit* edit : {user_, name_}) {
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(edit->placeholderText()) + 24);
    }
    layout->addLayout(form);
    layout->addWidget(AddOkCancel(dialog));
    return true;
}

void CAuditFilterDlg::OnOK()
{
    if (useFrom_->isChecked() && useTo_->isChecked() && to_->dateTime() < from_->dateTime()) {
        zyr::ui::Ui().MessageBox(Dialog(), "The To time is before the From time.",
                                 zyr::LoadStringAnsi(zyr::IDS_PROJNAME),
                                 zyr::ui::MB_OK | zyr::ui::MB_ICONINFORMATION);
        return;
    }
    m_filter.from =
        useFrom_->isChecked() ? FromQString(from_->dateTime().toString(kTimeFormat)) : std::string();
    m_filter.to =
        useTo_->isChecked() ? FromQString(to_->dateTime().addSecs(1).toString(kTimeFormat)) : std::string();
    m_filter.user = FromQString(user_->text().trimmed());
    m_filter.object = FromQString(kind_->currentData().toString());
    m_filter.name = FromQString(name_->text().trimmed());
    EndDialog(zyr::ui::IDOK);
}

CAuditRecordPage::CAuditRecordPage(LONG_PTR notifyHandle, zyr::records::AuditEntry entry)
    : CSnapInPropertyPageImpl<CAuditRecordPage>(u"Audit Record", notifyHandle), entry_(std::move(entry))
{
}

QWidget* CAuditRecordPage::CreatePage(QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setObjectName("AuditRecord");
    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    const std::pair<const char*, const std::string*> fields[] = {
        {"Time:", &entry_.time},         {"User:", &entry_.user},           {"Computer:", &entry_.computer},
        {"Object:", &entry_.object},     {"Operation:", &entry_.operation}, {"Name:", &entry_.name},
        {"Identity:", &entry_.identity},
    };
    for (const auto& [label, text] : fields) {
        auto* value = new QLabel(ToQString(*text));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label, value);
    }
    layout->addLayout(form);

    const std::vector<zyr::records::ValueRow> rows =
        zyr::records::CompareAuditValues(entry_.oldValue, entry_.newValue);
    if (rows.empty()) {
        auto* none =
            new QLabel("This record holds no old or new values (an addition, a deletion or an import).");
        none->setWordWrap(true);
        layout->addWidget(none);
        layout->addStretch();
        return page;
    }
    auto* table = new QTableWidget(static_cast<int>(rows.size()), 3);
    table->setObjectName("Values");
    table->setHorizontalHeaderLabels({"Field", "Old Value", "New Value"});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setWordWrap(true);
    // Differences are marked: the old value on red, the new on green, in bold.
    const QColor removed(255, 225, 225);
    const QColor added(225, 245, 225);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const zyr::records::ValueRow& row = rows[static_cast<size_t>(r)];
        const QString texts[] = {ToQString(row.field), ToQString(row.before), ToQString(row.after)};
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            item->setToolTip(texts[c]);
            if (c > 0 && row.Differs()) {
                QFont font = item->font();
                font.setBold(true);
                item->setFont(font);
                item->setBackground(c == 1 ? removed : added);
            }
            table->setItem(r, c, item);
        }
    }
    table->resizeColumnsToContents();
    table->resizeRowsToContents();
    layout->addWidget(table, 1);
    return page;
}

namespace zyr::pages {

bool AuditTrailWindows::RunAuditFilterDialog(HWND parent, zyr::records::AuditFilter& filter)
{
    CAuditFilterDlg dialog(filter);
    if (dialog.DoModal(parent) != zyr::ui::IDOK) {
        return false;
    }
    filter = dialog.m_filter;
    return true;
}

HRESULT AuditTrailWindows::AddAuditRecordPage(const zyr::records::AuditEntry& entry,
                                              IPropertySheetCallback* callback, LONG_PTR notifyHandle)
{
    return zyr::console::AddPropertyPage(callback, new (std::nothrow) CAuditRecordPage(notifyHandle, entry));
}

void InstallAuditTrailWindows()
{
    static AuditTrailWindows windows;
    zyr::console::SetAuditTrailUi(&windows);
}

} // namespace zyr::pages
