#pragma once

#include <cstdint>

#include "channel/request_block.h"
#include "jni/entry.h"

namespace cmn::config {

// Result of any request whose identifier is null (or its characters can't be had).
inline constexpr int kIdentifierMissing = jni::kMissingArgument;
inline constexpr int kIdentifierTooLong = -90;

// Command 9 for the cluster with this key. The send result, unchanged; on 0 the cluster report
// stands in the block (number of ports at 24).
int queryClusterReport(std::uint32_t clusterKey);

inline constexpr std::uint32_t kClusterReportPortCount = 24;

// Cluster list (command 6): the count at 16, entries of 72 bytes from 20 that begin with the
// identifier; 888 fit.
inline constexpr Records kClusterList{16, 20, 72};

}  // namespace cmn::config
