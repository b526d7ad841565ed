// velklb-executor: the Linux host of the simulated executor.
//
// One thread, one poll() loop. It serves the device socket PATH and the control socket PATH.ctl;
// every complete request or line goes through the core at once, so the requests of one
// connection are answered in the order they came, and no client can hold up another by
// sending half a request.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "sim_core.h"

namespace {

using velksim::kBlockSize;
using velksim::kHeaderSize;

// A request shorter than its own header cannot announce its length, so a connection whose
// input stops short of 16 bytes for this long is taken to have sent such a request.
constexpr int kPartialHeaderMs = 200;
// Stop reading from a client that does not collect its answers once this much is queued.
constexpr size_t kOutputHighWater = 4u << 20;
constexpr uint32_t kDeviceErrorMark = 0xFFFFFFFFu;

velksim::SimState g_state;
uint8_t g_answer[kBlockSize];
char g_controlAnswer[velksim::kControlAnswerMax];
int g_signalPipe[2] = {-1, -1};

struct Connection {
    int fd;
    bool control;
    bool readClosed = false;
    bool discarding = false;  // control: skipping the rest of an over-long line
    std::vector<uint8_t> in;
    std::vector<uint8_t> out;
    size_t outSent = 0;
    long long lastInputMs = 0;
};

long long nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void onSignal(int) {
    int saved = errno;
    char c = 's';
    ssize_t ignored = write(g_signalPipe[1], &c, 1);
    (void)ignored;
    errno = saved;
}

void setNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
}

bool fillAddress(sockaddr_un& addr, const std::string& path) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Removes a socket file that no daemon serves any more. Refuses to touch anything else.
bool clearStale(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return true;
    if (!S_ISSOCK(st.st_mode)) {
        std::fprintf(stderr, "velklb-executor: %s exists and is not a socket\n", path.c_str());
        return false;
    }
    sockaddr_un addr;
    if (!fillAddress(addr, path)) return false;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool live = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    if (live) {
        std::fprintf(stderr, "velklb-executor: another executor serves %s\n", path.c_str());
        return false;
    }
    unlink(path.c_str());
    return true;
}

// Binds under a temporary name and renames into place once listening, so the socket file
// appears only when connecting to it already works.
int listenOn(const std::string& path) {
    std::string temp = path + ".tmp" + std::to_string(getpid());
    sockaddr_un addr;
    if (!fillAddress(addr, temp)) {
        std::fprintf(stderr, "velklb-executor: socket path too long: %s\n", path.c_str());
        return -1;
    }
    unlink(temp.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd, 64) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "velklb-executor: cannot serve %s: %s\n", path.c_str(),
                     std::strerror(errno));
        if (fd >= 0) close(fd);
        unlink(temp.c_str());
        return -1;
    }
    setNonBlocking(fd);
    return fd;
}

void appendU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void answerDevice(Connection& c, const uint8_t* request, uint32_t received) {
    velksim::simSetClock(g_state, static_cast<uint64_t>(time(nullptr)));
    velksim::DeviceReply r = velksim::simHandleRequest(g_state, request, received, g_answer);
    switch (r.outcome) {
        case velksim::DeviceOutcome::kAnswer:
            appendU32(c.out, r.hasFrameWord ? r.frameWord : r.answerLength);
            c.out.insert(c.out.end(), g_answer, g_answer + r.answerLength);
            break;
        case velksim::DeviceOutcome::kError:
            appendU32(c.out, kDeviceErrorMark);
            appendU32(c.out, r.error);
            break;
        case velksim::DeviceOutcome::kBadLength:
            appendU32(c.out, kDeviceErrorMark);
            appendU32(c.out, EINVAL);
            break;
    }
}

