// What other configuration requests need of ports.
#pragma once

#include <cstdint>

#include "channel/request_block.h"

namespace cmn::config {

// Every request addressed to one port (port records and reports, server records' lists and
// reports, rules, weights) carries the cluster key at 16 and the port number, in network order,
// at 20.
inline constexpr std::uint32_t kPortClusterKey = 16;
inline constexpr std::uint32_t kPortNumber = 20;

// Command 15 for the port `port` of the cluster with this key. The send result, unchanged; on 0
// the port report stands in the block.
int queryPortReport(std::uint32_t clusterKey, std::uint16_t port);

// Counts of a port report that size the lists hanging below the port.
inline constexpr std::uint32_t kPortReportServerCount = 36;
inline constexpr std::uint32_t kPortReportRuleCount = 40;

// Port list (command 12): the cluster key at 16, the count at 20, entries of 8 bytes from 24
// that begin with a port number in network order; 7999 fit.
inline constexpr Records kPortList{20, 24, 8};

}  // namespace cmn::config
