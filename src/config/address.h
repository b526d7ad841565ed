// Cluster addresses as interface aliases: the lookups that high availability shares, the NIC
// record query and the alias tool's command line.
#pragma once

#include <cstdint>

#include "channel/interface_table.h"

namespace cmn::config {

// The first interface of the process-wide table whose mask is nonzero and whose network number
// equals address AND mask (address in network order); null when none does.
const InterfaceRecord* findInterfaceForAddress(std::uint32_t address);

// The NIC record query (command 55): the send result, unchanged.
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
