// Runs velklb-executor, velklb-ctl and the stand-ins as separate processes over real sockets.
// Set VELKLB_SIM_WRAPPER (e.g. "valgrind --error-exitcode=1 --leak-check=full") to run the
// daemon under a checker; every test then also requires a clean exit status.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

bool exists(const std::string& p) {
    struct stat st;
    return lstat(p.c_str(), &st) == 0;
}

void sleepMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

std::vector<uint8_t> request(uint32_t command, uint32_t length) {
    std::vector<uint8_t> b(length < 16 ? 16 : length, 0);
    for (int i = 0; i < 4; ++i) {
        b[i] = static_cast<uint8_t>(command >> (8 * i));
        b[12 + i] = static_cast<uint8_t>(length >> (8 * i));
    }
    return b;
}

uint32_t le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

class Daemon : public ::testing::Test {
protected:
    void SetUp() override {
        char dirTemplate[] = "/tmp/velksimXXXXXX";
        ASSERT_NE(mkdtemp(dirTemplate), nullptr);
        dir = dirTemplate;
        path = dir + "/velklb";
        toolLog = dir + "/tools.log";
        setenv("VELKLB_DEVICE", path.c_str(), 1);
        setenv("VELKLB_TOOL_LOG", toolLog.c_str(), 1);
        start();
    }

    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGTERM);
            EXPECT_EQ(waitExit(), 0);
        }
        EXPECT_FALSE(exists(path));
        EXPECT_FALSE(exists(path + ".ctl"));
        std::system(("rm -rf " + dir).c_str());
    }

    void start() {
        const char* wrapper = std::getenv("VELKLB_SIM_WRAPPER");
        std::string cmd = std::string(wrapper ? wrapper : "") + " " VELKLB_EXECUTOR_BIN " --socket " + path;
        pid = fork();
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", ("exec " + cmd).c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        bool up = false;
        for (int i = 0; i < 300 && !up; ++i) {
            sleepMs(50);
            up = canConnect(path);
        }
        ASSERT_TRUE(up) << "daemon did not come up";
    }

    static bool canConnect(const std::string& p) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr;
        std::memset(&addr, 0, sizeof addr);
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, p.c_str(), sizeof addr.sun_path - 1);
        bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        close(fd);
        return ok;
    }

    // Exit status of the daemon, or -1 when it did not exit normally within the wait.
    int waitExit() {
        int status = 0;
        for (int i = 0; i < 600; ++i) {
            pid_t r = waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            sleepMs(50);
        }
        return -1;
    }

    int connectTo(const std::string& p) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr;
        std::memset(&addr, 0, sizeof addr);
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, p.c_str(), sizeof addr.sun_path - 1);
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        return fd;
    }

    static void writeAll(int fd, const uint8_t* p, size_t n) {
        while (n) {
            ssize_t w = send(fd, p, n, MSG_NOSIGNAL);
            ASSERT_GT(w, 0);
            p += w;
            n -= static_cast<size_t>(w);
        }
    }

    static std::vector<uint8_t> readExactly(int fd, size_t n) {
        std::vector<uint8_t> b(n);
        size_t got = 0;
        while (got < n) {
            ssize_t r = recv(fd, b.data() + got, n - got, 0);
            if (r <= 0) break;
            got += static_cast<size_t>(r);
        }
        b.resize(got);
        return b;
    }

    // One device answer: N and the N bytes, or 0xFFFFFFFF and the error code as the only byte
    // vector element pair {error}.
    struct Answer {
        bool failed;
        uint32_t error;
        std::vector<uint8_t> bytes;
    };
    static Answer readAnswer(int fd) {
        std::vector<uint8_t> head = readExactly(fd, 4);
        if (head.size() != 4) return Answer{true, 0, {}};
        uint32_t n = le32(head.data());
        if (n == 0xFFFFFFFFu) {
            std::vector<uint8_t> e = readExactly(fd, 4);
            return Answer{true, e.size() == 4 ? le32(e.data()) : 0, {}};
        }
        return Answer{false, 0, readExactly(fd, n)};
    }

    // Runs a command line with the test's environment; returns its exit status and output.
    static int run(const std::string& cmd, std::string* out = nullptr) {
        FILE* f = popen((cmd + " 2>/dev/null").c_str(), "r");
        std::string text;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        int status = pclose(f);
        if (out) *out = text;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string dir, path, toolLog;
    pid_t pid = -1;
};

