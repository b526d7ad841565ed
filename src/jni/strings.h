// Java strings on the native side.
#pragma once

#include <jni.h>

#include <cstddef>
#include <string>

namespace cmn::jni {

// The UTF characters of a Java string, released when the guard goes out of scope. A null
// string, one whose characters can't be had, or any string while an exception is pending, gives
// a guard whose get() is null.
class UtfChars {
 public:
  UtfChars(JNIEnv* env, jstring string);
  ~UtfChars();
  UtfChars(const UtfChars&) = delete;
  UtfChars& operator=(const UtfChars&) = delete;

  const char* get() const { return chars_; }
  explicit operator bool() const { return chars_ != nullptr; }

 private:
  JNIEnv* env_;
  jstring string_;
  const char* chars_;
};

// A new Java string from native text. Text that is not valid modified UTF-8 (executor answers
// may carry any bytes) has each offending byte replaced by '?', so the JVM always gets a well
// formed string. Null while an exception is pending or when no string could be made.
jstring newJavaString(JNIEnv* env, const char* text);
// The same for a text of known length (`length` bytes, no NUL among them, a NUL after them),
// handed to the JVM without a copy when it is valid already; plain ASCII (a list's text) goes
// over as bytes, one character each, which the JVM takes in faster than it decodes UTF-8.
jstring newJavaString(JNIEnv* env, const char* text, std::size_t length);

// The text as modified UTF-8 (see newJavaString).
std::string toModifiedUtf8(const char* text);

}  // namespace cmn::jni
