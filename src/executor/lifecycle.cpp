// Probing and stopping the executor, the server modality flag, and the fixed answers about this
// platform.

#include "channel/channel.h"
#include "jni/entry.h"
#include "jni/strings.h"
#include "platform/platform.h"

namespace cmn::executor {

using jni::enterNative;
using jni::newJavaString;

namespace {

jstring constantText(JNIEnv* env, const char* text) {
  return enterNative<jstring>(env, nullptr, [&] { return newJavaString(env, text); });
}

}  // namespace

CMN_NATIVE(jint, isLoadedNative)(JNIEnv* env, jobject) {
  // Truthful whatever the server modality flag says: it opens the device for real.
  return enterNative<jint>(env, 0, [] { return static_cast<jint>(openExecutorDevice()); });
}

CMN_NATIVE(void, setQVAServerModalityNative)(JNIEnv* env, jobject, jboolean modality) {
  enterNative<jint>(env, 0, [&] {
    setServerModality(modality != JNI_FALSE ? 1 : 0);
    return 0;
  });
}

CMN_NATIVE(jstring, stopExecutorNative)(JNIEnv* env, jobject) {
  return enterNative<jstring>(env, nullptr, [&] {
    // Let go of the device first, so the service is not held open while it stops.
    closeExecutorDevice();
    const std::string line = platform::serviceStopLine(kServiceName);
    const int status = platform::runShellLine(line.c_str());
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

}  // namespace cmn::executor
