// Shell lines, time, sleeping and name lookup on Windows, and the library's process attach.

// Windows Sockets 2 brings in windows.h itself, after keeping the older sockets header out.
#include <winsock2.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/platform.h"

namespace cmn::platform {

int runShellLine(const char* line) {
  // The C runtime hands back the command's exit code; -1 when no command processor ran.
  return std::system(line);
}

std::string serviceStopLine(const char* serviceName) {
  return std::string("net stop ") + serviceName;
}

std::int64_t currentTime() {
  return static_cast<std::int64_t>(std::time(nullptr));
}

bool utcClockFace(std::int64_t t, ClockFace* out) {
  const __time64_t when = static_cast<__time64_t>(t);
  std::tm parts{};
  if (::_gmtime64_s(&parts, &when) != 0) return false;
  *out = ClockFace{parts.tm_hour, parts.tm_min};
  return true;
}

bool localClockFace(std::int64_t t, ClockFace* out) {
  const __time64_t when = static_cast<__time64_t>(t);
  ::_tzset();
  std::tm parts{};
  if (::_localtime64_s(&parts, &when) != 0) return false;
  *out = ClockFace{parts.tm_hour, parts.tm_min};
  return true;
}

void sleepMilliseconds(std::uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

namespace {
// Statically initialised and never torn down, like its POSIX counterpart.
SRWLOCK g_callTurn = SRWLOCK_INIT;
}  // namespace

void lockCallTurn() { ::AcquireSRWLockExclusive(&g_callTurn); }
void unlockCallTurn() { ::ReleaseSRWLockExclusive(&g_callTurn); }

namespace {

// Windows Sockets must be started before the resolver answers; once per process is enough and
// it stays up until the process ends.
bool socketsStarted() {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

}  // namespace

bool resolveHostName(const char* name, std::uint32_t* out) {
  if (name == nullptr || out == nullptr || !socketsStarted()) return false;
  const hostent* host = ::gethostbyname(name);
  if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4 ||
      host->h_addr_list == nullptr || host->h_addr_list[0] == nullptr) {
    return false;
  }
  std::memcpy(out, host->h_addr_list[0], sizeof(*out));
  return true;
}

}  // namespace cmn::platform

// The library keeps no per-thread state, so thread attach and detach notices are not wanted.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
  return TRUE;
}
