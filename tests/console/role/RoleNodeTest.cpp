// The Roles container and the role items against a scripted console, the
// scripted server and the reference server.
#include "console/role/RoleNode.h"
#include "console/KVTSnapinComponent.h"
#include "records/AclEditing.h"
#include "records/SecureGroup.h"
#include "tests/console/role/RoleFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using zyr::com::ComPtr;

namespace zyr::testing {
namespace {

namespace ui = zyr::ui;

// What the New Role dialog double answers.
struct DialogScript {
    bool ok = true;
    std::string name;
    std::string description;
    int shown = 0;
};

struct FakePage final : IPropertyPage {
    explicit FakePage(std::u16string t) : title(std::move(t)) {}
    std::u16string_view Title() override { return title; }
    HWND CreatePageWindow(HWND, IPropertySheetSite*) override { return nullptr; }
    BOOL OnApply() override { return 1; }
    void Release() override { delete this; }
    std::u16string title;
};

// The role windows: the New Role dialog answers from its script, the pages
// it is asked for are listed in order.
struct RoleWindowsDouble : console::RoleUi {
    bool RunNewRoleDialog(HWND, console::NewRoleTexts& texts) override
    {
        ++dialog.shown;
        texts.name = dialog.name;
        texts.description = dialog.description;
        return dialog.ok;
    }
    HRESULT AddGeneralPage(CKVTRole* role, IPropertySheetCallback* callback, LONG_PTR, LPARAM) override
    {
        pages.push_back("General " + role->CN.str());
        return console::AddPropertyPage(callback, new FakePage(u"General"));
    }
    HRESULT AddMembersPage(console::MemberPageKind kind, CKVTRole*, IPropertySheetCallback* callback,
                           LONG_PTR, LPARAM) override
    {
        pages.push_back(kind == console::MemberPageKind::DirectoryClient ? "Members directory"
                                                                         : "Members accounts");
        return console::AddPropertyPage(callback, new FakePage(u"Members"));
    }
    DialogScript dialog;
    std::vector<std::string> pages;
};

class RoleNodeTest : public RoleFixture {
protected:
    void SetUp() override
    {
        RoleFixture::SetUp();
        console::SetRoleUi(&windows);
    }

    CRoleInstanceNode* Child(const CRoleNode& node, size_t index)
    {
        return static_cast<CRoleInstanceNode*>(node.m_children.at(index));
    }

    // Applications whose lists name the role twice at each level.
    void FillApplications(CKVTApplList& applications, const std::string& role)
    {
        auto application = std::make_unique<CKVTAppl>();
        application->CN = "Batch";
        application->ACL = {AccessEntry(role, 1), AccessEntry("Others", 2), AccessEntry(role, 4)};
        auto group = std::make_unique<CKVTSecGroup>();
        group->ACL = {AccessEntry(role, 1), AccessEntry(role, 8)};
        auto object = std::make_unique<CKVTApplSecObj>();
        object->ACL = {AccessEntry("Others", 1), AccessEntry(role, 3)};
        group->Objects.push_back(std::move(object));
        application->Groups.push_back(std::move(group));
        applications.Append(std::move(application));
    }

    static std::vector<std::string> AclRoles(const std::vector<AccessEntry>& acl)
    {
        std::vector<std::string> roles;
        for (const AccessEntry& entry : acl) {
            roles.push_back(entry.RoleName.str() + ":" + std::to_string(entry.Mask));
        }
        return roles;
    }

