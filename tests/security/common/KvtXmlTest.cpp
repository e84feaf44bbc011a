#include "security/common/KvtXml.h"

#include "platform/text/CodePage.h"

#include <gtest/gtest.h>

#include <cstdlib>
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
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<DOCUMENT>\r\n"
    " <KVTROLES>\r\n"
    "  <ROLE><DN>{r1}</DN><CN>Ops &amp; Maint</CN><Desc></Desc><U>enc1</U><G/></ROLE>\r\n"
    "  <ROLE><DN>{r2}</DN><CN><![CDATA[<Leads>]]></CN><Desc>a<b>b</b>c</Desc>"
    "<!-- note --><U/>text between<G/></ROLE>\r\n"
    "  <COUNT>2</COUNT>\r\n"
    " </KVTROLES>\r\n"
    "</DOCUMENT>";

std::string Text(const KvtXmlDocument& doc, const KvtXmlElement& element)
{
    std::string text = "<unread>";
    EXPECT_EQ(doc.GetElementText(element, text), S_OK);
    return text;
}

KvtXmlElement Child(const KvtXmlElement& parent, LONG index)
{
    KvtXmlElementCollection children;
    KvtXmlElement child;
    EXPECT_EQ(parent.get_children(children), S_OK);
    EXPECT_EQ(children.item(index, child), S_OK);
    return child;
}

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvtxml.XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string File(const char* name) const { return (std::filesystem::path(path_) / name).string(); }

private:
    std::string path_;
};

TEST(KvtXml, WalksAListReplyByPosition)
{
    KvtXmlDocument doc(CP_UTF8);
    ASSERT_EQ(doc.put_XmlString(std::string(kRoleReply)), S_OK);

    KvtXmlElement roles;
    ASSERT_EQ(doc.FindElement(nullptr, "KVTROLES", roles), S_OK);
    KvtXmlElementCollection children;
    ASSERT_EQ(roles.get_children(children), S_OK);
    LONG length = 0;
    ASSERT_EQ(children.get_length(&length), S_OK);
    EXPECT_EQ(length, 3);

    const KvtXmlElement first = Child(roles, 0);
    KvtXmlElementCollection fields;
    ASSERT_EQ(first.get_children(fields), S_OK);
    ASSERT_EQ(fields.size(), 5u);
    KvtXmlElement field;
    ASSERT_EQ(fields.item(1, field), S_OK);
    EXPECT_EQ(Text(doc, field), "Ops & Maint");
    ASSERT_EQ(fields.item(2, field), S_OK);
    EXPECT_EQ(Text(doc, field), "");

    // Text and comments are not children; text is all the text inside.
    const KvtXmlElement second = Child(roles, 1);
    ASSERT_EQ(second.get_children(fields), S_OK);
    ASSERT_EQ(fields.size(), 5u);
    EXPECT_EQ(Text(doc, Child(second, 1)), "<Leads>");
    EXPECT_EQ(Text(doc, Child(second, 2)), "abc");
    std::string tag;
    EXPECT_EQ(Child(second, 4).get_tagName(tag), S_OK);
    EXPECT_EQ(tag, "G");

    EXPECT_EQ(children.item(3, field), E_INVALIDARG);
    EXPECT_EQ(children.item(-1, field), E_INVALIDARG);
    EXPECT_EQ(children.get_length(nullptr), E_POINTER);

    // A search under a parent stays under it.
    KvtXmlElement dn;
    EXPECT_EQ(doc.FindElement(&second, "DN", dn), S_OK);
    EXPECT_EQ(Text(doc, dn), "{r2}");
    EXPECT_EQ(doc.FindElement(&second, "COUNT", dn), KVTXML_E_NOT_FOUND);
    EXPECT_EQ(doc.FindElement(nullptr, "KVTAPPLS", dn), KVTXML_E_NOT_FOUND);
    EXPECT_EQ(doc.FindElement(nullptr, "kvtroles", dn), KVTXML_E_NOT_FOUND);
}

TEST(KvtXml, IndexesLargeListsByPosition)
{
    constexpr int kRecords = 20000;
    std::string xml = "<DOCUMENT><KVTLOGS>";
    for (int i = 0; i < kRecords; ++i) {
        xml += "<LOG><D>" + std::to_string(i) + "</D><U>u</U><A>a</A><S>s</S></LOG>";
    }
    xml += "<END/></KVTLOGS></DOCUMENT>";
    KvtXmlDocument doc(CP_UTF8);
    ASSERT_EQ(doc.put_XmlString(std::string_view(xml)), S_OK);
    KvtXmlElement logs;
    ASSERT_EQ(doc.FindElement(nullptr, "KVTLOGS", logs), S_OK);
    KvtXmlElementCollection children;
    ASSERT_EQ(logs.get_children(children), S_OK);
    ASSERT_EQ(children.size(), static_cast<size_t>(kRecords + 1));
    for (LONG i = 0; i < kRecords; i += 997) {
        KvtXmlElement entry;
        ASSERT_EQ(children.item(i, entry), S_OK);
        EXPECT_EQ(Text(doc, Child(entry, 0)), std::to_string(i));
    }
}

