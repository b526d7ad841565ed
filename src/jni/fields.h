// Reading and writing fields of the Java objects that the Java side hands us, and calling their
// methods, by name.
//
// Every operation looks the field or method up again, and the object's class too unless the
// object is an argument of the call in progress (see ArgumentClasses); nothing is cached between
// calls. A null object or a lookup that fails leaves the out-value unchanged and makes no JNI
// call that needs the missing object or ID (the lookup's own exception stays pending for Java).
// While any exception is pending every operation does nothing, so no JNI call is ever made with
// one pending. Array regions are moved only when the array holds the whole region (a null or
// shorter array moves nothing). Readers, and the array writers, return true when they moved a
// value.
#pragma once

#include <jni.h>

#include <cstdint>

namespace cmn::jni {

// ---- Field readers ----------------------------------------------------------------------------
bool getByteFieldByName(JNIEnv* env, jobject obj, const char* name, std::int8_t* out);
bool getCharFieldByName(JNIEnv* env, jobject obj, const char* name, std::uint16_t* out);
bool getIntFieldByName(JNIEnv* env, jobject obj, const char* name, std::int32_t* out);
bool getStringFieldByName(JNIEnv* env, jobject obj, const char* name, jstring* out);
bool getIntArrayFieldRegion(JNIEnv* env, jobject obj, const char* name, jsize start, jsize count,
                            std::int32_t* buffer);
bool getByteArrayFieldRegion(JNIEnv* env, jobject obj, const char* name, jsize start,
                             jsize count, std::int8_t* buffer);

// ---- Field writers ----------------------------------------------------------------------------
void setByteFieldByName(JNIEnv* env, jobject obj, const char* name, std::int32_t value);
void setCharFieldByName(JNIEnv* env, jobject obj, const char* name, std::int32_t value);
void setIntFieldByName(JNIEnv* env, jobject obj, const char* name, std::int32_t value);
void setLongFieldByName(JNIEnv* env, jobject obj, const char* name, std::int64_t value);
bool setIntArrayFieldRegion(JNIEnv* env, jobject obj, const char* name, jsize start, jsize count,
                            const std::int32_t* buffer);
bool setByteArrayFieldRegion(JNIEnv* env, jobject obj, const char* name, jsize start,
                             jsize count, const std::int8_t* buffer);
// Writes elements 0 to count - 1 of the int-array field `name`, but never more elements than the
// array holds; a null or missing array is left alone. Returns the number of elements written.
jsize setIntArrayFieldPrefix(JNIEnv* env, jobject obj, const char* name, jsize count,
                             const std::int32_t* buffer);
jsize setByteArrayFieldPrefix(JNIEnv* env, jobject obj, const char* name, jsize count,
                              const std::int8_t* buffer);
void setStringFieldFromText(JNIEnv* env, jobject obj, const char* name, const char* text);
// The dotted text of an address kept as its bytes lie in memory.
void setAddressStringField(JNIEnv* env, jobject obj, const char* name, std::uint32_t address);

// ---- String fields converted on reading -------------------------------------------------------

// Resolves the String field `name` into *out. 0 on success; -21 when the text can't be
// resolved; 0 with *out unchanged when the field has no characters (null or missing).
int getAddressFieldByName(JNIEnv* env, jobject obj, const char* name, std::uint32_t* out);

// ---- Calls into Java that report a throw ----------------------------------------------------
//
// Java code runs during these calls and may throw. Each call is made through checkedCall, which
// asks the JVM afterwards whether an exception is pending (without clearing it: it is Java's to
// handle once the native method returns). They return false when the method can't be found
// (its lookup error is then pending) or the call threw; the caller must then make no further
// JNI call that needs a clear exception state, and return.

// The method ID of `name` with `signature` on the object's class, or null.
jmethodID methodIdOf(JNIEnv* env, jobject obj, const char* name, const char* signature);

// Runs `call` (one Call*Method) and tells whether it returned without a pending exception.
template <typename Call>
bool checkedCall(JNIEnv* env, Call&& call) {
  call();
  return env->ExceptionCheck() == JNI_FALSE;
}

bool callIntMethodChecked(JNIEnv* env, jobject obj, const char* name, std::int32_t* out);
// "()Ljava/lang/String;"; *out may be null.
bool callStringMethodChecked(JNIEnv* env, jobject obj, const char* name, jstring* out);
bool callObjectIntMethodChecked(JNIEnv* env, jobject obj, const char* name, const char* signature,
                                std::int32_t argument, jobject* out);
bool callVoidIntMethodChecked(JNIEnv* env, jobject obj, const char* name, std::int32_t argument);

// The length of the array held by an array field; -1 when the field is null or missing.
jsize arrayFieldLength(JNIEnv* env, jobject obj, const char* name, const char* signature);

// A local reference, deleted when it goes out of scope: a loop that gets one per entry must not
// fill the reserved frame.
template <typename Ref>
class LocalRef {
 public:
  LocalRef(JNIEnv* env, Ref ref) : env_(env), ref_(ref) {}
  ~LocalRef() {
    if (ref_ != nullptr) env_->DeleteLocalRef(ref_);
  }
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;
  Ref get() const { return ref_; }

 private:
  JNIEnv* env_;
  Ref ref_;
};

// Appends `string` to a java.lang.StringBuffer.
void appendToStringBuffer(JNIEnv* env, jobject buffer, jstring string);

}  // namespace cmn::jni