TEST_F(Daemon, PipelinedAndSplitRequestsAreAnsweredInOrder) {
    int fd = connectTo(path);
    std::vector<uint8_t> both = request(4001, 40);
    std::vector<uint8_t> second = request(4002, 24);
    both[4] = 7;  // a stale result that the answer must clear
    both.insert(both.end(), second.begin(), second.end());
    writeAll(fd, both.data(), both.size());
    Answer a = readAnswer(fd);
    Answer b = readAnswer(fd);
    ASSERT_FALSE(a.failed);
    ASSERT_EQ(a.bytes.size(), 40u);
    EXPECT_EQ(le32(a.bytes.data()), 4001u);
    EXPECT_EQ(le32(a.bytes.data() + 4), 0u);
    ASSERT_EQ(b.bytes.size(), 24u);
    EXPECT_EQ(le32(b.bytes.data()), 4002u);

    std::vector<uint8_t> big = request(4003, 64016);
    writeAll(fd, big.data(), 100);
    sleepMs(300);  // a request whose header is complete waits as long as it takes
    writeAll(fd, big.data() + 100, big.size() - 100);
    Answer c = readAnswer(fd);
    ASSERT_FALSE(c.failed);
    EXPECT_EQ(c.bytes.size(), 64016u);
    close(fd);
}

TEST_F(Daemon, BadLengthsFailWithInvalidArgumentAndKeepTheConnection) {
    int fd = connectTo(path);
    std::vector<uint8_t> low = request(1, 15);
    writeAll(fd, low.data(), 16);
    Answer a = readAnswer(fd);
    EXPECT_TRUE(a.failed);
    EXPECT_EQ(a.error, static_cast<uint32_t>(EINVAL));

    std::vector<uint8_t> tiny = request(1, 8);
    writeAll(fd, tiny.data(), 8);  // shorter than a header: refused once the input stalls
    Answer b = readAnswer(fd);
    EXPECT_TRUE(b.failed);
    EXPECT_EQ(b.error, static_cast<uint32_t>(EINVAL));

    std::vector<uint8_t> ok = request(4000, 16);
    writeAll(fd, ok.data(), ok.size());
    EXPECT_FALSE(readAnswer(fd).failed);
    close(fd);
}

TEST_F(Daemon, ClientsAreServedSideBySideAndMayVanishMidRequest) {
    int slow = connectTo(path);
    std::vector<uint8_t> req = request(4000, 1000);
    writeAll(slow, req.data(), 500);  // half a request stays pending

    int quitter = connectTo(path);
    writeAll(quitter, req.data(), 700);
    close(quitter);
    int deaf = connectTo(path);  // never reads its answer
    std::vector<uint8_t> huge = request(4000, 64016);
    for (int i = 0; i < 4; ++i) writeAll(deaf, huge.data(), huge.size());
    close(deaf);

    int quick = connectTo(path);
    writeAll(quick, req.data(), req.size());
    EXPECT_EQ(readAnswer(quick).bytes.size(), 1000u);
    writeAll(slow, req.data() + 500, 500);
    EXPECT_EQ(readAnswer(slow).bytes.size(), 1000u);
    close(quick);
    close(slow);
    EXPECT_EQ(run(VELKLB_CTL_BIN " PING"), 0);
}

TEST_F(Daemon, CtlScriptsTheDeviceAndReportsByExitStatus) {
    std::string out;
    EXPECT_EQ(run(VELKLB_CTL_BIN " SCRIPT NEXT ERROR 13", &out), 0);
    EXPECT_EQ(out, "OK\n");
    EXPECT_EQ(run(VELKLB_CTL_BIN " FROB", &out), 1);
    EXPECT_EQ(out.compare(0, 4, "ERR "), 0);

    int fd = connectTo(path);
    std::vector<uint8_t> req = request(9, 72);
    writeAll(fd, req.data(), req.size());
    Answer a = readAnswer(fd);
    EXPECT_TRUE(a.failed);
    EXPECT_EQ(a.error, 13u);
    close(fd);

    EXPECT_EQ(run(VELKLB_CTL_BIN " RECORD GET -1", &out), 0);
    EXPECT_EQ(out.substr(0, 22), "OK 72 0900000000000000");

    // A long line: a PUT of 30000 bytes answered through the same connection rules.
    std::string line = VELKLB_CTL_BIN " SCRIPT NEXT PUT 16 " + std::string(60000, 'a');
    EXPECT_EQ(run(line, &out), 0);
}

