// The one way into the library from Java.
//
// Every exported method runs its body through enterNative: a single place for process-wide
// policy. It takes the call turn (one native call at a time, process-wide: the request block,
// the device connection and the interface table are shared by all), reserves room for the
// local references that a method's field lookups create (each lookup makes a class reference
// that lives until the method returns) and keeps every C++ exception on this side of the JNI
// boundary.
#pragma once

#include <jni.h>

#include <cstddef>
#include <initializer_list>
#include <new>
#include <type_traits>
#include <utility>

namespace cmn::jni {

// Local references reserved on entry. A method that moves many fields or loops over entries
// asks for more.
inline constexpr jint kDefaultLocalCapacity = 512;

// What an int method returns when it is called from inside a Java callback of another native
// call on the same thread (a listener method calling back into the library): refused at once,
// before anything is read or sent, since the outer call owns the request block. A String method
// returns null then, a void method does nothing.
inline constexpr jint kReentered = -97;

// Whether a method may run inside another native call of the same thread: only those that touch
// neither the request block nor the device.
enum class Reentry : bool { Refused, Allowed };

// The process-wide call turn, held for the life of the object. Concurrent callers wait for it
// in turn; a caller whose thread holds it already gets it only where Reentry::Allowed (and then
// shares the outer call's turn).
class CallTurn {
 public:
  explicit CallTurn(Reentry reentry);
  ~CallTurn();
  CallTurn(const CallTurn&) = delete;
  CallTurn& operator=(const CallTurn&) = delete;

  bool held() const { return state_ != State::Refused; }

 private:
  enum class State { Taken, Shared, Refused };
  State state_;
};

template <typename Result>
constexpr Result reenteredResult(Result fallback) {
  if constexpr (std::is_same_v<Result, jint>) {
    return kReentered;
  } else {
    return fallback;
  }
}

// A void method runs its body as a jint one that gives 0, and drops the result: when refused it
// has done nothing.
template <typename Result, typename Body>
Result enterNative(JNIEnv* env, Result fallback, Body&& body,
                   jint localCapacity = kDefaultLocalCapacity,
                   Reentry reentry = Reentry::Refused) noexcept {
  if (env == nullptr) return fallback;
  CallTurn turn(reentry);
  if (!turn.held()) return reenteredResult(fallback);
  if (env->EnsureLocalCapacity(localCapacity) != JNI_OK) return fallback;
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return fallback;
  }
}

// The result of a method given a null Java object. Nothing is read or sent: the request block
// would otherwise carry the previous request's fields out again, as if the caller had set them.
inline constexpr jint kMissingArgument = -88;

// The classes of a call's object arguments, each looked up on its first use and reused by every
// field and method lookup on that argument until the call returns: an argument's class can't
// change while the call runs, and its reference stays valid. Field and method IDs are still
// looked up on every use, and nothing outlives the call. Scopes nest (the innermost is asked
// first); other objects have their class looked up each time.
class ArgumentClasses {
 public:
  ArgumentClasses(JNIEnv* env, std::initializer_list<jobject> arguments);
  ~ArgumentClasses();
  ArgumentClasses(const ArgumentClasses&) = delete;
  ArgumentClasses& operator=(const ArgumentClasses&) = delete;

  // The class of `object`: remembered when it is an argument of a call in progress, else
  // looked up. Null when it can't be had.
  static jclass classOf(JNIEnv* env, jobject object);

 private:
  static constexpr std::size_t kMost = 4;
  JNIEnv* env_;
  jobject arguments_[kMost] = {};
  jclass classes_[kMost] = {};
  std::size_t count_ = 0;
  ArgumentClasses* outer_;
};

// enterNative for methods whose object arguments must all be present.
template <typename Body>
jint enterWithObjects(JNIEnv* env, std::initializer_list<jobject> required, Body&& body) noexcept {
  for (jobject object : required) {
    if (object == nullptr) return kMissingArgument;
  }
  return enterNative<jint>(env, -1, [&] {
    ArgumentClasses classes(env, required);
    return std::forward<Body>(body)();
  });
}

}  // namespace cmn::jni

// The declarations javac generates from the Java class: a definition whose signature differs
// from its Java declaration conflicts with them and fails to compile.
#include "com_velk_internet_tz_common_CMNExecutorInterface.h"

// Every entry point is defined through this macro so that its name and linkage are uniform.
#define CMN_NATIVE(ret, name) \
  extern "C" JNIEXPORT ret JNICALL Java_com_velk_internet_tz_common_CMNExecutorInterface_##name
