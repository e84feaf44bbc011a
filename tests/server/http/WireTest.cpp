// The real server on a loopback port: keep-alive, hostile bytes, limits,
// injected faults, a stop during a request, and a kill during a stream of
// acknowledged changes.
#include "tests/server/ServerFixture.h"
#include "tests/server/ServerProcess.h"

#include "cache/TextCipher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace zyr::server::test {
namespace {

class WireTest : public BackendTest {
protected:
    void Start(std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {"--db", database.location()};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(server.Start(args));
    }
    bool StillServes()
    {
        return Request(server.port(), "POST", "Operation=GetServerVersion", "Junk=Junk").body == "2.3";
    }

    TestDatabase database{GetParam()};
    ServerProcess server;
};

TEST_P(WireTest, DemoSeedKeepAliveAndTheConsoleBody)
{
    Start({"--seed", "demo", "--seed-admin", "CORP\\admin"});
    RawConnection c(server.port());
    ASSERT_TRUE(c.connected());
    ASSERT_TRUE(c.Send("GET /zyr/security?Object=Appl&Operation=GetAll HTTP/1.1\r\nHost: x\r\n\r\n"));
    RawReply apps = c.Read();
    ASSERT_TRUE(apps.complete);
    EXPECT_EQ(apps.status, 200);
    EXPECT_EQ(apps.body.size() - apps.body.rfind("</DOCUMENT>"), 11u);
    EXPECT_NE(apps.body.find("<APPLNAME>Morvel Framework</APPLNAME>"), std::string::npos);
    EXPECT_NE(apps.body.find("<SECOBJNAME>ZyrSnap-In</SECOBJNAME>"), std::string::npos);

    // Same connection: a form body ending in a zero byte, as the console sends it.
    std::string body = std::string("Junk=Junk") + '\0';
    ASSERT_TRUE(c.Send("POST /zyr/security?Object=KVTAPI&Operation=Get21CFR11Flag HTTP/1.1\r\nHost: x\r\n"
                       "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                       std::to_string(body.size()) + "\r\n\r\n" + body));
    RawReply flag = c.Read();
    ASSERT_TRUE(flag.complete);
    EXPECT_EQ(flag.body, "false");

    // The seeded administrator holds the console's role.
    ASSERT_TRUE(c.Send("GET /zyr/security?Object=Role&Operation=Get HTTP/1.1\r\nHost: x\r\n\r\n"));
    RawReply roles = c.Read();
    ASSERT_TRUE(roles.complete);
    ServerFixture parse;
    pugi::xml_document doc;
    bool found = false;
    for (auto role : parse.Records(doc, roles.body, "KVTROLES")) {
        auto fields = parse.Texts(role);
        std::string users;
        if (fields.size() == 5 && fields[1] == "Security Administrators" &&
            zyr::cipher::Decrypt(fields[4], users)) {
            found = users == "CORP\\admin;";
        }
    }
    EXPECT_TRUE(found);
    // A log page of the demo database is full.
    RawReply log = Request(server.port(), "GET", "Object=Log&Operation=Get&DisplaySet=0");
    EXPECT_EQ(parse.Records(doc, log.body, "KVTLOGS").size(), 50u);
    EXPECT_EQ(server.Stop(), 0);
}

TEST_P(WireTest, HostileRequestsAreAnsweredWithoutHarm)
{
    Start({"--read-timeout-ms", "300"});
    struct Case {
        std::string bytes;
        int status; // 0: the server may just close
    };
    std::string longUrl = "GET /zyr/security?Object=Appl&Operation=Add&Appl=" + std::string(70 * 1024, 'a') +
                          " HTTP/1.1\r\nHost: x\r\n\r\n";
    std::string longHeader =
        "GET /zyr/security HTTP/1.1\r\nHost: x\r\nX-Filler: " + std::string(70 * 1024, 'b') + "\r\n\r\n";
    std::vector<Case> cases = {
        {std::string("\x00\x01\x02garbage\r\n\r\n", 14), 400},
        {"GET /zyr/security?Object=Appl&Operation=Add&Appl=%G1 HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET /zyr/security?Object=Role&Operation=Add&CN=a%0 HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET /zyr/security?Object=Role&Operation=Update HTTP/1.1\r\nHost: x\r\nContent-Length: "
         "5\r\n\r\n%%%%%",
         400},
        {longUrl, 414},
        {longHeader, 431},
        {"POST /zyr/security?Object=KVTAPI&Operation=ApplImp HTTP/1.1\r\nHost: x\r\nContent-Length: "
         "70000000\r\n\r\n",
         413},
        // A chunk that alone passes the bound is refused before it is read.
        {"POST /zyr/security?Object=KVTAPI&Operation=ApplImp HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: "
         "chunked\r\n\r\n5000000\r\n",
         413},
        {"POST /zyr/security HTTP/1.1\r\nHost: x\r\nContent-Length: zz\r\n\r\n", 400},
        {"GET /zyr/security HTTP/9.9\r\n\r\n", 0},
        {"DELETE /zyr/security?Object=Appl&Operation=GetAll HTTP/1.1\r\nHost: x\r\n\r\n", 405},
        {"GET /elsewhere HTTP/1.1\r\nHost: x\r\n\r\n", 404},
    };
    for (const auto& c : cases) {
        RawConnection conn(server.port());
        ASSERT_TRUE(conn.Send(c.bytes)) << c.bytes.substr(0, 60);
        RawReply reply = conn.Read();
        if (c.status != 0) {
            EXPECT_EQ(reply.status, c.status) << c.bytes.substr(0, 60);
        }
        ASSERT_TRUE(StillServes()) << c.bytes.substr(0, 60);
    }
    // Undecodable encrypted fields are refused as values, not as HTTP.
    RawReply refused =
        Request(server.port(), "GET",
                "Object=Role&Operation=Add&CN=R&DN={r}&Desc=&MemeberUser=%21%21&MemberGroup=&User=u");
    EXPECT_EQ(refused.status, 200);
    EXPECT_EQ(refused.body.rfind("Error: ", 0), 0u);

    // A truncated body and a stalled header are given up after the read time-out.
    {
        RawConnection conn(server.port());
        ASSERT_TRUE(conn.Send("POST /zyr/security?Object=Log&Operation=Add HTTP/1.1\r\nHost: x\r\n"
                              "Content-Length: 100\r\n\r\nUser=a"));
        EXPECT_TRUE(conn.ClosedByServer());
    }
    {
        RawConnection conn(server.port());
        ASSERT_TRUE(conn.Send("GET /zyr/secu"));
        EXPECT_TRUE(conn.ClosedByServer());
    }
    EXPECT_TRUE(StillServes());
    EXPECT_EQ(server.Stop(), 0);
}

TEST_P(WireTest, InjectedFaultsReachTheWire)
{
    Start({"--enable-test-controls"});
    auto fault = [&](const std::string& form) {
        EXPECT_EQ(Request(server.port(), "POST", "Object=Test&Operation=Fault", form).body, "OK") << form;
    };
    fault("Kind=Drop&Object=Role&Operation=Get");
    {
        RawConnection conn(server.port());
        ASSERT_TRUE(conn.Send("GET /zyr/security?Object=Role&Operation=Get HTTP/1.1\r\nHost: x\r\n\r\n"));
        RawReply reply = conn.Read();
        EXPECT_FALSE(reply.complete);
        EXPECT_EQ(reply.status, 0);
    }
    fault("Kind=ZyrErrorHeader&Object=KVTAPI&Operation=ApplImp&Text=refused");
    RawReply imported =
        Request(server.port(), "POST", "Object=KVTAPI&Operation=ApplImp&User=u&Computer=c", "x");
    EXPECT_NE(imported.rawHeaders.find("\r\nZYR Error: "), std::string::npos) << imported.rawHeaders;
    fault("Kind=Redirect&Object=Appl&Operation=GetAll&Code=303&Location=http://127.0.0.1/zyr/"
          "security?Object=Role"
          "%26Operation=Get");
    RawReply moved = Request(server.port(), "GET", "Object=Appl&Operation=GetAll");
    EXPECT_EQ(moved.status, 303);
    EXPECT_EQ(moved.headers["location"], "http://127.0.0.1/zyr/security?Object=Role&Operation=Get");
    fault("Kind=Clear");
    EXPECT_EQ(Request(server.port(), "GET", "Object=Role&Operation=Get").status, 200);
    EXPECT_EQ(server.Stop(), 0);

    TestDatabase other(GetParam());
    ServerProcess plain;
    ASSERT_TRUE(plain.Start({"--db", other.location()}));
    EXPECT_EQ(Request(plain.port(), "POST", "Object=Test&Operation=Fault", "Kind=Clear").status, 404);
    EXPECT_EQ(plain.Stop(), 0);
}

TEST_P(WireTest, StopFinishesTheRequestInFlight)
{
    Start({"--enable-test-controls"});
    ASSERT_EQ(Request(server.port(), "POST", "Object=Test&Operation=Fault",
                      "Kind=Delay&Object=&Operation=GetServerVersion&Ms=600")
                  .body,
              "OK");
    RawConnection idle(server.port()); // a kept-alive connection with nothing to do
    ASSERT_TRUE(idle.connected());
    RawConnection busy(server.port());
    ASSERT_TRUE(busy.Send("POST /zyr/security?Operation=GetServerVersion HTTP/1.1\r\nHost: x\r\n"
                          "Content-Length: 9\r\n\r\nJunk=Junk"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // let the request arrive
    std::thread stopper([&] { EXPECT_EQ(server.Stop(), 0); });
    RawReply reply = busy.Read();
    stopper.join();
    EXPECT_TRUE(reply.complete);
    EXPECT_EQ(reply.body, "2.3");
    EXPECT_EQ(reply.headers["connection"], "close");
    EXPECT_TRUE(idle.ClosedByServer());
}

ZYR_ON_BOTH_BACKENDS(WireTest);

// Both commit modes of both backends keep what they acknowledged when the process dies.
class CrashTest : public ::testing::TestWithParam<std::tuple<Backend, const char*>> {};

TEST_P(CrashTest, AcknowledgedChangesSurviveAKill)
{
    auto [backend, sync] = GetParam();
    if (backend == Backend::Postgres && PgTestCluster().empty()) {
        GTEST_SKIP() << "no PostgreSQL test cluster (ZYR_TEST_PG)";
    }
    TestDatabase database(backend);
    const std::string db = database.location();
    ServerProcess server;
    ASSERT_TRUE(server.Start({"--db", db, "--sync", sync}));
    std::atomic<int> acknowledged{0};
    std::vector<std::string> acked;
    std::mutex ackedMutex;
    std::atomic<bool> stop{false};
    // Several writers at once, so that changes share commits.
    std::vector<std::thread> writers;
    for (int w = 0; w < 3; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 0; !stop.load(); ++i) {
                const std::string id = std::to_string(w) + "-" + std::to_string(i);
                std::string dn = "{crash-" + id + "}";
                RawReply r = Request(server.port(), "GET",
                                     "Object=Role&Operation=Add&CN=Role%20" + id + "&DN=" + dn +
                                         "&Desc=&MemeberUser=&MemberGroup=&User=u&Computer=c");
                if (r.body != "OK") {
                    break; // the server is gone
                }
                std::lock_guard lock(ackedMutex);
                acked.push_back(dn);
                ++acknowledged;
            }
        });
    }
    while (acknowledged.load() < 150) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    server.Kill();
    stop = true;
    for (auto& writer : writers) {
        writer.join();
    }

    ServerProcess again;
    ASSERT_TRUE(again.Start({"--db", db}));
    RawReply roles = Request(again.port(), "GET", "Object=Role&Operation=Get");
    for (const auto& dn : acked) {
        EXPECT_NE(roles.body.find("<ROLEDN>" + dn + "</ROLEDN>"), std::string::npos) << dn;
    }
    EXPECT_GE(acked.size(), 150u);
    EXPECT_EQ(again.Stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(CommitModes, CrashTest,
                         ::testing::Combine(::testing::Values(Backend::Sqlite, Backend::Postgres),
                                            ::testing::Values("full", "normal")),
                         [](const auto& info) {
                             return std::string(BackendLabel(std::get<0>(info.param))) +
                                    std::get<1>(info.param);
                         });

} // namespace
} // namespace zyr::server::test