void serveDevice(Connection& c, long long now) {
    size_t used = 0;
    while (c.in.size() - used >= kHeaderSize) {
        const uint8_t* p = c.in.data() + used;
        uint32_t length = static_cast<uint32_t>(p[12]) | (static_cast<uint32_t>(p[13]) << 8) |
                          (static_cast<uint32_t>(p[14]) << 16) |
                          (static_cast<uint32_t>(p[15]) << 24);
        if (length < kHeaderSize || length > kBlockSize) {
            answerDevice(c, p, kHeaderSize);
            // The stream cannot be framed past a bad length; what came with it is dropped.
            used = length > kBlockSize ? c.in.size() : used + kHeaderSize;
            continue;
        }
        if (c.in.size() - used < length) break;
        answerDevice(c, p, length);
        used += length;
    }
    c.in.erase(c.in.begin(), c.in.begin() + static_cast<long>(used));
    bool stalled = !c.in.empty() && c.in.size() < kHeaderSize &&
                   (c.readClosed || now - c.lastInputMs >= kPartialHeaderMs);
    if (stalled) {
        answerDevice(c, c.in.data(), static_cast<uint32_t>(c.in.size()));
        c.in.clear();
    }
}

// Returns true when a STOP line was served.
bool serveControl(Connection& c) {
    bool stop = false;
    size_t used = 0;
    while (!stop) {
        size_t end = used;
        while (end < c.in.size() && c.in[end] != '\n') ++end;
        bool complete = end < c.in.size();
        if (!complete && !(c.readClosed && end > used)) {
            if (end - used > velksim::kControlLineMax) {
                // Too long to be any line we understand: refuse it now, skip to its end.
                if (!c.discarding) {
                    const char* msg = "ERR line too long\n";
                    c.out.insert(c.out.end(), msg, msg + std::strlen(msg));
                }
                c.discarding = true;
                used = end;
            }
            break;
        }
        if (c.discarding) {
            c.discarding = false;
        } else {
            std::string line(reinterpret_cast<const char*>(c.in.data() + used), end - used);
            if (line.size() > velksim::kControlLineMax) {
                std::snprintf(g_controlAnswer, sizeof g_controlAnswer, "ERR line too long");
            } else {
                stop = velksim::simHandleControl(g_state, line.c_str(), g_controlAnswer,
                                                 sizeof g_controlAnswer) ==
                       velksim::ControlOutcome::kStop;
            }
            c.out.insert(c.out.end(), g_controlAnswer, g_controlAnswer + std::strlen(g_controlAnswer));
            c.out.push_back('\n');
        }
        used = complete ? end + 1 : end;
    }
    c.in.erase(c.in.begin(), c.in.begin() + static_cast<long>(used));
    return stop;
}

