#include "pages/StatusDlg.h"

#include "pages/QtText.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

CStatusDlg::~CStatusDlg()
{
    delete dialog_.data();
}

std::unique_ptr<CStatusDlg> CStatusDlg::Open(HWND parent)
{
    if (QApplication::instance() == nullptr) {
        return nullptr;
    }
    std::unique_ptr<CStatusDlg> status(new CStatusDlg());
    auto* dialog = new QDialog(static_cast<QWidget*>(parent),
                               Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    dialog->setObjectName(QString::number(IDD));
    dialog->setWindowTitle("Status Dialog");
    dialog->setModal(false);
    // 186 x 55 dialog units.
    dialog->resize(280, 90);
    auto* layout = new QVBoxLayout(dialog);
    status->status_ = new QLabel;
    status->status_->setObjectName("314");
    status->status_->setWordWrap(true);
    layout->addWidget(status->status_);
    status->dialog_ = dialog;
    dialog->show();
    QApplication::processEvents();
    return status;
}

void CStatusDlg::ShowStep(std::string_view text)
{
    m_strStatus.assign(text);
    if (status_ != nullptr && dialog_ != nullptr) {
        status_->setText(zyr::pages::ToQString(m_strStatus));
        dialog_->repaint();
    }
    QApplication::processEvents();
}
