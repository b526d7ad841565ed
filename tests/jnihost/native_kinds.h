// The kinds of a native method's parameters, named as the generated entry point table
// (java_classes.inc, JNIHOST_NATIVE) names them, each with the JNI type it is passed as.
#pragma once

#include <jni.h>

namespace jnihost::kinds {

#define JNIHOST_KIND(kind, type) \
  struct kind {                  \
    using Type = type;           \
  }
JNIHOST_KIND(I_, jint);
JNIHOST_KIND(Z_, jboolean);
JNIHOST_KIND(String_, jstring);
JNIHOST_KIND(StringBuffer_, jobject);
JNIHOST_KIND(I_Array_, jintArray);
#undef JNIHOST_KIND
#define JNIHOST_OBJECT_KIND(javaClass)                \
  struct javaClass {                                  \
    using Type = jobject;                             \
    static constexpr const char* kClass = #javaClass; \
  }
JNIHOST_OBJECT_KIND(CMNExecutor);
JNIHOST_OBJECT_KIND(CMNExecutorReport);
JNIHOST_OBJECT_KIND(CMNCluster);
JNIHOST_OBJECT_KIND(CMNPort);
JNIHOST_OBJECT_KIND(CMNServer);
JNIHOST_OBJECT_KIND(CMNWeights);
JNIHOST_OBJECT_KIND(CMNRule);
JNIHOST_OBJECT_KIND(CMNAddress);
JNIHOST_OBJECT_KIND(CMNHAInfo);
JNIHOST_OBJECT_KIND(CMNInterfaceList);
JNIHOST_OBJECT_KIND(CMNAffinity);
JNIHOST_OBJECT_KIND(CMNHalfOpenListener);
JNIHOST_OBJECT_KIND(CMNAttackListener);
JNIHOST_OBJECT_KIND(CMNIcmp);
#undef JNIHOST_OBJECT_KIND
using Object_ = CMNServer;  // the host methods take any object; the balancer passes a server

}  // namespace jnihost::kinds
