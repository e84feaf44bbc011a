// A dialog that a dialog object owns and builds afresh each time it opens.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

namespace zyr::pages {

// Destroys the dialog owned before and makes a new one over parent, named
// objectName and titled title, as the one owned; null (nothing changed)
// without an application to show it in.
QDialog* RenewOwnedDialog(QPointer<QDialog>& owned, QWidget* parent, const QString& objectName,
                          const QString& title);

} // namespace zyr::pages
