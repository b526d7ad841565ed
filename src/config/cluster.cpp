// Cluster records: add, change, remove, read, report, rate and list.

#include "config/cluster.h"

#include <cstring>
#include <string>

#include "channel/channel.h"
#include "config/list_text.h"
#include "executor/report.h"
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

constexpr std::uint32_t kAddCluster = 4;
constexpr std::uint32_t kRemoveCluster = 5;
constexpr std::uint32_t kListClusters = 6;
constexpr std::uint32_t kGetCluster = 7;
constexpr std::uint32_t kSetCluster = 8;
constexpr std::uint32_t kClusterReport = 9;
constexpr std::uint32_t kSetClusterRate = 72;

// Cluster record (commands 4, 5, 7, 8).
constexpr std::uint32_t kRecordLength = 192;
constexpr std::uint32_t kAddress = 16;
constexpr std::uint32_t kKey = 100;
constexpr std::uint32_t kIdentifier = 104;
constexpr std::uint32_t kIdentifierWidth = 65;
constexpr std::uint32_t kNatPt = 172;
constexpr std::uint32_t kNatPtWidth = 4;
constexpr std::size_t kMaxIdentifier = kIdentifierWidth - 1;

// Cluster report record (commands 9, 72).
constexpr std::uint32_t kReportLength = 72;
constexpr std::uint32_t kReportKey = 16;
constexpr std::uint32_t kReportRate = 68;


const FlaggedSpec kOptionalSettings[] = {
    {{"SetMaxNumberOfPorts", 84}, {{"MaxNumberOfPorts", S::Int, W::U32, 20}}},
    {{"SetPrimaryHost", 93}, {{"sPrimaryHost", S::Address, W::Addr, 80}}},
    {{"SetDefaultPortMaxServers", 85}, {{"DefaultPortMaxServers", S::Int, W::U32, 24}}},
    {{"SetDefaultPortStickyTime", 86}, {{"DefaultPortStickyTime", S::Int, W::I64, 32}}},
    {{"SetDefaultPortAffinityType", 87}, {{"DefaultPortAffinityType", S::Int, W::U16, 40}}},
    {{"SetDefaultPortWeightBound", 88}, {{"DefaultPortWeightBound", S::Int, W::I16, 42}}},
    {{"SetDefaultPortStaleTimeout", 91}, {{"DefaultPortStaleTimeout", S::Int, W::I64, 48}}},
    {{"SetClusterProportions",
     94},
     {{"iActiveConnsProp", S::Int, W::U32, 64},
      {"iNewConnsProp", S::Int, W::U32, 68},
      {"iPortSpecificProp", S::Int, W::U32, 72},
      {"iSystemProp", S::Int, W::U32, 76}},
     4},
    {{"SetSharedBandwidth", 92}, {{"iSharedBytesPerSecond", S::Int, W::U32, 56}}},
    {{"SetDefaultPortType", 89}, {{"DefaultPortType", S::Char, W::U8, 44}}},
    {{"SetDefaultPortReplicate", 90}, {{"DefaultPortReplicate", S::Char, W::U8, 45}}},
};

constexpr jint kAddressUnresolved = -3;

// The address settings, sent after the identifier.
const FlaggedSpec kAddressSettings[] = {
    {{"SetIPAddress", 95}, {{"Address", S::Resolved, W::Addr, kAddress}}, 1, kAddressUnresolved},
    {{"SetNatPtAddress", 169}, {{"natPtAddress", S::ByteArray, W::Bytes, kNatPt, kNatPtWidth}}},
};

// Written back in this order, which is not the order they are sent in.
FlagsBack kFlagsWrittenBack[] = {
    &kOptionalSettings[0].flag, &kOptionalSettings[1].flag, &kOptionalSettings[2].flag,
    &kOptionalSettings[3].flag, &kOptionalSettings[4].flag, &kOptionalSettings[5].flag,
    &kOptionalSettings[9].flag, &kOptionalSettings[10].flag, &kOptionalSettings[6].flag,
    &kOptionalSettings[7].flag, &kOptionalSettings[8].flag, &kAddressSettings[0].flag, &kAddressSettings[1].flag,
};

