#include "common/XmlListChildren.h"

#include <gtest/gtest.h>

namespace {

using zyr::xml::ListChildren;
using zyr::xml::SplitListChildren;

TEST(XmlListChildrenTest, SplitsTheListsChildrenFromItsEnvelope)
{
    ListChildren split;
    ASSERT_TRUE(SplitListChildren("<?xml version=\"1.0\"?><DOCUMENT><X/><L><A k=\"a>b\"><B>1 > 0</B></A>"
                                  "\n<A/><N>2</N></L><L><A/></L></DOCUMENT>",
                                  "DOCUMENT", "L", split));
    ASSERT_EQ(split.children.size(), 3u);
    EXPECT_EQ(split.children[0], "<A k=\"a>b\"><B>1 > 0</B></A>");
    EXPECT_EQ(split.children[1], "<A/>");
    EXPECT_EQ(split.children[2], "<N>2</N>");
    // Only the first list is split.
    EXPECT_EQ(split.envelope, "<?xml version=\"1.0\"?><DOCUMENT><X/><L>\n</L><L><A/></L></DOCUMENT>");
}

TEST(XmlListChildrenTest, TextsNotPlainlySuchADocumentAreLeftWhole)
{
    ListChildren split;
    for (const char* xml :
         {"<DOCUMENT><L><A><!-- c --></A></L></DOCUMENT>",
          "<DOCUMENT><L><A><![CDATA[</A>]]></A></L></DOCUMENT>", "<DOCUMENT><L><A></B></L></DOCUMENT>",
          "<DOCUMENT><L><A></A></L>", "<DOCUMENT><L/></DOCUMENT>", "<OTHER><L><A/></L></OTHER>",
          "<DOCUMENT><X><L><A/></L></X></DOCUMENT>", "<DOCUMENT><L><A/></L></DOCUMENT><DOCUMENT/>",
          "<DOCUMENT><L><A</L></DOCUMENT>"}) {
        EXPECT_FALSE(SplitListChildren(xml, "DOCUMENT", "L", split)) << xml;
    }
}

} // namespace
