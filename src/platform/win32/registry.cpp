// The registry under HKEY_LOCAL_MACHINE.

#include <windows.h>

#include "platform/platform.h"

namespace cmn::platform {
namespace {

// What one value read asks for; the text is cut to the caller's buffer after that.
constexpr DWORD kValueReadBytes = 255;

}  // namespace

RegistryKey openRegistryKey(const char* path) {
  if (path == nullptr) return kNoRegistryKey;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return kNoRegistryKey;
  }
  return reinterpret_cast<RegistryKey>(key);
}

void closeRegistryKey(RegistryKey key) {
  if (key != kNoRegistryKey) ::RegCloseKey(reinterpret_cast<HKEY>(key));
}

bool readRegistryText(RegistryKey key, const char* name, char* buffer, std::uint32_t size) {
  if (key == kNoRegistryKey || name == nullptr || buffer == nullptr || size == 0) return false;
  // Read into a block of our own so that a failed or odd read leaves the caller's buffer alone
  // and a value without a terminator is still terminated.
  BYTE text[kValueReadBytes + 1] = {};
  DWORD type = 0;
  DWORD length = kValueReadBytes;
  if (::RegQueryValueExA(reinterpret_cast<HKEY>(key), name, nullptr, &type, text, &length) !=
      ERROR_SUCCESS) {
    return false;
  }
  if (length > kValueReadBytes) length = kValueReadBytes;
  std::uint32_t used = 0;
  while (used < length && text[used] != '\0' && used < size - 1) {
    buffer[used] = static_cast<char>(text[used]);
    ++used;
  }
  buffer[used] = '\0';
  return true;
}

}  // namespace cmn::platform
