// Debugging reports: text lines built one at a time into a list text buffer and handed to Java as
// one string.
#pragma once

#include <jni.h>

#include <cstdint>

#include "channel/request_block.h"
#include "config/list_text.h"

#if defined(__GNUC__)
#define CMN_PRINTF_LIKE(f, a) __attribute__((__format__(__printf__, f, a)))
#else
#define CMN_PRINTF_LIKE(f, a)
#endif

namespace cmn::diag {

// Every report line is formatted into a buffer of this size. The longest line a report can
// make (a connection record, a 32-byte name) is well under it; a longer one would be cut, never
// written past the buffer.
inline constexpr std::size_t kReportLineSize = 256;

// What a report method returns for a request that failed.
inline constexpr const char* kKernelError = "Error with kernel.\n";

// The four octets of an address, first octet first, ready for "%d.%d.%d.%d".
struct Octets {
  int o[4];
};
// An address that lies in the block in network byte order: its bytes in order.
Octets networkOctets(const RequestBlock& b, std::uint32_t offset);
// A value shown as stored: the 32-bit little-endian value's bytes from the most significant down.
Octets storedOctets(const RequestBlock& b, std::uint32_t offset);
// An address kept in memory order (the interface table), its bytes in order.
Octets memoryOctets(std::uint32_t address);

// Seconds since a record's last use: the executor's clock minus the record's time, both 64-bit,
// shown as the low 32 bits taken as a signed int; 0 for a record never used.
std::int32_t ageOf(std::uint64_t now, std::uint64_t lastUse);

// How a report line shows the value at its offset (counted from the record's start).
enum class Show : std::uint8_t {
  Heading,          // the format alone
  Index,            // the record's index, "%d"
  Int,              // a 32-bit value, "%d"
  Hex,              // a 32-bit value, unsigned ("0x%X")
  IntHex,           // a 32-bit value as "%d" and again as unsigned ("0x%8.8X")
  Sum,              // the 32-bit sum of `extra` 32-bit values from the offset, "%d"
  Byte,             // an 8-bit value
  Char,             // a byte as a character, '?' for one that is no printable character
  TcpState,         // a TCP state index as its name, "  ?  " past the names
  Age,              // seconds from the 64-bit time at the offset to the answer's clock at `extra`
  StoredOctets,     // "%d.%d.%d.%d", a 32-bit value's bytes from the most significant down
  NetworkOctets,    // "%d.%d.%d.%d", an address in network byte order
  Name,             // "%s", a NUL-terminated name within `extra` bytes
  StoredAddrPort,   // "%d.%d.%d.%d:%d", address as stored, 16-bit port as stored at `extra`
  NetworkAddrPort,  // "%d.%d.%d.%d:%d", both in network byte order, the port at `extra`
};

// One line of a report, or one piece of a line that several pieces make.
struct ReportLine {
  const char* format;
  Show show;
  std::uint32_t offset = 0;
  std::uint32_t extra = 0;
};

// A report under construction. A line that can't be appended (no memory to grow the buffer) is
// dropped and the report carries on with the next one.
class ReportText {
 public:
  // False when the buffer could not be had: the method returns null then.
  bool ok() const { return list_.ok(); }
  // Appends text as it stands (banners and headings without values).
  void text(const char* text) { list_.append(text); }
  // Formats one line into the line buffer and appends it.
  void line(const char* format, ...) CMN_PRINTF_LIKE(2, 3);
  void address(const char* format, const Octets& a) {
    line(format, a.o[0], a.o[1], a.o[2], a.o[3]);
  }
  // Renders the lines of the record at `base` (the index of the record `index`), in table order.
  void record(const RequestBlock& b, std::uint32_t base, std::int32_t index,
              const ReportLine* lines, std::size_t count);
  template <std::size_t N>
  void record(const RequestBlock& b, std::uint32_t base, std::int32_t index,
              const ReportLine (&lines)[N]) {
    record(b, base, index, lines, N);
  }
  const char* get() const { return list_.text(); }
  // The text as a Java string (null when it can't be made).
  jstring toJava(JNIEnv* env) const;

 private:
  config::ListText list_;
};

}  // namespace cmn::diag
