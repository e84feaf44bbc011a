// The member list of the role member pages: one column without title, one
// item per member with the member's name as text and an image that says what
// the member is. The image is what an apply reads back.
#pragma once

#include <QTreeWidget>

#include <string>
#include <string_view>
#include <vector>

namespace zyr::pages {

// The pictures of the member lists.
enum class MemberPicture { Everyone, Group, User };
QIcon MemberIcon(MemberPicture picture);

// A report-style list with one column of the given width and several items
// selectable at once.
QTreeWidget* CreateMemberList(const char* objectName, int columnWidth);

// Inserts text at the top with the image index (drawn as picture) unless an
// item with the same text, without regard to case, and the same image is
// there. True when inserted.
bool InsertMemberAtTop(QTreeWidget* list, std::string_view text, int image, MemberPicture picture);
// Appends an item (filling the list).
void AppendMember(QTreeWidget* list, std::string_view text, int image, MemberPicture picture);

struct MemberItem {
    std::string text; // at most 255 bytes
    int image = -1;
};
// The items in list order.
std::vector<MemberItem> MemberItems(const QTreeWidget* list);
// Deletes every selected item.
void DeleteSelectedMembers(QTreeWidget* list);

} // namespace zyr::pages
