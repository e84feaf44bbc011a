// The export file of one application and its import into a server.
#include "records/Application.h"
#include "records/ApplicationImport.h"

#include "tests/roles/RecordsFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using ::testing::HasSubstr;

namespace zyr::testing {
namespace {

class ExportImportTest : public RecordsFixture {
protected:
    void TearDown() override
    {
        zyr::records::ResetCurrentApplList();
        RecordsFixture::TearDown();
    }
    static std::string ReadFile(const std::filesystem::path& path)
    {
        std::ifstream file(path);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    // Plant Ops with two groups, the second with three objects.
    static std::unique_ptr<CKVTAppl> MakeApplication()
    {
        auto appl = std::make_unique<CKVTAppl>("Plant Ops", "North plant", true);
        appl->DN = "{A0000000-0000-0000-0000-000000000001}";
        appl->ACL.emplace_back("Operators", 1);
        appl->Groups.push_back(std::make_unique<CKVTSecGroup>("Empty", "Plant Ops", appl->DN.view(), "none"));
        appl->Groups[0]->DN = "{60000000-0000-0000-0000-000000000001}";
        auto& line = appl->Groups.emplace_back(
            std::make_unique<CKVTSecGroup>("Line 1", "Plant Ops", appl->DN.view(), "Mixing"));
        line->DN = "{60000000-0000-0000-0000-000000000002}";
        for (int i = 0; i < 3; ++i) {
            auto& o = line->Objects.emplace_back(std::make_unique<CKVTApplSecObj>(
                "Valve " + std::to_string(i), line->DN.view(), appl->DN.view(), "valve"));
            o->DN = "{00000000-0000-0000-0000-00000000000" + std::to_string(i) + "}";
        }
        return appl;
    }
};

TEST_F(ExportImportTest, ExportWritesTheElementsInOrderAndImportReadsThemBack)
{
    UseScripted();
    auto appl = MakeApplication();
    const auto path = tempDir / "plant.xml";
    ui.savePaths.push_back(path.string());
    ASSERT_EQ(appl->Export(), S_OK);
    ASSERT_EQ(ui.saveDialogs.size(), 1u);
    EXPECT_EQ(ui.saveDialogs[0].filter, "Export File (*.XML)|*.XML|All Files (*.*)|*.*|");
    EXPECT_EQ(ui.saveDialogs[0].defaultExt, "XML");

    const std::string text = ReadFile(path);
    auto at = [&](const std::string& what) { return text.find(what); };
    EXPECT_LT(at("<ApplName>Plant Ops</ApplName>"), at("<ApplID>"));
    EXPECT_LT(at("<ApplID>"), at("<KVTPerm>Read:0x00000001;Write:0x00000002;Execute:0x00000004;</KVTPerm>"));
    EXPECT_LT(at("<KVTPerm>"), at("<GroupCount>2</GroupCount>"));
    EXPECT_LT(at("<GROUP0>"), at("<GROUP1>"));
    EXPECT_LT(at("<SECOBJECTCOUNT>3</SECOBJECTCOUNT>"), at("<SECOBJ0>"));
    EXPECT_LT(at("<SECOBJ1>"), at("<SECOBJ2>"));
    EXPECT_THAT(text, HasSubstr("<GROUPNAME>Line 1</GROUPNAME>"));
    EXPECT_THAT(text, HasSubstr("<SECOBJNAME>Valve 2</SECOBJNAME>"));
    EXPECT_EQ(at("Operators"), std::string::npos); // no access-control lists

    zyr::xml::KvtXmlDocument document(zyr::text::ActiveCodePage());
    ASSERT_EQ(document.LoadFile(path.string()), S_OK);
    CKVTAppl imported("Plant Ops", "North plant", false);
    ASSERT_EQ(imported.ImportFromXml(document), S_OK);
    EXPECT_EQ(imported.DN.str(), appl->DN.str());
    ASSERT_EQ(imported.Permissions.size(), 3u);
    EXPECT_EQ(imported.Permissions[2].Name.str(), "Execute");
    ASSERT_EQ(imported.Groups.size(), 2u);
    EXPECT_EQ(imported.Groups[1]->Description.str(), "Mixing");
    EXPECT_EQ(imported.Groups[1]->ApplDN.str(), appl->DN.str());
    ASSERT_EQ(imported.Groups[1]->Objects.size(), 3u);
    EXPECT_EQ(imported.Groups[1]->Objects[2]->DN.str(), appl->Groups[1]->Objects[2]->DN.str());
    EXPECT_EQ(imported.Groups[1]->Objects[2]->GroupDN.str(), appl->Groups[1]->DN.str());
    EXPECT_TRUE(imported.ACL.empty());

    ui.savePaths.clear(); // cancelled: nothing written
    EXPECT_EQ(appl->Export(), S_OK);
}

TEST_F(ExportImportTest, ImportReadsOnlyWhatTheFileHolds)
{
    UseScripted();
    zyr::xml::KvtXmlDocument document(zyr::text::ActiveCodePage());
    ASSERT_EQ(
        document.put_XmlString("<DOCUMENT><ApplName>X</ApplName><ApplID>{X}</ApplID>"
                               "<KVTPerm>Read:0x1;NoColon;;Lost:0x2</KVTPerm><GroupCount>1000000</GroupCount>"
                               "<GROUP0><GROUPNAME>G</GROUPNAME><GROUPID>{G}</GROUPID>"
                               "<SECOBJECTCOUNT>5</SECOBJECTCOUNT></GROUP0></DOCUMENT>"),
        S_OK);
    CKVTAppl appl("X", "", false);
    ASSERT_EQ(appl.ImportFromXml(document), S_OK);
    ASSERT_EQ(appl.Permissions.size(), 3u); // the last item has no ";"
    EXPECT_EQ(appl.Permissions[1].Name.str(), "");
    EXPECT_EQ(appl.Permissions[1].Value.str(), "NoColon");
    ASSERT_EQ(appl.Groups.size(), 1u); // no empty groups for an inflated count
    EXPECT_TRUE(appl.Groups[0]->Objects.empty());
}

TEST_F(ExportImportTest, ImportIntoTheReferenceServerAndRefusalOfDuplicates)
{
    ZYR_USE_REFERENCE_SERVER();
    const auto path = tempDir / "plant.xml";
    {
        auto appl = MakeApplication();
        ui.savePaths.push_back(path.string());
        ASSERT_EQ(appl->Export(), S_OK);
    }
    {
        CKVTApplList list;
        CKVTAppl* added = nullptr;
        ASSERT_EQ(zyr::records::ImportApplicationFile(list, path.string(), &added), S_OK);
        ASSERT_NE(added, nullptr);
        EXPECT_EQ(added->Groups.size(), 2u);
        // The same file again: the console refuses it before anything is sent.
        CKVTAppl* again = nullptr;
        EXPECT_EQ(zyr::records::ImportApplicationFile(list, path.string(), &again), S_OK);
        EXPECT_EQ(again, nullptr);
        ASSERT_FALSE(ui.boxes.empty());
        EXPECT_EQ(ui.boxes.back().text, zyr::records::kApplicationExistsMessage);
    }
    CKVTApplList list;
    FetchApplications(list);
    CKVTAppl* appl = list.FindByNameOrDN("Plant Ops");
    ASSERT_NE(appl, nullptr);
    EXPECT_EQ(appl->DN.str(), "{A0000000-0000-0000-0000-000000000001}");
    EXPECT_EQ(appl->Permissions.size(), 3u);
    ASSERT_EQ(appl->Groups.size(), 2u);
    ASSERT_EQ(appl->Groups[1]->Objects.size(), 3u);
    EXPECT_EQ(appl->Groups[1]->Objects[0]->DN.str(), "{00000000-0000-0000-0000-000000000000}");

    CKVTAppl* duplicate = nullptr;
    zyr::xml::KvtXmlDocument document(zyr::text::ActiveCodePage());
    ASSERT_EQ(document.LoadFile(path.string()), S_OK);
    EXPECT_EQ(zyr::records::AddImportedApplication(list, document, &duplicate), S_OK);
    EXPECT_EQ(duplicate, nullptr);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().text, zyr::records::kApplicationExistsMessage);
}

TEST_F(ExportImportTest, DuplicatesAreFoundWithoutRegardToCase)
{
    CKVTApplList list;
    list.Append(std::make_unique<CKVTAppl>("Plant Ops", "", false)).DN =
        "{a0000000-0000-0000-0000-00000000000b}";
    for (const char* file : {"<DOCUMENT><ApplName>PLANT OPS</ApplName><ApplID>{X}</ApplID></DOCUMENT>",
                             "<DOCUMENT><ApplName>Other</"
                             "ApplName><ApplID>{A0000000-0000-0000-0000-00000000000B}</ApplID></DOCUMENT>"}) {
        zyr::xml::KvtXmlDocument document(zyr::text::ActiveCodePage());
        ASSERT_EQ(document.put_XmlString(std::string_view(file)), S_OK);
        EXPECT_EQ(zyr::records::CheckImportedApplication(list, document), S_FALSE) << file;
    }
}

TEST_F(ExportImportTest, AFailureStatusIsNoImport)
{
    UseScripted();
    const auto path = tempDir / "x.xml";
    std::ofstream(path) << "<DOCUMENT><ApplName>X</ApplName></DOCUMENT>";
    scripted.Enqueue({.status = 404, .body = "not here"});
    CKVTApplList list;
    CKVTAppl* added = nullptr;
    EXPECT_EQ(zyr::records::ImportApplicationFile(list, path.string(), &added), E_FAIL);
    EXPECT_TRUE(list.Applications.empty());
    EXPECT_EQ(scripted.Requests().at(0).target,
              Target("?Object=KVTAPI&Operation=ApplImp&User=PLANT%5Cop%20one&Computer=BUILD-07"));
    EXPECT_THAT(scripted.Requests().at(0).body, HasSubstr("<ApplName>X</ApplName>"));
    scripted.Enqueue({.body = "TAVOS_Send_Failed"});
    EXPECT_EQ(zyr::records::ImportApplicationFile(list, path.string(), &added), E_FAIL);
    EXPECT_EQ(ui.boxes.back().text, zyr::LoadStringAnsi(zyr::IDS_AUDIT_SEND_FAILED));
}

} // namespace
} // namespace zyr::testing
