// Port records: add, change, remove, read, report, rate and list.

#include "config/port.h"

#include "channel/channel.h"
#include "config/cluster.h"
#include "config/list_text.h"
#include "jni/entry.h"
#include "jni/fields.h"
#include "jni/idkey.h"
#include "jni/record_fields.h"
#include "platform/platform.h"

namespace cmn::config {
using namespace jni;

namespace {

using S = JavaType;
using W = Wire;

constexpr std::uint32_t kAddPort = 10;
constexpr std::uint32_t kRemovePort = 11;
constexpr std::uint32_t kListPorts = 12;
constexpr std::uint32_t kGetPort = 13;
constexpr std::uint32_t kSetPort = 14;
constexpr std::uint32_t kPortReport = 15;
constexpr std::uint32_t kSetPortRate = 80;

// Port record (commands 10, 11, 13, 14) and port report (15, 80).
constexpr std::uint32_t kRecordLength = 96;
constexpr std::uint32_t kReportLength = 72;
constexpr std::uint32_t kReportRate = 24;


// The executor is busy: the request is sent again after these pauses.
constexpr std::uint32_t kFirstRetryPause = 6789;
constexpr std::uint32_t kSecondRetryPause = 6543;
constexpr std::int32_t kBusyReason = -2;

const FlaggedSpec kOptionalSettings[] = {
    {{"SetMaxNumberOfServers", 80}, {{"MaxNumberOfServers", S::Int, W::U32, 32}}},
    {{"SetStaleTimeout", 84}, {{"StaleTimeout", S::Int, W::I64, 56}}},
    {{"SetStickyTime", 81}, {{"StickyTime", S::Int, W::I64, 40}}},
    {{"SetStickyBits", 83}, {{"iStickyBits", S::Int, W::U32, 52}}},
    {{"SetWeightBound", 85}, {{"WeightBound", S::Int, W::I16, 64}}},
    {{"SetType", 86}, {{"Type", S::Char, W::I8, 66}}},
    {{"SetMethod", 87}, {{"iMethod", S::Int, W::I16, 68}}},
    {{"SetPortProtocol", 82}, {{"iPortProtocol", S::Int, W::U16, 48}}},
    {{"SetReplicate", 88}, {{"Replicate", S::Int, W::U8, 70}}},
    {{"SetMaxHalfOpen", 90}, {{"iMaxHalfOpen", S::Int, W::U32, 76}}},
    {{"SetCrossPort", 89}, {{"iCrossPort", S::Int, W::Net16, 72}}},
    {{"SetSendReset", 91}, {{"SendReset", S::Byte, W::U8, 92}}},
};

// Written back in this order, which is not the order they are sent in.
FlagsBack kFlagsWrittenBack[] = {
    &kOptionalSettings[0].flag, &kOptionalSettings[2].flag,  &kOptionalSettings[7].flag,
    &kOptionalSettings[3].flag, &kOptionalSettings[1].flag,  &kOptionalSettings[4].flag,
    &kOptionalSettings[5].flag, &kOptionalSettings[6].flag,  &kOptionalSettings[8].flag,
    &kOptionalSettings[9].flag, &kOptionalSettings[10].flag, &kOptionalSettings[11].flag,
};

const FieldSpec kStatusReadBack[] = {
    {"NumServers", S::Int, W::U32, 28},
    {"MaxNumberOfServers", S::Int, W::U32, 32},
    {"StickyTime", S::Int, W::I64, 40},
    {"iPortProtocol", S::Int, W::U16, 48},
    {"iStickyBits", S::Int, W::U32, 52},
    {"StaleTimeout", S::Int, W::I64, 56},
    {"WeightBound", S::Int, W::I16, 64},
    {"Type", S::Char, W::I8, 66},  // sign-extended, unlike a cluster's default port type
    {"iMethod", S::Int, W::I16, 68},
    {"Replicate", S::Int, W::U8, 70},
    {"iCrossPort", S::Int, W::Net16, 72},
    {"iMaxHalfOpen", S::Int, W::U32, 76},
    {"SendReset", S::Byte, W::U8, 92},
};

const FieldSpec kReportReadBack[] = {
    {"NumServers", S::Int, W::U32, 36},
    {"NumNodesDown", S::Int, W::U32, 44},
    {"NumNodesLocal", S::Int, W::U32, 52},
    {"MaxWeight", S::Int, W::U32, 48},
    {"iConnectionsPerSecond", S::Int, W::U32, 24},
    {"ActiveConnections", S::Int, W::U32, 28},
    {"iNumHalfOpen", S::Int, W::U32, 32},
    {"iBytesPerSecond", S::Int, W::U32, 60},
    {"iResetsSent", S::Int, W::U32, 64},
    {"iPortProtocol", S::Int, W::U16, 68},
    {"iMethod", S::Int, W::I16, 70},
};

const ReasonCode kRecordReasons[] = {
    {-87, -57}, {-84, -84}, {-62, -75}, {-61, -74}, {-56, -68}, {-55, -67}, {-54, -12}, {-53, -66},
    {-52, -65}, {-27, -38}, {-18, -73}, {-5, -5},   {-4, -30},  {-3, -14},  {-1, -12},
};
const ReasonCode kLookupReasons[] = {{-5, -5}, {-1, -12}};
const ReasonCode kListReasons[] = {{-5, -5}};

constexpr jint kPortOutOfRange = -10;
constexpr jint kClusterAddressUnresolved = -3;
constexpr jint kBusyTooLong = -28;
constexpr jint kOtherFailure = -99;
constexpr jint kNoListMemory = -28;

// Reads "ClusterId" and "PortNumber" of a port object and puts its address (key and number) in
// the block. 0, or the refusal: nothing is sent then.
jint putPortAddress(JNIEnv* env, jobject port, RequestBlock& b) {
  std::uint32_t key = 0;
  if (!idKeyOfField(env, port, "ClusterId", &key)) return kIdentifierMissing;
  std::int32_t number = -1;
  getIntFieldByName(env, port, "PortNumber", &number);
  if (number < 0 || number > 0xFFFF) return kPortOutOfRange;
  b.putU32(kPortClusterKey, key);
  b.putU16(kPortNumber, static_cast<std::uint16_t>(number), ByteOrder::Network);
  return 0;
}

// The result of a record request; a busy executor gets two more tries after a pause each.
jint sendRecordWithRetry(RequestBlock& b) {
  if (sendExecutorRequest(&b) == 0) return 0;
  if (b.reason() != kBusyReason) return mapReason(kRecordReasons, b.reason(), kOtherFailure);
  for (const std::uint32_t pause : {kFirstRetryPause, kSecondRetryPause}) {
    platform::sleepMilliseconds(pause);
    if (sendExecutorRequest(&b) == 0) return 0;
  }
  return kBusyTooLong;
}

jint submitPortRecord(JNIEnv* env, jobject port) {
  RequestBlock& b = requestBlock();
  b.setLength(kRecordLength);
  if (const jint refused = putPortAddress(env, port, b)) return refused;
  if (const jint refused = putFlaggedFields(env, port, b, kOptionalSettings)) return refused;
  const jint result = sendRecordWithRetry(b);
  copyFlagsBack(env, port, b, kFlagsWrittenBack);
  return result;
}

// A request addressed to one port, with no other field: remove, status, report. 0, the
// refusal, or the mapped failure.
jint sendPortLookup(JNIEnv* env, jobject port, std::uint32_t command, std::uint32_t length) {
  RequestBlock& b = requestBlock();
  b.begin(command, length);
  if (const jint refused = putPortAddress(env, port, b)) return refused;
  if (sendExecutorRequest(&b) == 0) return 0;
  return mapReason(kLookupReasons, b.reason(), kOtherFailure);
}

jint removePort(JNIEnv* env, jobject port) {
  // The cluster's address must name an address even though only the key travels; a null one
  // names none.
  jstring text = nullptr;
  getStringFieldByName(env, port, "ClusterAddress", &text);
  std::uint32_t address = 0;
  if (text == nullptr || getAddressFieldByName(env, port, "ClusterAddress", &address) != 0) {
    return kClusterAddressUnresolved;
  }
  return sendPortLookup(env, port, kRemovePort, kRecordLength);
}

jint listPorts(JNIEnv* env, jstring clusterId, jobject stringBuffer) {
  std::uint32_t key = 0;
  if (!idKeyOfString(env, clusterId, &key)) return kIdentifierMissing;
  ListText list;
  if (!list.ok()) return kNoListMemory;
  jint result = queryClusterReport(key);
  if (result == 0) {
    RequestBlock& b = requestBlock();
    beginList(b, kListPorts, kPortList, b.u32(kClusterReportPortCount));
    b.putU32(kPortClusterKey, key);
    if (sendExecutorRequest(&b) != 0) {
      result = mapReason(kListReasons, b.reason(), kOtherFailure);
    } else {
      renderList(list, kPortList, kPortList.held(b), [&](std::uint32_t entry, char(&line)[kListLineSize]) {
        return numberedEntryLine(b.u16(entry, ByteOrder::Network), line);
      });
    }
  }
  list.appendTo(env, stringBuffer);
  return result;
}

}  // namespace

int queryPortReport(std::uint32_t clusterKey, std::uint16_t port) {
  RequestBlock& b = requestBlock();
  b.begin(kPortReport, kReportLength);
  b.putU32(kPortClusterKey, clusterKey);
  b.putU16(kPortNumber, port, ByteOrder::Network);
  return sendExecutorRequest(&b);
}

CMN_NATIVE(jint, addPortNative)(JNIEnv* env, jobject, jobject port) {
  return enterWithObjects(env, {port}, [&] {
    requestBlock().setCommand(kAddPort);
    return submitPortRecord(env, port);
  });
}

CMN_NATIVE(jint, setPortStatusNative)(JNIEnv* env, jobject, jobject port) {
  return enterWithObjects(env, {port}, [&] {
    requestBlock().setCommand(kSetPort);
    return submitPortRecord(env, port);
  });
}

CMN_NATIVE(jint, removePortNative)(JNIEnv* env, jobject, jobject port) {
  return enterWithObjects(env, {port}, [&] { return removePort(env, port); });
}

CMN_NATIVE(jint, getPortStatusNative)(JNIEnv* env, jobject, jobject port) {
  return enterWithObjects(env, {port}, [&]() -> jint {
    const jint result = sendPortLookup(env, port, kGetPort, kRecordLength);
    if (result == 0) getFields(env, port, requestBlock(), kStatusReadBack);
    return result;
  });
}

CMN_NATIVE(jint, getPortReportNative)(JNIEnv* env, jobject, jobject port) {
  return enterWithObjects(env, {port}, [&]() -> jint {
    const jint result = sendPortLookup(env, port, kPortReport, kReportLength);
    if (result == 0) getFields(env, port, requestBlock(), kReportReadBack);
    return result;
  });
}

CMN_NATIVE(jint, setPortCPSNative)(JNIEnv* env, jobject, jobject port) {
  return enterWithObjects(env, {port}, [&]() -> jint {
    RequestBlock& b = requestBlock();
    b.begin(kSetPortRate, kReportLength);
    if (const jint refused = putPortAddress(env, port, b)) return refused;
    putField(env, port, b, {"iConnectionsPerSecond", S::Int, W::U32, kReportRate});
    return sendExecutorRequest(&b);
  });
}

CMN_NATIVE(jint, getPortsListNative)
(JNIEnv* env, jobject, jstring clusterId, jobject stringBuffer) {
  return enterWithObjects(env, {clusterId, stringBuffer},
                          [&] { return listPorts(env, clusterId, stringBuffer); });
}

}  // namespace cmn::config
