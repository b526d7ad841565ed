// The server record and the server list layouts, which the rule bindings and a rule's server list
// share with the server methods.
#pragma once

#include <cstdint>

#include "channel/request_block.h"
#include "config/list_text.h"

namespace cmn::config {

// Server record (commands 27, 28, 32, 56, and the rule bindings 24, 25): the server's key at 84,
// its port's cluster key at 88 and number (network order) at 92.
inline constexpr std::uint32_t kServerRecordLength = 1952;
inline constexpr std::uint32_t kServerRecordServerKey = 84;
inline constexpr std::uint32_t kServerRecordClusterKey = 88;
inline constexpr std::uint32_t kServerRecordPort = 92;

// Server lists (command 31, and a rule's servers, 26), addressed to their port: the count asked
// for at 44, entries of 88 bytes from 48, each with the server's key in its first 4 bytes and its
// identifier text from byte 8; 726 fit.
inline constexpr Records kServerList{44, 48, 88};
inline constexpr std::uint32_t kServerListIdentifier = 8;

// The "+id" line of the server list entry at `entry`: its identifier runs at most to the end of
// the entry.
inline std::size_t serverListLine(const RequestBlock& b, std::uint32_t entry,
                                  char (&line)[kListLineSize]) {
  return namedEntryLine(b, entry + kServerListIdentifier,
                        kServerList.size - kServerListIdentifier, line);
}

}  // namespace cmn::config