const FieldSpec kStatusReadBack[] = {
    {"NumPorts", S::Int, W::U32, 96},
    {"MaxNumberOfPorts", S::Int, W::U32, 20},
    {"DefaultPortMaxServers", S::Int, W::U32, 24},
    {"DefaultPortStickyTime", S::Int, W::I64, 32},
    {"DefaultPortAffinityType", S::Int, W::U16, 40},
    {"DefaultPortWeightBound", S::Int, W::I16, 42},
    {"DefaultPortStaleTimeout", S::Int, W::I64, 48},
    {"iNewConnsProp", S::Int, W::U32, 68},
    {"iActiveConnsProp", S::Int, W::U32, 64},
    {"iPortSpecificProp", S::Int, W::U32, 72},
    {"iSystemProp", S::Int, W::U32, 76},
    {"iSharedBytesPerSecond", S::Int, W::U32, 56},
    {"DefaultPortType", S::Char, W::U8, 44},
    {"DefaultPortReplicate", S::Char, W::U8, 45},
    {"sPrimaryHost", S::Address, W::Addr, 80},
    {"iClusterIdKey", S::Int, W::U32, 100},
    {"sClusterId", S::Text, W::Text, kIdentifier, kIdentifierWidth},
    {"Address", S::Address, W::Addr, 16},
    {"natPtAddress", S::ByteArray, W::Bytes, kNatPt, kNatPtWidth},
};

const FieldSpec kReportReadBack[] = {
    {"NumPorts", S::Int, W::U32, 24},
    {"SYNonActive", S::Int, W::U32, 28},
    {"SYNonFINNed", S::Int, W::U32, 32},
    {"FINs_Dropped", S::Int, W::U32, 36},
    {"ACKs_Dropped", S::Int, W::U32, 40},
    {"RSTs_Dropped", S::Int, W::U32, 44},
    {"PKTs_Dropped", S::Int, W::U32, 48},
    {"PKTnonExisting", S::Int, W::U32, 52},
    {"QuiescNew", S::Int, W::U32, 56},
    {"iBytesPerSecond", S::Int, W::U32, 64},
    {"iConnectionsPerSecond", S::Int, W::U32, 68},
    {"iClusterIdKey", S::Int, W::U32, 16},
    {"Address", S::Address, W::Addr, 20},
};

const ReasonCode kRecordReasons[] = {
    {-33, -3}, {-9, -29}, {-8, -4}, {-7, -28}, {-5, -5},
};
const ReasonCode kLookupReasons[] = {{-5, -5}};

constexpr jint kOtherFailure = -99;
constexpr jint kNoListMemory = -28;

// The identifier text, checked the way every record request needs it.
jint checkIdentifier(const UtfChars& id) {
  if (!id) return kIdentifierMissing;
  if (std::strlen(id.get()) > kMaxIdentifier) return kIdentifierTooLong;
  return 0;
}

// Builds the rest of a cluster record request (the command is already in the header), sends
// it and maps the outcome. The flags come back into Java whether or not the executor took it.
jint submitClusterRecord(JNIEnv* env, jobject cluster) {
  RequestBlock& b = requestBlock();
  b.setLength(kRecordLength);

  // An address that does not resolve, or none, leaves 16 as it is, unless it is to be set (below).
  putAddressField(env, cluster, b, "Address", kAddress);

  if (const jint refused = putFlaggedFields(env, cluster, b, kOptionalSettings)) return refused;

  // The identifier as Java holds it (the key was computed on an upper-cased copy).
  jstring idText = nullptr;
  getStringFieldByName(env, cluster, "sClusterId", &idText);
  {
    UtfChars id(env, idText);
    if (const jint refused = checkIdentifier(id)) return refused;
    b.putText(kIdentifier, kIdentifierWidth, id.get());
  }
  putField(env, cluster, b, {"iClusterIdKey", S::Int, W::U32, kKey});

  if (const jint refused = putFlaggedFields(env, cluster, b, kAddressSettings)) return refused;

  const int sent = sendExecutorRequest(&b);
  const jint result = sent == 0 ? 0 : mapReason(kRecordReasons, b.reason(), kOtherFailure);
  copyFlagsBack(env, cluster, b, kFlagsWrittenBack);
  return result;
}

jint addCluster(JNIEnv* env, jobject cluster) {
  jstring idText = nullptr;
  getStringFieldByName(env, cluster, "sClusterId", &idText);
  {
    UtfChars id(env, idText);
    if (const jint refused = checkIdentifier(id)) return refused;
    setIntFieldByName(env, cluster, "iClusterIdKey", static_cast<std::int32_t>(idKeyOf(id.get())));
  }
  requestBlock().setCommand(kAddCluster);
  return submitClusterRecord(env, cluster);
}

