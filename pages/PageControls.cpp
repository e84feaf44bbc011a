#include "pages/PageControls.h"

#include "common/StringTable.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolTip>
#include <QTreeWidget>

namespace zyr::pages {
namespace {

class MaxTextWatch : public QObject {
public:
    MaxTextWatch(QLineEdit* edit, std::function<void()> onMaxText)
        : QObject(edit), edit_(edit), onMaxText_(std::move(onMaxText))
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == edit_ && event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            qsizetype adding = 0;
            if (key->matches(QKeySequence::Paste)) {
                adding = QApplication::clipboard()->text().size();
            } else if (!key->text().isEmpty() && key->text().at(0).isPrint()) {
                adding = key->text().size();
            }
            qsizetype room = edit_->maxLength() - (edit_->text().size() - edit_->selectedText().size());
            if (adding > 0 && adding > room) {
                onMaxText_();
            }
        }
        return false;
    }

private:
    QLineEdit* edit_;
    std::function<void()> onMaxText_;
};

class PointerTip : public QObject {
public:
    PointerTip(QComboBox* combo, int width, std::function<QString()> tipText)
        : QObject(combo), combo_(combo), width_(width), tipText_(std::move(tipText))
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != combo_) {
            return false;
        }
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            Show(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
            return false;
        case QEvent::ToolTip:
            // The tip follows the pointer already; the toolkit's own tip would
            // show the combo's static text.
            return true;
        case QEvent::Leave:
            QToolTip::hideText();
            return false;
        default:
            return false;
        }
    }

private:
    void Show(const QPoint& at)
    {
        QString text = tipText_();
        if (text.isEmpty()) {
            QToolTip::hideText();
            return;
        }
        if (QFontMetrics(QToolTip::font()).horizontalAdvance(text) > width_) {
            text = QString("<table width=\"%1\"><tr><td>%2</td></tr></table>")
                       .arg(width_)
                       .arg(text.toHtmlEscaped());
        }
        // A one-pixel rectangle at the pointer: the tip moves with it.
        QToolTip::showText(at, text, combo_, QRect(combo_->mapFromGlobal(at), QSize(1, 1)));
    }

    QComboBox* combo_;
    int width_;
    std::function<QString()> tipText_;
};

} // namespace

zyr::ui::OwnerWindow ActiveOwner(QWidget* fallback)
{
    QWidget* active = QApplication::activeWindow();
    return active != nullptr ? active : fallback;
}

void WatchMaxText(QLineEdit* edit, std::function<void()> onMaxText)
{
    edit->installEventFilter(new MaxTextWatch(edit, std::move(onMaxText)));
}

void ShowMaxTextMessage(zyr::ui::OwnerWindow owner, unsigned style)
{
    zyr::ui::Ui().MessageBox(owner, LoadStringAnsi(IDS_ONLY_255_CHARACTERS), LoadStringAnsi(IDS_PROJNAME),
                             style);
}

int InsertSorted(QComboBox* combo, const QString& text, const QVariant& data)
{
    int at = 0;
    while (at < combo->count() && QString::compare(combo->itemText(at), text, Qt::CaseInsensitive) <= 0) {
        ++at;
    }
    combo->insertItem(at, text, data);
    return at;
}

void AttachPointerTip(QComboBox* combo, int width, std::function<QString()> tipText)
{
    combo->setMouseTracking(true);
    combo->installEventFilter(new PointerTip(combo, width, std::move(tipText)));
}

QTreeWidget* NewPermissionList(int id, bool checkBoxes)
{
    auto* list = new QTreeWidget;
    list->setObjectName(QString::number(id));
    list->setColumnCount(2);
    list->setHeaderLabels({"Name", "Value"});
    // Names and values show whole: the columns follow what they hold.
    list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    list->header()->setMinimumSectionSize(100);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setAllColumnsShowFocus(true);
    list->setStyleSheet(
        "QTreeView::item { border-right: 1px solid #d0d0d0; border-bottom: 1px solid #d0d0d0; }");
    list->setProperty("checkBoxes", checkBoxes);
    return list;
}

QTreeWidgetItem* AddPermissionItem(QTreeWidget* list, const QString& name, const QString& value)
{
    auto* item = new QTreeWidgetItem(QStringList{name, value});
    if (list->property("checkBoxes").toBool()) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
    } else {
        item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
    }
    list->addTopLevelItem(item);
    return item;
}

} // namespace zyr::pages
