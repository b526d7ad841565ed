// Reading and writing fields of the Java objects that the Java side hands us, and calling their
// methods, by name.
//
// Every operation looks the class and the field or method up again; nothing is cached between
// calls. A null object or a lookup that fails leaves the out-value unchanged and makes no JNI
// call that needs the missing object or ID (the lookup's own exception stays pending for Java).
// Readers return true when they stored a value.
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
void setIntArrayFieldRegion(JNIEnv* env, jobject obj, const char* name, jsize start, jsize count,
                            const std::int32_t* buffer);
void setByteArrayFieldRegion(JNIEnv* env, jobject obj, const char* name, jsize start,
                             jsize count, const std::int8_t* buffer);
// Writes elements 0 to count - 1 of the int-array field `name`, but never more elements than the
// array holds; a null or missing array is left alone. Returns the number of elements written.
jsize setIntArrayFieldPrefix(JNIEnv* env, jobject obj, const char* name, jsize count,
                             const std::int32_t* buffer);
void setStringFieldFromText(JNIEnv* env, jobject obj, const char* name, const char* text);
// The dotted text of an address kept as its bytes lie in memory.
void setAddressStringField(JNIEnv* env, jobject obj, const char* name, std::uint32_t address);

// ---- String fields converted on reading -------------------------------------------------------

// Resolves the String field `name` into *out. 0 on success; -21 when the text can't be
// resolved; 0 with *out unchanged when the field has no characters (null or missing).
int getAddressFieldByName(JNIEnv* env, jobject obj, const char* name, std::uint32_t* out);

// ---- Method calls (0, or -1 when the method can't be found; the out-value then unchanged) -----
int callIntMethodByName(JNIEnv* env, jobject obj, const char* name, std::int32_t* out);
int callVoidIntMethodByName(JNIEnv* env, jobject obj, const char* name, std::int32_t argument);
int callObjectMethodByName(JNIEnv* env, jobject obj, const char* name, const char* signature,
                           jobject* out);
int callObjectIntMethodByName(JNIEnv* env, jobject obj, const char* name, const char* signature,
                              std::int32_t argument, jobject* out);

// Appends `string` to a java.lang.StringBuffer.
void appendToStringBuffer(JNIEnv* env, jobject buffer, jstring string);

}  // namespace cmn::jni
