#include "pages/OwnedDialog.h"

#include <QApplication>

namespace zyr::pages {

QDialog* RenewOwnedDialog(QPointer<QDialog>& owned, QWidget* parent, const QString& objectName,
                          const QString& title)
{
    if (QApplication::instance() == nullptr) {
        return nullptr;
    }
    delete owned.data();
    auto* dialog = new QDialog(parent);
    owned = dialog;
    dialog->setObjectName(objectName);
    dialog->setWindowTitle(title);
    return dialog;
}

} // namespace zyr::pages
