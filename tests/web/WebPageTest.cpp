#include "web/WebPage.h"

#include "common/ServerSettings.h"
#include "platform/log/LogSink.h"
#include "tests/platform/TempRegistry.h"
#include "tests/support/ScriptedHttpServer.h"
#include "web/HostProbe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>

namespace {

using namespace std::chrono_literals;
using zyr::test::ScriptedReply;
using zyr::web::JudgeReply;
using zyr::web::ReplyVerdict;

constexpr const char* kMachineKey = "SOFTWARE\\Tarnwick\\ZYR";

TEST(JudgeReplyTest, AppliesTheRulesInOrder)
{
    struct Case {
        std::string reply;
        ReplyVerdict verdict;
        std::string after;
    };
    const Case cases[] = {
        // The document is cut right after its first end marker.
        {"<DOCUMENT><R/></DOCUMENT>\r\ntrailer</DOCUMENT>", ReplyVerdict::Document,
         "<DOCUMENT><R/></DOCUMENT>"},
        {"<DOCUMENT/></DOCUMENT>", ReplyVerdict::Document, "<DOCUMENT/></DOCUMENT>"},
        // The marker is looked for before the error words.
        {"<DOCUMENT>error in data</html></DOCUMENT>", ReplyVerdict::Document,
         "<DOCUMENT>error in data</html></DOCUMENT>"},
        {"error", ReplyVerdict::ErrorText, "error"},
        {"Object Error 12", ReplyVerdict::ErrorText, "Object Error 12"},
        {"<html><body>Server Error</body></html>", ReplyVerdict::ErrorText,
         "<html><body>Server Error</body></html>"},
        {"<html><body>oops</body></html>", ReplyVerdict::AspErrorPage, "<html>Error in ASP</html>"},
        // Searches are case-sensitive.
        {"ERROR </HTML> </document>", ReplyVerdict::Plain, "ERROR </HTML> </document>"},
        {"", ReplyVerdict::Plain, ""},
        {"OK", ReplyVerdict::Plain, "OK"},
    };
    for (const Case& c : cases) {
        std::string reply = c.reply;
        EXPECT_EQ(JudgeReply(reply), c.verdict) << c.reply;
        EXPECT_EQ(reply, c.after) << c.reply;
    }
}

class WebPageTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAll(); }
    void TearDown() override { ResetAll(); }
    static void ResetAll()
    {
        zyr::web::ResetWebSession();
        zyr::web::ResetEchoSocketOpener();
        zyr::ResetServerSettings();
    }

    bool Get(const std::string& target, std::string& reply, bool report = true)
    {
        return GetWebPage(server.Url(target), reply, report);
    }

    zyr::testing::TempRegistry registry;
    zyr::test::ScriptedHttpServer server;
};

TEST_F(WebPageTest, DocumentReplyIsCutAndUsable)
{
    ASSERT_TRUE(server.IsRunning());
    server.Enqueue({.body = "<DOCUMENT><ROLE>error</ROLE></DOCUMENT>\r\n<!-- page footer -->"});
    std::string reply;
    EXPECT_TRUE(Get("/sec.asp?Object=Role&Operation=Get", reply));
    EXPECT_EQ(reply, "<DOCUMENT><ROLE>error</ROLE></DOCUMENT>");

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/sec.asp?Object=Role&Operation=Get");
    EXPECT_EQ(requests[0].Header("User-Agent"), "KVTSnapin");
    EXPECT_TRUE(requests[0].body.empty());
}

TEST_F(WebPageTest, AReplyCutOffInItsHeadersOrBodyFails)
{
    for (const char* raw : {"HTTP/1.1 200 OK\r\nContent-Ty", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n",
                            "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n<DOCUMENT>"}) {
        server.Enqueue({.closeAfter = true, .raw = raw});
        std::string reply;
        EXPECT_FALSE(Get("/sec.asp?Object=Role&Operation=Add", reply)) << raw;
    }
}

TEST_F(WebPageTest, ErrorRepliesFailAndHtmlPagesBecomeTheAspError)
{
    server.Enqueue({.body = "Role could not be added: error 17"});
    server.Enqueue({.body = "<html><body>Internal</body></html>"});
    server.Enqueue({.body = "<html><body>Internal</body></html>"});
    server.Enqueue({.body = ""});

    std::string reply;
    EXPECT_FALSE(Get("/a", reply));
    EXPECT_EQ(reply, "Role could not be added: error 17");

    reply.clear();
    EXPECT_FALSE(Get("/b", reply));
    EXPECT_EQ(reply, "<html>Error in ASP</html>");

    // Without reporting the page is left as it came.
    reply.clear();
    EXPECT_FALSE(Get("/c", reply, false));
    EXPECT_EQ(reply, "<html><body>Internal</body></html>");

    reply.clear();
    EXPECT_TRUE(Get("/d", reply));
    EXPECT_EQ(reply, "");
}

