// Probing and stopping the executor, and the fixed answers about this platform.

#include "channel/channel.h"
#include "jni/entry.h"
#include "jni/strings.h"
#include "platform/platform.h"

using cmn::jni::enterNative;
using cmn::jni::newJavaString;

namespace {

jstring constantText(JNIEnv* env, const char* text) {
  return enterNative<jstring>(env, nullptr, [&] { return newJavaString(env, text); });
}

}  // namespace

CMN_NATIVE(jstring, stopExecutorNative)(JNIEnv* env, jobject) {
  return enterNative<jstring>(env, nullptr, [&] {
    // Let go of the device first, so the service is not held open while it stops.
    cmn::closeExecutorDevice();
    const std::string line = cmn::platform::serviceStopLine(cmn::kServiceName);
    const int status = cmn::platform::runShellLine(line.c_str());
    return newJavaString(env, status == 0 ? "EOK" : "FAILURE");
  });
}

CMN_NATIVE(jstring, updateKernelNative)(JNIEnv* env, jobject) {
  return constantText(env, "MADE IT INSIDE native updateKernel\n");
}

CMN_NATIVE(jstring, ScriptPrefixNative)(JNIEnv* env, jobject) {
  return constantText(env, "CALL ");
}

CMN_NATIVE(jint, solarisUpNative)(JNIEnv* env, jobject) {
  return enterNative<jint>(env, 0, [] { return 0; });
}
CMN_NATIVE(jint, linuxUpNative)(JNIEnv* env, jobject) {
  return enterNative<jint>(env, 0, [] { return 0; });
}
CMN_NATIVE(jint, HPUpNative)(JNIEnv* env, jobject) {
  return enterNative<jint>(env, 0, [] { return 0; });
}
CMN_NATIVE(jint, loadUserExecutorNative)(JNIEnv* env, jobject) {
  return enterNative<jint>(env, 0, [] { return 0; });
}
