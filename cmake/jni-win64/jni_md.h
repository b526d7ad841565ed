/* Machine-dependent JNI types for Windows x64, used with the JDK's own jni.h when the library
 * is cross-built: the JDK on the build host ships only its Linux variant of this header. */
#ifndef CMN_JNI_MD_WIN64_H
#define CMN_JNI_MD_WIN64_H

#include <stdint.h>

#ifndef JNIEXPORT
#define JNIEXPORT __declspec(dllexport)
#endif
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef int32_t jint;
typedef int64_t jlong;
typedef signed char jbyte;

#endif
