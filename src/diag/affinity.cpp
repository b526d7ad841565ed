// Affinity: the server-directed exchange of client-to-server bindings for one cluster port
// (command 59) and the affinity report (command 52).

#include "channel/channel.h"
#include "diag/report_text.h"
#include "jni/address.h"
#include "jni/entry.h"
#include "jni/fields.h"
#include "jni/idkey.h"
#include "jni/record_fields.h"
#include "jni/strings.h"

namespace cmn::diag {
using namespace jni;

namespace {

constexpr std::uint32_t kAffinityReport = 52;
constexpr std::uint32_t kDirectedAffinity = 59;

// The request and answer of both commands.
namespace at {
constexpr std::uint32_t kSubCommand = 16;
constexpr std::uint32_t kResponse = 20;
constexpr std::uint32_t kTime = 24;
constexpr std::uint32_t kCluster = 32;
constexpr std::uint32_t kStickyMask = 36;
constexpr std::uint32_t kPort = 40;
constexpr std::uint32_t kServerDirected = 42;
constexpr std::uint32_t kCount = 44;
}  // namespace at

// Affinity records from 48, 32 bytes each: 1999 fill the block.
constexpr Records kRecords{at::kCount, 48, 32};
namespace rec {
constexpr std::uint32_t kClient = 0;
constexpr std::uint32_t kServer = 4;
constexpr std::uint32_t kServerKey = 8;
constexpr std::uint32_t kActive = 16;
constexpr std::uint32_t kLastUse = 24;
}  // namespace rec

// Counts the library refuses: above 3000 (negative ones included) by the method's own rule,
// and anything above what the block holds, since no record is ever written past it.
constexpr std::int32_t kCountRefused = -101;
// The bindings can't be had: no memory for them, or an address array null or shorter than the
// count.
constexpr std::int32_t kBindingsMissing = -102;

constexpr ColumnSpec kBindings[] = {
    {"aiClientAddr", rec::kClient, Wire::U32},
    {"aiServerAddr", rec::kServer, Wire::U32},
};
constexpr ColumnSpec kReturned[] = {
    {"aiClientAddr", rec::kClient, Wire::U32},
    {"aiServerAddr", rec::kServer, Wire::U32},
    {"aiNumActive", rec::kActive, Wire::U32},
    {"aiAgeOrResponse", rec::kLastUse, Wire::U32},
};

constexpr ReportLine kReportHead[] = {
    {"AFFINITY COMMANDS SHOULD BE USED FOR DEBUGGING\n"
     "PURPOSES ONLY.  THESE ARE UNSUPPORTED COMMANDS.\n"
     "THESE COMMANDS HAVE NOT BEEN EXTENSIVELY TESTED.\n\n",
     Show::Heading},
    {"Sticky client address mask = 0x%X\n", Show::Hex, at::kStickyMask},
    {"Number of affinity records = %d\n", Show::Int, at::kCount},
};
constexpr ReportLine kReportLine[] = {
    {"%d.%d.%d.%d - ", Show::NetworkOctets, rec::kClient},
    {"%d.%d.%d.%d - ", Show::NetworkOctets, rec::kServer},
    {"%d - ", Show::Int, rec::kActive},
    {"%d \n", Show::Age, rec::kLastUse, at::kTime},
};

jint refuse(JNIEnv* env, jobject affinity, jint code) {
  setIntFieldByName(env, affinity, "iResponse", code);
  return code;
}

// Reads the n bindings the caller supplies into records 0 to n - 1, each with the ID key of its
// server's dotted address. False when they can't be had.
bool putBindings(JNIEnv* env, jobject affinity, RequestBlock& b, std::uint32_t n) {
  if (!columnsHold(env, affinity, kBindings, static_cast<std::int32_t>(n), false) ||
      !putColumns(env, affinity, b, kRecords, n, kBindings)) {
    return false;
  }
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t record = kRecords.at(i);
    char dotted[kDottedTextSize];
    formatDottedAddress(b.u32(record + rec::kServer), dotted);
    b.putU32(record + rec::kServerKey, idKeyOf(dotted));
  }
  return true;
}

jint serverDirectedAffinity(JNIEnv* env, jobject affinity) {
  std::int32_t subCommand = 0, cluster = 0, port = 0, supplied = 0;
  getIntFieldByName(env, affinity, "iCommand", &subCommand);
  getIntFieldByName(env, affinity, "iClusterAddr", &cluster);
  getIntFieldByName(env, affinity, "iPort", &port);
  getIntFieldByName(env, affinity, "iNumAffinities", &supplied);
  const auto n = static_cast<std::uint32_t>(supplied);
  if (n > kRecords.capacity) return refuse(env, affinity, kCountRefused);

  RequestBlock& b = requestBlock();
  b.begin(kDirectedAffinity, kBlockSize);
  b.putI32(at::kSubCommand, subCommand);
  b.putU32(at::kCluster, static_cast<std::uint32_t>(cluster));  // as Java keeps it
  b.putU16(at::kPort, static_cast<std::uint16_t>(port), ByteOrder::Network);
  b.putU32(at::kCount, n);
  if (n != 0 && !putBindings(env, affinity, b, n)) return refuse(env, affinity, kBindingsMissing);

  // Whatever made the send fail, the caller gets the reason field as it stands: the executor's,
  // or, when the executor never answered, what the previous request left there.
  if (sendExecutorRequest(&b) != 0) return refuse(env, affinity, b.reason());
  setIntFieldByName(env, affinity, "iResponse", b.i32(at::kResponse));
  setIntFieldByName(env, affinity, "iTime", static_cast<std::int32_t>(b.u64(at::kTime)));
  // Java learns how many bindings it can index: those the block holds.
  const std::uint32_t m = kRecords.held(b);
  setIntFieldByName(env, affinity, "iNumAffinities", static_cast<std::int32_t>(m));
  getColumns(env, affinity, b, kRecords, m, kReturned);
  return 0;
}

jstring affinityReport(JNIEnv* env, jint cluster, jint port, jint listFlag) {
  RequestBlock& b = requestBlock();
  b.begin(kAffinityReport, kBlockSize);
  b.putU32(at::kCluster, static_cast<std::uint32_t>(cluster), ByteOrder::Network);
  b.putU16(at::kPort, static_cast<std::uint16_t>(port), ByteOrder::Network);
  b.putI32(at::kCount, listFlag);
  if (sendExecutorRequest(&b) != 0) return newJavaString(env, diag::kKernelError);

  ReportText report;
  if (!report.ok()) return nullptr;
  report.record(b, 0, 0, kReportHead);
  if (listFlag != 0) {
    const std::uint32_t m = kRecords.held(b);
    if (m > 0) {
      report.text(b.u16(at::kServerDirected) != 0
                      ? "ServerAddr - Age - Len - ID \n"
                      : "ClientAddr - ServerAddr - NumActive - Age(sec)\n");
    }
    for (std::uint32_t i = 0; i < m; ++i) {
      report.record(b, kRecords.at(i), static_cast<std::int32_t>(i), kReportLine);
    }
  }
  return report.toJava(env);
}

}  // namespace

CMN_NATIVE(jint, serverDirectedAffinityNative)(JNIEnv* env, jobject, jobject affinity) {
  return enterWithObjects(env, {affinity}, [&] { return serverDirectedAffinity(env, affinity); });
}

CMN_NATIVE(jstring, getAffinityInfoNative)
(JNIEnv* env, jobject, jint clusterAddress, jint port, jint listFlag) {
  return enterNative<jstring>(env, nullptr,
                              [&] { return affinityReport(env, clusterAddress, port, listFlag); });
}

}  // namespace cmn::diag