TEST_F(WebPageTest, HttpErrorStatusFailsWhateverThePageHolds)
{
    server.Enqueue({.status = 404, .body = "<DOCUMENT>not here</DOCUMENT>"});
    server.Enqueue({.status = 500, .body = ""});
    std::string reply;
    EXPECT_FALSE(Get("/missing", reply));
    EXPECT_EQ(reply, "<DOCUMENT>not here</DOCUMENT>");
    reply.clear();
    EXPECT_FALSE(Get("/broken", reply));
}

TEST_F(WebPageTest, ReplyIsKeptWholeAcrossZeroBytesAndChunks)
{
    std::string body("first\0second", 12);
    body += std::string(5000, 'x');
    server.Enqueue({.body = body});
    server.Enqueue({.body = body, .chunkSize = 700});
    std::string reply;
    EXPECT_TRUE(Get("/z", reply));
    EXPECT_EQ(reply, body);
    reply.clear();
    EXPECT_TRUE(Get("/chunked", reply));
    EXPECT_EQ(reply, body);
}

TEST_F(WebPageTest, OneSessionKeepsItsConnectionAlive)
{
    server.SetDefaultReply({.body = "<DOCUMENT/></DOCUMENT>"});
    std::string first, second;
    EXPECT_TRUE(Get("/one", first));
    EXPECT_TRUE(zyr::web::WebSessionOpen());
    EXPECT_TRUE(Get("/two", second));
    EXPECT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(server.ConnectionCount(), 1u);
}

TEST_F(WebPageTest, ReplyFailuresAreTracedWithTheReply)
{
    ASSERT_TRUE(registry.SetDword(HKEY_LOCAL_MACHINE, kMachineKey, "EventLogging", 1));
    char url[260];
    DWORD size = sizeof url;
    GetSecurityServerUrl(url, &size); // settles the switches
    ASSERT_TRUE(zyr::EventLoggingOn());
    zyr::log::ScopedRecordingLog log;

    server.Enqueue({.body = "error"});
    server.Enqueue({.status = 503, .body = "busy"});
    server.Enqueue({.body = "<html>x</html>"});
    server.Enqueue({.body = "<html>x</html>"});
    server.Enqueue({.body = "<DOCUMENT>error</DOCUMENT>"});
    std::string reply;
    EXPECT_FALSE(Get("/sec.asp?Object=Role&Operation=Add", reply));
    reply.clear();
    EXPECT_FALSE(Get("/busy", reply));
    reply.clear();
    EXPECT_FALSE(Get("/page", reply));
    reply.clear();
    EXPECT_FALSE(Get("/quiet", reply, false));
    reply.clear();
    EXPECT_TRUE(Get("/doc", reply));

    auto& events = log.recorder.events;
    ASSERT_EQ(events.size(), 3u);
    const std::string source = ", Source: web(";
    const std::string operation = "):GetWebPage.::InternetOpenUrl";
    auto expectEvent = [&](const std::string& text, const std::string& target, const std::string& result) {
        std::string head =
            "Making the Web Call " + server.Url(target) + ", Error: -2147467259, Result: " + result;
        EXPECT_TRUE(text.starts_with(head + source)) << text;
        EXPECT_TRUE(text.ends_with(operation)) << text;
    };
    expectEvent(events[0].text, "/sec.asp?Object=Role&Operation=Add", "error");
    expectEvent(events[1].text, "/busy", "busy");
    expectEvent(events[2].text, "/page", "<html>Error in ASP</html>");
    EXPECT_EQ(events[0].source, "ZyrSecurity");
}

TEST_F(WebPageTest, RedirectedGetBringsTheNewPage)
{
    server.Enqueue(
        {.status = 302, .headers = {{"Location", server.Url("/moved")}}, .body = "<html>moved</html>"});
    server.Enqueue({.body = "<DOCUMENT/></DOCUMENT>"});
    std::string reply;
    EXPECT_TRUE(Get("/old", reply));
    EXPECT_EQ(reply, "<DOCUMENT/></DOCUMENT>");
    ASSERT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(server.Requests()[1].target, "/moved");
}

TEST_F(WebPageTest, UnreachableServerFailsWithoutReply)
{
    uint16_t port;
    {
        zyr::test::ScriptedHttpServer gone;
        port = gone.Port();
    }
    std::string reply;
    EXPECT_FALSE(GetWebPage("http://127.0.0.1:" + std::to_string(port) + "/x", reply, true));
    EXPECT_TRUE(reply.empty());
}

