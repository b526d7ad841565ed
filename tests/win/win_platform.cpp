// The Windows platform layer's registry reads, against keys the test run imports into Wine's
// registry (see run-wine.sh):
//   HKLM\SOFTWARE\VelkTest: Short "eth0", Max (254 x "a"), Over (255 x "b"),
//   Multi (multi-string "first", "second"), Number (DWORD 0x00434241), Empty ""
// Exit status 0 when every check holds.

#include <cstdio>
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
  expect(p::openRegistryKey("SOFTWARE\\VelkTest\\Missing") == p::kNoRegistryKey,
         "a missing key does not open");
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