    RoleWindowsDouble windows;
};

TEST_F(RoleNodeTest, TheContainerListsTheRolesWithColumnsMenuAndCount)
{
    CKVTRoleList list;
    AddRole(list, "{r1}", "Operators", "Day shift");
    AddRole(list, "{r2}", "Engineers");
    CRoleNode node;
    ASSERT_EQ(2u, node.m_children.size());
    EXPECT_EQ(u"Operators", std::u16string(Child(node, 0)->GetColumnText(0)));
    EXPECT_EQ(u"Day shift", std::u16string(Child(node, 0)->GetColumnText(1)));
    EXPECT_EQ(4, node.m_scopeDataItem.nImage);
    EXPECT_EQ(4, Child(node, 1)->m_resultDataItem.nImage);
    EXPECT_EQ(u"Description", std::u16string(node.GetColumnText(1)));

    View view(mmc.get());
    ComPtr<IComponent> component = ComPtr<IComponent>::Attach(new CKVTSnapinComponent);
    ASSERT_EQ(S_OK, component->Initialize(mmc.get()));
    EXPECT_EQ(S_OK, node.Notify(MMCN_SHOW, 1, 0, nullptr, component.get(), CCT_SCOPE));
    ASSERT_EQ(2u, mmc->columns.size());
    EXPECT_EQ(u"Role", mmc->columns[0].title);
    EXPECT_EQ(200, mmc->columns[0].width);
    EXPECT_EQ(u"Description", mmc->columns[1].title);
    EXPECT_EQ(350, mmc->columns[1].width);
    EXPECT_EQ(2u, mmc->resultInserts.size());
    EXPECT_EQ(E_NOTIMPL, node.Notify(MMCN_SHOW, 0, 0, nullptr, component.get(), CCT_SCOPE));
    EXPECT_EQ(E_NOTIMPL, node.Notify(MMCN_EXPAND, 1, 0, nullptr, component.get(), CCT_SCOPE));

    EXPECT_EQ(S_OK, node.Notify(MMCN_SELECT, 1, 0, nullptr, component.get(), CCT_SCOPE));
    EXPECT_TRUE(mmc->verbs.empty()) << "the container offers no verb";
    EXPECT_EQ(u"2 Roles", mmc->descriptionBar.back());
    EXPECT_EQ(S_FALSE, node.QueryPagesFor(CCT_SCOPE));

    ComPtr<ScriptedMenu> menu = ComPtr<ScriptedMenu>::Attach(new ScriptedMenu);
    long allowed = 0xF;
    ASSERT_EQ(S_OK, node.AddMenuItems(menu.get(), &allowed, CCT_SCOPE));
    ASSERT_EQ(2u, menu->items.size());
    EXPECT_EQ(u"&Find User", menu->items[0].name);
    EXPECT_EQ(32839, menu->items[0].commandId);
    EXPECT_EQ(u"Role", menu->items[1].name);
    EXPECT_EQ(32775, menu->items[1].commandId);

    // A role that joined the list behind the container's back comes in on
    // refresh, once; letter case does not make a second node.
    AddRole(list, "{r3}", "Auditors");
    AddRole(list, "{r4}", "OPERATORS");
    EXPECT_EQ(S_OK, node.OnRefresh(mmc.get()));
    ASSERT_EQ(3u, node.m_children.size());
    EXPECT_EQ("Auditors", Child(node, 2)->Role()->CN.str());
}

TEST_F(RoleNodeTest, TheDescriptionBarIsSingularOnlyForOne)
{
    CKVTRoleList list;
    CRoleNode empty;
    empty.UpdateDescriptionBar(mmc.get());
    AddRole(list, "{r1}", "Operators");
    CRoleNode one;
    one.UpdateDescriptionBar(mmc.get());
    Child(one, 0)->OnSelect(mmc.get());
    EXPECT_THAT(mmc->descriptionBar, ElementsAre(u"0 Roles", u"1 Role", u"1 Role"));
    ASSERT_EQ(2u, mmc->verbs.size());
    EXPECT_EQ(MMC_VERB_PROPERTIES, mmc->verbs[0].verb);
    EXPECT_EQ(MMC_VERB_DELETE, mmc->verbs[1].verb);
}

TEST_F(RoleNodeTest, ANewRoleIsAddedOnlyWhenItsNameIsFreeAndTheServerTakesIt)
{
    CKVTRoleList list;
    AddRole(list, "{r1}", "Operators");
    CRoleNode node;
    node.m_scopeDataItem.ID = 0x321;
    View view(mmc.get());

    // Another letter case of an existing name: the message names the role
    // that exists, and nothing is sent.
    windows.dialog.name = "OPERATORS";
    EXPECT_EQ(S_OK, node.Command(CRoleNode::ID_NEW_ROLE, &view, CCT_SCOPE));
    ASSERT_EQ(1u, mmc->boxes.size());
    EXPECT_EQ(u"Role 'Operators' Already Exists.", mmc->boxes[0].text);
    EXPECT_EQ(u"ZYR Security Manager", mmc->boxes[0].title);
    EXPECT_EQ(ui::MB_ICONINFORMATION, mmc->boxes[0].style);
    EXPECT_EQ(0u, scripted.RequestCount());

    windows.dialog.name = "Plant Ops";
    windows.dialog.description = "Night shift";
    replies["Operation=Add"] = "Error: duplicate";
    EXPECT_EQ(S_OK, node.Command(CRoleNode::ID_NEW_ROLE, &view, CCT_SCOPE));
    ASSERT_EQ(1u, ui.boxes.size());
    EXPECT_EQ(LoadStringAnsi(IDS_ADD_ROLE_FAILED), ui.boxes[0].text);
    EXPECT_EQ(ui::MB_ICONERROR, ui.boxes[0].style);
    EXPECT_EQ(1u, list.Roles().size());
    EXPECT_EQ(1u, node.m_children.size());

    replies.clear();
    EXPECT_EQ(S_OK, node.Command(CRoleNode::ID_NEW_ROLE, &view, CCT_SCOPE));
    ASSERT_EQ(2u, list.Roles().size());
    ASSERT_EQ(2u, node.m_children.size());
    CKVTRole* added = Child(node, 1)->Role();
    EXPECT_EQ(added, list.Roles()[1].get());
    EXPECT_EQ("Plant Ops", added->CN.str());
    EXPECT_EQ(38u, added->DN.size());
    EXPECT_THAT(Queries().back(), ::testing::StartsWith("?Object=Role&Operation=Add&CN=Plant%20Ops&DN={"));
    EXPECT_THAT(mmc->selected, ElementsAre(0x321));
    EXPECT_EQ(u"2 Roles", mmc->descriptionBar.back());

    // Cancel shows the dialog and changes nothing.
    windows.dialog.ok = false;
    EXPECT_EQ(S_OK, node.Command(CRoleNode::ID_NEW_ROLE, &view, CCT_SCOPE));
    EXPECT_EQ(2u, list.Roles().size());
    EXPECT_EQ(4, windows.dialog.shown);
}

TEST_F(RoleNodeTest, ChangesAreRefusedWhileTheAuditTrailIsUnusable)
{
    CKVTRoleList list;
    AddRole(list, "{r1}", "Operators");
    CRoleNode node;
    View view(mmc.get());
    console::SetAuditCheck([] { return true; });
    EXPECT_EQ(S_OK, node.Command(CRoleNode::ID_NEW_ROLE, &view, CCT_SCOPE));
    EXPECT_EQ(S_OK, Child(node, 0)->OnDelete(mmc.get()));
    EXPECT_EQ(0, windows.dialog.shown);
    ASSERT_EQ(2u, ui.boxes.size());
    EXPECT_EQ(LoadStringAnsi(IDS_AUDIT_COMPONENTS_MISSING), ui.boxes[1].text);
    EXPECT_EQ(0u, scripted.RequestCount());
    EXPECT_EQ(1u, list.Roles().size());
}

TEST_F(RoleNodeTest, DeletingARoleClearsItsFirstEntryFromEveryAccessList)
{
    CKVTRoleList list;
    AddRole(list, "{r1}", "Operators");
    AddRole(list, "{r2}", "Plant Ops");
    CKVTApplList applications;
    FillApplications(applications, "plant ops");
    CRoleNode node;
    CRoleInstanceNode* item = Child(node, 1);
    node.OnShow(MMCN_SHOW, 1, 0, mmc.get(), CCT_SCOPE);

    // No: nothing sent.
    ui.answers.push_back(ui::IDNO);
    EXPECT_EQ(S_OK, item->OnDelete(mmc.get()));
    ASSERT_EQ(1u, ui.boxes.size());
    EXPECT_EQ("Are you sure you want to delete the role Plant Ops?", ui.boxes[0].text);
    EXPECT_EQ(ui::MB_YESNO | ui::MB_ICONWARNING, ui.boxes[0].style);
    EXPECT_EQ(0u, scripted.RequestCount());

    EXPECT_EQ(S_OK, item->OnDelete(mmc.get()));
    EXPECT_EQ(Queries().back(),
              "?Object=Role&Operation=Delete&DN={r2}&User=PLANT%5Cop%20one&Computer=BUILD-07&CN=Plant%20Ops");
    EXPECT_EQ(1, mmc->CountOf("DeleteItem(result)"));
    ASSERT_EQ(1u, list.Roles().size());
    EXPECT_EQ(nullptr, item->Role());
    EXPECT_FALSE(item->m_bPresent);
    EXPECT_EQ(1u, node.m_children.size());
    EXPECT_EQ(u"1 Role", mmc->descriptionBar.back());
    EXPECT_EQ(u"", std::u16string(item->GetColumnText(0))) << "the node has lost its role";
    // Only the first entry of the role goes, at every level.
    const CKVTAppl& application = *applications.Applications[0];
    EXPECT_THAT(AclRoles(application.ACL), ElementsAre("Others:2", "plant ops:4"));
    EXPECT_THAT(AclRoles(application.Groups[0]->ACL), ElementsAre("plant ops:8"));
    EXPECT_THAT(AclRoles(application.Groups[0]->Objects[0]->ACL), ElementsAre("Others:1"));
    EXPECT_EQ(E_FAIL, item->OnDelete(mmc.get())) << "a deleted role's node has nothing left to delete";
}

TEST_F(RoleNodeTest, ARoleTheServerRefusesToDeleteIsKeptWithItsAccessEntries)
{
    CKVTRoleList list;
    AddRole(list, "{r1}", "Plant Ops");
    CKVTApplList applications;
    FillApplications(applications, "Plant Ops");
    CRoleNode node;
    CRoleInstanceNode* item = Child(node, 0);
    replies["Operation=Delete"] = "Error: unknown identity";
    EXPECT_EQ(S_OK, item->OnDelete(mmc.get()));
    ASSERT_EQ(2u, ui.boxes.size());
    EXPECT_EQ(ui::MB_ICONERROR, ui.boxes[1].style);
    EXPECT_THAT(ui.boxes[1].text, ::testing::HasSubstr("did not delete the role Plant Ops"));
    EXPECT_EQ(0, mmc->CountOf("DeleteItem"));
    EXPECT_EQ(1u, list.Roles().size());
    EXPECT_EQ(list.Roles()[0].get(), item->Role());
    EXPECT_TRUE(item->m_bPresent);
    EXPECT_EQ(1u, node.m_children.size());
    EXPECT_EQ(3u, applications.Applications[0]->ACL.size());
    EXPECT_EQ(0, ui.waitCursorDepth);
}

TEST_F(RoleNodeTest, PagesComeInOrderAndThePageKindFollowsTheConfiguration)
{
    CKVTRoleList list;
    AddRole(list, "{r1}", "Operators");
    CRoleNode node;
    CRoleInstanceNode* item = Child(node, 0);
    EXPECT_EQ(S_OK, item->QueryPagesFor(CCT_RESULT));
    EXPECT_EQ(S_FALSE, item->QueryPagesFor(CCT_SNAPIN_MANAGER));
    {
        ComPtr<ScriptedSheet> sheet = ComPtr<ScriptedSheet>::Attach(new ScriptedSheet);
        EXPECT_EQ(S_OK, item->CreatePropertyPages(sheet.get(), 0x51, nullptr, CCT_RESULT));
        EXPECT_EQ(2u, sheet->pages.size());
        EXPECT_EQ(E_UNEXPECTED, item->CreatePropertyPages(sheet.get(), 0x51, nullptr, CCT_SNAPIN_MANAGER));
    }
    TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kClientKey, "NovellClient", 1);
    zyr::ResetServerSettings();
    UseScripted();
    {
        ComPtr<ScriptedSheet> sheet = ComPtr<ScriptedSheet>::Attach(new ScriptedSheet);
        EXPECT_EQ(S_OK, item->CreatePropertyPages(sheet.get(), 0x51, nullptr, CCT_SCOPE));
    }
    EXPECT_THAT(windows.pages, ElementsAre("General Operators", "Members accounts", "General Operators",
                                           "Members directory"));
}

TEST_F(RoleNodeTest, APropertyChangeOfAPageRedrawsTheRoleItem)
{
    CKVTRoleList list;
    AddRole(list, "{r1}", "Operators");
    CRoleNode node;
    node.OnShow(MMCN_SHOW, 1, 0, mmc.get(), CCT_SCOPE);
    ComPtr<IComponent> component = ComPtr<IComponent>::Attach(new CKVTSnapinComponent);
    ASSERT_EQ(S_OK, component->Initialize(mmc.get()));
    EXPECT_EQ(S_OK,
              component->Notify(nullptr, MMCN_PROPERTY_CHANGE, 0, CSnapInItem::CookieOf(Child(node, 0))));
    EXPECT_EQ(1, mmc->CountOf("UpdateItem"));
    EXPECT_EQ(E_NOTIMPL, component->Notify(nullptr, MMCN_PROPERTY_CHANGE, 0, 0)) << "no node named";
}

TEST_F(RoleNodeTest, NewAndDeleteAgainstTheReferenceServer)
{
    ZYR_USE_REFERENCE_SERVER();
    CKVTRoleList list;
    list.GetRoles();
    const size_t seeded = list.Roles().size();
    ASSERT_GT(seeded, 0u);
    CRoleNode node;
    View view(mmc.get());
    windows.dialog.name = "Plant Ops";
    ASSERT_EQ(S_OK, node.Command(CRoleNode::ID_NEW_ROLE, &view, CCT_SCOPE));
    ASSERT_EQ(seeded + 1, list.Roles().size());

    CKVTApplList applications;
    FillApplications(applications, "Plant Ops");
    ASSERT_EQ(S_OK, Child(node, seeded)->OnDelete(mmc.get()));
    EXPECT_EQ(seeded, list.Roles().size());
    EXPECT_EQ(1u, applications.Applications[0]->Groups[0]->ACL.size());

    // A role the server does not know stays.
    CKVTRole& ghost = AddRole(list, "{00000000-0000-0000-0000-000000000000}", "Ghost");
    ASSERT_EQ(S_OK, node.OnRefresh(mmc.get()));
    ASSERT_EQ(S_OK, static_cast<CRoleInstanceNode*>(node.m_children.back())->OnDelete(mmc.get()));
    EXPECT_EQ(&ghost, list.Roles().back().get());
    EXPECT_THAT(ui.boxes.back().text, ::testing::HasSubstr("did not delete the role Ghost"));

    CKVTRoleList again;
    again.GetRoles();
    EXPECT_EQ(seeded, again.Roles().size());
    EXPECT_EQ(nullptr, again.FindByName("Plant Ops"));
}

} // namespace
} // namespace zyr::testing
