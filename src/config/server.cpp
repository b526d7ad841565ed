// Server records: add, change, remove, mark up and down, read, report, rate and list; the host
// methods and the list capacity checks.

#include "config/server.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "channel/channel.h"
#include "config/cluster.h"
#include "config/list_text.h"
#include "config/port.h"
#include "jni/entry.h"
#include "jni/fields.h"
#include "jni/idkey.h"
#include "jni/record_fields.h"
#include "jni/strings.h"

namespace cmn::config {
using namespace jni;

namespace {

using S = JavaType;
using W = Wire;

constexpr std::uint32_t kAddServer = 27;
constexpr std::uint32_t kRemoveServer = 28;
constexpr std::uint32_t kServerDown = 29;
constexpr std::uint32_t kServerUp = 30;
constexpr std::uint32_t kSetServer = 32;
constexpr std::uint32_t kServerReport = 33;
constexpr std::uint32_t kGetServer = 56;
constexpr std::uint32_t kSetServerRate = 83;
constexpr std::uint32_t kListServers = 31;

// Server record (commands 27, 28, 32, 56).
constexpr std::uint32_t kIdentifier = 16;
constexpr std::uint32_t kIdentifierWidth = 65;
constexpr std::uint32_t kListenerCount = 116;
constexpr std::uint32_t kSetListeners = 1184;
constexpr std::uint32_t kWeight = 1192;
constexpr std::uint32_t kRemote = 1195;
constexpr std::uint32_t kRouter = 1196;
constexpr std::uint32_t kReturn = 1200;
constexpr std::uint32_t kSetWeight = 1220;
constexpr std::uint32_t kRouterGiven = 1223;
constexpr std::uint32_t kSetRouter = 1224;
constexpr std::uint32_t kSetReturn = 1225;
constexpr Records kListeners{kListenerCount, 120, 532, 2};  // the count is 16 bits

constexpr FieldSpec kIdentifierField{"sServerID", S::Text, W::Text, kIdentifier, kIdentifierWidth};
constexpr FieldSpec kServerKeyField{"iServerIdKey", S::Int, W::U32, kServerRecordServerKey};

// Up and down (29, 30) are a server list request of one entry; the answer's count lies at 36.
constexpr std::uint32_t kServerListAnswerCount = 36;

// Server report (33, 83), addressed to its port.
constexpr std::uint32_t kReportLength = 96;
constexpr std::uint32_t kReportServerKey = 44;
constexpr std::uint32_t kReportRate = 92;

constexpr const char* kListenerSignature = "(I)Lcom/velk/internet/tz/common/CMNListener;";

// A listener record as it goes out: getters of the listener and of its server.
const MethodSpec kListenerOut[] = {
    {"getIntAddress", S::Int, W::Net32, 0, 0, Callee::Item, -17},
    {"getMapPort", S::Int, W::Net16, 4, 0, Callee::Item, -78},
    {"getProtocol", S::Int, W::U32, 8, 0, Callee::Item, -78},
    {"getConnectTimeout", S::Int, W::U32, 12, 0, Callee::Holder, -78},
    {"getIntWaitForComplete", S::Int, W::U32, 16, 0, Callee::Holder, -78},
    {"getKeyRing", S::Text, W::Text, 20, 256, Callee::Item, -78},
    {"getStashFile", S::Text, W::Text, 276, 256, Callee::Item, -78},
};

// A listener record as status hands it back: the listener's address through its setter, its
// fields, then the two values the server keeps for all its listeners.
const MethodSpec kListenerAddressBack[] = {
    {"setAddress", S::Int, W::Net32, 0, 0, Callee::Item, -78},
};
const FieldSpec kListenerFieldsBack[] = {
    {"_iMapPort", S::Int, W::Net16, 4},
    {"_iProtocol", S::Int, W::U32, 8},
    {"_sKeyRing", S::Text, W::Text, 20, 256},
    {"_sStashFile", S::Text, W::Text, 276, 256},
};
const MethodSpec kListenerServerBack[] = {
    {"setWaitForContinueFromNative", S::Int, W::U32, 16, 0, Callee::Holder, -78},
    {"setConnectTimeoutFromNative", S::Int, W::U32, 12, 0, Callee::Holder, -78},
};

constexpr jint kReturnUnresolved = -76;

// The settings between the weight and the router. A null return address with its flag set gives
// nothing to send: refused as unresolvable.
const FlaggedSpec kEarlySettings[] = {
    {{"SetFixedWeight", 1221}, {{"_bFixedWeight", S::Byte, W::U8, 1194}}},
    {{"SetReturnAddress", kSetReturn}, {{"_sReturnAddress", S::Resolved, W::Addr, kReturn}}, 1,
     kReturnUnresolved},
};
constexpr jint kTextTooLong = -85;

// The settings after the addresses.
const FlaggedSpec kLaterSettings[] = {
    // Bytes that travel as 32-bit values, sign-extended.
    {{"SetCollocated", 1226}, {{"bCollocated", S::Byte, W::U32, 1204}}},
    {{"SetSticky", 1227}, {{"bSticky", S::Byte, W::U32, 1208}}},
    {{"SetQuiesced", 1228}, {{"_iQuiesced", S::Int, W::U32, 1212}}},
    // Texts that would not fit whole are refused; an unset cookie value goes out empty.
    {{"SetAdvisorRequest", 1229}, {{"_sAdvisorRequest", S::OptText, W::Text, 1232, 256}}, 1,
     kTextTooLong},
    {{"SetAdvisorResponse", 1230}, {{"_sAdvisorResponse", S::OptText, W::Text, 1488, 256}}, 1,
     kTextTooLong},
    {{"SetCookieValue", 1744}, {{"CookieValue", S::OptText, W::Text, 1745, 100}}, 1, kTextTooLong,
     true},
    {{"SetCloneID", 1845}, {{"CloneID", S::OptText, W::Text, 1846, 102}}, 1, kTextTooLong},
    {{"SetCPSMaximum", 1231}, {{"_iCPSMaximum", S::Int, W::U32, 1216}}},
};

const FieldSpec kStatusReadBack[] = {
    {"_iWeight", S::Int, W::I16, kWeight},
    {"_bFixedWeight", S::Byte, W::U8, 1194},
    {"_sRouterAddress", S::Address, W::Addr, kRouter},
    {"_sReturnAddress", S::Address, W::Addr, kReturn},
};
const FieldSpec kStatusReadBackAfterRemote[] = {
    {"bCollocated", S::Byte, W::U8, 1204},
    {"bSticky", S::Byte, W::U8, 1208},
    {"_iQuiesced", S::Int, W::U32, 1212},
    {"_sAdvisorRequest", S::Text, W::Text, 1232, 256},
    {"_sAdvisorResponse", S::Text, W::Text, 1488, 256},
    {"CookieValue", S::Text, W::Text, 1745, 100},
    {"CloneID", S::Text, W::Text, 1846, 102},
    {"_iCPSMaximum", S::Int, W::U32, 1216},
};

const FieldSpec kReportReadBack[] = {
    {"TotalConnections", S::Int, W::U32, 56},    {"TotalTCPConnections", S::Int, W::U32, 60},
    {"TotalUDPConnections", S::Int, W::U32, 64}, {"ActiveConnections", S::Int, W::U32, 68},
    {"FINishedConnections", S::Int, W::U32, 72}, {"CompleteConnections", S::Int, W::U32, 76},
    {"_iSavedWeight", S::Int, W::I16, 80},       {"iBytesPerSecond", S::Int, W::U32, 88},
};

const ReasonCode kRecordReasons[] = {
    {-58, -58}, {-43, -43}, {-36, -20}, {-15, -32}, {-14, -18},
    {-13, -28}, {-11, -19}, {-5, -5},   {-1, -12},
};
const ReasonCode kLookupReasons[] = {{-11, -19}, {-5, -5}, {-1, -12}};
const ReasonCode kListReasons[] = {{-5, -5}, {-1, -12}};

constexpr jint kNumberOutOfRange = -10;  // a port, or a listener count beyond the two records
constexpr jint kListenerUnreachable = -17;
constexpr jint kListenerFault = -78;
constexpr jint kNegativeWeight = -20;
constexpr jint kRouterUnresolved = -49;
constexpr jint kServerIdMissing = -80;
constexpr jint kOtherFailure = -99;
constexpr jint kNoListMemory = -28;

bool portInRange(std::int32_t port) {
  return port >= 0 && port <= 0xFFFF;
}

// The port a server object names: its cluster key and port number into the block at the given
// offsets. 0, or the refusal (nothing is sent then).
jint putServerPort(JNIEnv* env, jobject server, RequestBlock& b, std::uint32_t keyAt,
                   std::uint32_t portAt) {
  std::uint32_t key = 0;
  if (!idKeyOfField(env, server, "ClusterId", &key)) return kIdentifierMissing;
  std::int32_t port = -1;
  getIntFieldByName(env, server, "Port", &port);
  if (!portInRange(port)) return kNumberOutOfRange;
  b.putU32(keyAt, key);
  b.putU16(portAt, static_cast<std::uint16_t>(port), ByteOrder::Network);
  return 0;
}

// Listener record i from the server's "getListener".
jint putListener(JNIEnv* env, jobject server, RequestBlock& b, std::int32_t i) {
  jobject listener = nullptr;
  if (!callObjectIntMethodChecked(env, server, "getListener", kListenerSignature, i, &listener) ||
      listener == nullptr) {
    return kListenerUnreachable;
  }
  const LocalRef<jobject> held(env, listener);
  return putMethodValues(env, listener, server, b, kListeners.at(i), kListenerOut);
}

jint putListeners(JNIEnv* env, jobject server, RequestBlock& b) {
  std::int32_t count = 0;
  getIntFieldByName(env, server, "_iNumListeners", &count);
  b.putU16(kListenerCount, static_cast<std::uint16_t>(count));
  if (putFlag(env, server, b, {"SetListeners", kSetListeners}) != 1) return 0;
  if (count < 0 || static_cast<std::uint32_t>(count) > kListeners.capacity) {
    return kNumberOutOfRange;
  }
  for (std::int32_t i = 0; i < count; ++i) {
    if (const jint refused = putListener(env, server, b, i)) return refused;
  }
  return 0;
}

jint putOptionalSettings(JNIEnv* env, jobject server, RequestBlock& b) {
  if (putFlag(env, server, b, {"SetWeight", kSetWeight}) == 1) {
    std::int32_t weight = 0;
    getIntFieldByName(env, server, "_iWeight", &weight);
    if (weight < 0) return kNegativeWeight;
    b.putU16(kWeight, static_cast<std::uint16_t>(weight));
  }
  if (const jint refused = putFlaggedFields(env, server, b, kEarlySettings)) return refused;
  const bool routerGiven = putFlag(env, server, b, {"SetRouterAddress", kSetRouter}) == 1;
  b.putU8(kRouterGiven, routerGiven ? 1 : 0);
  if (routerGiven) {
    if (putAddressField(env, server, b, "_sRouterAddress", kRouter)) {
      return kRouterUnresolved;
    }
    b.putU8(kRemote, b.address(kRouter) != 0 ? 1 : 0);
  }
  if (const jint refused = putFlaggedFields(env, server, b, kLaterSettings)) return refused;
  return 0;
}

// Builds the rest of a server record request from a server object (the command is already in
// the header), sends it and maps the outcome.
jint submitServerRecord(JNIEnv* env, jobject server) {
  RequestBlock& b = requestBlock();
  b.setLength(kServerRecordLength);
  if (!textFits(env, server, kIdentifierField)) return kTextTooLong;
  if (!putField(env, server, b, kIdentifierField)) return kServerIdMissing;
  putField(env, server, b, kServerKeyField);
  if (const jint refused =
          putServerPort(env, server, b, kServerRecordClusterKey, kServerRecordPort)) {
    return refused;
  }
  if (const jint refused = putListeners(env, server, b)) return refused;
  if (const jint refused = putOptionalSettings(env, server, b)) return refused;
  if (sendExecutorRequest(&b) == 0) return 0;
  return mapReason(kRecordReasons, b.reason(), kOtherFailure);
}

jint addServer(JNIEnv* env, jobject server) {
  jstring idText = nullptr;
  getStringFieldByName(env, server, "sServerID", &idText);
  {
    UtfChars id(env, idText);
    if (!id) return kServerIdMissing;
    if (std::strlen(id.get()) >= kIdentifierWidth) return kTextTooLong;
    setIntFieldByName(env, server, "iServerIdKey", static_cast<std::int32_t>(idKeyOf(id.get())));
  }
  requestBlock().setCommand(kAddServer);
  return submitServerRecord(env, server);
}

// Remove and status: the server's three keys in a server record.
jint sendServerRecordLookup(JNIEnv* env, jobject server, std::uint32_t command) {
  RequestBlock& b = requestBlock();
  b.begin(command, kServerRecordLength);
  if (const jint refused =
          putServerPort(env, server, b, kServerRecordClusterKey, kServerRecordPort)) {
    return refused;
  }
  putField(env, server, b, kServerKeyField);
  if (sendExecutorRequest(&b) == 0) return 0;
  return mapReason(kLookupReasons, b.reason(), kOtherFailure);
}

jint markServer(JNIEnv* env, jobject server, std::uint32_t command) {
  RequestBlock& b = requestBlock();
  b.begin(command, kServerList.lengthFor(1));
  if (const jint refused = putServerPort(env, server, b, kPortClusterKey, kPortNumber)) {
    return refused;
  }
  b.putU32(kServerList.count, 1);
  putField(env, server, b, {"iServerIdKey", S::Int, W::U32, kServerList.at(0)});
  if (sendExecutorRequest(&b) == 0) return 0;
  return mapReason(kLookupReasons, b.reason(), kOtherFailure);
}

// Hands the executor's listener records back to the server and its listeners.
jint listenersBack(JNIEnv* env, jobject server, const RequestBlock& b) {
  std::int32_t held = 0;
  getIntFieldByName(env, server, "_iNumListeners", &held);
  const std::uint32_t records = b.u16(kListenerCount);
  // More records than the block holds, or a count the server disagrees with: nothing written.
  if (records > kListeners.capacity) return kNumberOutOfRange;
  if (held > 1 && records > 1 && static_cast<std::uint32_t>(held) != records) {
    return kNumberOutOfRange;
  }
  if (held == 1 && records > 1 &&
      !callVoidIntMethodChecked(env, server, "addListenersFromNative",
                                static_cast<std::int32_t>(records))) {
    return kListenerFault;
  }
  for (std::uint32_t i = 0; i < records; ++i) {
    jobject listener = nullptr;
    if (!callObjectIntMethodChecked(env, server, "getListener", kListenerSignature,
                                    static_cast<std::int32_t>(i), &listener) ||
        listener == nullptr) {
      return kListenerFault;
    }
    const LocalRef<jobject> held(env, listener);
    const std::uint32_t at = kListeners.at(i);
    if (const jint refused = callBackValues(env, listener, server, b, at, kListenerAddressBack)) {
      return refused;
    }
    getFieldsAt(env, listener, b, at, kListenerFieldsBack);
    if (const jint refused = callBackValues(env, listener, server, b, at, kListenerServerBack)) {
      return refused;
    }
  }
  return 0;
}

jint serverStatus(JNIEnv* env, jobject server) {
  if (const jint result = sendServerRecordLookup(env, server, kGetServer)) return result;
  const RequestBlock& b = requestBlock();
  if (const jint refused = listenersBack(env, server, b)) return refused;
  getFields(env, server, b, kStatusReadBack);
  setByteFieldByName(env, server, "IsRemote", b.u32(kRouter) != 0 ? 1 : 0);
  getFields(env, server, b, kStatusReadBackAfterRemote);
  return 0;
}

// Report and rate: the server's keys in a server report record.
jint putReportKeys(JNIEnv* env, jobject server, RequestBlock& b, std::uint32_t command) {
  b.begin(command, kReportLength);
  if (const jint refused = putServerPort(env, server, b, kPortClusterKey, kPortNumber)) {
    return refused;
  }
  putField(env, server, b, {"iServerIdKey", S::Int, W::U32, kReportServerKey});
  return 0;
}

jint serverReport(JNIEnv* env, jobject server) {
  RequestBlock& b = requestBlock();
  if (const jint refused = putReportKeys(env, server, b, kServerReport)) return refused;
  if (sendExecutorRequest(&b) != 0) return mapReason(kLookupReasons, b.reason(), kOtherFailure);
  getFields(env, server, b, kReportReadBack);
  return 0;
}

jint setServerRate(JNIEnv* env, jobject server) {
  std::int32_t serverKey = 0;
  getIntFieldByName(env, server, "iServerIdKey", &serverKey);
  if (serverKey < 0) return kOtherFailure;
  RequestBlock& b = requestBlock();
  if (const jint refused = putReportKeys(env, server, b, kSetServerRate)) return refused;
  std::int32_t rate = -1;
  getIntFieldByName(env, server, "_iCPSCount", &rate);
  if (rate < 0) return kOtherFailure;
  b.putU32(kReportRate, static_cast<std::uint32_t>(rate));
  return sendExecutorRequest(&b);
}

// Renders the server list answer standing in the block as "+id" lines and stores each listed
// server's key in `keys` (an int[]; never past its end, nothing when null).
void renderServerList(JNIEnv* env, const RequestBlock& b, ListText& list, jintArray keys) {
  const std::uint32_t count = kServerList.fitting(b.i32(kServerListAnswerCount));
  std::vector<jint> listed;
  listed.reserve(count);
  renderList(list, kServerList, count, [&](std::uint32_t entry, char(&line)[kListLineSize]) {
    listed.push_back(static_cast<jint>(b.u32(entry)));
    return serverListLine(b, entry, line);
  });
  if (keys != nullptr && !listed.empty()) {
    const jsize room = env->GetArrayLength(keys);
    const jsize stored = std::min<jsize>(room, static_cast<jsize>(listed.size()));
    env->SetIntArrayRegion(keys, 0, stored, listed.data());
  }
}

jint listServers(JNIEnv* env, jstring clusterId, jint port, jobject stringBuffer, jintArray keys) {
  ListText list;
  if (!list.ok()) return kNoListMemory;
  std::uint32_t key = 0;
  if (!idKeyOfString(env, clusterId, &key)) return kIdentifierMissing;
  if (!portInRange(port)) return kNumberOutOfRange;
  const auto number = static_cast<std::uint16_t>(port);
  jint result = queryPortReport(key, number);
  if (result == 0) {
    RequestBlock& b = requestBlock();
    beginList(b, kListServers, kServerList, b.u32(kPortReportServerCount));
    b.putU32(kPortClusterKey, key);
    b.putU16(kPortNumber, number, ByteOrder::Network);
    if (sendExecutorRequest(&b) != 0) {
      result = mapReason(kListReasons, b.reason(), kOtherFailure);
    } else {
      renderServerList(env, b, list, keys);
    }
  }
  list.appendTo(env, stringBuffer);
  return result;
}

// 0 when a list request of `run` for one entry more than `count` stays under 64000 bytes, else
// -1. Computed in 64 bits, so that no count wraps around into a size that seems to fit.
jint checkListRoom(jint count, const Records& run) {
  constexpr std::int64_t kListLimit = 64000;
  const std::int64_t length = run.first + std::int64_t{run.size} * (std::int64_t{count} + 1);
  return length < kListLimit ? 0 : -1;
}



}  // namespace

CMN_NATIVE(jint, addServerNative)(JNIEnv* env, jobject, jobject server) {
  return enterWithObjects(env, {server}, [&] { return addServer(env, server); });
}

CMN_NATIVE(jint, setServerStatusNative)(JNIEnv* env, jobject, jobject server) {
  return enterWithObjects(env, {server}, [&] {
    requestBlock().setCommand(kSetServer);
    return submitServerRecord(env, server);
  });
}

CMN_NATIVE(jint, removeServerNative)(JNIEnv* env, jobject, jobject server) {
  return enterWithObjects(env, {server},
                          [&] { return sendServerRecordLookup(env, server, kRemoveServer); });
}

CMN_NATIVE(jint, setServerUpNative)(JNIEnv* env, jobject, jobject server) {
  return enterWithObjects(env, {server}, [&] { return markServer(env, server, kServerUp); });
}

CMN_NATIVE(jint, setServerDownNative)(JNIEnv* env, jobject, jobject server) {
  return enterWithObjects(env, {server}, [&] { return markServer(env, server, kServerDown); });
}

CMN_NATIVE(jint, getServerStatusNative)(JNIEnv* env, jobject, jobject server) {
  return enterWithObjects(env, {server}, [&] { return serverStatus(env, server); });
}

CMN_NATIVE(jint, getServerReportNative)(JNIEnv* env, jobject, jobject server) {
  return enterWithObjects(env, {server}, [&] { return serverReport(env, server); });
}

CMN_NATIVE(jint, setServerCPSNative)(JNIEnv* env, jobject, jobject server) {
  return enterWithObjects(env, {server}, [&] { return setServerRate(env, server); });
}

CMN_NATIVE(jint, getServersListNative)
(JNIEnv* env, jobject, jstring clusterId, jint port, jobject stringBuffer, jintArray keys) {
  return enterWithObjects(env, {clusterId, stringBuffer, keys},
                          [&] { return listServers(env, clusterId, port, stringBuffer, keys); });
}

// The executor keeps no host records: the host methods accept any object and do nothing.
CMN_NATIVE(jint, setHostDownNative)(JNIEnv* env, jobject, jobject) {
  return enterNative<jint>(env, 0, [] { return 0; });
}

CMN_NATIVE(jint, setHostUpNative)(JNIEnv* env, jobject, jobject) {
  return enterNative<jint>(env, 0, [] { return 0; });
}

CMN_NATIVE(jint, removeHostNative)(JNIEnv* env, jobject, jobject) {
  return enterNative<jint>(env, 0, [] { return 0; });
}

// Sizes of the cluster, port and server list requests for count + 1 entries.
CMN_NATIVE(jint, checkMaxClustersNative)(JNIEnv* env, jobject, jint count) {
  return enterNative<jint>(env, -1, [&] { return checkListRoom(count, kClusterList); });
}

CMN_NATIVE(jint, checkMaxPortsNative)(JNIEnv* env, jobject, jint count) {
  return enterNative<jint>(env, -1, [&] { return checkListRoom(count, kPortList); });
}

CMN_NATIVE(jint, checkMaxServersNative)(JNIEnv* env, jobject, jint count) {
  return enterNative<jint>(env, -1, [&] { return checkListRoom(count, kServerList); });
}

}  // namespace cmn::config
