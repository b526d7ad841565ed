// Where the executor's records keep their fields: the simulated executor's own knowledge of the
// request layouts, stated once here (it must not share the library's, which it tests).
#pragma once

#include <cstddef>
#include <cstdint>

#include "sim_core.h"

namespace velksim {

// Executor settings (commands 1 and 2).
namespace settings {
constexpr uint32_t kNonForwardingAddress = 16;
constexpr uint32_t kDefaultClusterMaxPorts = 28;
constexpr uint32_t kFinTimeout = 32;
constexpr uint32_t kHaTimeout = 40;
constexpr uint32_t kHaSyncTimeout = 48;
constexpr uint32_t kDefaultPortMaxServers = 56;
constexpr uint32_t kDefaultPortStaleTimeout = 64;
constexpr uint32_t kDefaultPortStickyTime = 72;
constexpr uint32_t kDefaultPortAffinityType = 80;
constexpr uint32_t kDefaultPortWeightBound = 82;
constexpr uint32_t kDefaultPortTypeAndReplicate = 84;  // two bytes
constexpr uint32_t kConfigFileName = 86;
constexpr uint32_t kConfigFileNameWidth = 256;
constexpr uint32_t kMaxClusters = 604;
}  // namespace settings

// Executor report (command 3; its rate is set with 71).
namespace report {
constexpr uint32_t kLength = 240;
constexpr uint32_t kNonForwardingAddress = 16;
constexpr uint32_t kVersion = 20;
constexpr uint32_t kVersionWidth = 100;
constexpr uint32_t kStartTime = 120;
constexpr uint32_t kPacketCounters = 128;  // 11 of 64 bits
constexpr uint32_t kPacketCounterCount = 11;
constexpr uint32_t kHashBuckets = 216;
constexpr uint32_t kClusters = 220;
constexpr uint32_t kReserved = 224;
constexpr uint32_t kBytesPerSecond = 228;
constexpr uint32_t kConnectionsPerSecond = 232;
constexpr uint32_t kLast = 236;
}  // namespace report

// Cluster record (commands 4, 5, 7, 8), its report (9, 72) and list (6).
namespace cluster {
constexpr uint32_t kAddress = 16;
constexpr uint32_t kMaxPorts = 20;
constexpr uint32_t kPortMaxServers = 24;
constexpr uint32_t kPortStickyTime = 32;
constexpr uint32_t kPortAffinityType = 40;
constexpr uint32_t kPortWeightBound = 42;
constexpr uint32_t kPortType = 44;
constexpr uint32_t kPortReplicate = 45;
constexpr uint32_t kPortStaleTimeout = 48;
constexpr uint32_t kPorts = 96;
constexpr uint32_t kKey = 100;
constexpr uint32_t kIdentifier = 104;
constexpr uint32_t kIdentifierWidth = 65;
constexpr uint8_t kSetAddressFlag = 95;
constexpr uint32_t kReportKey = 16;
constexpr uint32_t kReportAddress = 20;
constexpr uint32_t kReportPorts = 24;
constexpr uint32_t kReportBytesPerSecond = 64;
constexpr uint32_t kReportConnectionsPerSecond = 68;
constexpr uint32_t kReportLength = 72;
constexpr uint32_t kListCount = 16;
constexpr uint32_t kListEntries = 20;
constexpr uint32_t kListEntrySize = 72;
constexpr uint32_t kListEntryKey = 68;
}  // namespace cluster

// Port record (commands 10, 11, 13, 14), its report (15, 80) and list (12). Every request
// addressed to a port carries the cluster key at 16 and the port number, in network order, at 20.
namespace port {
constexpr uint32_t kClusterKey = 16;
constexpr uint32_t kNumber = 20;
constexpr uint32_t kServers = 28;
constexpr uint32_t kMaxServers = 32;
constexpr uint32_t kStickyTime = 40;
constexpr uint32_t kProtocol = 48;
constexpr uint32_t kStaleTimeout = 56;
constexpr uint32_t kWeightBound = 64;
constexpr uint32_t kType = 66;
constexpr uint32_t kMethod = 68;
constexpr uint32_t kReplicate = 70;
constexpr uint32_t kReportConnectionsPerSecond = 24;
constexpr uint32_t kReportRules = 40;
constexpr uint32_t kReportMaxWeight = 48;
constexpr uint32_t kReportBytesPerSecond = 60;
constexpr uint32_t kReportProtocol = 68;
constexpr uint32_t kReportMethod = 70;
constexpr uint32_t kReportLength = 72;
constexpr uint32_t kReportNodes = 36;
constexpr uint32_t kReportNodesDown = 44;
constexpr uint32_t kListCount = 20;
constexpr uint32_t kListEntries = 24;
constexpr uint32_t kListEntrySize = 8;
}  // namespace port

// Rule report (23, 81), rule list (20) and a rule's servers (26), which lies as a server list.
namespace rules {
constexpr uint32_t kPattern = 84;
constexpr uint32_t kCookieName = 204;
constexpr uint32_t kTextWidth = 100;  // pattern and cookie name
constexpr uint32_t kReportName = 32;
constexpr uint32_t kReportConnectionsPerSecond = 24;
constexpr uint32_t kReportActive = 28;
constexpr uint32_t kReportUniqueId = 56;
constexpr uint32_t kReportTimesFired = 60;
constexpr uint32_t kReportServers = 64;
constexpr uint32_t kReportBytesPerSecond = 84;
constexpr uint32_t kReportLength = 188;
constexpr uint32_t kListCount = 24;
constexpr uint32_t kListEntries = 28;
constexpr uint32_t kListEntrySize = 28;
}  // namespace rules

// Server record (27, 28, 32, 56; the rule bindings 24 and 25 lie in it too, with the rule's name
// at 94 and their argument at 1948) and server list (29, 30, 31; a rule's servers, 26).
namespace server {
constexpr uint32_t kKey = 84;
constexpr uint32_t kClusterKey = 88;
constexpr uint32_t kPort = 92;
constexpr uint32_t kBindingRuleName = 94;
constexpr uint32_t kBindingArgument = 1948;
constexpr uint32_t kListCount = 44;
constexpr uint32_t kListEntries = 48;
constexpr uint32_t kListEntrySize = 88;
constexpr uint32_t kListEntryIdentifier = 8;
constexpr uint32_t kIdentifierMost = 64;  // characters
}  // namespace server

// Log text (35, 36): the size asked for at 24, the text from 16.
namespace logtext {
constexpr uint32_t kText = 16;
constexpr uint32_t kSize = 24;
}  // namespace logtext

// Connection entries (34, 63): 24 bytes from 16 make the entry's key.
namespace connection {
constexpr uint32_t kKey = 16;
constexpr uint32_t kKeySize = 24;
constexpr uint32_t kLength = 40;
}  // namespace connection

// NIC records (55): the count at 16, 64-byte records from 20.
namespace nic {
constexpr uint32_t kCount = 16;
constexpr uint32_t kRecords = 20;
constexpr uint32_t kRecordSize = 64;
constexpr uint32_t kNet = 0;
constexpr uint32_t kNetMask = 4;
constexpr uint32_t kSubnet = 8;
constexpr uint32_t kSubnetMask = 12;
constexpr uint32_t kAddress = 16;
constexpr uint32_t kName = 20;
constexpr uint32_t kUnit = 52;
constexpr uint32_t kMtu = 60;
}  // namespace nic

// The diagnostics commands. Most answers carry a count at 16 and records from 20.
namespace diag {
constexpr uint32_t kCount = 16;
constexpr uint32_t kRecords = 20;
// Affinity report (52) and exchange (59).
constexpr uint32_t kAffinitySubCommand = 16;
constexpr uint32_t kAffinityChanged = 20;
constexpr uint32_t kAffinityTime = 24;
constexpr uint32_t kAffinityCluster = 32;
constexpr uint32_t kAffinityStickyMask = 36;
constexpr uint32_t kAffinityPort = 40;
constexpr uint32_t kAffinityServerDirected = 42;
constexpr uint32_t kAffinityCount = 44;
constexpr uint32_t kBindingClient = 0;
constexpr uint32_t kBindingServer = 4;
constexpr uint32_t kBindingSlot = 12;
constexpr uint32_t kBindingActive = 16;
constexpr uint32_t kBindingLastUse = 24;
// Connection query (39): three address and port pairs of 8 bytes from 16; the answer's count,
// "nps" figure and clock, then records.
constexpr uint32_t kPairs = 16;
constexpr uint32_t kPairSize = 8;
constexpr uint32_t kPairPort = 4;
constexpr uint32_t kNps = 20;
constexpr uint32_t kConnectionTime = 24;
constexpr uint32_t kConnectionCluster = 0;
constexpr uint32_t kConnectionClient = 4;
constexpr uint32_t kConnectionClusterPort = 8;
constexpr uint32_t kConnectionClientPort = 10;
constexpr uint32_t kConnectionLastActivity = 16;
constexpr uint32_t kConnectionState = 24;
constexpr uint32_t kConnectionPreviousTcp = 25;
constexpr uint32_t kConnectionCurrentTcp = 26;
constexpr uint32_t kConnectionServer = 28;
constexpr uint32_t kConnectionFlag = 32;
// Half-open records (67): 12 bytes, an address, its port and a flag.
constexpr uint32_t kHalfOpenSize = 12;
constexpr uint32_t kHalfOpenPort = 4;
constexpr uint32_t kHalfOpenFlag = 8;
// Attacking addresses (68), asked for by the address and port at 16: the count at 24, the
// figures' total at 32, 8-byte records from 44 (an address and its figure).
constexpr uint32_t kAttackTarget = 16;
constexpr uint32_t kAttackCount = 24;
constexpr uint32_t kAttackTotal = 32;
constexpr uint32_t kAttackRecords = 44;
constexpr uint32_t kAttackSize = 8;
constexpr uint32_t kAttackFigure = 4;
// The miscellaneous command (53): the sub-command at 16 and three arguments from 20; the
// answer's counters from 16, the third argument again at 256.
constexpr uint32_t kMiscSubCommand = 16;
constexpr uint32_t kMiscArguments = 20;
constexpr uint32_t kCounters = 16;
constexpr uint32_t kArg28 = 256;
// Return addresses (84): 16-byte records of an address, references, state machine address and
// ports in use.
constexpr uint32_t kRatSize = 16;
constexpr uint32_t kRatReferences = 4;
constexpr uint32_t kRatFsm = 8;
constexpr uint32_t kRatPortsInUse = 12;
// Connection record lists (85): 32-byte records.
constexpr uint32_t kCrllSize = 32;
constexpr uint32_t kCrllPort = 4;
constexpr uint32_t kCrllName = 6;
constexpr uint32_t kCrllCurrent = 16;
constexpr uint32_t kCrllReused = 20;
constexpr uint32_t kCrllStale = 24;
constexpr uint32_t kCrllTimeout = 28;
// Affinity record lists (86): 24-byte records of a cluster port and its active and idle counts.
constexpr uint32_t kAffinityListSize = 24;
constexpr uint32_t kAffinityListPort = 4;
constexpr uint32_t kAffinityListActive = 8;
constexpr uint32_t kAffinityListIdle = 12;
// The cluster tree (65): the number of clusters at 24, entries from 80.
constexpr uint32_t kTreeClusters = 24;
constexpr uint32_t kTreeEntries = 80;
constexpr uint32_t kTreeClusterSize = 52;
constexpr uint32_t kTreePortSize = 36;
constexpr uint32_t kTreeServerSize = 20;
constexpr uint32_t kTreeCount = 12;  // of a cluster's ports, of a port's servers
// The ICMP record (57, 58).
constexpr uint32_t kIcmpGotResponse = 16;
constexpr uint32_t kIcmpAddress = 20;
// Denial-of-service parameters (69): eight values, 4 bytes apart, from 16.
constexpr uint32_t kDosValues = 16;
}  // namespace diag

// The shortest request each command's layout allows; commands not listed need the header only.
struct CommandLength {
    uint8_t command;
    uint16_t length;
};

template <size_t N>
uint32_t lengthOf(const CommandLength (&table)[N], uint32_t command) {
    for (const CommandLength& c : table)
        if (c.command == command) return c.length;
    return 0;
}

}  // namespace velksim
