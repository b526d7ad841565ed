// Server weights: the weights of all servers of one port in one request, as parallel Java
// arrays.

#include <new>
#include <vector>

#include "channel/channel.h"
#include "config/cluster.h"
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

// Server weights request: cluster key at 16, port at 20, n at 24, records of 96 bytes from 28.
constexpr std::uint32_t kClusterKey = 16;
constexpr std::uint32_t kPort = 20;
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

constexpr const char* kInts = "[I";
constexpr const char* kBytes = "[B";

// An array field that must hold n elements; a null one passes only where it may be skipped.
struct ArrayField {
  const char* name;
  const char* signature;
};

const ArrayField kSetReads[] = {{"iServerIdKey", kInts},
                                {"iWeight", kInts},
                                {"bFixedWeight", kBytes},
                                {"ucQuiescedDown", kInts}};
const ArrayField kGetWrites[] = {{"iAddress", kInts},      {"iWeight", kInts},
                                 {"bFixedWeight", kBytes}, {"iTotalConns", kInts},
                                 {"iActiveConns", kInts},  {"iRC", kInts}};

// True when every array holds at least n elements (or is null and `nullAllowed`).
template <std::size_t N>
bool arraysHold(JNIEnv* env, jobject weights, const ArrayField (&fields)[N], jint n,
                bool nullAllowed) {
  for (const ArrayField& f : fields) {
    const jsize length = arrayFieldLength(env, weights, f.name, f.signature);
    if (length < 0 ? !nullAllowed : length < n) return false;
  }
  return true;
}

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
  b.putU32(kClusterKey, key);
  b.putU16(kPort, static_cast<std::uint16_t>(port), ByteOrder::Network);
  return 0;
}

// Native copies of the arrays, n elements each.
struct Columns {
  std::vector<std::int32_t> keys, weights, quiesced, addresses, total, active, results;
  std::vector<std::int8_t> fixed;
};

jint getWeights(JNIEnv* env, jobject weights, jint n) {
  if (!arraysHold(env, weights, kGetWrites, n, true)) return kArraysTooShort;
  if (const jint refused = beginWeights(env, weights, n, kGetWeights)) return refused;
  // Looked up before anything is sent: an answer that can't be handed back is not asked for.
  jmethodID setServerId = methodIdOf(env, weights, "setServerId", "(Ljava/lang/String;I)V");
  if (setServerId == nullptr) return kMissingArgument;
  RequestBlock& b = requestBlock();
  if (sendExecutorRequest(&b) != 0) return mapReason(kReasons, b.reason(), kOtherFailure);

  const auto count = static_cast<std::size_t>(n);
  Columns c;
  try {
    for (auto* column : {&c.addresses, &c.weights, &c.total, &c.active, &c.results}) {
      column->resize(count);
    }
    c.fixed.resize(count);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t at = kRecords.at(i);
    char id[kIdentifierWidth + 1];
    b.getText(at + kIdentifier, kIdentifierWidth, id, sizeof(id));
    const LocalRef<jstring> text(env, newJavaString(env, id));
    if (text.get() == nullptr) return kNoMemory;
    if (!checkedCall(env, [&] {
          env->CallVoidMethod(weights, setServerId, text.get(), static_cast<jint>(i));
        })) {
      return kOtherFailure;  // Java threw: the exception is left for it
    }
    c.addresses[i] = static_cast<std::int32_t>(b.u32(at + kAddress, ByteOrder::Network));
    c.weights[i] = b.i16(at + kWeight);
    c.fixed[i] = b.i8(at + kFixedWeight);
    c.active[i] = b.i32(at + kActiveConnections);
    c.total[i] = b.i32(at + kTotalConnections);
    c.results[i] = b.i32(at + kResult);
  }
  setIntArrayFieldRegion(env, weights, "iAddress", 0, n, c.addresses.data());
  setIntArrayFieldRegion(env, weights, "iWeight", 0, n, c.weights.data());
  setByteArrayFieldRegion(env, weights, "bFixedWeight", 0, n, c.fixed.data());
  setIntArrayFieldRegion(env, weights, "iTotalConns", 0, n, c.total.data());
  setIntArrayFieldRegion(env, weights, "iActiveConns", 0, n, c.active.data());
  setIntArrayFieldRegion(env, weights, "iRC", 0, n, c.results.data());
  return 0;
}

jint setWeights(JNIEnv* env, jobject weights, jint n) {
  // The four arrays read must all be there; "iRC", written back, may be missing.
  if (!arraysHold(env, weights, kSetReads, n, false)) return kArraysTooShort;
  const ArrayField results[] = {{"iRC", kInts}};
  if (!arraysHold(env, weights, results, n, true)) return kArraysTooShort;
  if (const jint refused = beginWeights(env, weights, n, kSetWeights)) return refused;

  const auto count = static_cast<std::size_t>(n);
  Columns c;
  try {
    for (auto* column : {&c.keys, &c.weights, &c.quiesced}) column->resize(count);
    c.fixed.resize(count);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  getIntArrayFieldRegion(env, weights, "iServerIdKey", 0, n, c.keys.data());
  getIntArrayFieldRegion(env, weights, "iWeight", 0, n, c.weights.data());
  getByteArrayFieldRegion(env, weights, "bFixedWeight", 0, n, c.fixed.data());
  getIntArrayFieldRegion(env, weights, "ucQuiescedDown", 0, n, c.quiesced.data());
  RequestBlock& b = requestBlock();
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t at = kRecords.at(i);
    b.putU32(at + kServerKey, static_cast<std::uint32_t>(c.keys[i]));
    b.putU16(at + kWeight, static_cast<std::uint16_t>(c.weights[i]));
    b.putU8(at + kFixedWeight, static_cast<std::uint8_t>(c.fixed[i]));
    b.putU8(at + kQuiescedDown, static_cast<std::uint8_t>(c.quiesced[i]));
  }
  const jint result =
      sendExecutorRequest(&b) == 0 ? 0 : mapReason(kReasons, b.reason(), kOtherFailure);

  try {
    c.results.resize(count);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  for (std::uint32_t i = 0; i < count; ++i) c.results[i] = b.i32(kRecords.at(i) + kResult);
  setIntArrayFieldRegion(env, weights, "iRC", 0, n, c.results.data());
  return result;
}

}  // namespace

CMN_NATIVE(jint, getServerWeightsNative)(JNIEnv* env, jobject, jobject weights, jint n) {
  return enterWithObjects(env, {weights}, [&] { return getWeights(env, weights, n); });
}

CMN_NATIVE(jint, setServerWeightsNative)(JNIEnv* env, jobject, jobject weights, jint n) {
  return enterWithObjects(env, {weights}, [&] { return setWeights(env, weights, n); });
}

}  // namespace cmn::config
