// velklb-executor, velklb-ctl and the stand-ins as processes over real sockets. VELKLB_SIM_WRAPPER
// (e.g. "valgrind --error-exitcode=1") runs the daemon under that command; it must exit with 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

bool exists(const std::string& p) { return access(p.c_str(), F_OK) == 0; }
void sleepMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

Bytes request(uint32_t command, uint32_t length) {  // the hosts we run on are little-endian
    Bytes b(length < 16 ? 16 : length, 0);
    std::memcpy(&b[0], &command, 4);
    std::memcpy(&b[12], &length, 4);
    return b;
}

int connectTo(const std::string& p) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{AF_UNIX, {}};
    std::strncpy(addr.sun_path, p.c_str(), sizeof addr.sun_path - 1);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    return fd;
}

// Blocks until all of it is sent.
void writeAll(int fd, const uint8_t* p, size_t n) { EXPECT_EQ(send(fd, p, n, MSG_NOSIGNAL), n); }

// The N bytes of one device answer; a failed call (N = 0xFFFFFFFF) leaves its code in *error.
Bytes readAnswer(int fd, uint32_t* error = nullptr) {
    uint32_t n = 0, code = 0;
    recv(fd, &n, 4, MSG_WAITALL);
    if (n == ~0u) recv(fd, error ? error : &code, 4, MSG_WAITALL), n = 0;
    Bytes b(n);  // (a read of 0 bytes would wait for the next answer)
    b.resize(n ? std::max<ssize_t>(recv(fd, b.data(), n, MSG_WAITALL), 0) : 0);
    return b;
}

// Exit status of a command line run with the test's environment; its output goes to `out`.
int run(const std::string& cmd, std::string& out) {
    FILE* f = popen((cmd + " 2>/dev/null").c_str(), "r");
    char buf[4096];
    out.clear();
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    int status = pclose(f);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Daemon : public ::testing::Test {
protected:
    void SetUp() override {
        char dirTemplate[] = "/tmp/velksimXXXXXX";
        ASSERT_NE(mkdtemp(dirTemplate), nullptr);
        path = (dir = dirTemplate) + "/velklb";
        setenv("VELKLB_DEVICE", path.c_str(), 1);
        setenv("VELKLB_TOOL_LOG", (dir + "/tools.log").c_str(), 1);
        const char* sh = "exec $VELKLB_SIM_WRAPPER " VELKLB_EXECUTOR_BIN " --socket $VELKLB_DEVICE";
        if (!(pid = fork())) execl("/bin/sh", "sh", "-c", sh, nullptr), _exit(127);
        // The socket files appear only once the daemon accepts connections on them.
        for (int i = 0; i < 300 && !exists(path); ++i) sleepMs(50);
        ASSERT_TRUE(exists(path)) << "daemon did not come up";
    }

    // SIGTERM, like STOP, ends the daemon with status 0 and both socket files removed.
    void TearDown() override {
        if (pid > 0) kill(pid, SIGTERM);
        int status = -1;
        for (int i = 0; i < 600 && pid > 0 && waitpid(pid, &status, WNOHANG) != pid; ++i)
            sleepMs(50);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "daemon status " << status;
        EXPECT_FALSE(exists(path) || exists(path + ".ctl"));
        std::system(("rm -rf " + dir).c_str());
    }

    std::string dir, path;
    pid_t pid = -1;
};

TEST_F(Daemon, RequestsAreAnsweredInOrderAndBadLengthsKeepTheConnection) {
    int fd = connectTo(path);
    Bytes first = request(4001, 40), second = request(4002, 24), big = request(4003, 64016);
    Bytes all = first;
    all[4] = 7;  // a stale result that the answer clears
    all.insert(all.end(), second.begin(), second.end());
    all.insert(all.end(), big.begin(), big.begin() + 100);  // and the head of a third
    writeAll(fd, all.data(), all.size());
    EXPECT_EQ(readAnswer(fd), first);
    EXPECT_EQ(readAnswer(fd), second);
    sleepMs(300);  // a request whose header is complete waits as long as it takes
    writeAll(fd, big.data() + 100, big.size() - 100);
    EXPECT_EQ(readAnswer(fd).size(), 64016u);
    uint32_t low = 0, tiny = 0;
    writeAll(fd, request(1, 15).data(), 16);
    readAnswer(fd, &low);
    writeAll(fd, request(1, 8).data(), 8);  // shorter than a header: refused once input stalls
    readAnswer(fd, &tiny);
    EXPECT_EQ((std::vector<uint32_t>{low, tiny}), (std::vector<uint32_t>{EINVAL, EINVAL}));
    writeAll(fd, second.data(), second.size());
    EXPECT_EQ(readAnswer(fd), second);
    close(fd);
}

TEST_F(Daemon, ClientsAreServedSideBySideAndMayVanishMidRequest) {
    Bytes req = request(4000, 1000), huge = request(4000, 64016);
    int slow = connectTo(path), quitter = connectTo(path), deaf = connectTo(path);
    writeAll(slow, req.data(), 500);  // half a request stays pending
    writeAll(quitter, req.data(), 700);
    close(quitter);
    for (int i = 0; i < 4; ++i) writeAll(deaf, huge.data(), huge.size());  // never reads
    close(deaf);
    int quick = connectTo(path);
    writeAll(quick, req.data(), req.size());
    EXPECT_EQ(readAnswer(quick), req);
    writeAll(slow, req.data() + 500, 500);
    EXPECT_EQ(readAnswer(slow), req);
    close(quick), close(slow);
}

// velklb-ctl and the stand-ins in turn; `service velklb stop` ends the daemon by STOP.
TEST_F(Daemon, CtlAndStandInsReportByExitStatus) {
    const std::string ctl = VELKLB_CTL_BIN " ", tools = VELKLB_TOOLS_DIR "/";
    const std::string zo = tools + "zoconfig ", service = tools + "service velklb ";
    const struct { std::string cmd; int status; const char* out; } steps[] = {
        {ctl + "FROB", 1, "ERR unknown command\n"},
        {zo + "eth0 alias 10.0.0.5 netmask 255.255.255.0 source 10.0.0.1", 0, ""},
        {zo + "en12 alias localhost netmask 255.0.0.0 source localhost", 0, ""},
        {zo + "eth0 alias no-such-host.invalid netmask 255.0.0.0 source 10.0.0.1", 1, ""},
        {zo + "eth0 alias 10.0.0.5 netmask 255.255.255.0 source 10.0.0.1", 1, ""},  // listed
        {zo + "eth0 10.0.0.5 delete", 0, ""},
        {zo + "eth0 10.0.0.5 delete", 1, ""},  // gone already
        {ctl + "ALIASES", 0, "OK 1 en12 127.0.0.1 255.0.0.0 127.0.0.1\n"},
        {service + "restart", 1, ""},
        {service + "stop", 0, ""},
        {service + "stop", 0, ""},  // stopped already
        {ctl + "PING", 2, ""},
    };
    std::string out, log;
    for (const auto& s : steps) {
        EXPECT_EQ(run(s.cmd, out), s.status) << s.cmd;
        EXPECT_EQ(out, s.out) << s.cmd;
        if (s.cmd.compare(0, tools.size(), tools) == 0) log += s.cmd.substr(tools.size()) + "\n";
    }
    run("cat " + dir + "/tools.log", out);
    EXPECT_EQ(out, log);
}

}  // namespace
