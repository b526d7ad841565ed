// What only the Windows build can show, run under Wine against velklb.sys:
//   win-checks DLL LOG VERSION
// - the platform layer on its own: device calls refused before the system reads past the block,
//   registry reads, exit codes through cmd, clock faces, name lookup;
// - with the driver stopped: isLoadedNative 0 and a request -1;
// - a failed DeviceIoControl: the driver's error code comes back as the method's value, the
//   result field and the reason stay as they were in the block, the handle stays open;
// - the port retry sleeps 6789 then 6543 ms (Sleep as the DLL imports it, replaced here);
// - the executor stop runs `net stop velklb`: "EOK", the device gone (error 2), and a restarted
//   driver reached again.
// - the version resource, read as Windows reads it for the file's properties.
// Exit status 0 when every check holds.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scenario.h"

using jnihost::Host;
using jnihost::Object;
using jnihost::Session;
using jnihost::simMust;

namespace {

int g_failures = 0;

void expect(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
  if (!ok) ++g_failures;
}

void expectEqual(const std::string& got, const std::string& want, const std::string& what) {
  expect(got == want, what + " (got " + got + ", want " + want + ")");
}

std::vector<DWORD> g_sleeps;
void WINAPI recordSleep(DWORD milliseconds) {
  g_sleeps.push_back(milliseconds);
}

// Points the module's import of dll!function at `replacement`; false when there is none.
bool replaceImport(HMODULE module, const char* dll, const char* function, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return false;
  bool replaced = false;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
       d->Name != 0; ++d) {
    if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL64(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
      DWORD old = 0;
      VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &old);
      slots->u1.Function = reinterpret_cast<ULONGLONG>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), old, &old);
      replaced = true;
    }
  }
  return replaced;
}

std::int32_t wordAt(const std::vector<unsigned char>& b, std::size_t at) {
  if (b.size() < at + 4) return 0x7FFFFFFF;
  return static_cast<std::int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                   static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// The fixed part's file version (four numbers: VERSION's three and 0), and the product version
// text of the language and code page the translation table names.
void checkVersionResource(const char* dll, const std::string& version) {
  std::vector<char> data(GetFileVersionInfoSizeA(dll, nullptr));
  VS_FIXEDFILEINFO* fixed = nullptr;
  WORD* translation = nullptr;
  UINT size = 0;
  const bool read =
      !data.empty() && GetFileVersionInfoA(dll, 0, data.size(), data.data()) &&
      VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &size) &&
      VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                     reinterpret_cast<void**>(&translation), &size) && size >= 4;
  expect(read, "the DLL has a version resource with a translation");
  if (!read) return;
  expectEqual(std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                  std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                  std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                  std::to_string(LOWORD(fixed->dwFileVersionLS)),
              version + ".0", "the file version");
  char key[64];
  std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\ProductVersion", translation[0],
                translation[1]);
  char* text = nullptr;
  const bool found = VerQueryValueA(data.data(), key, reinterpret_cast<void**>(&text), &size);
  expectEqual(found ? text : "none", version, "the product version");
}

