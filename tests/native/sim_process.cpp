#include "sim_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include "sim_link.h"

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
  return jnihost::startExecutor(4);
}

void SimProcess::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::string SimProcess::control(const std::string& line) {
  return jnihost::simControl(line);  // at VELKLB_DEVICE's control socket
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
