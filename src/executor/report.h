#pragma once

namespace cmn::executor {

inline constexpr unsigned kReportCommand = 3;
inline constexpr unsigned kReportLength = 240;
// Offsets of the executor's cluster count and connection rate in the report.
inline constexpr unsigned kReportClusterCount = 220;
inline constexpr unsigned kReportRate = 232;
// The executor's rate is set (command 71) in the report's layout.
inline constexpr unsigned kSetExecutorRate = 71;

// Asks the executor for its report (command 3). The send result, unchanged; on 0 the report
// stands in the request block.
int queryExecutorReport();

}  // namespace cmn::executor
