// Entry points that belong to the request channel itself.

#include "channel/channel.h"
#include "jni/entry.h"

using cmn::jni::enterNative;
using cmn::jni::enterNativeVoid;

CMN_NATIVE(jint, isLoadedNative)(JNIEnv* env, jobject) {
  // Truthful whatever the server modality flag says: it opens the device for real.
  return enterNative<jint>(env, 0, [] { return static_cast<jint>(cmn::openExecutorDevice()); });
}

CMN_NATIVE(void, setQVAServerModalityNative)(JNIEnv* env, jobject, jboolean modality) {
  enterNativeVoid(env, [&] { cmn::setServerModality(modality != JNI_FALSE ? 1 : 0); });
}