TEST_F(WebPageTest, ReceiveTimeOutFollowsHttpTimeOut)
{
    server.SetDefaultReply({.body = "OK"});
    std::string reply;
    // Absent: none configured, and looked for again on the next call.
    EXPECT_TRUE(Get("/", reply));
    EXPECT_EQ(zyr::web::AppliedReceiveTimeoutMs(), -1);

    ASSERT_TRUE(registry.SetDword(HKEY_LOCAL_MACHINE, kMachineKey, "HTTPTimeOut", 0));
    EXPECT_TRUE(Get("/", reply));
    EXPECT_EQ(zyr::web::AppliedReceiveTimeoutMs(), 990);

    // Once found the value is kept.
    ASSERT_TRUE(registry.SetDword(HKEY_LOCAL_MACHINE, kMachineKey, "HTTPTimeOut", 7));
    EXPECT_TRUE(Get("/", reply));
    EXPECT_EQ(zyr::web::AppliedReceiveTimeoutMs(), 990);

    zyr::ResetServerSettings();
    ASSERT_TRUE(registry.SetDword(HKEY_LOCAL_MACHINE, kMachineKey, "HTTPTimeOut", 30));
    EXPECT_TRUE(Get("/", reply));
    EXPECT_EQ(zyr::web::AppliedReceiveTimeoutMs(), 30000);
}

TEST_F(WebPageTest, SilentServerEndsTheRequestAfterTheTimeOut)
{
    ASSERT_TRUE(registry.SetDword(HKEY_LOCAL_MACHINE, kMachineKey, "HTTPTimeOut", 0));
    // No answer at all, then an answer that stalls after its header block:
    // neither is a usable reply.
    server.Enqueue({.body = "late", .delay = 4s});
    server.Enqueue({.body = "<DOCUMENT/></DOCUMENT>", .delayBeforeBody = 4s});
    server.Enqueue({.body = "in time"});
    std::string reply;
    EXPECT_FALSE(Get("/slow", reply));
    EXPECT_TRUE(reply.empty());
    EXPECT_FALSE(Get("/stalled", reply));
    EXPECT_TRUE(reply.empty());
    // The session survives a timed-out request.
    EXPECT_TRUE(Get("/fast", reply));
    EXPECT_EQ(reply, "in time");
}

// An echo layer that answers or stays silent as told, and counts the echoes.
class ScriptedEchoSocket : public zyr::web::EchoSocket {
public:
    struct Log {
        int sent = 0;
        bool answer = false;
    };
    explicit ScriptedEchoSocket(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    Io Send(const void* packet, size_t size, const sockaddr_in&) override
    {
        ++log_->sent;
        last_.assign(static_cast<const unsigned char*>(packet),
                     static_cast<const unsigned char*>(packet) + size);
        return Io::Done;
    }
    Io Receive(void* message, size_t capacity, size_t& received, std::chrono::milliseconds) override
    {
        if (!log_->answer || last_.size() > capacity) {
            return Io::TimedOut;
        }
        last_[0] = 0; // echo reply
        std::memcpy(message, last_.data(), last_.size());
        received = last_.size();
        return Io::Done;
    }
    bool RewritesIdentifier() const override { return false; }

private:
    std::shared_ptr<Log> log_;
    std::vector<unsigned char> last_;
};

TEST_F(WebPageTest, NetworkTestProbesUntilTheHostAnswers)
{
    ASSERT_TRUE(registry.SetDword(HKEY_LOCAL_MACHINE, kMachineKey, "NetworkTest", 1));
    auto log = std::make_shared<ScriptedEchoSocket::Log>();
    zyr::web::SetEchoSocketOpener([log] { return std::make_unique<ScriptedEchoSocket>(log); });
    server.SetDefaultReply({.body = "OK"});

    std::string reply;
    EXPECT_FALSE(Get("/", reply));
    EXPECT_EQ(log->sent, 4);
    EXPECT_FALSE(zyr::web::WebSessionOpen());
    EXPECT_FALSE(Get("/", reply));
    EXPECT_EQ(log->sent, 8);
    EXPECT_EQ(server.RequestCount(), 0u);

    log->answer = true;
    EXPECT_TRUE(Get("/", reply));
    EXPECT_EQ(log->sent, 12);
    EXPECT_TRUE(zyr::web::WebSessionOpen());
    // An open session is not probed again.
    EXPECT_TRUE(Get("/", reply));
    EXPECT_EQ(log->sent, 12);
    EXPECT_EQ(server.RequestCount(), 2u);
}

} // namespace
