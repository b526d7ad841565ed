// The host stands in for the JVM in the Windows and fuzzing runs, so it must catch what the
// JVM's checks catch and answer lookups as the JVM does. That it lets correct use pass is
// shown by the scenario, which runs every entry point with no check failing, but for what the
// scenario never needs (more than 32 references, or room made by deleting them).

#include "jnihost.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using jnihost::Host;
using jnihost::Object;

constexpr const char* kCluster = "com/velk/internet/tz/common/CMNCluster";

struct Case {
  const char* name;
  std::function<void(Host&, JNIEnv*, jobject cluster)> body;
  const char* violation;  // a part of the expected violation text; "" for none
};

jfieldID fieldId(JNIEnv* env, jobject obj, const char* name, const char* sig) {
  jclass cls = env->GetObjectClass(obj);
  jfieldID id = env->GetFieldID(cls, name, sig);
  env->DeleteLocalRef(cls);
  return id;
}

const Case kCases[] = {
    {"missing field: null and a pending NoSuchFieldError, which the method may check",
     [](Host& h, JNIEnv* env, jobject c) {
       EXPECT_EQ(nullptr, fieldId(env, c, "MaxNumberOfPorts", "B"));
       EXPECT_TRUE(env->ExceptionCheck());
       EXPECT_EQ("java/lang/NoSuchFieldError", h.pending->cls->name);
     },
     ""},
    {"a JNI call with an exception pending",
     [](Host&, JNIEnv* env, jobject c) {
       fieldId(env, c, "NoSuchField", "I");
       env->GetObjectClass(c);
     },
     "with an exception pending"},
    {"a field of the wrong type",
     [](Host&, JNIEnv* env, jobject c) {
       env->GetIntField(c, fieldId(env, c, "SetIPAddress", "B"));
     },
     "has type B"},
    {"a field of another class",
     [](Host& h, JNIEnv* env, jobject c) {
       jobject port = h.arg(h.newObject("CMNPort"));
       env->GetIntField(port, fieldId(env, c, "MaxNumberOfPorts", "I"));
     },
     "is not a field of"},
    {"an array region past the end",
     [](Host&, JNIEnv* env, jobject c) {
       auto bytes =
           static_cast<jbyteArray>(env->GetObjectField(c, fieldId(env, c, "natPtAddress", "[B")));
       jbyte out[5];
       env->GetByteArrayRegion(bytes, 1, 4, out);
     },
     "region 1+4 of an array of 4"},
    {"more local references than reserved",
     [](Host&, JNIEnv* env, jobject c) {
       for (int i = 0; i < 40; ++i) env->GetObjectClass(c);
     },
     "exceeds capacity"},
    {"as many local references as reserved",
     [](Host&, JNIEnv* env, jobject c) {
       ASSERT_EQ(JNI_OK, env->EnsureLocalCapacity(64));
       for (int i = 0; i < 60; ++i) env->GetObjectClass(c);
     },
     ""},
    {"deleted references make room",
     [](Host&, JNIEnv* env, jobject c) {
       for (int i = 0; i < 100; ++i) env->DeleteLocalRef(env->GetObjectClass(c));
     },
     ""},
    {"a deleted reference used again",
     [](Host&, JNIEnv* env, jobject c) {
       jclass cls = env->GetObjectClass(c);
       env->DeleteLocalRef(cls);
       env->GetFieldID(cls, "MaxNumberOfPorts", "I");
     },
     "deleted or dropped"},
    {"a call into Java not followed by an exception check",
     [](Host& h, JNIEnv* env, jobject) {
       jobject sb = h.arg(h.newObject("java/lang/StringBuffer"));
       jclass cls = env->GetObjectClass(sb);
       jmethodID append =
           env->GetMethodID(cls, "append", "(Ljava/lang/String;)Ljava/lang/StringBuffer;");
       env->CallObjectMethod(sb, append, env->NewStringUTF("+web"));
       env->NewStringUTF("next");
     },
     "without checking"},
    {"a reference field given an object of another class",
     [](Host&, JNIEnv* env, jobject c) {
       env->SetObjectField(c, fieldId(env, c, "natPtAddress", "[B"), env->NewStringUTF("x"));
     },
     "natPtAddress given a java/lang/String"},
    {"modified UTF-8 taken: shortest forms, c0 80 for NUL, surrogates in three bytes",
     [](Host&, JNIEnv* env, jobject) {
       for (const char* text : {"caf\xc3\xa9", "a\xc0\x80z", "\xed\xa0\xbd\xed\xb8\x80",
                                "\xe0\xa0\x80", "\xdf\xbf", "\xef\xbf\xbf"}) {
         env->DeleteLocalRef(env->NewStringUTF(text));
       }
     },
     ""},
    {"overlong two-byte form", [](Host&, JNIEnv* env, jobject) { env->NewStringUTF("\xc1\x81"); },
     "not modified UTF-8"},
    {"four-byte form", [](Host&, JNIEnv* env, jobject) { env->NewStringUTF("\xf0\x9f\x98\x80"); },
     "not modified UTF-8"},
    {"string characters never released",
     [](Host&, JNIEnv* env, jobject c) {
       auto id = static_cast<jstring>(
           env->GetObjectField(c, fieldId(env, c, "sClusterId", "Ljava/lang/String;")));
       env->GetStringUTFChars(id, nullptr);
     },
     "never released"},
};

TEST(JniHost, CatchesWhatTheJvmChecksCatch) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Host host;
    Object* cluster = host.newObject(kCluster);
    host.setString(cluster, "sClusterId", "web");
    host.beginCall("test");
    c.body(host, host.env(), host.arg(cluster));
    host.endCall();
    if (c.violation[0] == '\0') {
      EXPECT_TRUE(host.violations().empty()) << host.violations().front();
    } else {
      ASSERT_FALSE(host.violations().empty());
      EXPECT_NE(std::string::npos, host.violations().front().find(c.violation))
          << host.violations().front();
    }
  }
}

}  // namespace