TEST_F(Daemon, StopByControlLineRemovesBothSocketFiles) {
    std::string out;
    EXPECT_EQ(run(VELKLB_CTL_BIN " STOP", &out), 0);
    EXPECT_EQ(out, "OK\n");
    EXPECT_EQ(waitExit(), 0);
    EXPECT_FALSE(exists(path));
    EXPECT_EQ(run(VELKLB_CTL_BIN " PING"), 2);
}

TEST_F(Daemon, ServiceStandInStopsTheExecutorAndLogsItsCommandLine) {
    const std::string service = VELKLB_TOOLS_DIR "/service";
    EXPECT_EQ(run(service + " velklb restart"), 1);
    EXPECT_EQ(run(service + " velklb stop"), 0);
    EXPECT_FALSE(exists(path));
    EXPECT_EQ(waitExit(), 0);
    EXPECT_EQ(run(service + " velklb stop"), 0);  // already stopped
    std::ifstream log(toolLog);
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_EQ(text.str(), "service velklb restart\nservice velklb stop\nservice velklb stop\n");
}

TEST_F(Daemon, ZoconfigStandInKeepsAliasesInTheExecutor) {
    const std::string zo = VELKLB_TOOLS_DIR "/zoconfig";
    std::string out;
    EXPECT_EQ(run(zo + " eth0 alias 10.0.0.5 netmask 255.255.255.0 source 10.0.0.1"), 0);
    EXPECT_EQ(run(zo + " en12 alias 127.0.0.1 netmask 255.0.0.0 source 127.0.0.1"), 0);
    EXPECT_NE(run(zo + " eth0 alias 10.0.0.5 netmask 255.255.255.0 source 10.0.0.1"), 0);
    EXPECT_EQ(run(zo + " eth alias 10.0.0.6 netmask 255.255.255.0 source 10.0.0.1"), 1);
    EXPECT_EQ(run(zo + " eth0 alias 10.0.0.6 mask 255.255.255.0 source 10.0.0.1"), 1);
    EXPECT_EQ(run(zo + " eth0 10.0.0.6"), 1);
    EXPECT_EQ(run(VELKLB_CTL_BIN " ALIASES", &out), 0);
    EXPECT_EQ(out, "OK 2 eth0 10.0.0.5 255.255.255.0 10.0.0.1 en12 127.0.0.1 255.0.0.0 127.0.0.1\n");
    EXPECT_EQ(run(zo + " eth0 10.0.0.5 delete"), 0);
    EXPECT_NE(run(zo + " eth0 10.0.0.5 delete"), 0);
    EXPECT_EQ(run(VELKLB_CTL_BIN " ALIASES", &out), 0);
    EXPECT_EQ(out, "OK 1 en12 127.0.0.1 255.0.0.0 127.0.0.1\n");
    std::ifstream log(toolLog);
    std::string first;
    std::getline(log, first);
    EXPECT_EQ(first, "zoconfig eth0 alias 10.0.0.5 netmask 255.255.255.0 source 10.0.0.1");
}

TEST_F(Daemon, StaleSocketFilesAreReplacedAndALiveDaemonIsNot) {
    // A second daemon on the same path must refuse to start while the first serves it.
    pid_t first = pid;
    pid = fork();
    if (pid == 0) {
        execl(VELKLB_EXECUTOR_BIN, VELKLB_EXECUTOR_BIN, "--socket", path.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    EXPECT_EQ(waitExit(), 1);
    pid = first;
    // Killed hard, the first leaves its socket files behind; a new daemon takes over.
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
    ASSERT_TRUE(exists(path));
    start();
    EXPECT_EQ(run(VELKLB_CTL_BIN " PING"), 0);
}

}  // namespace
