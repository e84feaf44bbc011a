// The access page against the reference server with its demo data: the
// roles and the application as the console fetches them, an apply, and what
// the server keeps of it (the access-control list and the audit record).
#include "pages/AccessPages.h"
#include "pages/PermPage.h"

#include "console/framework/AuditGuard.h"
#include "records/Application.h"
#include "tests/pages/QtTestApp.h"
#include "tests/roles/RecordsFixture.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTreeWidget>

#include <cstring>

namespace zyr::testing {
namespace {

std::string XmlText(std::string text)
{
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [entity, plain] : entities) {
        for (size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1)) {
            text.replace(at, std::strlen(entity), plain);
        }
    }
    return text;
}

// The text of the first element of that tag in an XML reply.
std::string FirstElementText(const std::string& xml, const std::string& tag)
{
    size_t open = xml.find("<" + tag + ">");
    size_t close = xml.find("</" + tag + ">");
    if (open == std::string::npos || close == std::string::npos) {
        return {};
    }
    open += tag.size() + 2;
    return XmlText(xml.substr(open, close - open));
}

std::string AclText(const std::vector<AccessEntry>& acl)
{
    return zyr::records::AccessListText(acl);
}

class AccessPagesServerTest : public RecordsFixture {
protected:
    void SetUp() override
    {
        RecordsFixture::SetUp();
        QtTestApp();
        zyr::console::SetAuditCheck([] { return false; });
    }
    void TearDown() override
    {
        zyr::console::ResetAuditCheck();
        RecordsFixture::TearDown();
    }
};

TEST_F(AccessPagesServerTest, AnApplyChangesTheServersListAndAuditTrail)
{
    ZYR_USE_REFERENCE_SERVER();
    CKVTRoleList roles;
    roles.GetRoles();
    ASSERT_EQ(roles.Roles().size(), 5u);
    std::string dn;
    {
        CKVTApplList list;
        FetchApplications(list);
        CKVTAppl* historian = list.FindByNameOrDN("Plant Historian");
        ASSERT_NE(historian, nullptr);
        dn = historian->DN.str();

        CApplPage page(0, historian);
        std::unique_ptr<QWidget> widget(page.CreatePage(nullptr));
        auto& panel = page.Panel();
        QComboBox* combo = panel.RoleCombo();
        ASSERT_EQ(combo->itemText(0), "Engineers");
        QTreeWidget* permissions = panel.PermissionList();
        ASSERT_EQ(permissions->topLevelItemCount(), 6);
        // Engineers lose Execute; Maintenance gets Purge Archive, the bit 31.
        permissions->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
        combo->setCurrentIndex(combo->findText("Maintenance"));
        permissions->topLevelItem(5)->setCheckState(0, Qt::Checked);
        EXPECT_EQ(page.Apply(), 1);
        EXPECT_TRUE(ui.boxes.empty()) << ui.boxes.front().text;
    }

    CKVTApplList list;
    FetchApplications(list);
    CKVTAppl* historian = list.FindByNameOrDN("", dn);
    ASSERT_NE(historian, nullptr);
    EXPECT_EQ(AclText(historian->ACL), "Operators:1;Engineers:3;Supervisors:15;Maintenance:-2147483648;");

    std::string audit;
    ASSERT_TRUE(
        ::GetWebPage(reference.RequestUrl() + "?Object=Audit&Operation=Get&DisplaySet=0", audit, true));
    EXPECT_EQ(FirstElementText(audit, "OLDVALUE"),
              "<OldValue><ACE><Value>Engineers:Read,Write,Execute</Value><Value>Maintenance:</Value></ACE>"
              "</OldValue>");
    EXPECT_EQ(
        FirstElementText(audit, "NEWVALUE"),
        "<NewValue><ACE><Value>Engineers:Read,Write</Value><Value>Maintenance:Purge Archive</Value></ACE>"
        "</NewValue>");
}

size_t AuditRecordCount(const std::string& requestUrl)
{
    std::string audit;
    EXPECT_TRUE(::GetWebPage(requestUrl + "?Object=Audit&Operation=Get&DisplaySet=0", audit, true));
    size_t count = 0;
    for (size_t at = audit.find("<OLDVALUE>"); at != std::string::npos;
         at = audit.find("<OLDVALUE>", at + 1)) {
        ++count;
    }
    return count;
}

TEST_F(AccessPagesServerTest, UnchangedApplicationPagesSendNothingAndWriteNoAuditRecord)
{
    ZYR_USE_REFERENCE_SERVER();
    CKVTRoleList roles;
    roles.GetRoles();
    const size_t records = AuditRecordCount(reference.RequestUrl());
    CKVTApplList list;
    FetchApplications(list);
    CKVTAppl* historian = list.FindByNameOrDN("Plant Historian");
    ASSERT_NE(historian, nullptr);
    const std::string acl = AclText(historian->ACL);

    CApplPage access(0, historian);
    std::unique_ptr<QWidget> accessWidget(access.CreatePage(nullptr));
    CPermPage permissions(0, historian);
    std::unique_ptr<QWidget> permissionsWidget(permissions.CreatePage(nullptr));
    // Looking at another role and back is no change.
    QComboBox* combo = access.Panel().RoleCombo();
    combo->setCurrentIndex(combo->findText("Maintenance"));
    combo->setCurrentIndex(0);
    EXPECT_EQ(access.Apply(), 1);
    EXPECT_EQ(permissions.Apply(), 1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(AuditRecordCount(reference.RequestUrl()), records);

    CKVTApplList again;
    FetchApplications(again);
    ASSERT_NE(again.FindByNameOrDN("Plant Historian"), nullptr);
    EXPECT_EQ(AclText(again.FindByNameOrDN("Plant Historian")->ACL), acl);
}

} // namespace
} // namespace zyr::testing