TEST(KvtXml, ReportsMalformedAndMissingDocumentsAsFailures)
{
    KvtXmlDocument doc(CP_UTF8);
    KvtXmlElement element;
    std::string text;
    EXPECT_EQ(doc.FindElement(nullptr, "KVTROLES", element), KVTXML_E_NO_DOCUMENT);
    EXPECT_EQ(doc.GetValue("ApplName", text), KVTXML_E_NO_DOCUMENT);
    EXPECT_EQ(doc.GetElementText(element, text), E_POINTER);
    KvtXmlElementCollection children;
    EXPECT_EQ(element.get_children(children), E_POINTER);

    for (const char* bad : {"", "   ", "not xml", "<DOCUMENT>", "<a><b></a>", "<a attr=></a>",
                            "<html><body>Server error</body>", "<!-- only a comment -->"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(doc.put_XmlString(std::string_view(bad)), KVTXML_E_PARSE);
    }

    // A failed parse leaves nothing of the document before it, but elements
    // taken from that document stay readable.
    ASSERT_EQ(doc.put_XmlString(std::string(kRoleReply)), S_OK);
    KvtXmlElement roles;
    ASSERT_EQ(doc.FindElement(nullptr, "KVTROLES", roles), S_OK);
    EXPECT_EQ(doc.put_XmlString(std::string_view("<broken")), KVTXML_E_PARSE);
    EXPECT_EQ(doc.FindElement(nullptr, "KVTROLES", element), KVTXML_E_NO_DOCUMENT);
    EXPECT_EQ(Text(doc, Child(Child(roles, 0), 0)), "{r1}");
}

TEST(KvtXml, ElementsOutliveTheirDocument)
{
    KvtXmlElementCollection children;
    {
        auto doc = std::make_unique<KvtXmlDocument>(CP_UTF8);
        ASSERT_EQ(doc->put_XmlString(std::string_view("<R><A>one</A><B>two</B></R>")), S_OK);
        KvtXmlElement root;
        ASSERT_EQ(doc->get_documentElement(root), S_OK);
        ASSERT_EQ(root.get_children(children), S_OK);
        ASSERT_EQ(doc->put_XmlString(std::string_view("<Other/>")), S_OK);
    }
    KvtXmlElement b;
    ASSERT_EQ(children.item(1, b), S_OK);
    std::string text;
    EXPECT_EQ(b.get_text(text), S_OK);
    EXPECT_EQ(text, "two");
}

// An export file as the application export writes it.
void WriteExport(KvtXmlDocument& doc)
{
    ASSERT_EQ(doc.AddTextElement(nullptr, "ApplName", "Mixing & Dosing <Line 1>"), S_OK);
    ASSERT_EQ(doc.AddTextElement(nullptr, "ApplID", "{6B29FC40-CA47-1067-B31D-00DD010662DA}"), S_OK);
    ASSERT_EQ(doc.AddTextElement(nullptr, "Description", "\"quoted\" 'and' a > b"), S_OK);
    ASSERT_EQ(doc.AddTextElement(nullptr, "KVTPerm", "Read:0x00000001;Write:0x00000002;"), S_OK);
    ASSERT_EQ(doc.AddTextElement(nullptr, "GroupCount", "2"), S_OK);
    for (int g = 0; g < 2; ++g) {
        KvtXmlElement group;
        ASSERT_EQ(doc.AddElement(nullptr, "GROUP" + std::to_string(g), group), S_OK);
        ASSERT_EQ(doc.AddTextElement(&group, "GROUPNAME", "Group " + std::to_string(g)), S_OK);
        ASSERT_EQ(doc.AddTextElement(&group, "GROUPID", "{G" + std::to_string(g) + "}"), S_OK);
        ASSERT_EQ(doc.AddTextElement(&group, "Description", "group description " + std::to_string(g)), S_OK);
        ASSERT_EQ(doc.AddTextElement(&group, "SECOBJECTCOUNT", g == 0 ? "0" : "1"), S_OK);
        if (g == 1) {
            KvtXmlElement object;
            ASSERT_EQ(doc.AddElement(&group, "SECOBJ0", object), S_OK);
            ASSERT_EQ(doc.AddTextElement(&object, "SECOBJNAME", "Valve 7"), S_OK);
            ASSERT_EQ(doc.AddTextElement(&object, "SECOBJID", "{O1}"), S_OK);
            ASSERT_EQ(doc.AddTextElement(&object, "DESCRIPTION", "  spaced  "), S_OK);
        }
    }
}

TEST(KvtXml, WritesAndReadsBackAnExportFile)
{
    TempDir dir;
    const std::string path = dir.File("export.xml");
    {
        KvtXmlDocument doc(CP_UTF8);
        WriteExport(doc);
        ASSERT_EQ(doc.SaveFile(path), S_OK);
    }
    std::ifstream in(path);
    std::stringstream raw;
    raw << in.rdbuf();
    const std::string file = raw.str();
    EXPECT_NE(file.find("<ApplName>Mixing &amp; Dosing &lt;Line 1&gt;</ApplName>"), std::string::npos)
        << file;
    EXPECT_EQ(file.find("<Line 1>"), std::string::npos);
    EXPECT_EQ(file.rfind("<?xml", 0), 0u);

    KvtXmlDocument doc(CP_UTF8);
    ASSERT_EQ(doc.LoadFile(path), S_OK);
    std::string value;
    ASSERT_EQ(doc.GetValue("ApplName", value), S_OK);
    EXPECT_EQ(value, "Mixing & Dosing <Line 1>");
    ASSERT_EQ(doc.GetValue("Description", value), S_OK);
    EXPECT_EQ(value, "\"quoted\" 'and' a > b");
    // The import reads the group description under another case.
    ASSERT_EQ(doc.GetValue("GROUP1.DESCRIPTION", value), S_OK);
    EXPECT_EQ(value, "group description 1");
    ASSERT_EQ(doc.GetValue("group1.secobj0.SecObjName", value), S_OK);
    EXPECT_EQ(value, "Valve 7");
    ASSERT_EQ(doc.GetValue("GROUP1.SECOBJ0.DESCRIPTION", value), S_OK);
    EXPECT_EQ(value, "  spaced  ");
    EXPECT_EQ(doc.GetValue("GROUP0.SECOBJ0.SECOBJNAME", value), KVTXML_E_NOT_FOUND);
    EXPECT_EQ(doc.GetValue("GROUP2", value), KVTXML_E_NOT_FOUND);
    EXPECT_EQ(doc.GetValue("GROUP1.", value), KVTXML_E_NOT_FOUND);

    LONG count = -1;
    ASSERT_EQ(doc.GetLongValue("GroupCount", &count), S_OK);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(doc.GetLongValue("GROUP1.SECOBJECTCOUNT", &count), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(doc.GetLongValue("ApplName", &count), KVTXML_E_NOT_NUMBER);
    EXPECT_EQ(doc.GetLongValue("Missing", &count), KVTXML_E_NOT_FOUND);
    EXPECT_EQ(doc.GetLongValue("GroupCount", nullptr), E_POINTER);

    // The root keeps its children in the order they were added.
    KvtXmlElement root;
    ASSERT_EQ(doc.get_documentElement(root), S_OK);
    std::string tag;
    ASSERT_EQ(root.get_tagName(tag), S_OK);
    EXPECT_EQ(tag, "DOCUMENT");
    ASSERT_EQ(Child(Child(root, 6), 4).get_tagName(tag), S_OK);
    EXPECT_EQ(tag, "SECOBJ0");
}

TEST(KvtXml, ReadsDecimalIntegersOnly)
{
    KvtXmlDocument doc(CP_UTF8);
    ASSERT_EQ(doc.put_XmlString(std::string_view("<R><a> 7 </a><b>-3</b><c>12x</c><d>99999999999</d><e></e>"
                                                 "<f>+4</f><g>+-4</g></R>")),
              S_OK);
    LONG value = 0;
    EXPECT_EQ(doc.GetLongValue("a", &value), S_OK);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(doc.GetLongValue("b", &value), S_OK);
    EXPECT_EQ(value, -3);
    EXPECT_EQ(doc.GetLongValue("f", &value), S_OK);
    EXPECT_EQ(value, 4);
    for (const char* bad : {"c", "d", "e", "g"}) {
        EXPECT_EQ(doc.GetLongValue(bad, &value), KVTXML_E_NOT_NUMBER) << bad;
    }
}

TEST(KvtXml, RefusesBadWritesAndUnwritableFiles)
{
    KvtXmlDocument doc(CP_UTF8);
    KvtXmlElement element;
    EXPECT_EQ(doc.SaveFile("/tmp/never-written.xml"), KVTXML_E_NO_DOCUMENT);
    EXPECT_EQ(doc.AddElement(nullptr, "", element), E_INVALIDARG);
    EXPECT_EQ(doc.AddElement(nullptr, "two words", element), E_INVALIDARG);
    EXPECT_EQ(doc.AddTextElement(nullptr, "1st", "x"), E_INVALIDARG);

    KvtXmlDocument other(CP_UTF8);
    KvtXmlElement foreign;
    ASSERT_EQ(other.AddElement(nullptr, "A", foreign), S_OK);
    EXPECT_EQ(doc.AddElement(&foreign, "B", element), E_INVALIDARG);
    EXPECT_EQ(doc.FindElement(&foreign, "A", element), KVTXML_E_NO_DOCUMENT);

    TempDir dir;
    EXPECT_EQ(other.SaveFile(dir.File("missing/dir/export.xml")), KVTXML_E_FILE);
    EXPECT_EQ(doc.LoadFile(dir.File("absent.xml")), KVTXML_E_FILE);

    // A file that does not parse is a parse failure, and a failed save
    // leaves the file it would have replaced as it was.
    const std::string path = dir.File("bad.xml");
    std::ofstream(path) << "<DOCUMENT><ApplName>cut";
    EXPECT_EQ(doc.LoadFile(path), KVTXML_E_PARSE);
    ASSERT_EQ(::chmod(dir.File("").c_str(), 0500), 0);
    if (::access(dir.File("probe").c_str(), F_OK) != 0 && std::ofstream(dir.File("probe")).fail()) {
        EXPECT_EQ(other.SaveFile(path), KVTXML_E_FILE);
        std::ifstream in(path);
        std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(kept, "<DOCUMENT><ApplName>cut");
    }
    ::chmod(dir.File("").c_str(), 0700);
}

TEST(KvtXml, ConvertsTextsOfADocumentInCodePage1252)
{
    zyr::text::SetActiveCodePage(CP_1252);
    KvtXmlDocument doc(CP_1252);
    ASSERT_EQ(doc.put_XmlString(std::string_view("<R><N>M\xFCller \x80</N></R>")), S_OK);
    std::string value;
    ASSERT_EQ(doc.GetValue("N", value), S_OK);
    EXPECT_EQ(value, "M\xFCller \x80");

    ASSERT_EQ(doc.AddTextElement(nullptr, "Cost", "5 \x80"), S_OK);
    std::string xml;
    ASSERT_EQ(doc.get_XmlString(xml), S_OK);
    EXPECT_NE(xml.find("<N>M\xC3\xBCller \xE2\x82\xAC</N>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<Cost>5 \xE2\x82\xAC</Cost>"), std::string::npos) << xml;
    // A file carries its own encoding; texts come back in the code page.
    TempDir dir;
    ASSERT_EQ(doc.SaveFile(dir.File("cp.xml")), S_OK);
    KvtXmlDocument reread(CP_1252);
    ASSERT_EQ(reread.LoadFile(dir.File("cp.xml")), S_OK);
    ASSERT_EQ(reread.GetValue("cost", value), S_OK);
    EXPECT_EQ(value, "5 \x80");
    zyr::text::ResetCodePage();

    // In UTF-8 the bytes pass through unchanged.
    KvtXmlDocument utf8(CP_UTF8);
    ASSERT_EQ(utf8.put_XmlString(std::string_view("<R><N>M\xC3\xBCller</N></R>")), S_OK);
    ASSERT_EQ(utf8.GetValue("N", value), S_OK);
    EXPECT_EQ(value, "M\xC3\xBCller");
}

HRESULT NotRegistered(std::unique_ptr<KvtXmlDocument>&)
{
    return REGDB_E_CLASSNOTREG;
}

TEST(KvtXml, CreatesDocumentsThroughAReplaceableFactory)
{
    std::unique_ptr<KvtXmlDocument> doc;
    InstallKvtXmlFactory(&NotRegistered);
    EXPECT_EQ(CreateKvtXmlDocument(doc), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(doc, nullptr);
    ResetKvtXmlFactory();

    zyr::text::SetActiveCodePage(CP_1252);
    ASSERT_EQ(CreateKvtXmlDocument(doc), S_OK);
    EXPECT_EQ(doc->CodePage(), CP_1252);
    zyr::text::ResetCodePage();
}

} // namespace
