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
