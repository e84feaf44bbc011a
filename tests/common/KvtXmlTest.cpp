#include "common/KvtXml.h"

#include "platform/text/CodePage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

using namespace zyr::xml;
using zyr::text::CP_1252;
using zyr::text::CP_UTF8;

// A role list as the carrier hands it over: cut right after </DOCUMENT>.
const char* const kRoleReply =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<DOCUMENT>\r\n <KVTROLES>\r\n"
    "  <ROLE><DN>{r1}</DN><CN>Ops &amp; Maint</CN><Desc></Desc><U>enc1</U><G/></ROLE>\r\n"
    "  <ROLE><DN>{r2}</DN><CN><![CDATA[<Leads>]]></CN><Desc>a<b>b</b>c</Desc>"
    "<!-- note --><U/>text between<G/></ROLE>\r\n"
    "  <COUNT>2</COUNT>\r\n </KVTROLES>\r\n</DOCUMENT>";

KvtXmlElement Child(const KvtXmlElement& parent, LONG index)
{
    KvtXmlElementCollection children;
    KvtXmlElement child;
    EXPECT_EQ(parent.get_children(children), S_OK);
    EXPECT_EQ(children.item(index, child), S_OK);
    return child;
}

std::string Text(const KvtXmlElement& element)
{
    std::string text = "<unread>";
    EXPECT_EQ(element.get_text(text), S_OK);
    return text;
}

std::string Value(const KvtXmlDocument& doc, std::string_view path)
{
    std::string value = "<unread>";
    EXPECT_EQ(doc.GetValue(path, value), S_OK) << path;
    return value;
}

class KvtXmlFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvtxml.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string File(const char* name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;
};

TEST(KvtXml, WalksAListReplyByPosition)
{
    KvtXmlDocument doc(CP_UTF8);
    ASSERT_EQ(doc.put_XmlString(std::string(kRoleReply)), S_OK);
    KvtXmlElement roles;
    ASSERT_EQ(doc.FindElement(nullptr, "KVTROLES", roles), S_OK);
    KvtXmlElementCollection children;
    LONG length = 0;
    ASSERT_EQ(roles.get_children(children), S_OK);
    ASSERT_EQ(children.get_length(&length), S_OK);
    EXPECT_EQ(length, 3);

    // Fields by position; text and comments are not children, and an
    // element's text is all the text inside it, without markup.
    const KvtXmlElement first = Child(roles, 0);
    const KvtXmlElement second = Child(roles, 1);
    for (const auto& role : {first, second}) {
        KvtXmlElementCollection fields;
        ASSERT_EQ(role.get_children(fields), S_OK);
        EXPECT_EQ(fields.size(), 5u);
    }
    std::string text;
    ASSERT_EQ(doc.GetElementText(Child(first, 1), text), S_OK);
    EXPECT_EQ(text, "Ops & Maint");
    EXPECT_EQ(Text(Child(first, 2)), "");
    EXPECT_EQ(Text(Child(second, 1)), "<Leads>");
    EXPECT_EQ(Text(Child(second, 2)), "abc");
    std::string tag;
    EXPECT_EQ(Child(second, 4).get_tagName(tag), S_OK);
    EXPECT_EQ(tag, "G");

    KvtXmlElement element;
    EXPECT_EQ(children.item(3, element), E_INVALIDARG);
    EXPECT_EQ(children.item(-1, element), E_INVALIDARG);
    EXPECT_EQ(doc.FindElement(&second, "DN", element), S_OK);
    EXPECT_EQ(Text(element), "{r2}");
    EXPECT_EQ(doc.FindElement(&second, "COUNT", element), KVTXML_E_NOT_FOUND);
    EXPECT_EQ(doc.FindElement(nullptr, "kvtroles", element), KVTXML_E_NOT_FOUND);
}

