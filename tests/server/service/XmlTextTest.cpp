// Text that would break the list replies: refused in every change, kept as
// U+FFFD in events and log entries, and written as U+FFFD when a database of
// an older server holds it.
#include "tests/server/ServerFixture.h"

#include "cache/TextCipher.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <string>
#include <tuple>
#include <vector>

namespace zyr::server::test {
namespace {

using zyr::cipher::Encrypt;

// Whether a reply is text an XML 1.0 parser accepts, judged apart from the
// server's own rules: the C library decodes the UTF-8.
bool XmlCharacters(const std::string& text)
{
    iconv_t cd = ::iconv_open("UTF-32LE", "UTF-8");
    std::string in = text;
    std::u32string out(text.size() + 1, 0);
    char* inAt = in.data();
    size_t inLeft = in.size();
    char* outAt = reinterpret_cast<char*>(out.data());
    size_t outLeft = out.size() * sizeof(char32_t);
    size_t rc = ::iconv(cd, &inAt, &inLeft, &outAt, &outLeft);
    ::iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) {
        return false;
    }
    out.resize(out.size() - outLeft / sizeof(char32_t));
    for (char32_t c : out) {
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0xFFFE || c == 0xFFFF ||
            (c >= 0xD800 && c <= 0xDFFF)) {
            return false;
        }
    }
    return true;
}

const std::vector<std::string> kHostile = {"%FF", "a%01b", "%EF%BF%BE", "%C0%AF", "%ED%A0%80", "x%E2%82"};

class XmlTextTest : public ::testing::Test {
protected:
    void ExpectListsWellFormed()
    {
        for (const char* query : {"Object=Appl&Operation=GetAll", "Object=Role&Operation=Get",
                                  "Object=Log&Operation=Get&DisplaySet=0", "Object=Audit&Operation=Get"}) {
            std::string body = f.Get(query).body;
            EXPECT_TRUE(XmlCharacters(body)) << query;
            pugi::xml_document doc;
            EXPECT_TRUE(doc.load_string(body.c_str())) << query;
        }
    }

    ServerFixture f;
};

TEST_F(XmlTextTest, EveryFieldOfAChangeRefusesTextNoListCouldShow)
{
    struct Change {
        std::string head;
        std::vector<std::pair<std::string, std::string>> fields;
    };
    const std::string e = Encrypt("");
    const std::vector<Change> changes = {
        {"Object=Role&Operation=Add",
         {{"CN", "R2"},
          {"DN", "{r2}"},
          {"Desc", "d"},
          {"MemeberUser", e},
          {"MemberGroup", e},
          {"User", "u"},
          {"Computer", "c"}}},
        {"Object=Appl&Operation=Add",
         {{"Appl", "A"},
          {"DN", "{a}"},
          {"Desc", "d"},
          {"Perm", e},
          {"ACL", e},
          {"User", "u"},
          {"Computer", "c"}}},
        {"Object=Role&Operation=Delete", {{"DN", "{r}"}, {"User", "u"}, {"Computer", "c"}, {"CN", "R"}}},
        {"Object=Log&Operation=Del", {{"FromDate", "1/1/2020"}, {"User", "u"}, {"Computer", "c"}}},
    };
    // A role the deletions would remove but for the hostile field.
    ASSERT_EQ(f.Get("Object=Role&Operation=Add&CN=R&DN={r}&Desc=&MemeberUser=&MemberGroup=" + kTrailer).body,
              "OK");
    for (const auto& change : changes) {
        for (size_t i = 0; i < change.fields.size(); ++i) {
            for (const auto& bad : kHostile) {
                std::string query = change.head;
                for (size_t j = 0; j < change.fields.size(); ++j) {
                    query += "&" + change.fields[j].first + "=" + (i == j ? bad : change.fields[j].second);
                }
                EXPECT_EQ(f.Get(query).body.rfind("Error: ", 0), 0u) << query;
            }
        }
    }
    // The plain text inside the encrypted fields is held to the same rule.
    for (const std::string& body : {"MemberUser=" + Encrypt("CORP\\\xFFu;") + "&MemberGroup=",
                                    "MemberUser=&MemberGroup=" + Encrypt("G\x01;"),
                                    "MemberUser=&MemberGroup=&NewValue=" + Encrypt("\xEF\xBF\xBF")}) {
        EXPECT_EQ(f.Post("Object=Role&Operation=Update&CN=R&DN={r}&Desc=" + kTrailer, body)
                      .body.rfind("Error: ", 0),
                  0u)
            << body;
    }
    ExpectListsWellFormed();
}

TEST_F(XmlTextTest, EventsAndLogEntriesAreKeptWithReplacementsAndLimitsInBytes)
{
    EXPECT_EQ(
        f.Post("Object=Audit&Operation=Send", "Application=A%FF&User=u%01&Computer=c&Message=m%EF%BF%BE")
            .body,
        "OK");
    EXPECT_EQ(f.Post("Object=Log&Operation=Add", "User=u%C0&Action=Logon&Status=Success&Computer=c").body,
              "OK");
    auto trail = f.AuditTrail();
    ASSERT_EQ(trail.size(), 1u);
    EXPECT_EQ(trail[0].user, "u\xEF\xBF\xBD");
    EXPECT_EQ(trail[0].name, "A\xEF\xBF\xBD");
    EXPECT_EQ(trail[0].newValue, "m\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    ExpectListsWellFormed();

    const std::string name256(256, 'n');
    for (const auto& [request, body, reason] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"Object=Audit&Operation=Send", "User=u&Computer=c&Message=" + std::string(4097, 'm'),
              "4096 bytes"},
             {"Object=Audit&Operation=Send", "User=" + name256 + "&Computer=c&Message=m", "255 bytes"},
             {"Object=Log&Operation=Add", "User=u&Action=" + std::string(16, 'a'), "15 bytes"},
             {"Object=Log&Operation=Add", "", "empty"},
         }) {
        std::string reply = f.Post(request, body).body;
        EXPECT_EQ(reply.rfind("Error: ", 0), 0u) << reply;
        EXPECT_NE(reply.find(reason), std::string::npos) << reply;
    }
    for (const std::string& query :
         {"Object=Role&Operation=Add&CN=" + name256 + "&DN={r}&Desc=&MemeberUser=&MemberGroup=" + kTrailer,
          "Object=Role&Operation=Add&CN=R&DN={r}&Desc=&MemeberUser=&MemberGroup=&User=" + name256}) {
        EXPECT_NE(f.Get(query).body.find("longer than 255 bytes"), std::string::npos) << query.substr(0, 40);
    }
    EXPECT_EQ(f.AuditTrail().size(), 1u);
}

TEST_F(XmlTextTest, TextAnOlderServerStoredIsWrittenAsReplacements)
{
    RoleRecord role;
    role.dn = "{r}";
    role.name = "Bad\xFF\x01";
    ASSERT_EQ(
        f.store->AddRole(role, {"2026-01-01 00:00:00", "u\x02", "c\xFE", "Role", "Add", "{r}", "n", "", ""}),
        StoreResult::Ok);
    ExpectListsWellFormed();
    EXPECT_NE(
        f.Get("Object=Role&Operation=Get").body.find("<ROLENAME>Bad\xEF\xBF\xBD\xEF\xBF\xBD</ROLENAME>"),
        std::string::npos);
}

} // namespace
} // namespace zyr::server::test
