#include "jni/entry.h"

#include "platform/platform.h"

namespace cmn::jni {
namespace {
// Whether this thread is inside a native call (and so holds the turn).
thread_local bool t_inCall = false;
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

}  // namespace cmn::jni
