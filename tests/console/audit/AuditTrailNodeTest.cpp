// The Audit Trail container and its records against a scripted console and
// server: present only where the server answers, paging, the filter and the
// view kept when a page cannot be read, the record's page and the export.
#include "console/audit/AuditTrailNode.h"
#include "console/audit/AuditRecordNode.h"
#include "console/framework/AuditTrailUi.h"
#include "tests/console/log/LogFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace zyr::testing {
namespace {

class AuditTrailNodeTest : public LogFixture {
protected:
    void SetUp() override
    {
        LogFixture::SetUp();
        console::SetAuditTrailUi(&windows);
    }
    void TearDown() override
    {
        console::ResetAuditTrailUi();
        LogFixture::TearDown();
    }
    // A KVTAUDIT page of count records numbered from first: record n renamed
    // "Valve n"'s description from "Line n" to "New text".
    static std::string AuditPage(int count, int first = 0)
    {
        std::string inner = "<KVTAUDIT>";
        for (int n = first; n < first + count; ++n) {
            inner +=
                "<AUDIT><TIME>2026-12-05 13:04:00</TIME><USER>CORP\\jdoe</USER><COMPUTER>PC01</COMPUTER>"
                "<OBJECT>SecObj</OBJECT><OPERATION>Update</OPERATION><IDENTITY>{o}</IDENTITY>"
                "<IDENTITYNAME>Valve " +
                std::to_string(n) +
                "</IDENTITYNAME><OLDVALUE>&lt;OldValue&gt;&lt;Description&gt;&lt;Value&gt;Line " +
                std::to_string(n) +
                "&lt;/Value&gt;&lt;/Description&gt;&lt;/OldValue&gt;</OLDVALUE><NEWVALUE>&lt;NewValue&gt;"
                "&lt;Description&gt;&lt;Value&gt;New text&lt;/Value&gt;&lt;/Description&gt;&lt;/NewValue&gt;"
                "</NEWVALUE></AUDIT>";
        }
        return Document(inner + "<AUDITCOUNT>" + std::to_string(count) + "</AUDITCOUNT></KVTAUDIT>");
    }
    std::unique_ptr<CAuditTrailNode> Make(const std::string& firstReply)
    {
        scripted.Enqueue({.body = firstReply});
        return std::unique_ptr<CAuditTrailNode>(
            static_cast<CAuditTrailNode*>(console::CreateAuditTrailNode(nullptr)));
    }
    HRESULT Show(CAuditTrailNode& node) { return node.OnShow(MMCN_SHOW, 1, 0, mmc.get(), CCT_SCOPE); }
    HRESULT Run(CSnapInItem& node, long command) { return node.Command(command, view.get(), CCT_SCOPE); }
    static CAuditRecordNode* Record(CAuditTrailNode& node, size_t i)
    {
        return dynamic_cast<CAuditRecordNode*>(node.m_children.at(i));
    }

