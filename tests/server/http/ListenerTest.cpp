#include "server/http/Listener.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace zyr::server {
namespace {

namespace fs = std::filesystem;

struct TempDir {
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "zyr-listener-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

// A socket file bound and then left behind, as a killed server leaves it.
void LeaveStaleSocket(const fs::path& path)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
}

TEST(ListenerTest, UnixSocketReplacesAStaleFileIsOpenToAllAndGoesAtExit)
{
    TempDir dir;
    fs::path path = dir.path / "security.sock";
    LeaveStaleSocket(path);
    {
        Listener listener;
        std::string reason;
        ASSERT_TRUE(listener.Open("127.0.0.1", 0, path.string(), reason)) << reason;
        EXPECT_EQ(listener.Family(), AF_UNIX);
        EXPECT_EQ(listener.Name(), "unix:" + path.string());
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666u);

        // A second server on the same path is refused while the first answers.
        Listener second;
        EXPECT_FALSE(second.Open("127.0.0.1", 0, path.string(), reason));
        EXPECT_NE(reason.find("another server"), std::string::npos) << reason;
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST(ListenerTest, RefusesToRemoveAFileThatIsNotASocket)
{
    TempDir dir;
    fs::path path = dir.path / "security.sock";
    std::ofstream(path) << "data";
    Listener listener;
    std::string reason;
    EXPECT_FALSE(listener.Open("127.0.0.1", 0, path.string(), reason));
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_FALSE(listener.Open("127.0.0.1", 0, std::string(200, 'x'), reason));
}

TEST(ListenerTest, TcpPortZeroNamesThePortChosen)
{
    Listener listener;
    std::string reason;
    ASSERT_TRUE(listener.Open("127.0.0.1", 0, "", reason)) << reason;
    EXPECT_GT(listener.Port(), 0);
    EXPECT_EQ(listener.Name(), "127.0.0.1:" + std::to_string(listener.Port()));
    EXPECT_FALSE(Listener().Open("localhost", 0, "", reason)); // numeric addresses only
}

} // namespace
} // namespace zyr::server
