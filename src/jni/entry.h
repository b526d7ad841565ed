// The one way into the library from Java.
//
// Every exported method runs its body through enterNative: a single place for process-wide
// policy. Today it reserves room for the local references that a method's field lookups create
// (each lookup makes a class reference that lives until the method returns) and keeps every
// C++ exception on this side of the JNI boundary; a lock or a re-entry refusal would go here.
#pragma once

#include <jni.h>

#include <initializer_list>
#include <new>
#include <utility>

namespace cmn::jni {

// Local references reserved on entry. A method that moves many fields or loops over entries
// asks for more.
inline constexpr jint kDefaultLocalCapacity = 512;

template <typename Result, typename Body>
Result enterNative(JNIEnv* env, Result fallback, Body&& body,
                   jint localCapacity = kDefaultLocalCapacity) noexcept {
  if (env == nullptr) return fallback;
  if (env->EnsureLocalCapacity(localCapacity) != JNI_OK) return fallback;
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return fallback;
  }
}

template <typename Body>
void enterNativeVoid(JNIEnv* env, Body&& body,
                     jint localCapacity = kDefaultLocalCapacity) noexcept {
  if (env == nullptr) return;
  if (env->EnsureLocalCapacity(localCapacity) != JNI_OK) return;
  try {
    std::forward<Body>(body)();
  } catch (...) {
  }
}

// The result of a method given a null Java object. Nothing is read or sent: the request block
// would otherwise carry the previous request's fields out again, as if the caller had set them.
inline constexpr jint kMissingArgument = -88;

// enterNative for methods whose object arguments must all be present.
template <typename Body>
jint enterWithObjects(JNIEnv* env, std::initializer_list<jobject> required, Body&& body) noexcept {
  for (jobject object : required) {
    if (object == nullptr) return kMissingArgument;
  }
  return enterNative<jint>(env, -1, std::forward<Body>(body));
}

}  // namespace cmn::jni

// Every entry point is declared through this macro so that its name and linkage are uniform.
#define CMN_NATIVE(ret, name) \
  extern "C" JNIEXPORT ret JNICALL Java_com_velk_internet_tz_common_CMNExecutorInterface_##name
