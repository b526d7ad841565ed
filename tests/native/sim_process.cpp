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

}  // namespace cmn::testing
