// Shell lines, time, sleeping and name lookup on Linux.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <netdb.h>
#include <pthread.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include "platform/platform.h"

namespace cmn::platform {

int runShellLine(const char* line) {
  const int status = std::system(line);
  if (status == -1) return -1;
  if (!WIFEXITED(status)) return -1;
  // A shell that could not run the command reports 127, which is an exit status like any other.
  return WEXITSTATUS(status);
}

std::string serviceStopLine(const char* serviceName) {
  return std::string("service ") + serviceName + " stop";
}

namespace {
// Statically initialised, so it exists before the first call and is never torn down under a
// thread that is still calling in while the process exits.
pthread_mutex_t g_callTurn = PTHREAD_MUTEX_INITIALIZER;
}  // namespace

void lockCallTurn() { pthread_mutex_lock(&g_callTurn); }
void unlockCallTurn() { pthread_mutex_unlock(&g_callTurn); }

std::int64_t currentTime() { return static_cast<std::int64_t>(std::time(nullptr)); }

bool utcClockFace(std::int64_t t, ClockFace* out) {
  const std::time_t when = static_cast<std::time_t>(t);
  std::tm parts{};
  if (::gmtime_r(&when, &parts) == nullptr) return false;
  *out = ClockFace{parts.tm_hour, parts.tm_min};
  return true;
}

bool localClockFace(std::int64_t t, ClockFace* out) {
  const std::time_t when = static_cast<std::time_t>(t);
  ::tzset();
  std::tm parts{};
  if (::localtime_r(&when, &parts) == nullptr) return false;
  *out = ClockFace{parts.tm_hour, parts.tm_min};
  return true;
}

void sleepMilliseconds(std::uint32_t milliseconds) {
  timespec remaining{static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

bool resolveHostName(const char* name, std::uint32_t* out) {
  if (name == nullptr || out == nullptr) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) return false;
  bool ok = false;
  for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
      const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
      std::memcpy(out, &in->sin_addr.s_addr, sizeof(*out));
      ok = true;
      break;
    }
  }
  ::freeaddrinfo(found);
  return ok;
}

}  // namespace cmn::platform
