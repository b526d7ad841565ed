// The executor device on Linux: a Unix-domain stream socket served by the executor daemon.
//
// One device call writes the request's first L bytes and reads the reply: a little-endian word
// N followed by N answer bytes, or the word 0xFFFFFFFF followed by a device error code.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/platform.h"

namespace cmn::platform {
namespace {

constexpr std::uint32_t kHeaderBytes = 16;
constexpr std::uint32_t kDeviceErrorMark = 0xFFFFFFFFu;

// The service whose device was opened last: a connection found stale is replaced by a fresh one
// to the same device.
const char* g_serviceName = nullptr;

std::string devicePath(const char* serviceName) {
  const char* configured = std::getenv("VELKLB_DEVICE");
  if (configured != nullptr && configured[0] != '\0') return configured;
  return std::string("/run/") + serviceName;
}

// A connected socket to the device, or -1 with errno set.
int connectDevice(const char* serviceName) {
  const std::string path = devicePath(serviceName);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int rc;
  do {
    rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

// True when the peer has closed or bytes are waiting that no request asked for (the rest of an
// answer longer than its N, a stray byte): either way the next answer read there would not be
// the next request's.
bool stale(int fd) {
  pollfd watch{fd, POLLIN, 0};
  int rc;
  do {
    rc = ::poll(&watch, 1, 0);
  } while (rc < 0 && errno == EINTR);
  return rc > 0;
}

// Puts a fresh connection to the device behind `fd`, so the handle the caller caches stays the
// same number. 0 or the errno of the failed connect.
int reconnect(int fd) {
  if (g_serviceName == nullptr) return EBADF;  // never opened here
  const int fresh = connectDevice(g_serviceName);
  if (fresh < 0) return errno;
  int rc;
  do {
    rc = ::dup3(fresh, fd, O_CLOEXEC);
  } while (rc < 0 && errno == EINTR);
  const int error = rc < 0 ? errno : 0;
  ::close(fresh);
  return error;
}

// Writes all of `data`; 0 or the errno of the failure.
int writeAll(int fd, const std::uint8_t* data, std::uint32_t length) {
  std::uint32_t done = 0;
  while (done < length) {
    ssize_t n = ::send(fd, data + done, length - done, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<std::uint32_t>(n);
  }
  return 0;
}

// Reads exactly `length` bytes; 0, ECONNRESET at end of stream, or the errno of the failure.
int readAll(int fd, std::uint8_t* data, std::uint32_t length) {
  std::uint32_t done = 0;
  while (done < length) {
    ssize_t n = ::recv(fd, data + done, length - done, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ECONNRESET;
    done += static_cast<std::uint32_t>(n);
  }
  return 0;
}

std::uint32_t littleEndianWord(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The answer is read here first so that a reply cut short never leaves the caller's block half
// overwritten. One call at a time uses it, as one call at a time uses the request block.
std::uint8_t g_answer[64016];

}  // namespace

DeviceHandle openDevice(const char* serviceName) {
  const int fd = connectDevice(serviceName);
  if (fd < 0) return kInvalidDevice;
  g_serviceName = serviceName;
  return fd;
}

void closeDevice(DeviceHandle device) {
  if (device != kInvalidDevice) ::close(static_cast<int>(device));
}

std::uint32_t deviceControl(DeviceHandle device, std::uint32_t /*code*/, std::uint8_t* buffer,
                            std::uint32_t inLength, std::uint32_t outCapacity,
                            std::uint32_t* returned, bool* broken) {
  bool ignored = false;
  bool& lost = broken != nullptr ? *broken : ignored;
  lost = false;
  if (device == kInvalidDevice || buffer == nullptr) return EBADF;
  // The executor refuses such lengths; refusing them here keeps a short request from leaving
  // the executor waiting for a header that never comes.
  if (inLength < kHeaderBytes || inLength > outCapacity || outCapacity > sizeof(g_answer)) {
    return EINVAL;
  }
  // From the first byte written on, any failure but the executor's own error answer leaves the
  // stream at an unknown point: a later answer could be read as this one's remainder, so the
  // connection is given up.
  const int fd = static_cast<int>(device);
  const auto failed = [&lost](int error) {
    lost = true;
    return static_cast<std::uint32_t>(error);
  };
  // Nothing unasked stays on the connection: a closed peer (a restarted executor) or bytes no
  // request asked for mean a fresh connection before this request is written. When none can be
  // had, the call fails as a connect fails and the stale connection is given up.
  if (stale(fd)) {
    if (int error = reconnect(fd)) return failed(error);
  }
  if (int error = writeAll(fd, buffer, inLength)) return failed(error);

  std::uint8_t word[4];
  if (int error = readAll(fd, word, sizeof(word))) return failed(error);
  const std::uint32_t count = littleEndianWord(word);
  if (count == kDeviceErrorMark) {
    if (int error = readAll(fd, word, sizeof(word))) return failed(error);
    const std::uint32_t deviceError = littleEndianWord(word);
    return deviceError != 0 ? deviceError : static_cast<std::uint32_t>(EPROTO);
  }
  if (count > outCapacity) return failed(EPROTO);
  if (int error = readAll(fd, g_answer, count)) return failed(error);
  std::memcpy(buffer, g_answer, count);
  if (returned != nullptr) *returned = count;
  return 0;
}

}  // namespace cmn::platform
