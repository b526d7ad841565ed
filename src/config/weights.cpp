// Server weights: the weights of all servers of one port in one request, as parallel Java
// arrays.

#include "channel/channel.h"
#include "config/cluster.h"
#include "config/port.h"
#include "jni/entry.h"
#include "jni/fields.h"
#include "jni/idkey.h"
#include "jni/record_fields.h"
#include "jni/strings.h"

namespace cmn::config {
using namespace jni;

namespace {

constexpr std::uint32_t kSetWeights = 16;
constexpr std::uint32_t kGetWeights = 17;

// Server weights request, addressed to its port: n at 24, records of 96 bytes from 28.
constexpr std::uint32_t kCount = 24;
constexpr Records kRecords{kCount, 28, 96};  // 666 fit

// Offsets within a record.
constexpr std::uint32_t kServerKey = 0;
constexpr std::uint32_t kIdentifier = 4;
constexpr std::uint32_t kIdentifierWidth = 68;
constexpr std::uint32_t kAddress = 72;
constexpr std::uint32_t kWeight = 78;
constexpr std::uint32_t kTotalConnections = 80;
constexpr std::uint32_t kActiveConnections = 84;
constexpr std::uint32_t kResult = 88;
constexpr std::uint32_t kFixedWeight = 92;
constexpr std::uint32_t kQuiescedDown = 93;

const ReasonCode kReasons[] = {{-5, -5}, {-1, -12}};

constexpr jint kCountOutOfRange = -10;  // as for a port number out of range
constexpr jint kArraysTooShort = kMissingArgument;
constexpr jint kNoMemory = -28;
constexpr jint kOtherFailure = -99;

// The columns set reads: all four arrays must hold n elements.
constexpr ColumnSpec kSetColumns[] = {
    {"iServerIdKey", kServerKey, Wire::U32},
    {"iWeight", kWeight, Wire::U16},
    {"bFixedWeight", kFixedWeight, Wire::U8, JavaType::Byte},
    {"ucQuiescedDown", kQuiescedDown, Wire::U8},
};
// The columns written back; each array must hold n elements or be null (then skipped).
constexpr ColumnSpec kSetResults[] = {{"iRC", kResult, Wire::U32}};
constexpr ColumnSpec kGetColumns[] = {
    {"iAddress", kAddress, Wire::Net32},
    {"iWeight", kWeight, Wire::I16},
    {"bFixedWeight", kFixedWeight, Wire::I8, JavaType::Byte},
    {"iTotalConns", kTotalConnections, Wire::U32},
    {"iActiveConns", kActiveConnections, Wire::U32},
    {"iRC", kResult, Wire::U32},
};

// Starts a weights request for n records after checking what both methods check. 0 or the
// refusal; nothing is sent on a refusal.
jint beginWeights(JNIEnv* env, jobject weights, jint n, std::uint32_t command) {
  if (n < 0 || static_cast<std::uint32_t>(n) > kRecords.capacity) return kCountOutOfRange;
  std::uint32_t key = 0;
  if (!idKeyOfField(env, weights, "sClusterID", &key)) return kIdentifierMissing;
  std::int32_t port = -1;
  getIntFieldByName(env, weights, "iPortNumber", &port);
  if (port < 0 || port > 0xFFFF) return kCountOutOfRange;
  RequestBlock& b = requestBlock();
  b.begin(command, kRecords.lengthFor(static_cast<std::uint32_t>(n)));
  b.putU32(kCount, static_cast<std::uint32_t>(n));
  b.putU32(kPortClusterKey, key);
  b.putU16(kPortNumber, static_cast<std::uint16_t>(port), ByteOrder::Network);
  return 0;
}

jint getWeights(JNIEnv* env, jobject weights, jint n) {
  if (!columnsHold(env, weights, kGetColumns, n, true)) return kArraysTooShort;
  if (const jint refused = beginWeights(env, weights, n, kGetWeights)) return refused;
  // Looked up before anything is sent: an answer that can't be handed back is not asked for.
  jmethodID setServerId = methodIdOf(env, weights, "setServerId", "(Ljava/lang/String;I)V");
  if (setServerId == nullptr) return kMissingArgument;
  RequestBlock& b = requestBlock();
  if (sendExecutorRequest(&b) != 0) return mapReason(kReasons, b.reason(), kOtherFailure);

  const auto count = static_cast<std::uint32_t>(n);
  for (std::uint32_t i = 0; i < count; ++i) {
    char id[kIdentifierWidth + 1];
    b.getText(kRecords.at(i) + kIdentifier, kIdentifierWidth, id, sizeof(id));
    const LocalRef<jstring> text(env, newJavaString(env, id));
    if (text.get() == nullptr) return kNoMemory;
    if (!checkedCall(env, [&] {
          env->CallVoidMethod(weights, setServerId, text.get(), static_cast<jint>(i));
        })) {
      return kOtherFailure;  // Java threw: the exception is left for it
    }
  }
  return getColumns(env, weights, b, kRecords, count, kGetColumns) ? 0 : kNoMemory;
}

jint setWeights(JNIEnv* env, jobject weights, jint n) {
  // The four arrays read must all be there; "iRC", written back, may be missing.
  if (!columnsHold(env, weights, kSetColumns, n, false) ||
      !columnsHold(env, weights, kSetResults, n, true)) {
    return kArraysTooShort;
  }
  if (const jint refused = beginWeights(env, weights, n, kSetWeights)) return refused;
  RequestBlock& b = requestBlock();
  const auto count = static_cast<std::uint32_t>(n);
  if (!putColumns(env, weights, b, kRecords, count, kSetColumns)) return kNoMemory;
  const jint result =
      sendExecutorRequest(&b) == 0 ? 0 : mapReason(kReasons, b.reason(), kOtherFailure);
  return getColumns(env, weights, b, kRecords, count, kSetResults) ? result : kNoMemory;
}

}  // namespace

CMN_NATIVE(jint, getServerWeightsNative)(JNIEnv* env, jobject, jobject weights, jint n) {
  return enterWithObjects(env, {weights}, [&] { return getWeights(env, weights, n); });
}

CMN_NATIVE(jint, setServerWeightsNative)(JNIEnv* env, jobject, jobject weights, jint n) {
  return enterWithObjects(env, {weights}, [&] { return setWeights(env, weights, n); });
}

}  // namespace cmn::config