// A parsed document written out again keeps every text, the ones held
// inside their elements included, and mixed content stays in order.
TEST(KvtXml, WritesAParsedDocumentBackWithItsTexts)
{
    KvtXmlDocument doc(CP_UTF8);
    ASSERT_EQ(doc.put_XmlString(std::string(kRoleReply)), S_OK);
    KvtXmlElement roles;
    ASSERT_EQ(doc.FindElement(nullptr, "KVTROLES", roles), S_OK);
    ASSERT_EQ(doc.AddTextElement(&roles, "ADDED", "new & text"), S_OK);
    std::string xml;
    ASSERT_EQ(doc.get_XmlString(xml), S_OK);

    KvtXmlDocument again(CP_UTF8);
    ASSERT_EQ(again.put_XmlString(xml), S_OK);
    EXPECT_EQ(Value(again, "KVTROLES.ROLE.CN"), "Ops & Maint");
    EXPECT_EQ(Value(again, "KVTROLES.COUNT"), "2");
    EXPECT_EQ(Value(again, "KVTROLES.ADDED"), "new & text");
    ASSERT_EQ(again.FindElement(nullptr, "KVTROLES", roles), S_OK);
    const KvtXmlElement second = Child(roles, 1);
    EXPECT_EQ(Text(Child(second, 1)), "<Leads>");
    EXPECT_EQ(Text(Child(second, 2)), "abc");
}

// A walk lets go of the parts it is done with; the rest stays readable.
TEST(KvtXml, RemovesAnElementWithEverythingUnderIt)
{
    KvtXmlDocument doc(CP_UTF8);
    ASSERT_EQ(doc.put_XmlString(std::string(kRoleReply)), S_OK);
    KvtXmlElement roles;
    ASSERT_EQ(doc.FindElement(nullptr, "KVTROLES", roles), S_OK);
    KvtXmlElement first = Child(roles, 0);
    ASSERT_EQ(doc.RemoveElement(first), S_OK);
    EXPECT_FALSE(first.IsValid());
    EXPECT_EQ(doc.RemoveElement(first), E_INVALIDARG);

    KvtXmlElementCollection children;
    ASSERT_EQ(roles.get_children(children), S_OK);
    EXPECT_EQ(children.size(), 2u);
    EXPECT_EQ(Value(doc, "KVTROLES.ROLE.DN"), "{r2}");
    std::string xml;
    ASSERT_EQ(doc.get_XmlString(xml), S_OK);
    EXPECT_EQ(xml.find("{r1}"), std::string::npos);

    // Only elements of this document, and not the document itself.
    KvtXmlDocument other(CP_UTF8);
    ASSERT_EQ(other.put_XmlString(std::string(kRoleReply)), S_OK);
    KvtXmlElement foreign;
    ASSERT_EQ(other.FindElement(nullptr, "KVTROLES", foreign), S_OK);
    EXPECT_EQ(doc.RemoveElement(foreign), E_INVALIDARG);
    EXPECT_NE(Text(foreign).find("{r1}"), std::string::npos);
}

TEST(KvtXml, ReportsMalformedAndMissingDocumentsAsFailures)
{
    KvtXmlDocument doc(CP_UTF8);
    KvtXmlElement element;
    std::string text;
    EXPECT_EQ(doc.FindElement(nullptr, "KVTROLES", element), KVTXML_E_NO_DOCUMENT);
    EXPECT_EQ(doc.GetValue("ApplName", text), KVTXML_E_NO_DOCUMENT);
    EXPECT_EQ(doc.GetElementText(element, text), E_POINTER);
    for (const char* bad : {"", "   ", "not xml", "<DOCUMENT>", "<a><b></a>", "<a attr=></a>",
                            "<html><body>Server error</body>", "<!-- only a comment -->"}) {
        EXPECT_EQ(doc.put_XmlString(std::string_view(bad)), KVTXML_E_PARSE) << bad;
    }

    // A failed parse empties the document; elements taken before stay
    // readable, as they do after the document is gone.
    auto owner = std::make_unique<KvtXmlDocument>(CP_UTF8);
    ASSERT_EQ(owner->put_XmlString(std::string(kRoleReply)), S_OK);
    KvtXmlElement roles;
    ASSERT_EQ(owner->FindElement(nullptr, "KVTROLES", roles), S_OK);
    EXPECT_EQ(owner->put_XmlString("<broken"), KVTXML_E_PARSE);
    EXPECT_EQ(owner->FindElement(nullptr, "KVTROLES", element), KVTXML_E_NO_DOCUMENT);
    owner.reset();
    EXPECT_EQ(Text(Child(Child(roles, 0), 0)), "{r1}");
}

