#include "jnihost.h"

namespace jnihost {

const JavaField kJavaFields[] = {
#include "java_fields.inc"
};
const std::size_t kJavaFieldCount = sizeof(kJavaFields) / sizeof(kJavaFields[0]);

}  // namespace jnihost