// Sends what is queued; returns false when the client is gone.
bool flush(Connection& c) {
    while (c.outSent < c.out.size()) {
        ssize_t n = send(c.fd, c.out.data() + c.outSent, c.out.size() - c.outSent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        c.outSent += static_cast<size_t>(n);
    }
    c.out.clear();
    c.outSent = 0;
    return true;
}

// Reads what is there; returns false on a broken connection.
bool readInput(Connection& c, long long now) {
    uint8_t buf[65536];
    for (;;) {
        ssize_t n = recv(c.fd, buf, sizeof buf, 0);
        if (n > 0) {
            c.in.insert(c.in.end(), buf, buf + n);
            c.lastInputMs = now;
            if (c.in.size() > 2 * velksim::kControlLineMax + sizeof buf) return true;
            continue;
        }
        if (n == 0) {
            c.readClosed = true;
            return true;
        }
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

void acceptAll(int listener, bool control, std::vector<Connection>& conns) {
    for (;;) {
        int fd = accept(listener, nullptr, nullptr);
        if (fd < 0) return;
        setNonBlocking(fd);
        Connection c;
        c.fd = fd;
        c.control = control;
        conns.push_back(std::move(c));
    }
}

void usage() {
    std::fprintf(stderr, "usage: velklb-executor [--socket PATH]\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--socket") == 0 && i + 1 < argc) {
            path = argv[++i];
        } else {
            usage();
            return 2;
        }
    }
    if (path.empty()) {
        const char* env = std::getenv("VELKLB_DEVICE");
        path = (env && *env) ? env : "/run/velklb";
    }
    const std::string ctlPath = path + ".ctl";

    velksim::simInit(g_state);
    velksim::simSetClock(g_state, static_cast<uint64_t>(time(nullptr)));

    if (pipe(g_signalPipe) != 0) return 1;
    setNonBlocking(g_signalPipe[0]);
    setNonBlocking(g_signalPipe[1]);
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    if (!clearStale(path) || !clearStale(ctlPath)) return 1;
    int ctlListener = listenOn(ctlPath);
    if (ctlListener < 0) return 1;
    int devListener = listenOn(path);
    if (devListener < 0) {
        close(ctlListener);
        unlink(ctlPath.c_str());
        return 1;
    }
    std::fprintf(stderr, "velklb-executor: serving %s and %s\n", path.c_str(), ctlPath.c_str());

    std::vector<Connection> conns;
    bool stopping = false;
    while (!stopping) {
        std::vector<pollfd> fds;
        fds.push_back({g_signalPipe[0], POLLIN, 0});
        fds.push_back({devListener, POLLIN, 0});
        fds.push_back({ctlListener, POLLIN, 0});
        int timeout = -1;
        long long now = nowMs();
        for (Connection& c : conns) {
            short events = 0;
            if (!c.readClosed && c.out.size() < kOutputHighWater) events |= POLLIN;
            if (!c.out.empty()) events |= POLLOUT;
            fds.push_back({c.fd, events, 0});
            if (!c.control && !c.in.empty() && c.in.size() < kHeaderSize) {
                long long wait = c.lastInputMs + kPartialHeaderMs - now;
                int w = wait < 0 ? 0 : static_cast<int>(wait) + 1;
                if (timeout < 0 || w < timeout) timeout = w;
            }
        }
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) break;
        now = nowMs();

        if (fds[0].revents & POLLIN) break;  // SIGTERM or SIGINT
        if (fds[1].revents & POLLIN) acceptAll(devListener, false, conns);
        if (fds[2].revents & POLLIN) acceptAll(ctlListener, true, conns);

        Connection* stopper = nullptr;
        for (size_t i = 0; i < conns.size(); ++i) {
            Connection& c = conns[i];
            // Connections accepted in this round have no poll slot yet.
            short revents = i + 3 < fds.size() ? fds[i + 3].revents : 0;
            bool alive = true;
            if (revents & (POLLIN | POLLHUP | POLLERR)) alive = readInput(c, now);
            if (alive) {
                if (c.control) {
                    if (serveControl(c)) {
                        stopping = true;
                        stopper = &c;
                    }
                } else {
                    serveDevice(c, now);
                }
                alive = flush(c);
            }
            if (stopping) break;
            // Once the client stops sending, an unfinished request can never complete.
            if (!alive || (c.readClosed && c.out.empty())) c.fd = -c.fd - 1;
        }
        if (stopper) {
            // The STOP line gets its answer before the sockets go away.
            pollfd pfd{stopper->fd, POLLOUT, 0};
            long long deadline = nowMs() + 1000;
            while (!stopper->out.empty() && flush(*stopper) && !stopper->out.empty() &&
                   nowMs() < deadline)
                poll(&pfd, 1, 100);
        }
        std::vector<Connection> kept;
        for (Connection& c : conns) {
            if (c.fd < 0 && !stopping) {
                close(-c.fd - 1);
            } else {
                kept.push_back(std::move(c));
            }
        }
        conns.swap(kept);
    }

    unlink(path.c_str());
    unlink(ctlPath.c_str());
    close(devListener);
    close(ctlListener);
    for (Connection& c : conns) close(c.fd < 0 ? -c.fd - 1 : c.fd);
    close(g_signalPipe[0]);
    close(g_signalPipe[1]);
    return 0;
}
