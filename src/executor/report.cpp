// The executor report: version, start time, packet counters, cluster count and rates.

#include "executor/report.h"

#include "channel/channel.h"
#include "jni/entry.h"
#include "jni/record_fields.h"

namespace cmn::executor {
using namespace jni;

namespace {

using S = JavaType;
using W = Wire;

// The report as written into Java, in this order. The start time is a 64-bit count of seconds
// that Java keeps in an int: it arrives as its low 32 bits, which hold any time before 2038.
const FieldSpec kReport[] = {
    {"NFA", S::Address, W::Addr, 16},
    {"Version", S::Text, W::Text, 20, 100},
    {"iTimeStarted", S::Int, W::I64, 120},
    {"Pcktotal", S::Long, W::U64, 128},
    {"Pcktoshort", S::Long, W::U64, 136},
    {"Pcknonforw", S::Long, W::U64, 144},
    {"PckVECdiscard", S::Long, W::U64, 152},
    {"PckVECerror", S::Long, W::U64, 160},
    {"PckVEClocal", S::Long, W::U64, 168},
    {"PckVECownaddr", S::Long, W::U64, 176},
    {"PckVECforward", S::Long, W::U64, 184},
    {"Pckforwarderr", S::Long, W::U64, 192},
    {"PcknotVEC", S::Long, W::U64, 200},
    {"PckVECbroadcast", S::Long, W::U64, 208},
    {"InconnHashBkts", S::Int, W::U32, 216},
    {"NumClusters", S::Int, W::U32, kReportClusterCount},
    {"iBytesPerSecond", S::Int, W::U32, 228},
    {"iConnectionsPerSecond", S::Int, W::U32, kReportRate},
};

}  // namespace

int queryExecutorReport() {
  RequestBlock& b = requestBlock();
  b.begin(kReportCommand, kReportLength);
  return sendExecutorRequest(&b);
}

CMN_NATIVE(jint, getExecutorReportNative)(JNIEnv* env, jobject, jobject report) {
  return enterWithObjects(env, {report}, [&]() -> jint {
    const int sent = cmn::executor::queryExecutorReport();
    if (sent != 0) return sent;
    getFields(env, report, cmn::requestBlock(), cmn::executor::kReport);
    return 0;
  });
}

}  // namespace cmn::executor
