// The library under test, loaded into the host process, and its entry points by method name.
#pragma once

#include <jni.h>

#include <string>

namespace jnihost {

class NativeLibrary {
 public:
  // Once opened the library stays loaded: its static objects may still be in use by the
  // host's last words.
  NativeLibrary() = default;
  NativeLibrary(const NativeLibrary&) = delete;
  NativeLibrary& operator=(const NativeLibrary&) = delete;

  // False, with the loader's message in error(), when the file can't be loaded.
  bool open(const std::string& path);
  // The entry point of the Java method `method`, or nullptr.
  void* entry(const std::string& method) const;
  const std::string& error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

// Calls an entry point by method name with the host's JNIEnv and a receiver object.
template <typename R, typename... A>
R callEntry(void* entry, JNIEnv* env, jobject self, A... args) {
  using Fn = R(JNICALL*)(JNIEnv*, jobject, A...);
  return reinterpret_cast<Fn>(entry)(env, self, args...);
}

}  // namespace jnihost
