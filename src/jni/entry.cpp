#include "jni/entry.h"

#include "platform/platform.h"

namespace cmn::jni {
namespace {
// Whether this thread is inside a native call (and so holds the turn).
thread_local bool t_inCall = false;
// The innermost argument scope of the call in progress. Only the thread that holds the call
// turn makes or reads scopes, so the turn guards it (a thread-local would cost a lookup of its
// own on every field).
ArgumentClasses* s_arguments = nullptr;
}  // namespace

CallTurn::CallTurn(Reentry reentry) {
  if (t_inCall) {
    state_ = reentry == Reentry::Allowed ? State::Shared : State::Refused;
    return;
  }
  platform::lockCallTurn();
  t_inCall = true;
  state_ = State::Taken;
}

CallTurn::~CallTurn() {
  if (state_ != State::Taken) return;
  t_inCall = false;
  platform::unlockCallTurn();
}

ArgumentClasses::ArgumentClasses(JNIEnv* env, std::initializer_list<jobject> arguments)
    : env_(env), outer_(s_arguments) {
  for (jobject object : arguments) {
    if (count_ == kMost) break;
    arguments_[count_++] = object;
  }
  s_arguments = this;
}

ArgumentClasses::~ArgumentClasses() {
  s_arguments = outer_;
}

jclass ArgumentClasses::classOf(JNIEnv* env, jobject object) {
  for (ArgumentClasses* scope = s_arguments; scope != nullptr; scope = scope->outer_) {
    if (scope->env_ != env) continue;
    for (std::size_t i = 0; i < scope->count_; ++i) {
      if (scope->arguments_[i] != object) continue;
      if (scope->classes_[i] == nullptr) scope->classes_[i] = env->GetObjectClass(object);
      return scope->classes_[i];
    }
  }
  return env->GetObjectClass(object);
}

}  // namespace cmn::jni
