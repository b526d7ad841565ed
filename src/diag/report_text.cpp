#include "diag/report_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "jni/address.h"
#include "jni/strings.h"

namespace cmn::diag {

Octets networkOctets(const RequestBlock& b, std::uint32_t offset) {
  return memoryOctets(b.address(offset));
}

Octets storedOctets(const RequestBlock& b, std::uint32_t offset) {
  return memoryOctets(jni::addressFromHostOrder(b.u32(offset)));
}

Octets memoryOctets(std::uint32_t address) {
  std::uint8_t bytes[4];
  std::memcpy(bytes, &address, sizeof bytes);
  return Octets{{bytes[0], bytes[1], bytes[2], bytes[3]}};
}

std::int32_t ageOf(std::uint64_t now, std::uint64_t lastUse) {
  if (lastUse == 0) return 0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(now - lastUse));
}

void ReportText::line(const char* format, ...) {
  char buffer[kReportLineSize];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (length < 0) return;
  list_.append(buffer);
}

jstring ReportText::toJava(JNIEnv* env) const {
  return jni::newJavaString(env, list_.text() != nullptr ? list_.text() : "");
}

}  // namespace cmn::diag
