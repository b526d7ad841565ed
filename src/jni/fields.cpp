#include "jni/fields.h"

#include "jni/address.h"
#include "jni/entry.h"
#include "jni/strings.h"

namespace cmn::jni {
namespace {

constexpr const char* kStringSignature = "Ljava/lang/String;";

// True when a Java exception is pending: no JNI call but the release and check calls may be
// made then, so every operation below becomes a no-op until the native method returns and Java
// sees the exception.
bool exceptionPending(JNIEnv* env) { return env->ExceptionCheck() == JNI_TRUE; }

// The field ID of `name` on the object's class, or null (object null, no such field, or an
// exception already pending).
jfieldID fieldOf(JNIEnv* env, jobject obj, const char* name, const char* signature) {
  if (env == nullptr || obj == nullptr || name == nullptr) return nullptr;
  if (exceptionPending(env)) return nullptr;
  jclass cls = ArgumentClasses::classOf(env, obj);
  if (cls == nullptr) return nullptr;
  return env->GetFieldID(cls, name, signature);
}

}  // namespace

jmethodID methodIdOf(JNIEnv* env, jobject obj, const char* name, const char* signature) {
  if (env == nullptr || obj == nullptr || name == nullptr || signature == nullptr) return nullptr;
  if (exceptionPending(env)) return nullptr;
  jclass cls = ArgumentClasses::classOf(env, obj);
  if (cls == nullptr) return nullptr;
  return env->GetMethodID(cls, name, signature);
}

namespace {

// The array held by an array field, or null.
template <typename ArrayType>
ArrayType arrayOf(JNIEnv* env, jobject obj, const char* name, const char* signature) {
  jfieldID id = fieldOf(env, obj, name, signature);
  if (id == nullptr) return nullptr;
  return static_cast<ArrayType>(env->GetObjectField(obj, id));
}

// The array of an array field when it holds elements start to start + count - 1, else null: a
// region call outside the array would throw, and the region would not be moved anyway.
template <typename ArrayType>
ArrayType arrayWithRegion(JNIEnv* env, jobject obj, const char* name, const char* signature,
                          jsize start, jsize count) {
  ArrayType array = arrayOf<ArrayType>(env, obj, name, signature);
  if (array == nullptr || start < 0 || count < 0) return nullptr;
  const jsize length = env->GetArrayLength(array);
  if (start > length || count > length - start) return nullptr;
  return array;
}

}  // namespace

bool getByteFieldByName(JNIEnv* env, jobject obj, const char* name, std::int8_t* out) {
  jfieldID id = fieldOf(env, obj, name, "B");
  if (id == nullptr || out == nullptr) return false;
  *out = env->GetByteField(obj, id);
  return true;
}

bool getCharFieldByName(JNIEnv* env, jobject obj, const char* name, std::uint16_t* out) {
  jfieldID id = fieldOf(env, obj, name, "C");
  if (id == nullptr || out == nullptr) return false;
  *out = env->GetCharField(obj, id);
  return true;
}

bool getIntFieldByName(JNIEnv* env, jobject obj, const char* name, std::int32_t* out) {
  jfieldID id = fieldOf(env, obj, name, "I");
  if (id == nullptr || out == nullptr) return false;
  *out = env->GetIntField(obj, id);
  return true;
}

bool getStringFieldByName(JNIEnv* env, jobject obj, const char* name, jstring* out) {
  jfieldID id = fieldOf(env, obj, name, kStringSignature);
  if (id == nullptr || out == nullptr) return false;
  *out = static_cast<jstring>(env->GetObjectField(obj, id));
  return true;
}

bool getIntArrayFieldRegion(JNIEnv* env, jobject obj, const char* name, jsize start, jsize count,
                            std::int32_t* buffer) {
  jintArray array = arrayWithRegion<jintArray>(env, obj, name, "[I", start, count);
  if (array == nullptr || buffer == nullptr) return false;
  env->GetIntArrayRegion(array, start, count, reinterpret_cast<jint*>(buffer));
  return true;
}

bool getByteArrayFieldRegion(JNIEnv* env, jobject obj, const char* name, jsize start,
                             jsize count, std::int8_t* buffer) {
  jbyteArray array = arrayWithRegion<jbyteArray>(env, obj, name, "[B", start, count);
  if (array == nullptr || buffer == nullptr) return false;
  env->GetByteArrayRegion(array, start, count, reinterpret_cast<jbyte*>(buffer));
  return true;
}

void setByteFieldByName(JNIEnv* env, jobject obj, const char* name, std::int32_t value) {
  jfieldID id = fieldOf(env, obj, name, "B");
  if (id != nullptr) env->SetByteField(obj, id, static_cast<jbyte>(value));
}

void setCharFieldByName(JNIEnv* env, jobject obj, const char* name, std::int32_t value) {
  jfieldID id = fieldOf(env, obj, name, "C");
  if (id != nullptr) env->SetCharField(obj, id, static_cast<jchar>(value));
}

void setIntFieldByName(JNIEnv* env, jobject obj, const char* name, std::int32_t value) {
  jfieldID id = fieldOf(env, obj, name, "I");
  if (id != nullptr) env->SetIntField(obj, id, value);
}

void setLongFieldByName(JNIEnv* env, jobject obj, const char* name, std::int64_t value) {
  jfieldID id = fieldOf(env, obj, name, "J");
  if (id != nullptr) env->SetLongField(obj, id, static_cast<jlong>(value));
}

bool setIntArrayFieldRegion(JNIEnv* env, jobject obj, const char* name, jsize start, jsize count,
                            const std::int32_t* buffer) {
  jintArray array = arrayWithRegion<jintArray>(env, obj, name, "[I", start, count);
  if (array == nullptr || buffer == nullptr) return false;
  env->SetIntArrayRegion(array, start, count, reinterpret_cast<const jint*>(buffer));
  return true;
}

namespace {

// Elements 0 to count - 1 of an array field, never more than the array holds.
template <typename ArrayType, typename Element, typename Set>
jsize setArrayFieldPrefix(JNIEnv* env, jobject obj, const char* name, const char* signature,
                          jsize count, const Element* buffer, Set set) {
  ArrayType array = arrayOf<ArrayType>(env, obj, name, signature);
  if (array == nullptr || buffer == nullptr || count <= 0) return 0;
  const jsize room = env->GetArrayLength(array);
  const jsize written = count < room ? count : room;
  if (written > 0) (env->*set)(array, 0, written, buffer);
  return written;
}

}  // namespace

jsize setIntArrayFieldPrefix(JNIEnv* env, jobject obj, const char* name, jsize count,
                             const std::int32_t* buffer) {
  return setArrayFieldPrefix<jintArray>(env, obj, name, "[I", count,
                                        reinterpret_cast<const jint*>(buffer),
                                        &JNIEnv::SetIntArrayRegion);
}

jsize setByteArrayFieldPrefix(JNIEnv* env, jobject obj, const char* name, jsize count,
                              const std::int8_t* buffer) {
  return setArrayFieldPrefix<jbyteArray>(env, obj, name, "[B", count,
                                         reinterpret_cast<const jbyte*>(buffer),
                                         &JNIEnv::SetByteArrayRegion);
}

bool setByteArrayFieldRegion(JNIEnv* env, jobject obj, const char* name, jsize start,
                             jsize count, const std::int8_t* buffer) {
  jbyteArray array = arrayWithRegion<jbyteArray>(env, obj, name, "[B", start, count);
  if (array == nullptr || buffer == nullptr) return false;
  env->SetByteArrayRegion(array, start, count, reinterpret_cast<const jbyte*>(buffer));
  return true;
}

void setStringFieldFromText(JNIEnv* env, jobject obj, const char* name, const char* text) {
  jfieldID id = fieldOf(env, obj, name, kStringSignature);
  if (id == nullptr) return;
  jstring value = newJavaString(env, text);
  if (value == nullptr) return;  // out of memory: the error is pending for Java
  env->SetObjectField(obj, id, value);
}

void setAddressStringField(JNIEnv* env, jobject obj, const char* name, std::uint32_t address) {
  char dotted[kDottedTextSize];
  formatDottedAddress(address, dotted);
  setStringFieldFromText(env, obj, name, dotted);
}

int getAddressFieldByName(JNIEnv* env, jobject obj, const char* name, std::uint32_t* out) {
  jstring text = nullptr;
  if (!getStringFieldByName(env, obj, name, &text)) return 0;
  UtfChars chars(env, text);
  if (!chars) return 0;
  return resolveAddress(chars.get(), out) == 0 ? 0 : -21;
}

bool callIntMethodChecked(JNIEnv* env, jobject obj, const char* name, std::int32_t* out) {
  jmethodID id = methodIdOf(env, obj, name, "()I");
  if (id == nullptr) return false;
  jint value = 0;
  if (!checkedCall(env, [&] { value = env->CallIntMethod(obj, id); })) return false;
  if (out != nullptr) *out = value;
  return true;
}

bool callStringMethodChecked(JNIEnv* env, jobject obj, const char* name, jstring* out) {
  jmethodID id = methodIdOf(env, obj, name, "()Ljava/lang/String;");
  if (id == nullptr) return false;
  jobject value = nullptr;
  if (!checkedCall(env, [&] { value = env->CallObjectMethod(obj, id); })) return false;
  if (out != nullptr) *out = static_cast<jstring>(value);
  return true;
}

bool callObjectIntMethodChecked(JNIEnv* env, jobject obj, const char* name, const char* signature,
                                std::int32_t argument, jobject* out) {
  jmethodID id = methodIdOf(env, obj, name, signature);
  if (id == nullptr) return false;
  jobject value = nullptr;
  if (!checkedCall(env,
                   [&] { value = env->CallObjectMethod(obj, id, static_cast<jint>(argument)); })) {
    return false;
  }
  if (out != nullptr) *out = value;
  return true;
}

bool callVoidIntMethodChecked(JNIEnv* env, jobject obj, const char* name, std::int32_t argument) {
  jmethodID id = methodIdOf(env, obj, name, "(I)V");
  if (id == nullptr) return false;
  return checkedCall(env, [&] { env->CallVoidMethod(obj, id, static_cast<jint>(argument)); });
}

jsize arrayFieldLength(JNIEnv* env, jobject obj, const char* name, const char* signature) {
  jarray array = arrayOf<jarray>(env, obj, name, signature);
  if (array == nullptr) return -1;
  return env->GetArrayLength(array);
}

void appendToStringBuffer(JNIEnv* env, jobject buffer, jstring string) {
  jmethodID id =
      methodIdOf(env, buffer, "append", "(Ljava/lang/String;)Ljava/lang/StringBuffer;");
  if (id == nullptr) return;
  LocalRef<jobject> returned(env, env->CallObjectMethod(buffer, id, string));
  // A throw in Java must not go unnoticed by the JVM's checks, but it is Java's to handle when
  // the native method returns, so it is left pending.
  static_cast<void>(env->ExceptionCheck());
}

}  // namespace cmn::jni
