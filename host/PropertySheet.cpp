#include "host/PropertySheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace zyr::host {

namespace {

QString ToQString(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

PropertySheet::PropertySheet(ConsoleSession& session, SheetRequest request, QWidget* parent)
    : QDialog(parent), session_(session), request_(std::move(request))
{
    setObjectName(QStringLiteral("propertySheet"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(ToQString(request_.title));
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    layout->addWidget(tabs_);
    for (IPropertyPage* page : request_.pages) {
        auto* holder = new QWidget(tabs_);
        auto* holderLayout = new QVBoxLayout(holder);
        holderLayout->setContentsMargins(0, 0, 0, 0);
        auto* window = static_cast<QWidget*>(page->CreatePageWindow(holder, this));
        if (window != nullptr) {
            holderLayout->addWidget(window);
        }
        tabs_->addTab(holder, ToQString(page->Title()));
    }
    buttons_ =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    layout->addWidget(buttons_);
    ApplyButton()->setEnabled(false);
    connect(buttons_, &QDialogButtonBox::accepted, this, &PropertySheet::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &PropertySheet::reject);
    connect(ApplyButton(), &QPushButton::clicked, this, [this] {
        if (ApplyAll()) {
            ApplyButton()->setEnabled(false);
        }
    });
    // Every tab shows its whole title, and the sheet opens at the size its
    // pages ask for, at least a readable width; it can be made larger.
    tabs_->setUsesScrollButtons(false);
    tabs_->setElideMode(Qt::ElideNone);
    setSizeGripEnabled(true);
    const QSize wanted = sizeHint();
    resize(std::max(wanted.width(), fontMetrics().averageCharWidth() * 80),
           std::max(wanted.height(), fontMetrics().height() * 28));
    shown_.assign(request_.pages.size(), false);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) { Show(index); });
    Show(0);
}

void PropertySheet::Show(int index)
{
    if (index < 0 || index >= static_cast<int>(request_.pages.size())) {
        return;
    }
    shown_[static_cast<size_t>(index)] = true;
    request_.pages[static_cast<size_t>(index)]->OnSetActive();
}

PropertySheet::~PropertySheet()
{
    End();
}

QPushButton* PropertySheet::ApplyButton() const
{
    return buttons_->button(QDialogButtonBox::Apply);
}

void PropertySheet::PageChanged(IPropertyPage*)
{
    ApplyButton()->setEnabled(true);
}

bool PropertySheet::ApplyAll()
{
    // A page the administrator never opened holds nothing of theirs to apply.
    for (size_t i = 0; i < request_.pages.size(); ++i) {
        if (!shown_[i]) {
            continue;
        }
        if (!request_.pages[i]->OnApply()) {
            tabs_->setCurrentIndex(static_cast<int>(i));
            return false;
        }
    }
    return true;
}

void PropertySheet::accept()
{
    if (!ApplyAll()) {
        return;
    }
    End();
    QDialog::accept();
}

void PropertySheet::reject()
{
    if (!ended_) {
        for (IPropertyPage* page : request_.pages) {
            page->OnCancel();
        }
    }
    End();
    QDialog::reject();
}

void PropertySheet::End()
{
    if (ended_) {
        return;
    }
    ended_ = true;
    // The pages go first: their windows are children of the tabs.
    session_.EndSheet(request_);
}

} // namespace zyr::host