// The platform layer on its own, linked in statically (registry values as run-wine.sh imports
// them into HKLM\SOFTWARE\VelkTest: Short "eth0", Max (254 x "a"), Over (255 x "b"), Multi
// (multi-string "first", "second"), Number (DWORD 0x00434241), Empty ""), before any driver
// runs.
void checkPlatform() {
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
  if (key == p::kNoRegistryKey) return;

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
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s DLL LOG VERSION\n", argv[0]);
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  checkPlatform();
  checkVersionResource(argv[1], argv[3]);
  jnihost::NativeLibrary library;
  if (!library.open(argv[1])) {
    std::fprintf(stderr, "can't load %s: %s\n", argv[1], library.error().c_str());
    return 2;
  }
  expect(replaceImport(GetModuleHandleA("cmnexecutor.dll"), "KERNEL32.dll", "Sleep",
                       reinterpret_cast<void*>(&recordSleep)),
         "the DLL imports Sleep from KERNEL32");
  std::FILE* log = std::fopen(argv[2], "wb");
  if (log == nullptr) return 2;
  Host host;
  Session s(host, library, log);

  // The driver is not running yet: the device is absent.
  s.followRecord(false);
  expectEqual(s.call<jint>("isLoadedNative"), "0", "isLoadedNative without the driver");
  expectEqual(s.call<jint>("getExecutorStatusNative", host.newObject("CMNExecutor")), "-1",
              "a request without the driver");

  if (!jnihost::startExecutor(20)) {
    std::fprintf(stderr, "velklb.sys does not start\n");
    return 2;
  }
  simMust("RESET");
  s.followRecord(true);
  expectEqual(s.call<jint>("isLoadedNative"), "1", "isLoadedNative with the driver");

  // Failed device calls: the code comes back whole; the block keeps result and reason.
  for (const int error : {1, 31, 1234, 65535}) {
    const std::string code = std::to_string(error);
    simMust("SCRIPT NEXT RESULT -1 REASON -7");
    s.call<jint>("getExecutorStatusNative", host.newObject("CMNExecutor"));
    simMust("SCRIPT NEXT ERROR " + code);
    expectEqual(s.call<jint>("getExecutorStatusNative", host.newObject("CMNExecutor")), code,
                "DeviceIoControl failing with " + code);
    // The next request carries the block as the failed call left it.
    s.call<jint>("getExecutorStatusNative", host.newObject("CMNExecutor"));
    const std::vector<unsigned char> next = jnihost::simRecord(-1);
    expect(wordAt(next, 4) == 0, "result field 0 after error " + code);
    expect(wordAt(next, 8) == -7, "reason unchanged after error " + code);
  }
  expectEqual(s.call<jint>("isLoadedNative"), "1", "the handle survives failed calls");

  // The port retry's pauses.
  Object* cluster = host.newObject("CMNCluster");
  host.setString(cluster, "sClusterId", "web");
  host.setString(cluster, "Address", "10.0.0.1");
  s.call<jint>("addClusterNative", cluster);
  Object* port = host.newObject("CMNPort");
  host.setString(port, "ClusterId", "web");
  host.setInt(port, "PortNumber", 80);
  const auto busy = [](int answers) {
    g_sleeps.clear();
    for (int i = 0; i < answers; ++i) simMust("SCRIPT NEXT RESULT -1 REASON -2");
  };
  busy(2);
  expectEqual(s.call<jint>("addPortNative", port), "0", "a port added after two busy answers");
  expect(g_sleeps == std::vector<DWORD>{6789, 6543}, "the retry sleeps 6789 then 6543 ms");
  busy(3);
  expectEqual(s.call<jint>("setPortStatusNative", port), "-28", "busy three times");
  expect(g_sleeps == std::vector<DWORD>{6789, 6543}, "no third pause");

  // The executor stop.
  s.followRecord(false);
  expectEqual(s.call<jstring>("stopExecutorNative"), "\"EOK\"", "net stop velklb");
  HANDLE device = CreateFileA("\\\\.\\velklb", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = device == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  if (device != INVALID_HANDLE_VALUE) CloseHandle(device);
  expect(error == ERROR_FILE_NOT_FOUND,
         "the device is gone after the stop (error " + std::to_string(error) + ")");
  expectEqual(s.call<jint>("isLoadedNative"), "0", "isLoadedNative after the stop");
  expect(jnihost::startExecutor(20), "the driver starts again");
  expectEqual(s.call<jint>("isLoadedNative"), "1", "isLoadedNative after the restart");
  expectEqual(s.call<jint>("getExecutorStatusNative", host.newObject("CMNExecutor")), "0",
              "a request after the restart");

  std::fclose(log);
  expect(host.violations().empty(), "no JNI check failed");
  std::printf("%d check(s) failed\n", g_failures);
  return g_failures == 0 ? 0 : 1;
}
