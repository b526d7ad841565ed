#include "native_library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace jnihost {

namespace {
const char kEntryPrefix[] = "Java_com_velk_internet_tz_common_CMNExecutorInterface_";
}

bool NativeLibrary::open(const std::string& path) {
#ifdef _WIN32
  handle_ = reinterpret_cast<void*>(::LoadLibraryA(path.c_str()));
  if (handle_ == nullptr) error_ = "LoadLibrary failed with " + std::to_string(::GetLastError());
#else
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) error_ = ::dlerror();
#endif
  return handle_ != nullptr;
}

void* NativeLibrary::entry(const std::string& method) const {
  if (handle_ == nullptr) return nullptr;
  const std::string name = kEntryPrefix + method;
#ifdef _WIN32
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name.c_str()));
#else
  return ::dlsym(handle_, name.c_str());
#endif
}

}  // namespace jnihost
