// The real server at the edges of its resources: bytes that are not HTTP are
// refused at once, connections beyond the limit answer 503, and a process out
// of descriptors waits instead of spinning.
#include "tests/server/ServerFixture.h"
#include "tests/server/ServerProcess.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

namespace zyr::server::test {
namespace {

using Clock = std::chrono::steady_clock;

// Once what the test holds has settled, a request is answered 503; once
// release lets it go and that has settled, the next one is served.
template <class Release>
void ExpectRefusedUntilReleased(int port, std::chrono::milliseconds settle, Release&& release)
{
    std::this_thread::sleep_for(settle);
    EXPECT_EQ(Request(port, "POST", "Operation=GetServerVersion", "Junk=Junk").status, 503);
    release();
    std::this_thread::sleep_for(settle);
    EXPECT_EQ(Request(port, "POST", "Operation=GetServerVersion", "Junk=Junk").body, "2.3");
}

// User and system time the process has used, in clock ticks.
long CpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string skip;
    for (int i = 3; i < 14; ++i) {
        fields >> skip;
    }
    long user = 0;
    long system = 0;
    fields >> user >> system;
    return user + system;
}

TEST(ConnectionLimitsTest, BytesThatAreNotHttpAreRefusedAtOnce)
{
    TestDatabase database(Backend::Sqlite);
    ServerProcess server;
    ASSERT_TRUE(server.Start({"--db", database.location()})); // the read time-out stays 30 s
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a TLS hello", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\x9a\x7f", 13)},
        {"bare line feeds", "GET /zyr/security HTTP/1.1\nHost: x\n\n"},
        {"a gzip body", "POST /zyr/security?Object=Log&Operation=Add HTTP/1.1\r\nHost: x\r\n"
                        "Transfer-Encoding: gzip\r\n\r\n\x1f\x8b"},
    };
    for (const auto& [label, bytes] : cases) {
        auto start = Clock::now();
        RawConnection conn(server.port());
        ASSERT_TRUE(conn.Send(bytes)) << label;
        int status = conn.Read().status;
        EXPECT_TRUE(status == 400 || status == 501) << label << ": " << status;
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << label;
    }
    EXPECT_EQ(server.Stop(), 0);
}

TEST(ConnectionLimitsTest, ConnectionsBeyondTheLimitAnswer503)
{
    TestDatabase database(Backend::Sqlite);
    ServerProcess server;
    ASSERT_TRUE(server.Start({"--db", database.location(), "--max-connections", "2"}));
    auto first = std::make_unique<RawConnection>(server.port());
    RawConnection second(server.port());
    // Both accepted within the wait.
    ExpectRefusedUntilReleased(server.port(), std::chrono::milliseconds(200), [&] { first.reset(); });
    EXPECT_EQ(server.Stop(), 0);
}

// Bodies are counted by what their headers announce: four of the largest
// fill the 256 MiB for bodies in flight before a byte of them is sent.
TEST(ConnectionLimitsTest, BodiesInFlightAreBoundedByTheirAnnouncedLength)
{
    TestDatabase database(Backend::Sqlite);
    ServerProcess server;
    ASSERT_TRUE(server.Start({"--db", database.location()}));
    const std::string head =
        "POST /zyr/security?Object=Log&Operation=Add HTTP/1.1\r\nHost: x\r\nContent-Length: " +
        std::to_string(64 * 1024 * 1024) + "\r\n\r\n";
    std::vector<std::unique_ptr<RawConnection>> held;
    for (int i = 0; i < 4; ++i) {
        held.push_back(std::make_unique<RawConnection>(server.port()));
        ASSERT_TRUE(held.back()->Send(head));
    }
    // All four headers read within the wait.
    ExpectRefusedUntilReleased(server.port(), std::chrono::milliseconds(300), [&] { held.clear(); });
    EXPECT_EQ(server.Stop(), 0);
}

TEST(ConnectionLimitsTest, NoDescriptorsLeftMakesTheServerWaitNotSpin)
{
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
    // The sanitizers' own threads and files need descriptors that a limit of
    // 64 does not leave, and their run time makes the CPU figure meaningless.
    GTEST_SKIP() << "needs a build without sanitizers";
#endif
#endif
    TestDatabase database(Backend::Sqlite);
    ServerProcess server;
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = 64; // the server inherits it
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    bool started = server.Start({"--db", database.location(), "--max-connections", "1000"});
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    ASSERT_TRUE(started);

    std::vector<std::unique_ptr<RawConnection>> held;
    for (int i = 0; i < 100; ++i) {
        held.push_back(std::make_unique<RawConnection>(server.port()));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    long before = CpuTicks(server.pid());
    std::this_thread::sleep_for(std::chrono::seconds(1));
    long used = CpuTicks(server.pid()) - before;
    EXPECT_LT(used, ::sysconf(_SC_CLK_TCK) / 5) << "ticks in one second";

    held.clear();
    // Served again once the descriptors are back (the back-off may still be
    // waiting out its last step, longer in a sanitized build).
    std::string version;
    for (int i = 0; i < 50 && version != "2.3"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        version = Request(server.port(), "POST", "Operation=GetServerVersion", "Junk=Junk").body;
    }
    EXPECT_EQ(version, "2.3");
    EXPECT_EQ(server.Stop(), 0);
}

} // namespace
} // namespace zyr::server::test
