// The executor's debugging log (level, filter, head, tail, clear) and connection allocation.

#include <cstring>
#include <string>

#include "channel/channel.h"
#include "executor/settings_layout.h"
#include "jni/entry.h"
#include "jni/strings.h"

namespace cmn::executor {
using namespace jni;

namespace {

constexpr const char* kLoggingBanner =
    "EXECUTOR LOGGING COMMANDS SHOULD BE USED FOR DEBUGGING\n"
    "PURPOSES ONLY.  THESE ARE UNSUPPORTED COMMANDS.  THESE\n"
    "COMMANDS HAVE NOT BEEN EXTENSIVELY TESTED.\n\n";

constexpr std::uint32_t kLogHead = 35;
constexpr std::uint32_t kLogTail = 36;
constexpr std::uint32_t kLogClear = 37;
constexpr std::uint32_t kLogClearLength = 280;
constexpr std::uint32_t kLogText = 16;
constexpr std::uint32_t kLogSize = 24;
constexpr std::uint32_t kLogHeadArgument = 28;
constexpr std::int32_t kDefaultLogSize = 10000;

constexpr std::uint32_t kAllocateConnection = 34;
constexpr std::uint32_t kDeallocateConnection = 63;
constexpr std::uint32_t kConnectionLength = 40;
// A connection entry: the three addresses in network order, the port, the two other values.
namespace entry {
constexpr std::uint32_t kSecond = 16;  // 16 bits
constexpr std::uint32_t kFirst = 20;
constexpr std::uint32_t kPort = 24;
constexpr std::uint32_t kThird = 28;
constexpr std::uint32_t kFourth = 32;
constexpr std::uint32_t kSixth = 36;
}  // namespace entry

jstring banner(JNIEnv* env) { return newJavaString(env, kLoggingBanner); }

// Sets one value of the settings record and its change flag; every other byte of the record
// travels as the block last held it.
jstring setLogSetting(JNIEnv* env, std::uint32_t offset, std::uint32_t flagOffset, jint value) {
  RequestBlock& b = requestBlock();
  b.begin(executor::kSetSettings, executor::kSettingsLength);
  b.putI32(offset, value);
  b.putU8(flagOffset, 1);
  sendExecutorRequest(&b);
  return banner(env);
}

// Fetches log text. The executor is asked for `size` bytes (10000 when 0); what comes back is
// the banner and the text at 16, never more than `size` characters of it (an executor that
// answers more is cut there) nor past the block's end. A negative size is sent as the executor
// gets it but asks for no text.
jstring fetchLog(JNIEnv* env, std::uint32_t command, jint size, const jint* headArgument) {
  if (size == 0) size = kDefaultLogSize;
  const std::uint32_t wanted = size > 0 ? static_cast<std::uint32_t>(size) : 0;
  const std::uint32_t room = kBlockSize - kLogText;
  const std::uint32_t limit = wanted < room ? wanted : room;
  // The buffer is had before anything is sent: without memory there is no request either (the
  // entry guard turns the failure into a null string).
  std::string text(kLoggingBanner);
  const std::size_t bannerLength = text.size();
  text.resize(bannerLength + limit + 1);

  RequestBlock& b = requestBlock();
  b.begin(command, kBlockSize);
  b.putI32(kLogSize, size);
  if (headArgument != nullptr) b.putI32(kLogHeadArgument, *headArgument);
  sendExecutorRequest(&b);  // a failed fetch shows whatever text the block holds

  text.resize(bannerLength + b.getText(kLogText, limit, text.data() + bannerLength, limit + 1));
  return newJavaString(env, text.c_str());
}

// Connection entry: three addresses that Java gives in host order (first octet most
// significant), a port, and two values the executor interprets.
void putConnection(std::uint32_t command, jint first, jint second, jint third, jint fourth,
                   jint port, jint sixth) {
  RequestBlock& b = requestBlock();
  b.begin(command, kConnectionLength);
  b.putU16(entry::kSecond, static_cast<std::uint16_t>(second));
  b.putU32(entry::kFirst, static_cast<std::uint32_t>(first), ByteOrder::Network);
  b.putU16(entry::kPort, static_cast<std::uint16_t>(port), ByteOrder::Network);
  b.putU32(entry::kThird, static_cast<std::uint32_t>(third), ByteOrder::Network);
  b.putI32(entry::kFourth, fourth);
  b.putU32(entry::kSixth, static_cast<std::uint32_t>(sixth), ByteOrder::Network);
}

}  // namespace

CMN_NATIVE(jstring, xloglevelNative)(JNIEnv* env, jobject, jint level) {
  return enterNative<jstring>(env, nullptr, [&] {
    return setLogSetting(env, executor::settings::kTraceLevel, executor::settings::kSetTraceLevel,
                         level);
  });
}

CMN_NATIVE(jstring, xlogfilterNative)(JNIEnv* env, jobject, jint filter) {
  return enterNative<jstring>(env, nullptr, [&] {
    return setLogSetting(env, executor::settings::kLogFilter, executor::settings::kSetLogFilter,
                         filter);
  });
}

CMN_NATIVE(jstring, xlogheadNative)(JNIEnv* env, jobject, jint size, jint second) {
  return enterNative<jstring>(env, nullptr,
                              [&] { return fetchLog(env, kLogHead, size, &second); });
}

CMN_NATIVE(jstring, xlogtailNative)(JNIEnv* env, jobject, jint size) {
  return enterNative<jstring>(env, nullptr,
                              [&] { return fetchLog(env, kLogTail, size, nullptr); });
}

CMN_NATIVE(jstring, xlogclearNative)(JNIEnv* env, jobject) {
  return enterNative<jstring>(env, nullptr, [&] {
    RequestBlock& b = requestBlock();
    b.begin(kLogClear, kLogClearLength);
    sendExecutorRequest(&b);
    return banner(env);
  });
}

CMN_NATIVE(jint, allocateConnectionNative)
(JNIEnv* env, jobject, jint first, jint second, jint third, jint fourth, jint port, jint sixth) {
  return enterNative<jint>(env, -1, [&]() -> jint {
    putConnection(kAllocateConnection, first, second, third, fourth, port, sixth);
    RequestBlock& b = requestBlock();
    return sendExecutorRequest(&b) == 0 ? 0 : b.reason();
  });
}

CMN_NATIVE(jint, deallocateConnectionNative)
(JNIEnv* env, jobject, jint first, jint second, jint third, jint fourth, jint port, jint sixth) {
  return enterNative<jint>(env, -1, [&]() -> jint {
    putConnection(kDeallocateConnection, first, second, third, fourth, port, sixth);
    return sendExecutorRequest(&requestBlock());
  });
}

}  // namespace cmn::executor
