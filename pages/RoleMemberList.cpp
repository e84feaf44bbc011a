#include "pages/RoleMemberList.h"

#include "pages/QtText.h"
#include "platform/text/BoundedText.h"

#include <QHeaderView>
#include <QPainter>
#include <QPixmap>

namespace zyr::pages {

namespace {

// A 16×16 picture on a clear ground, drawn smoothly by draw.
template <typename Draw>
QIcon Painted(Draw draw)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    painter.end();
    return QIcon(pixmap);
}

} // namespace

// Small pictures drawn once: a globe for Everyone, two heads for a group, one
// head for a user.
QIcon MemberIcon(MemberPicture picture)
{
    static const QIcon icons[] = {Painted([](QPainter& painter) {
                                      painter.setPen(QPen(QColor(0, 90, 160), 1.2));
                                      painter.setBrush(QColor(120, 190, 240));
                                      painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
                                      painter.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
                                      painter.setBrush(Qt::NoBrush);
                                      painter.drawEllipse(QRectF(5, 1.5, 6, 13));
                                  }),
                                  Painted([](QPainter& painter) {
                                      painter.setPen(Qt::NoPen);
                                      painter.setBrush(QColor(70, 110, 170));
                                      painter.drawEllipse(QRectF(8, 1, 5, 5));
                                      painter.drawChord(QRectF(6, 6, 9, 10), 0, 180 * 16);
                                      painter.setBrush(QColor(40, 140, 90));
                                      painter.drawEllipse(QRectF(2, 3, 5, 5));
                                      painter.drawChord(QRectF(0, 8, 9, 10), 0, 180 * 16);
                                  }),
                                  Painted([](QPainter& painter) {
                                      painter.setPen(Qt::NoPen);
                                      painter.setBrush(QColor(40, 140, 90));
                                      painter.drawEllipse(QRectF(5, 1, 6, 6));
                                      painter.drawChord(QRectF(2, 7, 12, 12), 0, 180 * 16);
                                  })};
    return icons[static_cast<int>(picture)];
}

namespace {

constexpr int kImageRole = Qt::UserRole;

QTreeWidgetItem* MakeItem(std::string_view text, int image, MemberPicture picture)
{
    auto* item = new QTreeWidgetItem;
    QString shown = ToQString(text);
    item->setText(0, shown);
    item->setToolTip(0, shown);
    item->setIcon(0, MemberIcon(picture));
    item->setData(0, kImageRole, image);
    return item;
}

} // namespace

QTreeWidget* CreateMemberList(const char* objectName, int columnWidth)
{
    auto* list = new QTreeWidget;
    list->setObjectName(objectName);
    list->setColumnCount(1);
    list->setHeaderHidden(true);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setColumnWidth(0, columnWidth);
    list->header()->setStretchLastSection(true);
    return list;
}

bool InsertMemberAtTop(QTreeWidget* list, std::string_view text, int image, MemberPicture picture)
{
    const QString shown = ToQString(text);
    // A user and a group of one name are two members.
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        if (item->text(0).compare(shown, Qt::CaseInsensitive) == 0 &&
            item->data(0, kImageRole).toInt() == image) {
            return false;
        }
    }
    list->insertTopLevelItem(0, MakeItem(text, image, picture));
    return true;
}

void AppendMember(QTreeWidget* list, std::string_view text, int image, MemberPicture picture)
{
    list->addTopLevelItem(MakeItem(text, image, picture));
}

std::vector<MemberItem> MemberItems(const QTreeWidget* list)
{
    std::vector<MemberItem> items;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        MemberItem member;
        member.text = zyr::text::BoundedText<256>(FromQString(item->text(0))).str();
        bool ok = false;
        int image = item->data(0, kImageRole).toInt(&ok);
        member.image = ok ? image : -1;
        items.push_back(std::move(member));
    }
    return items;
}

void DeleteSelectedMembers(QTreeWidget* list)
{
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    for (QTreeWidgetItem* item : selected) {
        delete item;
    }
}

} // namespace zyr::pages
