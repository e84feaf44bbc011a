#include "web/SecurityPost.h"

#include "tests/support/ScriptedHttpServer.h"

#include <gtest/gtest.h>

namespace {

using zyr::test::ScriptedHttpServer;
using zyr::test::ScriptedReply;

class SecurityPostTest : public ::testing::Test {
protected:
    ScriptedHttpServer server;
};

TEST_F(SecurityPostTest, SendsTheFormWithItsTerminatingZeroAndTheHeaderBlock)
{
    ASSERT_TRUE(server.IsRunning());
    server.Enqueue({.body = "Updated"});
    std::string body = "CN=Plant%20Ops&Members=abc-";
    EXPECT_EQ(PostSecurityRequest(server.Url("/sec.asp?Object=Role&Operation=Update"), body), "Updated");

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/sec.asp?Object=Role&Operation=Update");
    EXPECT_EQ(request.body, body + std::string(1, '\0'));
    EXPECT_EQ(request.Header("Content-Length"), std::to_string(body.size() + 1));
    EXPECT_EQ(request.Header("Accept"), "text/*");
    EXPECT_EQ(request.Header("User-Agent"), "QDM");
    EXPECT_EQ(request.Header("Content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(request.HeaderCount("Accept"), 1u);
    EXPECT_EQ(request.HeaderCount("User-Agent"), 1u);
    EXPECT_EQ(request.HeaderCount("Content-Type"), 1u);
    EXPECT_FALSE(request.HasHeader("Expect"));
}

TEST_F(SecurityPostTest, LargeAndEmptyBodiesArriveWhole)
{
    server.SetDefaultReply({.body = "done"});
    std::string large(300000, 'a');
    EXPECT_EQ(PostSecurityRequest(server.Url("/big"), large), "done");
    EXPECT_EQ(PostSecurityRequest(server.Url("/empty"), ""), "done");
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].body, large + std::string(1, '\0'));
    EXPECT_EQ(requests[1].body, std::string(1, '\0'));
    // A fresh session each time.
    EXPECT_EQ(server.ConnectionCount(), 2u);
}

TEST_F(SecurityPostTest, StatusAndHeadersDecideTheResult)
{
    server.Enqueue({.status = 404, .body = "<html>Not here</html>"});
    server.Enqueue({.status = 500, .body = "true"});
    server.Enqueue({.headers = {{"ZYR Error", "Role not found"}}, .body = "true"});
    server.Enqueue({.headers = {{"X-Info", "ZYR Error: in a value"}}, .body = "<DOCUMENT/>"});
    server.Enqueue({.status = 204});
    server.Enqueue({.body = std::string("a\0b\r\nline two\r\n", 15)});

    EXPECT_EQ(PostSecurityRequest(server.Url("/1"), "x"), "404");
    EXPECT_EQ(PostSecurityRequest(server.Url("/2"), "x"), "500");
    EXPECT_EQ(PostSecurityRequest(server.Url("/3"), "x"), "800");
    EXPECT_EQ(PostSecurityRequest(server.Url("/4"), "x"), "800");
    EXPECT_EQ(PostSecurityRequest(server.Url("/5"), "x"), "");
    EXPECT_EQ(PostSecurityRequest(server.Url("/6"), "x"), std::string("a\0b\r\nline two\r\n", 15));
}

TEST_F(SecurityPostTest, RedirectIsFollowedOnceWithAGet)
{
    for (int status : {301, 302, 303}) {
        server.Clear();
        server.Enqueue({.status = status, .headers = {{"Location", server.Url("/moved?Object=KVTAPI")}}});
        server.Enqueue({.body = "true"});
        EXPECT_EQ(PostSecurityRequest(server.Url("/sec.asp"), "Operation=Get21CFR11Flag"), "true") << status;

        auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[1].method, "GET");
        EXPECT_EQ(requests[1].target, "/moved?Object=KVTAPI");
        EXPECT_TRUE(requests[1].body.empty());
        EXPECT_EQ(requests[1].Header("User-Agent"), "QDM");
        EXPECT_EQ(requests[1].Header("Accept"), "text/*");
    }
}

TEST_F(SecurityPostTest, RedirectsThatCannotBeFollowedGiveAnEmptyResult)
{
    // No location.
    server.Enqueue({.status = 302});
    EXPECT_EQ(PostSecurityRequest(server.Url("/a"), "x"), "");
    // To HTTPS, or to something that is not a URL.
    server.Enqueue({.status = 302,
                    .headers = {{"Location", "https://127.0.0.1:" + std::to_string(server.Port()) + "/s"}}});
    EXPECT_EQ(PostSecurityRequest(server.Url("/b"), "x"), "");
    server.Enqueue({.status = 301, .headers = {{"Location", "/relative/only"}}});
    EXPECT_EQ(PostSecurityRequest(server.Url("/c"), "x"), "");
    EXPECT_EQ(server.RequestCount(), 3u);

    // The second request must answer 200: its error status is not reported.
    server.Enqueue({.status = 302, .headers = {{"Location", server.Url("/gone")}}});
    server.Enqueue({.status = 404, .body = "missing"});
    EXPECT_EQ(PostSecurityRequest(server.Url("/d"), "x"), "");
    server.Enqueue({.status = 303, .headers = {{"Location", server.Url("/again")}}});
    server.Enqueue({.status = 302, .headers = {{"Location", server.Url("/d")}}});
    EXPECT_EQ(PostSecurityRequest(server.Url("/e"), "x"), "");
    EXPECT_EQ(server.RequestCount(), 7u);

    // After the redirect the headers are judged as usual.
    server.Enqueue({.status = 302, .headers = {{"Location", server.Url("/f2")}}});
    server.Enqueue({.headers = {{"ZYR Error", "denied"}}, .body = "x"});
    EXPECT_EQ(PostSecurityRequest(server.Url("/f"), "x"), "800");
}

TEST_F(SecurityPostTest, OnlyHttpUrlsAreUsed)
{
    EXPECT_EQ(PostSecurityRequest("ftp://127.0.0.1/sec.asp", "x"), "");
    EXPECT_EQ(PostSecurityRequest("file:///etc/passwd", "x"), "");
    EXPECT_EQ(PostSecurityRequest("not a url", "x"), "");
    EXPECT_EQ(PostSecurityRequest("", "x"), "");
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(SecurityPostTest, TransportFailuresStartWith800)
{
    std::string unresolvable = PostSecurityRequest("http://no-such-host.invalid/sec.asp", "x");
    EXPECT_TRUE(unresolvable.starts_with("800 ")) << unresolvable;
    EXPECT_GT(unresolvable.size(), 4u);

    uint16_t port;
    {
        ScriptedHttpServer gone;
        port = gone.Port();
    }
    std::string refused = PostSecurityRequest("http://127.0.0.1:" + std::to_string(port) + "/", "x");
    EXPECT_TRUE(refused.starts_with("800 ")) << refused;

    server.Enqueue({.dropConnection = true});
    std::string dropped = PostSecurityRequest(server.Url("/drop"), "x");
    EXPECT_TRUE(dropped.starts_with("800 ")) << dropped;

    // A reply cut off inside its headers is no answer either.
    for (const char* raw : {"HTTP/1.1 200 OK\r\nContent-Ty", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n"}) {
        server.Enqueue({.closeAfter = true, .raw = raw});
        std::string cut = PostSecurityRequest(server.Url("/cut"), "x");
        EXPECT_TRUE(cut.starts_with("800 ")) << cut;
    }
}

} // namespace
