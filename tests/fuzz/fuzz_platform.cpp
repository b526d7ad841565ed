// The platform seam for the fuzz targets: the executor device answers from the fuzzer's bytes
// (fuzz_input.h), shell lines run nothing and take their exit status from the same bytes, the
// registry is a fixed tree of two network cards, time stands still and nothing sleeps. Linked
// in place of platform/<os>/, so the library's own code is fuzzed unchanged.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "fuzz_input.h"
#include "platform/platform.h"

namespace cmnfuzz {

void Input::replay(const std::uint8_t* data, std::size_t size) {
  data_ = data;
  size_ = size;
  at_ = 0;
  source_ = nullptr;
  tape_ = nullptr;
}

void Input::record(const std::vector<std::uint8_t>& plan, AnswerSource source,
                   std::vector<std::uint8_t>* tape) {
  replay(plan.data(), plan.size());
  source_ = source;
  tape_ = tape;
}

void Input::put(std::uint32_t value, int bytes) {
  if (tape_ == nullptr) return;
  for (int i = 0; i < bytes; ++i) tape_->push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint8_t Input::u8() {
  const std::uint8_t value = at_ < size_ ? data_[at_++] : 0;
  put(value, 1);
  return value;
}

std::uint32_t Input::little(int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<std::uint32_t>(u8()) << (8 * i);
  return value;
}

Answer Input::answer(const std::uint8_t* block, std::uint32_t length) {
  Answer a;
  if (quiet_) {
    a.mode = kDeviceError;
    a.n = EIO;
    return a;
  }
  if (source_ != nullptr) {
    a = source_(block, length);
    put(a.mode, 1);
    put(a.n, 4);
    put(a.given, 2);
    if (tape_ != nullptr) tape_->insert(tape_->end(), a.bytes, a.bytes + a.given);
    return a;
  }
  a.mode = u8();
  a.n = little(4);
  const std::size_t wanted = little(2);
  a.bytes = data_ + at_;
  a.given = static_cast<std::uint32_t>(wanted < size_ - at_ ? wanted : size_ - at_);
  at_ += a.given;
  return a;
}

std::uint8_t Input::shellStatus() {
  if (quiet_) return 1;
  if (source_ == nullptr) return u8();
  put(0, 1);
  return 0;
}

Input& input() {
  static Input the;
  return the;
}

}  // namespace cmnfuzz

namespace cmn::platform {
namespace {

constexpr std::uint32_t kBlockBytes = 64016;
constexpr std::uint32_t kHeaderBytes = 16;
constexpr DeviceHandle kFuzzDevice = 1;

std::uint8_t g_answer[kBlockBytes];

}  // namespace

DeviceHandle openDevice(const char*) {
  return kFuzzDevice;
}

void closeDevice(DeviceHandle) {}

std::uint32_t deviceControl(DeviceHandle device, std::uint32_t, std::uint8_t* buffer,
                            std::uint32_t inLength, std::uint32_t outCapacity,
                            std::uint32_t* returned, bool* broken) {
  *broken = false;
  if (device != kFuzzDevice || buffer == nullptr) return EBADF;
  if (inLength < kHeaderBytes || inLength > outCapacity || outCapacity > kBlockBytes) {
    return EINVAL;
  }
  const cmnfuzz::Answer a = cmnfuzz::input().answer(buffer, inLength);
  switch (a.mode % 4) {
    case cmnfuzz::kDeviceError: return a.n != 0 ? a.n : static_cast<std::uint32_t>(EIO);
    case cmnfuzz::kBroken:
      *broken = true;
      return a.n != 0 ? a.n : static_cast<std::uint32_t>(ECONNRESET);
    default: break;
  }
  if (a.n > outCapacity) {
    *broken = true;
    return EPROTO;
  }
  std::memcpy(g_answer, buffer, inLength);
  std::memset(g_answer + inLength, 0, kBlockBytes - inLength);
  const std::uint32_t given = a.given < a.n ? a.given : a.n;
  if (given != 0) std::memcpy(g_answer, a.bytes, given);
  std::memcpy(buffer, g_answer, a.n);
  *returned = a.n;
  return 0;
}

int runShellLine(const char*) {
  return cmnfuzz::input().shellStatus();
}

std::string serviceStopLine(const char* serviceName) {
  return std::string("service ") + serviceName + " stop";
}

std::int64_t currentTime() {
  return 1700000000;
}

bool utcClockFace(std::int64_t t, ClockFace* out) {
  const std::time_t when = static_cast<std::time_t>(t);
  std::tm parts{};
  if (::gmtime_r(&when, &parts) == nullptr) return false;
  *out = ClockFace{parts.tm_hour, parts.tm_min};
  return true;
}
// The fuzz targets' time zone is UTC.
bool localClockFace(std::int64_t t, ClockFace* out) {
  return utcClockFace(t, out);
}

namespace {
std::mutex g_callTurn;
}  // namespace

void sleepMilliseconds(std::uint32_t) {}

void lockCallTurn() {
  g_callTurn.lock();
}
void unlockCallTurn() {
  g_callTurn.unlock();
}

bool resolveHostName(const char* name, std::uint32_t* out) {
  if (name == nullptr || std::strcmp(name, "localhost") != 0) return false;
  const std::uint8_t loopback[4] = {127, 0, 0, 1};
  std::memcpy(out, loopback, sizeof(loopback));
  return true;
}

// ---- Registry: two cards, each under both interface keys the scans read ------------------------

namespace {

struct RegistryValue {
  const char* key;
  const char* name;
  const char* text;
};

#define CMN_CARDS "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\"
#define CMN_TCPIP "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\"
#define CMN_SERVICES "SYSTEM\\CurrentControlSet\\Services\\"

const RegistryValue kRegistry[] = {
    {CMN_CARDS "1", "ServiceName", "svc1"},
    {CMN_CARDS "2", "ServiceName", "svc2"},
    {CMN_TCPIP "svc1", "IPAddress", "10.0.0.1"},
    {CMN_TCPIP "svc1", "SubnetMask", "255.255.255.0"},
    {CMN_TCPIP "svc2", "IPAddress", "10.0.1.1"},
    {CMN_TCPIP "svc2", "SubnetMask", "255.255.0.0"},
    {CMN_SERVICES "svc1\\Parameters\\Tcpip", "IPAddress", "10.0.0.1"},
    {CMN_SERVICES "svc1\\Parameters\\Tcpip", "SubnetMask", "255.255.255.0"},
    {CMN_SERVICES "svc2\\Parameters\\Tcpip", "IPAddress", "10.0.1.1"},
    {CMN_SERVICES "svc2\\Parameters\\Tcpip", "SubnetMask", "255.255.0.0"},
};
constexpr std::size_t kRegistryValues = sizeof(kRegistry) / sizeof(kRegistry[0]);

}  // namespace

// A key is the index of its first value, plus one; its other values follow that one.
RegistryKey openRegistryKey(const char* path) {
  if (path == nullptr) return kNoRegistryKey;
  for (std::size_t i = 0; i < kRegistryValues; ++i) {
    if (std::strcmp(kRegistry[i].key, path) == 0) return static_cast<RegistryKey>(i + 1);
  }
  return kNoRegistryKey;
}

void closeRegistryKey(RegistryKey) {}

bool readRegistryText(RegistryKey key, const char* name, char* buffer, std::uint32_t size) {
  if (key == kNoRegistryKey || name == nullptr || buffer == nullptr || size == 0) return false;
  const char* path = kRegistry[key - 1].key;
  for (std::size_t i = key - 1; i < kRegistryValues && std::strcmp(kRegistry[i].key, path) == 0;
       ++i) {
    if (std::strcmp(kRegistry[i].name, name) == 0) {
      return std::snprintf(buffer, size, "%s", kRegistry[i].text) >= 0;  // cut to the buffer
    }
  }
  return false;
}

}  // namespace cmn::platform
