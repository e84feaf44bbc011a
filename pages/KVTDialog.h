// The base of the New dialogs: a modal dialog whose OK handler decides
// whether the input is accepted. The derived dialog T builds its controls and
// judges the input:
//
//   bool BuildDialog(QDialog& dialog);  // false when it cannot be set up
//   void OnOK();                        // calls EndDialog(IDOK) to accept
//
// The entered texts stay in the dialog object for the caller to read after
// DoModal returns.
#pragma once

#include "platform/mmc/ConsoleTypes.h"
#include "platform/ui/UiService.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

template <typename T>
class CKVTDialog {
public:
    virtual ~CKVTDialog() = default;

    // Shows the dialog modally over parent (the active window when null):
    // IDOK when OnOK accepted the input, IDCANCEL when it was cancelled, -1
    // when the dialog could not be set up.
    int DoModal(HWND parent = nullptr, LPARAM initParam = 0)
    {
        (void)initParam;
        if (QApplication::instance() == nullptr) {
            return -1;
        }
        QWidget* owner = parent != nullptr ? static_cast<QWidget*>(parent) : QApplication::activeWindow();
        QDialog dialog(owner);
        dialog_ = &dialog;
        if (!static_cast<T*>(this)->BuildDialog(dialog)) {
            dialog_ = nullptr;
            return -1;
        }
        int code = dialog.exec() == QDialog::Accepted ? zyr::ui::IDOK : zyr::ui::IDCANCEL;
        dialog_ = nullptr;
        return code;
    }

protected:
    void EndDialog(int code)
    {
        if (dialog_ == nullptr) {
            return;
        }
        if (code == zyr::ui::IDOK) {
            dialog_->accept();
        } else {
            dialog_->reject();
        }
    }

    // The OK and Cancel buttons (ids 1 and 2): OK runs T::OnOK, Cancel ends
    // the dialog with IDCANCEL.
    QDialogButtonBox* AddOkCancel(QDialog& dialog)
    {
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
        buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog,
                         [this] { static_cast<T*>(this)->OnOK(); });
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog,
                         [this] { EndDialog(zyr::ui::IDCANCEL); });
        return buttons;
    }

    // The dialog while it is shown; null otherwise. It owns its boxes.
    QDialog* Dialog() const { return dialog_; }

private:
    QDialog* dialog_ = nullptr;
};