TEST(KvtXml, ReadsDecimalIntegersOnly)
{
    KvtXmlDocument doc(CP_UTF8);
    ASSERT_EQ(doc.put_XmlString(std::string_view("<R><a> 7 </a><b>-3</b><f>+4</f><c>12x</c><d>99999999999</d>"
                                                 "<e></e><g>+-4</g></R>")),
              S_OK);
    const std::pair<const char*, LONG> good[] = {{"a", 7}, {"B", -3}, {"f", 4}};
    for (const auto& [path, expected] : good) {
        LONG value = 0;
        EXPECT_EQ(doc.GetLongValue(path, &value), S_OK);
        EXPECT_EQ(value, expected);
    }
    LONG value = 0;
    for (const char* bad : {"c", "d", "e", "g"}) {
        EXPECT_EQ(doc.GetLongValue(bad, &value), KVTXML_E_NOT_NUMBER) << bad;
    }
    EXPECT_EQ(doc.GetLongValue("missing", &value), KVTXML_E_NOT_FOUND);
}

TEST_F(KvtXmlFiles, WritesAndReadsBackAnExportFile)
{
    {
        KvtXmlDocument doc(CP_UTF8);
        KvtXmlElement group;
        KvtXmlElement object;
        ASSERT_EQ(doc.AddTextElement(nullptr, "ApplName", "Mixing & Dosing <Line 1>"), S_OK);
        ASSERT_EQ(doc.AddTextElement(nullptr, "Description", "\"quoted\" 'and' a > b"), S_OK);
        ASSERT_EQ(doc.AddTextElement(nullptr, "GroupCount", "1"), S_OK);
        ASSERT_EQ(doc.AddElement(nullptr, "GROUP0", group), S_OK);
        ASSERT_EQ(doc.AddTextElement(&group, "GROUPNAME", "Line 1"), S_OK);
        ASSERT_EQ(doc.AddTextElement(&group, "Description", "group description"), S_OK);
        ASSERT_EQ(doc.AddElement(&group, "SECOBJ0", object), S_OK);
        ASSERT_EQ(doc.AddTextElement(&object, "SECOBJNAME", "Valve 7"), S_OK);
        ASSERT_EQ(doc.AddTextElement(&object, "DESCRIPTION", "  spaced  "), S_OK);
        ASSERT_EQ(doc.SaveFile(File("export.xml")), S_OK);
    }
    std::stringstream raw;
    raw << std::ifstream(File("export.xml")).rdbuf();
    EXPECT_EQ(raw.str().rfind("<?xml", 0), 0u);
    EXPECT_NE(raw.str().find("<ApplName>Mixing &amp; Dosing &lt;Line 1&gt;</ApplName>"), std::string::npos);

    KvtXmlDocument doc(CP_UTF8);
    ASSERT_EQ(doc.LoadFile(File("export.xml")), S_OK);
    EXPECT_EQ(Value(doc, "ApplName"), "Mixing & Dosing <Line 1>");
    EXPECT_EQ(Value(doc, "Description"), "\"quoted\" 'and' a > b");
    // The import reads the group description under another case.
    EXPECT_EQ(Value(doc, "GROUP0.DESCRIPTION"), "group description");
    EXPECT_EQ(Value(doc, "group0.secobj0.SecObjName"), "Valve 7");
    EXPECT_EQ(Value(doc, "GROUP0.SECOBJ0.DESCRIPTION"), "  spaced  ");
    std::string value;
    for (const char* missing : {"GROUP1", "GROUP0.SECOBJ1.SECOBJNAME", "GROUP0.", "ApplName.x"}) {
        EXPECT_EQ(doc.GetValue(missing, value), KVTXML_E_NOT_FOUND) << missing;
    }
    // The root keeps its children in the order they were added.
    KvtXmlElement root;
    std::string tag;
    ASSERT_EQ(doc.get_documentElement(root), S_OK);
    ASSERT_EQ(root.get_tagName(tag), S_OK);
    EXPECT_EQ(tag, "DOCUMENT");
    ASSERT_EQ(Child(Child(root, 3), 2).get_tagName(tag), S_OK);
    EXPECT_EQ(tag, "SECOBJ0");
}

