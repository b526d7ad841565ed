// Connection and attack reports: the connection report (command 39), half-open records
// (command 67) and attacking addresses (command 68) handed to Java listeners, and the
// denial-of-service parameters (command 69).


#include "channel/channel.h"
#include "diag/report_text.h"
#include "jni/entry.h"
#include "jni/fields.h"
#include "jni/strings.h"

namespace cmn::diag {
using namespace jni;

namespace {

constexpr std::uint32_t kConnectionQuery = 39;
constexpr std::uint32_t kHalfOpen = 67;
constexpr std::uint32_t kAttackers = 68;
constexpr std::uint32_t kDenialOfService = 69;
constexpr std::uint32_t kDenialOfServiceLength = 280;

// Connection query: three address/port pairs and the list flag; the answer's count, "nps"
// count and clock, then records of 40 bytes from 32 (1599 fit).
namespace conn {
constexpr Records kPairs{0, 16, 8, 3};  // the address, then its port and the port's upper half
constexpr std::uint32_t kPairPort = 4;
constexpr std::uint32_t kPairPortUpper = 6;
constexpr std::uint32_t kListFlag = 40;
constexpr std::uint32_t kNps = 20;
constexpr std::uint32_t kTime = 24;
constexpr Records kRecords{16, 32, 40};
constexpr std::uint32_t kCluster = 0;
constexpr std::uint32_t kClient = 4;
constexpr std::uint32_t kClusterPort = 8;
constexpr std::uint32_t kClientPort = 10;
constexpr std::uint32_t kLastActivity = 16;
constexpr std::uint32_t kState = 24;
constexpr std::uint32_t kPreviousTcp = 25;
constexpr std::uint32_t kCurrentTcp = 26;
constexpr std::uint32_t kServer = 28;
constexpr std::uint32_t kFlag = 32;
}  // namespace conn

// Half-open records: 12 bytes from 20 (5333 fit): an address, its port and a flag.
constexpr Records kHalfOpenRecords{16, 20, 12};
constexpr std::uint32_t kHalfOpenPort = 4;
constexpr std::uint32_t kHalfOpenFlag = 8;
// Attacking addresses, asked for by a cluster address at 16 and its port at 20: 8 bytes from 44
// (7996 fit), each an address and its figure; the executor's overall figure at 32.
constexpr std::uint32_t kAttackedAddress = 16;
constexpr std::uint32_t kAttackedPort = 20;
constexpr Records kAttackRecords{24, 44, 8};
constexpr std::uint32_t kAttackerFigure = 4;
constexpr std::uint32_t kAttackFigure = 32;
// Denial-of-service parameters: eight 32-bit values from 16.
constexpr Records kDenialOfServiceValues{0, 16, 4, 8};

// The report's head, then one line per record (rendered piece by piece): the index, client
// and cluster address and port, server address, the state byte as two upper-case hexadecimal
// digits, the previous and current TCP states, the age and the flag.
constexpr ReportLine kConnectionHead[] = {
    {"CONNECTION COMMANDS SHOULD BE USED FOR DEBUGGING\n"
     "PURPOSES ONLY.  THESE ARE UNSUPPORTED COMMANDS.\n"
     "THESE COMMANDS HAVE NOT BEEN EXTENSIVELY TESTED.\n\n",
     Show::Heading},
    {"Number of connection records = %d\n", Show::Int, conn::kRecords.count},
    {"Num nps = %d\n", Show::Int, conn::kNps},
};
constexpr ReportLine kConnectionLine[] = {
    {"%d \t", Show::Index},
    {"%d.%d.%d.%d:%d \t", Show::NetworkAddrPort, conn::kClient, conn::kClientPort},
    {"%d.%d.%d.%d:%d \t", Show::NetworkAddrPort, conn::kCluster, conn::kClusterPort},
    {"%d.%d.%d.%d \t", Show::NetworkOctets, conn::kServer},
    {"0x%02X \t", Show::Byte, conn::kState},
    {"%s \t", Show::TcpState, conn::kPreviousTcp},
    {"%s \t", Show::TcpState, conn::kCurrentTcp},
    {"%d \t", Show::Age, conn::kLastActivity, conn::kTime},
    {"%c\n", Show::Char, conn::kFlag},
};

jstring connectionReport(JNIEnv* env, const jint (&addresses)[3], const jint (&ports)[3],
                         jint listFlag) {
  RequestBlock& b = requestBlock();
  b.begin(kConnectionQuery, kBlockSize);
  for (std::uint32_t p = 0; p < conn::kPairs.capacity; ++p) {
    const std::uint32_t at = conn::kPairs.at(p);
    b.putU32(at, static_cast<std::uint32_t>(addresses[p]), ByteOrder::Network);
    const auto port = static_cast<std::uint16_t>(ports[p]);
    b.putU16(at + conn::kPairPort, port, ByteOrder::Network);
    // The third port travels sign-extended: the upper half is set when the port, as a 16-bit
    // number, is 0x8000 or more. The first two always have the upper half clear.
    b.putU16(at + conn::kPairPortUpper, p == 2 && (port & 0x8000) != 0 ? 0xFFFF : 0);
  }
  b.putI32(conn::kListFlag, listFlag);
  if (sendExecutorRequest(&b) != 0) return newJavaString(env, diag::kKernelError);

  ReportText report;
  if (!report.ok()) return nullptr;
  report.record(b, 0, 0, kConnectionHead);
  if (listFlag == 0) return report.toJava(env);

  const std::uint32_t count = conn::kRecords.held(b);
  if (count > 0) {
    report.text(
        "#\tClientAddr:Port \tClusAddr:Port \tServerAddr \tState \tPrevState \tCurrState "
        "\tage(sec)\n");
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    report.record(b, conn::kRecords.at(i), static_cast<std::int32_t>(i), kConnectionLine);
  }
  return report.toJava(env);
}

// Both listener methods are looked up before either is called: a listener missing one gets no
// call at all (the lookup's error stays pending for Java) rather than half a report.
jint halfOpenRecords(JNIEnv* env, jobject listener) {
  RequestBlock& b = requestBlock();
  b.begin(kHalfOpen, kBlockSize);
  const int sent = sendExecutorRequest(&b);
  if (sent != 0) return sent;

  jmethodID setCount = methodIdOf(env, listener, "setNumHalfOpenRecs", "(I)V");
  jmethodID addRecord = methodIdOf(env, listener, "addHalfOpenRec", "(IIIZ)V");
  if (setCount == nullptr || addRecord == nullptr) return 0;
  const std::int32_t count = b.i32(kHalfOpenRecords.count);
  if (!checkedCall(env, [&] { env->CallVoidMethod(listener, setCount, count); })) return 0;
  const std::uint32_t records = kHalfOpenRecords.fitting(count);
  for (std::uint32_t i = 0; i < records; ++i) {
    const std::uint32_t r = kHalfOpenRecords.at(i);
    const auto address = static_cast<jint>(b.u32(r, ByteOrder::Network));
    const jint port = b.u16(r + kHalfOpenPort, ByteOrder::Network);
    const jboolean flag = b.u8(r + kHalfOpenFlag) != 0 ? JNI_TRUE : JNI_FALSE;
    // A listener that throws stops the calls; the exception is Java's to see.
    if (!checkedCall(env, [&] {
          env->CallVoidMethod(listener, addRecord, static_cast<jint>(i), address, port, flag);
        })) {
      break;
    }
  }
  return 0;
}

jint attackingAddresses(JNIEnv* env, jobject listener, jint address, jint port) {
  RequestBlock& b = requestBlock();
  b.putU32(kAttackedAddress, static_cast<std::uint32_t>(address), ByteOrder::Network);
  b.putU16(kAttackedPort, static_cast<std::uint16_t>(port), ByteOrder::Network);
  b.begin(kAttackers, kBlockSize);
  const int sent = sendExecutorRequest(&b);
  if (sent != 0) return sent;

  jmethodID results = methodIdOf(env, listener, "reportAttackingAddrsResults", "(II)V");
  jmethodID addAddress = methodIdOf(env, listener, "reportAttackingAddr", "(II)V");
  if (results == nullptr || addAddress == nullptr) return 0;
  const std::int32_t count = b.i32(kAttackRecords.count);
  const std::int32_t figure = b.i32(kAttackFigure);
  if (!checkedCall(env, [&] { env->CallVoidMethod(listener, results, count, figure); })) {
    return 0;
  }
  const std::uint32_t records = kAttackRecords.fitting(count);
  for (std::uint32_t i = 0; i < records; ++i) {
    const std::uint32_t r = kAttackRecords.at(i);
    const auto attacker = static_cast<jint>(b.u32(r, ByteOrder::Network));
    const jint itsFigure = b.i32(r + kAttackerFigure);
    if (!checkedCall(env,
                     [&] { env->CallVoidMethod(listener, addAddress, attacker, itsFigure); })) {
      break;
    }
  }
  return 0;
}

}  // namespace

CMN_NATIVE(jstring, getConnectionInfoNative)
(JNIEnv* env, jobject, jint address1, jint port1, jint address2, jint port2, jint address3,
 jint port3, jint listFlag) {
  return enterNative<jstring>(env, nullptr, [&] {
    return connectionReport(env, {address1, address2, address3}, {port1, port2, port3}, listFlag);
  });
}

CMN_NATIVE(jint, getHalfOpenInfoNative)(JNIEnv* env, jobject, jobject listener) {
  return enterWithObjects(env, {listener}, [&] { return halfOpenRecords(env, listener); });
}

CMN_NATIVE(jint, getAttackingAddrsNative)
(JNIEnv* env, jobject, jobject listener, jint address, jint port) {
  return enterWithObjects(env, {listener},
                          [&] { return attackingAddresses(env, listener, address, port); });
}

CMN_NATIVE(jint, xDOSAttackNative)
(JNIEnv* env, jobject, jint v1, jint v2, jint v3, jint v4, jint v5, jint v6, jint v7, jint v8) {
  return enterNative<jint>(env, -1, [&]() -> jint {
    RequestBlock& b = requestBlock();
    b.begin(kDenialOfService, kDenialOfServiceLength);
    const jint values[] = {v1, v2, v3, v4, v5, v6, v7, v8};
    for (std::uint32_t i = 0; i < kDenialOfServiceValues.capacity; ++i) {
      // The low 16 bits, zero-extended.
      b.putU32(kDenialOfServiceValues.at(i), static_cast<std::uint16_t>(values[i]));
    }
    return sendExecutorRequest(&b);
  });
}

}  // namespace cmn::diag
