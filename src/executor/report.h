#pragma once

namespace cmn::executor {

inline constexpr unsigned kReportCommand = 3;
inline constexpr unsigned kReportLength = 240;
// Offset of the executor's cluster count in the report.
inline constexpr unsigned kReportClusterCount = 220;

// Asks the executor for its report (command 3). The send result, unchanged; on 0 the report
// stands in the request block.
int queryExecutorReport();

}  // namespace cmn::executor
