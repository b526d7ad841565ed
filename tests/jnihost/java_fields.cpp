#include "jnihost.h"

namespace jnihost {

const JavaField kJavaFields[] = {
#define JNIHOST_FIELDS
#include "java_classes.inc"
#undef JNIHOST_FIELDS
};
const std::size_t kJavaFieldCount = sizeof(kJavaFields) / sizeof(kJavaFields[0]);
const ClassMethod kJavaMethods[] = {
#include "java_classes.inc"
};
const std::size_t kJavaMethodCount = sizeof(kJavaMethods) / sizeof(kJavaMethods[0]);

}  // namespace jnihost
