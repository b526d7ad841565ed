// The Windows platform layer on its own: device calls refused before the system sees them, and
// the registry reads against keys the test run imports into Wine's registry (see run-wine.sh):
//   HKLM\SOFTWARE\VelkTest: Short "eth0", Max (254 x "a"), Over (255 x "b"),
//   Multi (multi-string "first", "second"), Number (DWORD 0x00434241), Empty ""
// The alias tool's lines through cmd are the conformance scenario's. Exit status 0 when every
// check holds.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

int g_failures = 0;

void expect(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
  if (!ok) ++g_failures;
}

}  // namespace

int main() {
  namespace p = cmn::platform;
  // No driver runs here: the device does not open, and a call on a handle that is not one
  // fails with the system's code, the block untouched.
  expect(p::openDevice("velklb") == p::kInvalidDevice, "no device without the driver");
  struct Call {
    std::uint32_t inLength;
    std::uint32_t want;
  } const calls[] = {{16, 6}, {64016, 6}, {64017, 87}, {0xFFFFFFFFu, 87}};
  static std::uint8_t block[64016];
  for (const Call& c : calls) {
    std::memset(block, 0x5A, sizeof block);
    std::uint32_t returned = 12345;
    bool broken = true;
    const std::uint32_t error =
        p::deviceControl(static_cast<p::DeviceHandle>(0x1234), 0x212014, block, c.inLength,
                         sizeof block, &returned, &broken);
    // A handle is never given up on a failure: only the executor stop closes it.
    expect(error == c.want && !broken && returned == 12345 && block[0] == 0x5A &&
               block[sizeof block - 1] == 0x5A,
           "a call sending " + std::to_string(c.inLength) + " bytes fails with " +
               std::to_string(error));
  }

  expect(p::openRegistryKey("SOFTWARE\\VelkTest\\Missing") == p::kNoRegistryKey,
         "a missing key does not open");
  // Shell lines through cmd: the command's exit code comes back as it is.
  struct Line {
    const char* line;
    int status;
  } const lines[] = {{"exit 0", 0}, {"exit 3", 3}, {"exit 255", 255}, {"exit 256", 256}};
  for (const Line& l : lines) {
    const int status = p::runShellLine(l.line);
    expect(status == l.status, std::string(l.line) + " gives " + std::to_string(status));
  }
  expect(p::serviceStopLine("velklb") == "net stop velklb", "the executor stop line");

  // Clock faces (the run's time zone is UTC, so local and UTC agree).
  struct Face {
    std::int64_t t;
    int hour;
    int minute;
  } const faces[] = {{0, 0, 0}, {1000000000, 1, 46}, {4102444799, 23, 59}, {86399, 23, 59}};
  for (const Face& f : faces) {
    p::ClockFace utc{-1, -1};
    p::ClockFace local{-1, -1};
    const bool ok = p::utcClockFace(f.t, &utc) && p::localClockFace(f.t, &local);
    expect(ok && utc.hour == f.hour && utc.minute == f.minute && local.hour == f.hour &&
               local.minute == f.minute,
           "the clock face of " + std::to_string(f.t));
  }
  std::uint32_t address = 0;
  expect(p::resolveHostName("localhost", &address) && address == 0x0100007Fu,
         "localhost resolves to 127.0.0.1 in memory order");

  const p::RegistryKey key = p::openRegistryKey("SOFTWARE\\VelkTest");
  expect(key != p::kNoRegistryKey, "the test key opens");
  if (key == p::kNoRegistryKey) return 1;

  const std::string max(254, 'a');
  struct Read {
    const char* value;
    std::uint32_t size;
    bool ok;
    std::string text;  // what the buffer holds afterwards
  } const reads[] = {
      {"Short", 255, true, "eth0"},
      {"Short", 4, true, "eth"},  // cut to the caller's buffer, terminated
      {"Short", 1, true, ""},
      {"Max", 255, true, max},            // 254 characters and the terminator fill a read
      {"Over", 255, false, "untouched"},  // longer than one read: refused, buffer kept
      {"Multi", 255, true, "first"},      // the type is not looked at: the first string
      {"Number", 255, true, "ABC"},       // nor here: its bytes up to the first NUL
      {"Empty", 255, true, ""},
      {"Missing", 255, false, "untouched"},
  };
  for (const Read& r : reads) {
    char buffer[300];
    std::memset(buffer, 0x7F, sizeof buffer);
    std::strcpy(buffer, "untouched");
    const bool ok = p::readRegistryText(key, r.value, buffer, r.size);
    const bool guardKept =
        r.size >= sizeof buffer || buffer[r.size] == '\x7F' || r.size <= std::strlen("untouched");
    expect(ok == r.ok && buffer == r.text && guardKept, std::string(r.value) + " into " +
                                                            std::to_string(r.size) +
                                                            " bytes gives \"" + buffer + "\"");
  }
  p::closeRegistryKey(key);

  std::printf("%d check(s) failed\n", g_failures);
  return g_failures == 0 ? 0 : 1;
}
