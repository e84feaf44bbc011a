// An export file previewed and compared with the server, against the demo
// database; neither sends anything.
#include "tests/tools/zyrsec/ZyrsecFixture.h"

namespace {

using zyr::test::FileContent;
using zyr::testing::ToolRun;
using zyr::testing::Tree;

class ExportFileCommandsTest : public zyr::testing::ZyrsecFixture {};

using zyr::testing::Contains;

void Replace(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

TEST_F(ExportFileCommandsTest, DiffAndDryRunReadTheFileAgainstTheServer)
{
    const std::string path = (dir_ / "batch.xml").string();
    ASSERT_EQ(Zyrsec({"export", "Batch Control", path}).status, 0);
    ToolRun same = Zyrsec({"diff", path});
    EXPECT_EQ(same.status, 0) << same.out << same.err;
    EXPECT_TRUE(Contains(same.out, "No differences.")) << same.out;
    ToolRun taken = Zyrsec({"import", path, "--dry-run"});
    EXPECT_EQ(taken.status, 1);
    EXPECT_TRUE(Contains(taken.err, "the import would be refused")) << taken.err;

    ASSERT_EQ(Zyrsec({"--yes", "group", "describe", "Batch Control", "Line 1", "Changed"}).status, 0);
    ASSERT_EQ(Zyrsec({"--yes", "object", "add", "Batch Control", "Recipes", "New One"}).status, 0);
    ToolRun differ = Zyrsec({"--json", "diff", path});
    EXPECT_EQ(differ.status, 1) << differ.err;
    const Tree answer = differ.Json();
    std::string changes;
    for (const auto& [key, item] : answer.get_child("differences")) {
        changes += item.get<std::string>("change") + " " + item.get<std::string>("path") + ";";
    }
    EXPECT_EQ(changes, "changed Line 1;removed Recipes / New One;");

    // A file of another application: previewed, not imported.
    std::string text = FileContent(path);
    Replace(text, "Batch Control", "Batch Copy");
    Replace(text, "<ApplID>{", "<ApplID>{0");
    std::ofstream(path, std::ios::trunc) << text;
    ToolRun preview = Zyrsec({"--json", "import", path, "--dry-run"});
    ASSERT_EQ(preview.status, 0) << preview.err;
    Tree json = preview.Json();
    EXPECT_EQ(json.get<std::string>("would_import"), "true");
    EXPECT_EQ(json.get<std::string>("application.name"), "Batch Copy");
    EXPECT_EQ(json.get_child("application.groups").size(), 2u);
    EXPECT_FALSE(Contains(Zyrsec({"apps"}).out, "Batch Copy")) << "a dry run sends nothing";
    EXPECT_EQ(Zyrsec({"diff", path}).status, 2) << "no such application on the server";
    EXPECT_EQ(Zyrsec({"diff", (dir_ / "missing.xml").string()}).status, 2);
}

} // namespace
