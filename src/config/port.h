// What other configuration requests need of ports.
#pragma once

#include <cstdint>

namespace cmn::config {

// Command 15 for the port `portNumber` (its low 16 bits) of the cluster with this key. The send
// result, unchanged; on 0 the port report stands in the block.
int queryPortReport(std::uint32_t clusterKey, std::int32_t portNumber);

// Counts of a port report that size the lists hanging below the port.
inline constexpr std::uint32_t kPortReportServerCount = 36;
inline constexpr std::uint32_t kPortReportRuleCount = 40;

}  // namespace cmn::config
