// Load client for the security server. Prints figures; asserts nothing.
#include "cache/TextCipher.h"
#include "server/storage/postgres/PgConnection.h"
#include "tests/support/Loopback.h"
#include "tests/support/ReferenceServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class Connection {
public:
    explicit Connection(int port)
    {
        fd_ = zyr::test::ConnectLoopback(port);
        int one = 1;
        if (fd_ >= 0) {
            setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        }
    }
    ~Connection()
    {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    // One keep-alive exchange; the body of the reply, or false.
    bool Exchange(const std::string& method, const std::string& query, const std::string& body,
                  std::string& reply)
    {
        std::string text = method + " /zyr/security?" + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        if (method == "POST") {
            text += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\n";
        }
        text += "\r\n" + body;
        for (size_t sent = 0; sent < text.size();) {
            ssize_t n = send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                return false;
            }
            sent += static_cast<size_t>(n);
        }
        size_t end;
        while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
            if (!Fill()) {
                return false;
            }
        }
        std::string head = pending_.substr(0, end);
        pending_.erase(0, end + 4);
        size_t at = head.find("Content-Length: ");
        size_t length = at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + 16, nullptr, 10);
        while (pending_.size() < length) {
            if (!Fill()) {
                return false;
            }
        }
        reply = pending_.substr(0, length);
        pending_.erase(0, length);
        return true;
    }
    bool ok() const { return fd_ >= 0; }

private:
    bool Fill()
    {
        char buffer[1 << 16];
        ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        pending_.append(buffer, static_cast<size_t>(n));
        return true;
    }
    int fd_ = -1;
    std::string pending_;
};

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())))];
}

// CPU time the process has used so far (user and system), in milliseconds:
// a figure that, unlike the wall time, does not grow with the machine's load.
double CpuMs(pid_t pid)
{
    std::FILE* file = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!file) {
        return 0;
    }
    char line[4096] = {};
    size_t n = std::fread(line, 1, sizeof line - 1, file);
    std::fclose(file);
    line[n] = '\0';
    const char* after = std::strrchr(line, ')'); // the name may hold spaces
    unsigned long user = 0, system = 0;
    if (!after ||
        std::sscanf(after + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) != 2) {
        return 0;
    }
    return static_cast<double>(user + system) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Starts a server on the bench database; without a size it only serves what
// another one seeded.
bool StartServer(zyr::test::ReferenceServer& server, const std::string& db, const std::string& size,
                 const std::string& sync)
{
    std::vector<std::string> args = {"--db", db, "--log-level", "warning", "--sync", sync};
    if (!size.empty()) {
        args.insert(args.end(), {"--seed", "large:" + size});
    }
    return server.Launch(args);
}

} // namespace

