// velklb-ctl LINE...: sends one control line to the simulated executor and prints the answer.
//
// Exit status: 0 when the answer begins with OK, 1 for any other answer, 2 when the control
// socket cannot be reached or the answer does not arrive.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: velklb-ctl LINE...\n");
        return 2;
    }
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    line += '\n';

    const char* env = std::getenv("VELKLB_DEVICE");
    std::string path = std::string((env && *env) ? env : "/run/velklb") + ".ctl";
    sockaddr_un addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        std::fprintf(stderr, "velklb-ctl: socket path too long: %s\n", path.c_str());
        return 2;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    std::signal(SIGPIPE, SIG_IGN);
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(stderr, "velklb-ctl: cannot connect to %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return 2;
    }
    for (size_t sent = 0; sent < line.size();) {
        ssize_t n = send(fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            std::fprintf(stderr, "velklb-ctl: send failed: %s\n", std::strerror(errno));
            close(fd);
            return 2;
        }
        sent += static_cast<size_t>(n);
    }
    std::string answer;
    char buf[65536];
    for (;;) {
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        answer.append(buf, static_cast<size_t>(n));
        if (answer.find('\n') != std::string::npos) break;
    }
    close(fd);
    size_t end = answer.find('\n');
    if (end == std::string::npos) {
        std::fprintf(stderr, "velklb-ctl: no answer from %s\n", path.c_str());
        return 2;
    }
    answer.resize(end);
    std::printf("%s\n", answer.c_str());
    return answer.compare(0, 2, "OK") == 0 ? 0 : 1;
}
