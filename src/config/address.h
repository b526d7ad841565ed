// Cluster addresses as interface aliases: the lookups that high availability shares, the NIC
// record query and the alias tool's command line.
#pragma once

#include <cstdint>

#include "channel/interface_table.h"
#include "channel/request_block.h"

namespace cmn::config {

// The NIC record query (command 55): the count at 16, 64-byte records from 20. The request length
// holds 33 records; an answer may run further, up to the block's end.
inline constexpr std::uint32_t kNicQuery = 55;
inline constexpr std::uint32_t kNicQueryLength = 2132;
inline constexpr Records kNicRecords{16, 20, 64};

// Within a NIC record: network number, masks and subnet as host-order values, the address in
// network order, the interface's name text and unit number, its flags and MTU.
namespace nic {
inline constexpr std::uint32_t kNet = 0;
inline constexpr std::uint32_t kNetMask = 4;
inline constexpr std::uint32_t kSubnet = 8;
inline constexpr std::uint32_t kSubnetMask = 12;
inline constexpr std::uint32_t kAddress = 16;
inline constexpr std::uint32_t kName = 20;
inline constexpr std::uint32_t kNameWidth = 32;
inline constexpr std::uint32_t kUnit = 52;
inline constexpr std::uint32_t kFlags = 56;
inline constexpr std::uint32_t kMtu = 60;
}  // namespace nic

// The first interface of the process-wide table whose mask is nonzero and whose network number
// equals address AND mask (address in network order); null when none does.
const InterfaceRecord* findInterfaceForAddress(std::uint32_t address);

// Sends the NIC record query: the send result, unchanged.
int queryNicRecords();

// The block offset of the first NIC record of the last query's answer whose address equals
// `address`; 0 when the count is 0 or less or no record matches. Only the records the block
// holds are looked at, whatever the count says.
std::uint32_t findConfiguredAddress(std::uint32_t address);

// Runs "zoconfig IF alias ADDR netmask MASK source SRC" through the shell and returns its exit
// status. Returns `refused`, running nothing, when the line would not fit its 112-byte buffer
// or a text is empty or carries anything but letters, digits, '.', '-', '_' and ':' (the
// shell would read it as more than one word, or as more than a word).
int runAliasLine(const char* interfaceName, const char* address, const char* netmask,
                 const char* source, int refused);

}  // namespace cmn::config