TEST_F(KvtXmlFiles, RefusesBadWritesAndUnreadableFiles)
{
    KvtXmlDocument doc(CP_UTF8);
    KvtXmlElement element;
    EXPECT_EQ(doc.SaveFile(File("empty.xml")), KVTXML_E_NO_DOCUMENT);
    EXPECT_EQ(doc.AddElement(nullptr, "", element), E_INVALIDARG);
    EXPECT_EQ(doc.AddElement(nullptr, "two words", element), E_INVALIDARG);
    EXPECT_EQ(doc.AddTextElement(nullptr, "1st", "x"), E_INVALIDARG);

    // An element of another document is no parent here.
    KvtXmlDocument other(CP_UTF8);
    KvtXmlElement foreign;
    ASSERT_EQ(other.AddElement(nullptr, "A", foreign), S_OK);
    EXPECT_EQ(doc.AddElement(&foreign, "B", element), E_INVALIDARG);

    EXPECT_EQ(other.SaveFile(File("missing/export.xml")), KVTXML_E_FILE);
    EXPECT_EQ(doc.LoadFile(File("absent.xml")), KVTXML_E_FILE);
    std::ofstream(File("cut.xml")) << "<DOCUMENT><ApplName>cut";
    EXPECT_EQ(doc.LoadFile(File("cut.xml")), KVTXML_E_PARSE);
}

TEST_F(KvtXmlFiles, ConvertsTextsOfACodePageDocument)
{
    zyr::text::SetActiveCodePage(CP_1252);
    std::unique_ptr<KvtXmlDocument> doc;
    ASSERT_EQ(CreateKvtXmlDocument(doc), S_OK);
    ASSERT_EQ(doc->CodePage(), CP_1252);
    ASSERT_EQ(doc->put_XmlString(std::string_view("<R><N>M\xFCller \x80</N></R>")), S_OK);
    EXPECT_EQ(Value(*doc, "N"), "M\xFCller \x80");
    ASSERT_EQ(doc->AddTextElement(nullptr, "Cost", "5 \x80"), S_OK);
    std::string xml;
    ASSERT_EQ(doc->get_XmlString(xml), S_OK);
    EXPECT_NE(xml.find("<N>M\xC3\xBCller \xE2\x82\xAC</N>"), std::string::npos) << xml;
    // The file is UTF-8; its texts come back in the code page.
    ASSERT_EQ(doc->SaveFile(File("cp.xml")), S_OK);
    KvtXmlDocument reread(CP_1252);
    ASSERT_EQ(reread.LoadFile(File("cp.xml")), S_OK);
    EXPECT_EQ(Value(reread, "cost"), "5 \x80");
    zyr::text::ResetCodePage();

    KvtXmlDocument utf8(CP_UTF8);
    ASSERT_EQ(utf8.put_XmlString(std::string_view("<R><N>M\xC3\xBCller</N></R>")), S_OK);
    EXPECT_EQ(Value(utf8, "N"), "M\xC3\xBCller");
}

TEST(KvtXml, CreatesDocumentsThroughAReplaceableFactory)
{
    InstallKvtXmlFactory([](std::unique_ptr<KvtXmlDocument>&) { return REGDB_E_CLASSNOTREG; });
    std::unique_ptr<KvtXmlDocument> doc;
    EXPECT_EQ(CreateKvtXmlDocument(doc), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(doc, nullptr);
    ResetKvtXmlFactory();
    ASSERT_EQ(CreateKvtXmlDocument(doc), S_OK);
    EXPECT_EQ(doc->CodePage(), CP_UTF8);
}

} // namespace