// Reads of the application list from `readers` connections for `seconds`,
// while `writers` connections add log entries (changes that wait for their
// commit but leave the kept application reply alone).
void MixedLoad(int port, int readers, int writers, int seconds)
{
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::vector<double> reads;
    std::atomic<long> writes{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([&, w] {
            Connection conn(port);
            std::string answer;
            std::string body =
                "User=BENCH%5Cw" + std::to_string(w) + "&Action=Bench&Status=Success&Computer=B";
            while (!stop.load() && conn.Exchange("POST", "Object=Log&Operation=Add", body, answer)) {
                writes.fetch_add(1);
            }
        });
    }
    auto start = Clock::now();
    for (int r = 0; r < readers; ++r) {
        threads.emplace_back([&] {
            Connection conn(port);
            std::string answer;
            std::vector<double> mine;
            while (!stop.load()) {
                auto begin = Clock::now();
                if (!conn.Exchange("GET", "Object=Appl&Operation=GetAll", {}, answer)) {
                    break;
                }
                mine.push_back(Ms(Clock::now() - begin));
            }
            std::lock_guard lock(mutex);
            reads.insert(reads.end(), mine.begin(), mine.end());
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
    for (auto& t : threads) {
        t.join();
    }
    double elapsed = Ms(Clock::now() - start) / 1000.0;
    std::printf("Appl GetAll over %d connections with %2d writers: %.0f reads/s, p50 %.2f ms, p99 %.2f ms; "
                "%.0f writes/s\n",
                readers, writers, static_cast<double>(reads.size()) / elapsed, Percentile(reads, 0.5),
                Percentile(reads, 0.99), static_cast<double>(writes.load()) / elapsed);
}

int main(int argc, char** argv)
{
    std::string size = "100,20,50,10000,20,1000000,1000000";
    int seconds = 5;
    int connections = 4;
    std::string sync = "full";
    std::string pg; // libpq key=value settings of a cluster to make the bench database in
    int serverCount = 1;
    int mixedWriters = -1; // --mixed W: only the mixed load, without and with W writers
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i];
        if (arg == "--size") {
            size = argv[i + 1];
        } else if (arg == "--seconds") {
            seconds = std::atoi(argv[i + 1]);
        } else if (arg == "--sync") {
            sync = argv[i + 1];
        } else if (arg == "--connections") {
            connections = std::atoi(argv[i + 1]);
        } else if (arg == "--pg") {
            pg = argv[i + 1];
        } else if (arg == "--mixed") {
            mixedWriters = std::atoi(argv[i + 1]);
        } else if (arg == "--servers") {
            serverCount = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zyr-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);

    std::string db = (dir / "bench.db").string();
    std::string pgName = "zyr_bench_" + std::to_string(getpid());
    if (!pg.empty()) {
        zyr::server::pg::Connection admin(pg, true);
        if (!admin.ok() || !admin.Script("CREATE DATABASE " + pgName)) {
            std::fprintf(stderr, "cannot make the bench database: %s\n", admin.Error().c_str());
            return 1;
        }
        db = pg + " dbname=" + pgName;
    }

    auto seedStart = Clock::now();
    // More servers on the same database share the updates.
    std::vector<std::unique_ptr<zyr::test::ReferenceServer>> servers;
    std::vector<int> ports;
    for (int s = 0; s < serverCount; ++s) {
        servers.push_back(std::make_unique<zyr::test::ReferenceServer>());
        if (!StartServer(*servers.back(), db, s == 0 ? size : std::string(), sync)) {
            std::fprintf(stderr, "server %d did not start\n", s + 1);
            return 1;
        }
        ports.push_back(servers.back()->Port());
        if (s == 0) {
            std::printf("seed large:%s and start (%s, --sync %s): %.0f ms\n", size.c_str(),
                        pg.empty() ? "SQLite" : "PostgreSQL", sync.c_str(), Ms(Clock::now() - seedStart));
        }
    }
    const int port = ports.front();
    const pid_t pid = servers.front()->Pid();

    if (mixedWriters >= 0) {
        MixedLoad(port, connections, 0, seconds);
        MixedLoad(port, connections, mixedWriters, seconds);
        mixedWriters = -2;
    }
    Connection c(port);
    std::string reply;
    std::vector<double> getAll;
    const double cpuBefore = CpuMs(pid);
    double builtCpu = 0;
    for (int i = 0; i < 5; ++i) {
        if (i == 1) {
            builtCpu = CpuMs(pid) - cpuBefore;
        }
        auto t = Clock::now();
        if (!c.Exchange("GET", "Object=Appl&Operation=GetAll", {}, reply)) {
            std::fprintf(stderr, "GetAll failed\n");
            break;
        }
        getAll.push_back(Ms(Clock::now() - t));
    }
    // The first reply is built from the database; the others come from the
    // kept reply until the applications change.
    std::vector<double> kept(getAll.size() > 1 ? getAll.begin() + 1 : getAll.end(), getAll.end());
    std::printf(
        "Appl GetAll: %zu bytes, built %.1f ms (server CPU %.0f ms), kept: best %.1f ms, median %.1f ms\n",
        reply.size(), getAll.empty() ? 0.0 : getAll.front(), builtCpu, Percentile(kept, 0.0),
        Percentile(kept, 0.5));

    // The objects to update, with their groups and applications.
    struct Target {
        std::string appl, group, object, name;
    };
    std::vector<Target> targets;
    std::string appl, group;
    for (size_t at = 0; (at = reply.find('<', at)) != std::string::npos &&
                        (targets.size() < 20000 || targets.back().name.empty());
         ++at) {
        auto text = [&](const char* tag) {
            size_t start = at + std::strlen(tag);
            return reply.substr(start, reply.find('<', start) - start);
        };
        if (reply.compare(at, 8, "<APPLDN>") == 0) {
            appl = text("<APPLDN>");
        } else if (reply.compare(at, 9, "<GROUPDN>") == 0) {
            group = text("<GROUPDN>");
        } else if (reply.compare(at, 10, "<SECOBJDN>") == 0) {
            targets.push_back({appl, group, text("<SECOBJDN>"), {}});
        } else if (reply.compare(at, 12, "<SECOBJNAME>") == 0 && !targets.empty()) {
            for (char ch : text("<SECOBJNAME>")) {
                targets.back().name += ch == ' ' ? std::string("%20") : std::string(1, ch);
            }
        }
    }

    for (int page : {0, 19000}) {
        std::vector<double> times;
        for (int i = 0; i < 30; ++i) {
            auto t = Clock::now();
            c.Exchange("GET", "Object=Log&Operation=Get&DisplaySet=" + std::to_string(page), {}, reply);
            times.push_back(Ms(Clock::now() - t));
        }
        std::printf("Log page %d: median %.2f ms, p99 %.2f ms (%zu bytes)\n", page, Percentile(times, 0.5),
                    Percentile(times, 0.99), reply.size());
    }

    // The audit trail, whole and narrowed as the console's filter narrows it.
    const std::time_t weekAgo = std::time(nullptr) - 7 * 24 * 3600;
    std::tm day{};
    localtime_r(&weekAgo, &day);
    char from[32];
    std::strftime(from, sizeof from, "%Y-%m-%d", &day);
    const std::pair<const char*, std::string> audits[] = {
        {"whole, page 0", "DisplaySet=0"},
        {"one account", "DisplaySet=0&User=PLANT%5Caccount%200000042"},
        {"one account, page 30", "DisplaySet=30&User=PLANT%5Caccount%200000042"},
        {"groups of the last week", std::string("DisplaySet=0&Object=SecGroup&FromTime=") + from},
        {"account and kind in the last week",
         std::string("DisplaySet=0&User=PLANT%5Caccount%200000007&Object=SecGroup&FromTime=") + from},
        {"name holds a text (one name, 100 records)", "DisplaySet=0&Name=Object%200042"},
        {"name holds a text (100 names)", "DisplaySet=0&Name=object%2000"},
        {"name holds a text (every name)", "DisplaySet=0&Name=Object"},
        {"name holds a text no record has", "DisplaySet=0&Name=Pump"},
    };
    for (const auto& [label, query] : audits) {
        std::vector<double> times;
        for (int i = 0; i < 10; ++i) {
            auto t = Clock::now();
            c.Exchange("GET", "Object=Audit&Operation=Get&" + query, {}, reply);
            times.push_back(Ms(Clock::now() - t));
        }
        std::printf("Audit page, %s: median %.2f ms, p99 %.2f ms (%zu bytes)\n", label,
                    Percentile(times, 0.5), Percentile(times, 0.99), reply.size());
    }

    if (!targets.empty() && mixedWriters != -2) {
        std::atomic<bool> stop{false};
        std::mutex mutex;
        std::vector<double> latencies;
        std::atomic<long> failures{0};
        std::vector<std::thread> workers;
        auto start = Clock::now();
        for (int w = 0; w < connections; ++w) {
            workers.emplace_back([&, w] {
                Connection conn(ports[static_cast<size_t>(w) % ports.size()]);
                std::mt19937 random(static_cast<unsigned>(w));
                std::vector<double> mine;
                std::string answer;
                while (!stop.load()) {
                    const Target& t = targets[random() % targets.size()];
                    std::string acl =
                        zyr::cipher::Encrypt("Role 00001:" + std::to_string(random() % 64) + ";");
                    std::string audit = "OldValue=" + zyr::cipher::Encrypt("<OldValue></OldValue>") +
                                        "&NewValue=" + zyr::cipher::Encrypt("<NewValue></NewValue>");
                    auto begin = Clock::now();
                    bool ok =
                        conn.Exchange("POST",
                                      "Object=SecObj&Operation=Update&CN=" + t.name + "&DN=" + t.object +
                                          "&Appl=" + t.appl + "&Group=" + t.group +
                                          "&Desc=bench&QName=&QType=&QOper=&QValue=&UseQ=0&User=BENCH%5Cu"
                                          "&Computer=BENCH",
                                      audit + "&ACL=" + acl, answer);
                    mine.push_back(Ms(Clock::now() - begin));
                    if (!ok || answer != "OK") {
                        if (failures.fetch_add(1) < 3) {
                            std::fprintf(stderr, "update answered: %s\n", ok ? answer.c_str() : "(no reply)");
                        }
                        if (!ok) {
                            break;
                        }
                    }
                }
                std::lock_guard lock(mutex);
                latencies.insert(latencies.end(), mine.begin(), mine.end());
            });
        }
        const double updateCpuBefore = CpuMs(pid);
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        stop = true;
        for (auto& t : workers) {
            t.join();
        }
        double elapsed = Ms(Clock::now() - start) / 1000.0;
        const double updateCpu = CpuMs(pid) - updateCpuBefore;
        std::printf("SecObj Update: %zu in %.1f s over %d connections to %zu server(s): %.0f/s, p50 %.2f ms, "
                    "p99 %.2f ms, %ld refused or failed\n",
                    latencies.size(), elapsed, connections, ports.size(),
                    static_cast<double>(latencies.size()) / elapsed, Percentile(latencies, 0.5),
                    Percentile(latencies, 0.99), failures.load());
        std::printf("    server CPU per update (first server): %.3f ms\n",
                    latencies.empty() ? 0.0 : updateCpu / static_cast<double>(latencies.size()));

        // The applications changed: the reply is built again.
        const double rebuildCpuBefore = CpuMs(pid);
        auto t = Clock::now();
        if (c.Exchange("GET", "Object=Appl&Operation=GetAll", {}, reply)) {
            std::printf("Appl GetAll after the updates: built %.1f ms (server CPU %.0f ms)\n",
                        Ms(Clock::now() - t), CpuMs(pid) - rebuildCpuBefore);
        }
    }

    servers.clear(); // each stops its server
    std::filesystem::remove_all(dir);
    if (!pg.empty()) {
        zyr::server::pg::Connection admin(pg, true);
        admin.Script("DROP DATABASE IF EXISTS " + pgName + " WITH (FORCE)");
    }
    return 0;
}