    struct WindowsDouble : console::AuditTrailUi {
        bool RunAuditFilterDialog(HWND, records::AuditFilter& filter) override
        {
            filter = choice;
            return true;
        }
        HRESULT AddAuditRecordPage(const records::AuditEntry& entry, IPropertySheetCallback*,
                                   LONG_PTR) override
        {
            paged.push_back(entry.name);
            return S_OK;
        }
        records::AuditFilter choice;
        std::vector<std::string> paged;
    } windows;
};

TEST_F(AuditTrailNodeTest, PresentOnlyWhereTheServerAnswersAndShowsTheFirstPage)
{
    EXPECT_EQ(Make("Error: injected"), nullptr);
    EXPECT_EQ(Make(Document("<OTHER/>")), nullptr);

    auto node = Make(AuditPage(3));
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(S_OK, Show(*node));
    EXPECT_EQ(3u, scripted.RequestCount()) << "the page answered at start is shown as it is";
    ASSERT_EQ(3u, node->m_children.size());
    CAuditRecordNode* first = Record(*node, 0);
    EXPECT_EQ(std::u16string(first->GetColumnText(1)), u"CORP\\jdoe");
    EXPECT_EQ(std::u16string(first->GetColumnText(5)), u"Valve 0");
    EXPECT_EQ(std::u16string(first->GetColumnText(6)), u"Description: 'Line 0' \u2192 'New text'");
    EXPECT_EQ(CAuditTrailNode::kImage, mmc->resultInserts.at(0).item.nImage);
    EXPECT_EQ(S_FALSE, node->QueryPagesFor(CCT_SCOPE));
    EXPECT_EQ(S_OK, first->QueryPagesFor(CCT_RESULT));
    EXPECT_EQ(S_OK, first->CreatePropertyPages(nullptr, 0, nullptr, CCT_RESULT));
    EXPECT_EQ(windows.paged, std::vector<std::string>{"Valve 0"});
}

TEST_F(AuditTrailNodeTest, PagingAndFilterKeepTheViewWhenAPageCannotBeRead)
{
    auto node = Make(AuditPage(50));
    ASSERT_NE(node, nullptr);
    node->m_scopeDataItem.ID = 0x42;
    ASSERT_EQ(S_OK, Show(*node));
    EXPECT_EQ(S_OK, Run(*node, CAuditTrailNode::ID_PREVIOUS_PAGE));
    EXPECT_EQ(1u, scripted.RequestCount()) << "page 0 is the first";

    scripted.Enqueue({.body = AuditPage(7, 50)});
    ASSERT_EQ(S_OK, Run(*node, CAuditTrailNode::ID_NEXT_PAGE));
    EXPECT_EQ(Target("?Object=Audit&Operation=Get&DisplaySet=1"), LastTarget());
    EXPECT_EQ(u"51 - 57 Audit Records", LastDescription());
    EXPECT_EQ(S_OK, Run(*node, CAuditTrailNode::ID_NEXT_PAGE));
    EXPECT_EQ(2u, scripted.RequestCount()) << "a short page is the last";

    windows.choice = {"2026-12-01 00:00:00", "", "CORP\\jdoe", "SecObj", "valve"};
    scripted.Enqueue({.body = AuditPage(2)});
    ASSERT_EQ(S_OK, Run(*node, CAuditTrailNode::ID_FILTER));
    EXPECT_EQ(Target("?Object=Audit&Operation=Get&DisplaySet=0&FromTime=2026-12-01%2000%3A00%3A00"
                     "&User=CORP%5Cjdoe&Object=SecObj&Name=valve"),
              LastTarget());
    EXPECT_EQ(u"1 - 2 Audit Records (filtered)", LastDescription());

    // A refused filter: the reason is shown; the view, its page and filter stay.
    windows.choice = {"2026-12-01 00:00:00", "", "", "", ""};
    scripted.Enqueue({.body = "Error: the FromTime is not a time"});
    EXPECT_TRUE(FAILED(Run(*node, CAuditTrailNode::ID_FILTER)));
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_NE(ui.boxes.back().text.find("Error: the FromTime is not a time"), std::string::npos);
    EXPECT_EQ(node->Filter().user, "CORP\\jdoe");
    EXPECT_EQ(2u, node->m_children.size());

    // Export List: the records shown, with their change.
    const std::string path = (tempDir / "trail.csv").string();
    ui.savePaths.push_back(path);
    ASSERT_EQ(S_OK, Run(*node, CAuditTrailNode::ID_EXPORT_LIST));
    std::ifstream file(path, std::ios::binary);
    std::stringstream csv;
    csv << file.rdbuf();
    EXPECT_EQ(
        csv.str().rfind("Time,User,Computer,Object,Operation,Name,Change\r\n2026-12-05 13:04:00,CORP\\jdoe,"
                        "PC01,SecObj,Update,Valve 0,Description: 'Line 0' \u2192 'New text'\r\n",
                        0),
        0u)
        << csv.str();
}

} // namespace
} // namespace zyr::testing