// Remove and status: the key of "sClusterId" at 100 of a cluster record.
jint sendKeyedRecord(JNIEnv* env, jobject cluster, std::uint32_t command) {
  std::uint32_t key = 0;
  if (!idKeyOfField(env, cluster, "sClusterId", &key)) return kIdentifierMissing;
  RequestBlock& b = requestBlock();
  b.begin(command, kRecordLength);
  b.putU32(kKey, key);
  if (sendExecutorRequest(&b) == 0) return 0;
  return mapReason(kLookupReasons, b.reason(), kOtherFailure);
}

jint clusterReport(JNIEnv* env, jobject cluster) {
  std::uint32_t key = 0;
  if (!idKeyOfField(env, cluster, "sClusterId", &key)) return kIdentifierMissing;
  if (queryClusterReport(key) != 0) {
    return mapReason(kLookupReasons, requestBlock().reason(), kOtherFailure);
  }
  getFields(env, cluster, requestBlock(), kReportReadBack);
  return 0;
}

jint listClusters(JNIEnv* env, jobject stringBuffer) {
  ListText list;
  if (!list.ok()) return kNoListMemory;
  jint result = executor::queryExecutorReport();
  if (result == 0) {
    RequestBlock& b = requestBlock();
    beginList(b, kListClusters, kClusterList, b.u32(executor::kReportClusterCount));
    if (sendExecutorRequest(&b) != 0) {
      result = kOtherFailure;
    } else {
      renderList(list, kClusterList, kClusterList.held(b), [&](std::uint32_t entry, char(&line)[kListLineSize]) {
        // An identifier runs at most to the end of its entry.
        return namedEntryLine(b, entry, kClusterList.size, line);
      });
    }
  }
  list.appendTo(env, stringBuffer);
  return result;
}

}  // namespace

int queryClusterReport(std::uint32_t clusterKey) {
  RequestBlock& b = requestBlock();
  b.begin(kClusterReport, kReportLength);
  b.putU32(kReportKey, clusterKey);
  return sendExecutorRequest(&b);
}

CMN_NATIVE(jint, addClusterNative)(JNIEnv* env, jobject, jobject cluster) {
  return enterWithObjects(env, {cluster}, [&] { return addCluster(env, cluster); });
}

CMN_NATIVE(jint, setClusterStatusNative)(JNIEnv* env, jobject, jobject cluster) {
  return enterWithObjects(env, {cluster}, [&] {
    requestBlock().setCommand(kSetCluster);
    return submitClusterRecord(env, cluster);
  });
}

CMN_NATIVE(jint, removeClusterNative)(JNIEnv* env, jobject, jobject cluster) {
  return enterWithObjects(env, {cluster},
                          [&] { return sendKeyedRecord(env, cluster, kRemoveCluster); });
}

CMN_NATIVE(jint, getClusterStatusNative)(JNIEnv* env, jobject, jobject cluster) {
  return enterWithObjects(env, {cluster}, [&]() -> jint {
    const jint result = sendKeyedRecord(env, cluster, kGetCluster);
    if (result == 0) getFields(env, cluster, requestBlock(), kStatusReadBack);
    return result;
  });
}

CMN_NATIVE(jint, getClusterReportNative)(JNIEnv* env, jobject, jobject cluster) {
  return enterWithObjects(env, {cluster}, [&] { return clusterReport(env, cluster); });
}

CMN_NATIVE(jint, setClusterCPSNative)(JNIEnv* env, jobject, jobject cluster) {
  return enterWithObjects(env, {cluster}, [&]() -> jint {
    RequestBlock& b = requestBlock();
    b.begin(kSetClusterRate, kReportLength);
    putField(env, cluster, b, {"iClusterIdKey", S::Int, W::U32, kReportKey});
    putField(env, cluster, b, {"iConnectionsPerSecond", S::Int, W::U32, kReportRate});
    return sendExecutorRequest(&b);
  });
}

CMN_NATIVE(jint, getClustersListNative)(JNIEnv* env, jobject, jobject stringBuffer) {
  return enterWithObjects(env, {stringBuffer}, [&] { return listClusters(env, stringBuffer); });
}

}  // namespace cmn::config
