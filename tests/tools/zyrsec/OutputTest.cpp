#include "tools/zyrsec/CliUi.h"
#include "tools/zyrsec/Json.h"
#include "tools/zyrsec/TextTable.h"

#define BOOST_BIND_GLOBAL_PLACEHOLDERS
#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace zyr::zyrsec;

TEST(ZyrsecJson, EveryByteSequenceGivesJsonThatReadsBack)
{
    EXPECT_EQ(JsonQuote("a\"b\\c/\n\t\x01\x7f"), "\"a\\\"b\\\\c/\\n\\t\\u0001\\u007f\"");
    // Valid UTF-8 passes; broken sequences, overlong forms and surrogates do not.
    EXPECT_EQ(JsonQuote("Gr\xc3\xbc\xc3\x9f"), "\"Gr\xc3\xbc\xc3\x9f\"");
    EXPECT_EQ(JsonQuote("\xc3"), "\"\\ufffd\"");
    EXPECT_EQ(JsonQuote("\xc0\xaf"), "\"\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonQuote("\xed\xa0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");

    Json root = Json::Object();
    root.Set("ok", true);
    root.Set("name", std::string("CORP\\bob \"quoted\"\r\n"));
    root.Set("mask", 0xFFFFFFFFul);
    root.Set("none", Json());
    Json list = Json::Array();
    list.Push("x");
    list.Push(Json::Object());
    root.Set("list", std::move(list));
    root.Set("ok", false); // a key set again keeps its place
    EXPECT_EQ(root.Dump().rfind("{\"ok\":false,", 0), 0u);

    boost::property_tree::ptree tree;
    std::istringstream in(root.Dump());
    boost::property_tree::read_json(in, tree);
    EXPECT_EQ(tree.get<std::string>("name"), "CORP\\bob \"quoted\"\r\n");
    EXPECT_EQ(tree.get<std::string>("mask"), "4294967295");
    EXPECT_EQ(tree.get_child("list").size(), 2u);
}

TEST(ZyrsecText, ColumnsAlignByCharactersAndLinesEndWithoutBlanks)
{
    TextTable table({"NAME", "ID"});
    table.AddRow({"Gr\xc3\xbc\xc3\x9f", "{1}"});
    table.AddRow({"Line\n1", ""});
    EXPECT_EQ(table.Render(), "NAME    ID\nGr\xc3\xbc\xc3\x9f    {1}\nLine 1\n");
    EXPECT_EQ(RenderFields({{"Name", "A"}, {"Description", ""}}, "  "), "  Name:        A\n  Description:\n");
    // Text from the server never drives the terminal.
    EXPECT_EQ(EscapeControls("u\x1b[1A\x1b[2K\r\n\tok\x7f\xc2\x9b\xc3\xbc"),
              "u\\x1b[1A\\x1b[2K\\x0d\n\tok\\x7f\\u009b\xc3\xbc");
}

TEST(ZyrsecUi, QuestionsAreAnsweredByYesByTheTerminalOrRefused)
{
    std::FILE* sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    using namespace zyr::ui;
    CliUi yes(true, false, sink);
    EXPECT_EQ(yes.MessageBox(nullptr, "Delete?", "c", MB_YESNO | MB_ICONWARNING), IDYES);
    EXPECT_EQ(yes.MessageBox(nullptr, "Note", "c", MB_OK), IDOK);
    EXPECT_FALSE(yes.QuestionRefused());

    CliUi script(false, false, sink);
    EXPECT_EQ(script.MessageBox(nullptr, "Delete?", "c", MB_YESNO), IDNO);
    EXPECT_TRUE(script.QuestionRefused());

    std::vector<std::string> answers = {"y", "no"};
    CliUi terminal(false, true, sink, [&](const std::string&, std::string& line) {
        line = answers.front();
        answers.erase(answers.begin());
        return true;
    });
    EXPECT_EQ(terminal.MessageBox(nullptr, "Delete?", "c", MB_YESNO), IDYES);
    EXPECT_EQ(terminal.MessageBox(nullptr, "Delete?", "c", MB_YESNO), IDNO);
    ASSERT_EQ(terminal.Messages().size(), 2u);
    EXPECT_EQ(terminal.Messages()[0].text, "Delete?");

    yes.MessageBox(nullptr, "Role \x1b[2Kgone", "c", MB_OK);

    std::rewind(sink);
    char buffer[512] = {};
    size_t n = std::fread(buffer, 1, sizeof buffer - 1, sink);
    std::string written(buffer, n);
    EXPECT_NE(written.find("Note\n"), std::string::npos);
    EXPECT_NE(written.find("give --yes"), std::string::npos);
    EXPECT_NE(written.find("Role \\x1b[2Kgone"), std::string::npos);
    std::fclose(sink);
}

} // namespace
