#include "sim_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cmn::testing {

SimProcess::SimProcess() {
  char pattern[] = "/tmp/cmn-native-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp");
  dir_ = pattern;
  device_ = dir_ + "/velklb";
  ::setenv("VELKLB_DEVICE", device_.c_str(), 1);
}

SimProcess::~SimProcess() {
  stop();
  ::unlink((device_ + ".ctl").c_str());
  ::unlink(device_.c_str());
  ::rmdir(dir_.c_str());
}

bool SimProcess::start() {
  const char* binary = std::getenv("VELKLB_EXECUTOR");
  if (binary == nullptr) return false;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::execl(binary, binary, "--socket", device_.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  for (int i = 0; i < 200; ++i) {
    if (control("PING") == "OK") return true;
    ::usleep(20000);
  }
  return false;
}

void SimProcess::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::string SimProcess::control(const std::string& line) {
  const std::string path = device_ + ".ctl";
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(fd);
    return "";
  }
  const std::string request = line + "\n";
  if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) < 0) {
    ::close(fd);
    return "";
  }
  std::string answer;
  char c;
  while (::recv(fd, &c, 1, 0) == 1 && c != '\n') answer += c;
  ::close(fd);
  return answer;
}

int SimProcess::recordCount() {
  const std::string answer = control("RECORD COUNT");
  if (answer.rfind("OK ", 0) != 0) return -1;
  return std::atoi(answer.c_str() + 3);
}

std::vector<std::uint8_t> SimProcess::record(int index) {
  const std::string answer = control("RECORD GET " + std::to_string(index));
  std::vector<std::uint8_t> bytes;
  if (answer.rfind("OK ", 0) != 0) return bytes;
  const std::size_t blank = answer.find(' ', 3);
  if (blank == std::string::npos) return bytes;
  const std::string hex = answer.substr(blank + 1);
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

}  // namespace cmn::testing
