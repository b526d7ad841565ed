// The host's IPv4 interfaces as the registry describes them: the process-wide interface table,
// filled by interface discovery and read by the alias and high-availability requests.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cmn {

inline constexpr std::uint32_t kInterfaceNameSize = 14;  // 13 characters and the terminator
inline constexpr std::int32_t kInterfaceRecords = 100;

// One interface. Addresses and masks lie as the address text conversion gives them: network
// byte order in memory.
struct InterfaceRecord {
  std::uint32_t reserved0;
  std::uint32_t address;
  std::uint8_t reserved8[16];
  std::uint32_t mask;
  std::uint32_t network;          // address AND mask
  std::uint32_t broadcast;        // no scan fills it
  std::uint8_t hardware[6];       // no scan fills it
  char name[kInterfaceNameSize];  // the executor's name for the interface
};
static_assert(sizeof(InterfaceRecord) == 56, "an interface record is 56 bytes");
static_assert(offsetof(InterfaceRecord, address) == 4 && offsetof(InterfaceRecord, mask) == 24 &&
                  offsetof(InterfaceRecord, network) == 28 &&
                  offsetof(InterfaceRecord, broadcast) == 32 &&
                  offsetof(InterfaceRecord, hardware) == 36 &&
                  offsetof(InterfaceRecord, name) == 42,
              "interface record layout");

struct InterfaceTable {
  std::int32_t count;
  InterfaceRecord records[kInterfaceRecords];

  // The records that count, never more than the table holds.
  std::int32_t used() const {
    if (count <= 0) return 0;
    return count < kInterfaceRecords ? count : kInterfaceRecords;
  }
};

// The process-wide table: zero at load, written only by interface discovery. Records past the
// count keep whatever an earlier, longer scan left there.
inline InterfaceTable& interfaceTable() {
  static InterfaceTable table;  // zero-initialised static storage: no constructor runs at load
  return table;
}

}  // namespace cmn
