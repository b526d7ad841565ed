// Identifier keys: the 32-bit keys by which the executor knows clusters and servers.
#pragma once

#include <jni.h>

#include <cstdint>

namespace cmn::jni {

// The key of an identifier: its address when the text is a numeric address, else a hash of the
// upper-cased text. Upper-cases `text` in place (it is the caller's own copy).
void computeIdKey(char* text, std::uint32_t* out);

// `value` rotated right by `count` (0 to 8) bits within 8 bits.
std::uint8_t rotateByteRight(std::uint8_t value, unsigned count);

// Stores the key of the String field `name` in *out; leaves *out unchanged when the field has
// no characters (null or missing).
void getIdKeyFieldByName(JNIEnv* env, jobject obj, const char* name, std::uint32_t* out);

// The key of an identifier, computed on a copy: the characters a JVM hands out are not ours to
// change.
std::uint32_t idKeyOf(const char* chars);

// Like getIdKeyFieldByName, but tells whether a key was stored: false when the field is null or
// missing. Requests addressed by key refuse to go out without one rather than carry whatever
// key the block last held.
bool idKeyOfField(JNIEnv* env, jobject obj, const char* name, std::uint32_t* out);

// The key of a Java string; false when it is null.
bool idKeyOfString(JNIEnv* env, jstring id, std::uint32_t* out);

// The key-is-address flag, recorded for the executor's Java side; the library itself never
// consults it.
void setKeyIsIpAddr(std::int32_t value);

}  // namespace cmn::jni
