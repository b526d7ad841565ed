// The registry stand-in on Linux: HKEY_LOCAL_MACHINE is a directory tree, a key a directory,
// a value a file whose text runs to its first NUL or newline.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include <sys/stat.h>

#include "platform/platform.h"

namespace cmn::platform {
namespace {

constexpr std::size_t kMaxValueText = 254;

std::string registryRoot() {
  const char* configured = std::getenv("VELKLB_REGISTRY");
  if (configured != nullptr && configured[0] != '\0') return configured;
  return "/etc/velklb/registry";
}

// Open keys are their directory paths, owned by the caller until closeRegistryKey.
struct OpenKey {
  std::string directory;
};

}  // namespace

RegistryKey openRegistryKey(const char* path) {
  if (path == nullptr) return kNoRegistryKey;
  std::string directory = registryRoot();
  directory += '/';
  for (const char* p = path; *p != '\0'; ++p) directory += (*p == '\\') ? '/' : *p;
  struct stat info {};
  if (::stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return kNoRegistryKey;
  auto* key = new (std::nothrow) OpenKey{std::move(directory)};
  return reinterpret_cast<RegistryKey>(key);
}

void closeRegistryKey(RegistryKey key) { delete reinterpret_cast<OpenKey*>(key); }

bool readRegistryText(RegistryKey key, const char* name, char* buffer, std::uint32_t size) {
  if (key == kNoRegistryKey || name == nullptr || buffer == nullptr || size == 0) return false;
  const std::string file = reinterpret_cast<OpenKey*>(key)->directory + '/' + name;
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) return false;
  char text[kMaxValueText + 1];
  const std::size_t got = std::fread(text, 1, kMaxValueText, in);
  const bool failed = std::ferror(in) != 0;
  std::fclose(in);
  if (failed) return false;
  std::size_t length = 0;
  while (length < got && text[length] != '\0' && text[length] != '\n') ++length;
  if (length > size - 1) length = size - 1;
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return true;
}

}  // namespace cmn::platform
