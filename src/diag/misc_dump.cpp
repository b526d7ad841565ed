// The miscellaneous executor dump: command 53 with a sub-command and three arguments, the
// counter dump, and by sub-command the NIC (55), interface table, return address (84),
// connection-record list (85) and affinity-record list (86) dumps; sub-command 43 asks for the
// cluster tree (65) instead.

#include <cstring>

#include "channel/channel.h"
#include "config/address.h"
#include "channel/interface_table.h"
#include "diag/report_text.h"
#include "jni/entry.h"
#include "jni/strings.h"

namespace cmn::diag {
using namespace jni;

namespace {

constexpr std::uint32_t kMisc = 53;
constexpr std::uint32_t kMiscLength = 280;
constexpr std::uint32_t kMiscSubCommand = 16;
constexpr Records kMiscArguments{0, 20, 4, 3};
constexpr std::uint32_t kClusterTree = 65;

constexpr std::int32_t kTreeSubCommand = 43;
constexpr std::int32_t kFirstQuietSubCommand = 30;  // from here on only "OK\n", but for 99
constexpr std::int32_t kDumpingSubCommand = 99;

constexpr const char* kMiscBanner =
    "XMISC COMMAND SHOULD BE USED FOR DEBUGGING\n"
    "PURPOSES ONLY.  THESE ARE UNSUPPORTED COMMANDS.\n"
    "THESE COMMANDS HAVE NOT BEEN EXTENSIVELY TESTED.\n\n";

// ---- The counter table ---------------------------------------------------------------------

constexpr ReportLine kCounters[] = {
    {"Primary FSM:\n", Show::Heading},
    {"  CntRcv ............ %d (0x%8.8X)\n", Show::IntHex, 16},
    {"  CntSnd ............ %d (0x%8.8X)\n", Show::IntHex, 20},
    {"  CntSndMisc ........ %d (0x%8.8X)\n", Show::IntHex, 24},
    {"  CntSndDbSyncRsp ... %d (0x%8.8X)\n", Show::IntHex, 28},
    {"  CntSndDbReach ..... %d (0x%8.8X)\n", Show::IntHex, 32},
    {"  CntSndDbUpd ....... %d (0x%8.8X)\n", Show::IntHex, 36},
    {"  CntGratArp ........ %d (0x%8.8X)\n", Show::IntHex, 40},
    {"  CntNoCRKeepAlive .. %d (0x%8.8X)\n", Show::IntHex, 44},
    {"  CntNoCRBreak ...... %d (0x%8.8X)\n", Show::IntHex, 48},
    {"  CntNoServerInCR ... %d (0x%8.8X)\n", Show::IntHex, 52},
    {"  CntStateChanges ... %d (0x%8.8X)\n", Show::IntHex, 56},
    {"  CntSubStateChanges. %d (0x%8.8X)\n", Show::IntHex, 60},
    {"  Timer2 ............ %d (0x%8.8X)\n", Show::IntHex, 64},
    {"Backup FSM:\n", Show::Heading},
    {"  CntRcv ............ %d (0x%8.8X)\n", Show::IntHex, 80},
    {"  CntSnd ............ %d (0x%8.8X)\n", Show::IntHex, 84},
    {"  CntSndMisc ........ %d (0x%8.8X)\n", Show::IntHex, 88},
    {"  CntSndDbSyncRsp ... %d (0x%8.8X)\n", Show::IntHex, 92},
    {"  CntSndDbReach ..... %d (0x%8.8X)\n", Show::IntHex, 96},
    {"  CntSndDbUpd ....... %d (0x%8.8X)\n", Show::IntHex, 100},
    {"  CntGratArp ........ %d (0x%8.8X)\n", Show::IntHex, 104},
    {"  CntNoCRKeepAlive .. %d (0x%8.8X)\n", Show::IntHex, 108},
    {"  CntNoCRBreak ...... %d (0x%8.8X)\n", Show::IntHex, 112},
    {"  CntNoServerInCR ... %d (0x%8.8X)\n", Show::IntHex, 116},
    {"  CntStateChanges ... %d (0x%8.8X)\n", Show::IntHex, 120},
    {"  CntSubStateChanges. %d (0x%8.8X)\n", Show::IntHex, 124},
    {"  Timer2 ............ %d (0x%8.8X)\n", Show::IntHex, 128},
    {"Misc debug:\n", Show::Heading},
    {"  CntSndEncap ....... %d          \n", Show::Int, 144},
    {"  CntRcvExcap ....... %d          \n", Show::Int, 148},
    {"  CntNtStarTrue ..... %d          \n", Show::Int, 152},
    {"  CntNtStarFalse .... %d          \n", Show::Int, 156},
    {"  CntSloTimDec ...... %d          \n", Show::Int, 160},
    {"  CntSloTimInc ...... %d          \n", Show::Int, 164},
    {"  CntCPASrvMismatch . %d          \n", Show::Int, 168},
    {"  TimeLastSlowTimeout %d (0x%8.8X)\n", Show::IntHex, 172},
    {"  CntNoEphPortAvail . %d          \n", Show::Int, 176},
    {"  CntNoNPSAvail ..... %d          \n", Show::Int, 180},
    {"  CntNoCRAvail ...... %d          \n", Show::Int, 184},
    {"  CntCRsIntactInCT .. %d          \n", Show::Int, 188},
    {"  CntCRsFreedFromCT . %d          \n", Show::Int, 192},
    {"  CntSndRstBadPkts... %d          \n", Show::Int, 196},
    {"  CntNpsRcv ......... %d          \n", Show::Int, 200},
    {"  CntNpsGet ......... %d          \n", Show::Int, 204},
    {" (CntNpsInTotal ..... %d)         \n", Show::Sum, 200, 2},
    {"  CntNpsFwd ......... %d          \n", Show::Int, 208},
    {"  CntNpsColoc ....... %d          \n", Show::Int, 212},
    {"  CntNpsFree ........ %d          \n", Show::Int, 216},
    {" (CntNpsOutTotal .... %d)         \n", Show::Sum, 208, 3},
    {"  CntPktReas ........ %d          \n", Show::Int, 220},
    {"  CntFrgReas ........ %d          \n", Show::Int, 224},
    {"  CntFrgGC .......... %d          \n", Show::Int, 228},
    {"  TimeAsyncRstStart.. %d (0x%8.8X)\n", Show::IntHex, 232},
    {"  TimeAsyncRstStop... %d (0x%8.8X)\n", Show::IntHex, 236},
    {"  CntAsyncRstQueued.. %d (0x%8.8X)\n", Show::IntHex, 240},
    {"  CntAsyncRstSent.... %d (0x%8.8X)\n", Show::IntHex, 244},
    {"  TCP MSS ........... %d \n", Show::Int, 248},
    {"  Checksum offload .. %d (0x%8.8X)\n", Show::IntHex, 252},
    {"  Arg28.............. %d (0x%8.8X)\n", Show::IntHex, 256},
};
static_assert(sizeof kCounters / sizeof kCounters[0] == 60, "the counter dump has 60 lines");

// ---- Record tables of the second request ----------------------------------------------------

// One dump of the records a second request answers: a count at 16, records from 20.
struct RecordDump {
  std::uint32_t command;
  std::uint32_t length;
  Records records;
  const char* failure;
  const char* heading;  // takes the count where it has a "%d"
  const ReportLine* lines;
  std::size_t lineCount;
};

constexpr ReportLine kNicLines[] = {
    {"NIC %d:\n", Show::Index},
    {" ia->ia_net ......... %d.%d.%d.%d\n", Show::StoredOctets, config::nic::kNet},
    {" ia->ia_netmask ..... %d.%d.%d.%d\n", Show::StoredOctets, config::nic::kNetMask},
    {" ia->ia_subnet ...... %d.%d.%d.%d\n", Show::StoredOctets, config::nic::kSubnet},
    {" ia->ia_subnetmask .. %d.%d.%d.%d\n", Show::StoredOctets, config::nic::kSubnetMask},
    {" ia->ia_addr ........ %d.%d.%d.%d\n", Show::NetworkOctets, config::nic::kAddress},
    {" ifp->if_name ....... %s\n", Show::Name, config::nic::kName, config::nic::kNameWidth},
    {" ifp->if_unit ....... 0x%X\n", Show::Hex, config::nic::kUnit},
    {" ifp->if_flags ...... 0x%X\n", Show::Hex, config::nic::kFlags},
    {" ifp->if_mtu ........ %d\n", Show::Int, config::nic::kMtu},
};

constexpr ReportLine kRatLines[] = {
    {"Return Address %d\n", Show::Index},
    {" iaRar ........ %d.%d.%d.%d\n", Show::NetworkOctets, 0},
    {" ulRef......... %d\n", Show::Int, 4},
    {" iaFsm ........ %d.%d.%d.%d\n", Show::NetworkOctets, 8},
    {" Ports in use . %d\n", Show::Int, 12},
};

constexpr ReportLine kCrllLines[] = {
    {"  Cluster:Port ............... %d.%d.%d.%d:%d\n", Show::StoredAddrPort, 0, 4},
    {"  Linked list ................ %s\n", Show::Name, 6, 10},
    {"  Timeout..................... %d\n", Show::Int, 28},
    {"  Current number of records .. %d\n", Show::Int, 16},
    {"  Number of stale records  ... %d\n", Show::Int, 24},
    {"  Number of records reused ... %d\n", Show::Int, 20},
};

constexpr ReportLine kAffinityListLines[] = {
    {"  Cluster:Port ................................... %d.%d.%d.%d:%d\n", Show::NetworkAddrPort,
     0, 4},
    {"  Current number of active affinity records ...... %d\n", Show::Int, 8},
    {"  Current number of non-active affinity records .. %d\n", Show::Int, 12},
    {"  Number of stale non-active records ............. %d\n", Show::Int, 16},
    {"  Number of records reused ....................... %d\n", Show::Int, 20},
};

template <std::size_t N>
constexpr RecordDump dumpOf(std::uint32_t command, std::uint32_t length, Records records,
                            const char* failure, const char* heading,
                            const ReportLine (&lines)[N]) {
  return RecordDump{command, length, records, failure, heading, lines, N};
}

// The dumps' answers carry a count at 16 and records from 20, as the NIC query's does.
constexpr std::uint32_t kDumpCount = 16;
constexpr std::uint32_t kDumpRecords = 20;

constexpr RecordDump kNicDump =
    dumpOf(config::kNicQuery, config::kNicQueryLength, config::kNicRecords,
           "Error with kernel getting NIC info.\n", "Number of NIC records = %d\n", kNicLines);
constexpr RecordDump kRatDump = dumpOf(84, 2084, {kDumpCount, kDumpRecords, 16},
                                       "Error with kernel getting RAT info.\n",
                                       "Number of RAT records = %d\n", kRatLines);
constexpr RecordDump kCrllDump =
    dumpOf(85, 8212, {kDumpCount, kDumpRecords, 32}, "Error with kernel getting CRLL info.\n",
           "Connection Record State LL Info.\n", kCrllLines);
// Its failure line is the connection-record list's, word for word: operators' scripts match it.
constexpr RecordDump kAffinityListDump =
    dumpOf(86, 6164, {kDumpCount, kDumpRecords, 24}, "Error with kernel getting CRLL info.\n",
           "Affinity Record LL Info.\n", kAffinityListLines);

// Sends the second request (its payload as the counter answer left it) and dumps its records,
// as many as the block holds whole whatever the count says.
void dumpRecords(ReportText& report, const RecordDump& dump) {
  RequestBlock& b = requestBlock();
  b.begin(dump.command, dump.length);
  if (sendExecutorRequest(&b) != 0) {
    report.text(dump.failure);
    return;
  }
  report.line(dump.heading, b.i32(dump.records.count));
  const std::uint32_t records = dump.records.held(b);
  for (std::uint32_t i = 0; i < records; ++i) {
    report.record(b, dump.records.at(i), static_cast<std::int32_t>(i), dump.lines, dump.lineCount);
  }
}

void dumpInterfaceTable(ReportText& report) {
  const InterfaceTable& table = interfaceTable();
  report.line("Interface List Info.\nNumber of records = %d.\n", table.count);
  for (std::int32_t i = 0; i < table.used(); ++i) {
    const InterfaceRecord& r = table.records[i];
    report.line("Record %d:\n", i);
    report.address(" ip ................. %d.%d.%d.%d\n", diag::memoryOctets(r.address));
    report.address(" netmask ............ %d.%d.%d.%d\n", diag::memoryOctets(r.mask));
    report.address(" netnumber .......... %d.%d.%d.%d\n", diag::memoryOctets(r.network));
    report.address(" broadcast .......... %d.%d.%d.%d\n", diag::memoryOctets(r.broadcast));
    report.line(" mac ................ %X:%X:%X:%X:%X:%X\n", r.hardware[0], r.hardware[1],
                r.hardware[2], r.hardware[3], r.hardware[4], r.hardware[5]);
    char name[kInterfaceNameSize + 1] = {};
    std::memcpy(name, r.name, kInterfaceNameSize);  // a full field has no terminator
    report.line(" name ............... %s\n", name);
  }
}

jstring miscDump(JNIEnv* env, jint sub, jint a1, jint a2, jint a3) {
  RequestBlock& b = requestBlock();
  if (sub == kTreeSubCommand) {
    // The tree goes to the server's console, not to us: the result is not looked at.
    b.begin(kClusterTree, kBlockSize);
    b.fill(kHeaderSize, kBlockSize - kHeaderSize, 0);
    sendExecutorRequest(&b);
    return newJavaString(env, "OK (Output is in tzserver window.)\n");
  }
  b.begin(kMisc, kMiscLength);
  b.putI32(kMiscSubCommand, sub);
  b.putI32(kMiscArguments.at(0), a1);
  b.putI32(kMiscArguments.at(1), a2);
  b.putI32(kMiscArguments.at(2), a3);
  if (sendExecutorRequest(&b) != 0) return newJavaString(env, diag::kKernelError);
  if (sub >= kFirstQuietSubCommand && sub != kDumpingSubCommand) return newJavaString(env, "OK\n");

  ReportText report;
  if (!report.ok()) return nullptr;
  report.text(kMiscBanner);
  report.record(b, 0, 0, kCounters);
  switch (sub) {
    case 1: dumpRecords(report, kNicDump); break;
    case 8: dumpInterfaceTable(report); break;
    case 10: dumpRecords(report, kRatDump); break;
    case 11: dumpRecords(report, kCrllDump); break;
    case 12: dumpRecords(report, kAffinityListDump); break;
    default: break;
  }
  return report.toJava(env);
}

}  // namespace

CMN_NATIVE(jstring, xmiscNative)(JNIEnv* env, jobject, jint sub, jint a1, jint a2, jint a3) {
  return enterNative<jstring>(env, nullptr, [&] { return miscDump(env, sub, a1, a2, a3); });
}

}  // namespace cmn::diag
