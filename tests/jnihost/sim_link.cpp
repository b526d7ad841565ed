#include "sim_link.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace jnihost {

namespace {

bool waitFor(int seconds, bool (*ready)()) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!ready()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

bool answersPing() {
  return simControl("PING") == "OK";
}

}  // namespace

#ifdef _WIN32

namespace {
constexpr DWORD kControlCode = 0x212018;
constexpr DWORD kAnswerCapacity = 2 * 64016 + 64;
}  // namespace

bool startExecutor(int seconds) {
  SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return false;
  SC_HANDLE service = ::OpenServiceA(manager, "velklb", SERVICE_START | SERVICE_QUERY_STATUS);
  bool started = false;
  if (service != nullptr) {
    started =
        ::StartServiceA(service, 0, nullptr) || ::GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
    ::CloseServiceHandle(service);
  }
  ::CloseServiceHandle(manager);
  return started && waitFor(seconds, answersPing);
}

std::string simControl(const std::string& line) {
  HANDLE device = ::CreateFileA("\\\\.\\velklb", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device == INVALID_HANDLE_VALUE) return "";
  std::string buffer(kAnswerCapacity > line.size() ? kAnswerCapacity : line.size(), '\0');
  std::memcpy(&buffer[0], line.data(), line.size());
  DWORD returned = 0;
  const BOOL ok =
      ::DeviceIoControl(device, kControlCode, &buffer[0], static_cast<DWORD>(line.size()),
                        &buffer[0], kAnswerCapacity, &returned, nullptr);
  ::CloseHandle(device);
  if (!ok || returned == 0) return "";
  return std::string(buffer.c_str());
}

#else

bool startExecutor(int seconds) {
  return waitFor(seconds, answersPing);
}

std::string simControl(const std::string& line) {
  const char* device = std::getenv("VELKLB_DEVICE");
  const std::string path =
      std::string(device != nullptr && *device ? device : "/run/velklb") + ".ctl";
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return "";
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return "";
  std::string answer;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
    const std::string out = line + "\n";
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::send(fd, out.data() + done, out.size() - done, MSG_NOSIGNAL);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    char chunk[4096];
    while (done == out.size()) {
      const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      answer.append(chunk, static_cast<std::size_t>(n));
      const std::size_t end = answer.find('\n');
      if (end != std::string::npos) {
        answer.resize(end);
        break;
      }
    }
  }
  ::close(fd);
  return answer;
}

#endif

std::string simMust(const std::string& line) {
  const std::string answer = simControl(line);
  if (answer.compare(0, 2, "OK") != 0) {
    std::fprintf(stderr, "simulated executor refused \"%.60s\": \"%s\"\n", line.c_str(),
                 answer.c_str());
    std::exit(2);
  }
  return answer.size() > 3 ? answer.substr(3) : "";
}

std::vector<std::uint8_t> simRecord(int i) {
  const std::string answer = simControl("RECORD GET " + std::to_string(i));
  std::vector<std::uint8_t> bytes;
  const std::size_t blank = answer.find(' ', 3);
  if (answer.rfind("OK ", 0) != 0 || blank == std::string::npos) return bytes;
  for (std::size_t at = blank + 1; at + 1 < answer.size(); at += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::strtoul(answer.substr(at, 2).c_str(), nullptr, 16)));
  }
  return bytes;
}

}  // namespace jnihost
