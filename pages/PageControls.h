// Control behaviour that the application-side pages and dialogs share: the
// owner of their message boxes, the "too long" notice of limited edits,
// sorted drop-down lists and the tip that follows the pointer over a combo.
#pragma once

#include "platform/ui/UiService.h"

#include <QString>
#include <QVariant>

#include <functional>

class QComboBox;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace zyr::pages {

// The window that owns a box "owned by the active window": the toolkit's
// active window, else fallback.
zyr::ui::OwnerWindow ActiveOwner(QWidget* fallback);

// Calls onMaxText whenever the operator types or pastes into a full edit
// (the edit's limit is its maximum length): the edit-control's EN_MAXTEXT.
void WatchMaxText(QLineEdit* edit, std::function<void()> onMaxText);

// String 32820 ("Only 255 characters are allowed.") with the product caption.
void ShowMaxTextMessage(zyr::ui::OwnerWindow owner, unsigned style = zyr::ui::MB_OK);

// Inserts an entry into a sorted drop-down list: before the first entry that
// compares greater without regard to case. Returns its index.
int InsertSorted(QComboBox* combo, const QString& text, const QVariant& data = {});

// While the pointer moves over the combo, a tip at the pointer shows the text
// that tipText gives at that moment, wrapped at width pixels.
void AttachPointerTip(QComboBox* combo, int width, std::function<QString()> tipText);

// A permission list view: report view, single selection that stays visible,
// grid lines, columns "Name" and "Value" of 100 pixels; with check boxes when
// asked.
QTreeWidget* NewPermissionList(int id, bool checkBoxes);
// Appends a permission (name, value text); checkable lists get it unchecked.
QTreeWidgetItem* AddPermissionItem(QTreeWidget* list, const QString& name, const QString& value);

} // namespace zyr::pages
