// The executor request block: the one 64016-byte buffer that carries every request to the
// executor and every answer back.
//
// This is the only code that knows byte order, field widths and the block's bounds. Method code
// reads and writes fields through these accessors by offset; an access that would reach past
// the block's end reads as zero and writes nothing, so no request layout can overrun it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cmn {

inline constexpr std::uint32_t kBlockSize = 64016;
inline constexpr std::uint32_t kHeaderSize = 16;

// Header offsets. All header fields are 32-bit, host (little-endian) order.
namespace header {
inline constexpr std::uint32_t kCommand = 0;
inline constexpr std::uint32_t kResult = 4;
inline constexpr std::uint32_t kReason = 8;
inline constexpr std::uint32_t kLength = 12;
}  // namespace header

// How a multi-byte value lies in the block. Host order is little-endian on every host the
// executor runs on; network order is big-endian.
enum class ByteOrder : std::uint8_t { Host, Network };

class RequestBlock {
 public:
  static constexpr bool fits(std::uint32_t offset, std::uint32_t width) {
    return offset <= kBlockSize && width <= kBlockSize - offset;
  }

  // ---- Header -------------------------------------------------------------------------------
  std::uint32_t command() const { return u32(header::kCommand); }
  std::int32_t result() const { return i32(header::kResult); }
  std::int32_t reason() const { return i32(header::kReason); }
  std::uint32_t length() const { return u32(header::kLength); }
  void setCommand(std::uint32_t code) { putU32(header::kCommand, code); }
  void setResult(std::int32_t value) { putI32(header::kResult, value); }
  void setLength(std::uint32_t bytes) { putU32(header::kLength, bytes); }
  // Command and length together: how every request begins.
  void begin(std::uint32_t code, std::uint32_t bytes) {
    setCommand(code);
    setLength(bytes);
  }

  // ---- Unsigned values ----------------------------------------------------------------------
  std::uint8_t u8(std::uint32_t offset) const;
  // Inline: read once per entry of the longest lists.
  std::uint16_t u16(std::uint32_t offset, ByteOrder order = ByteOrder::Host) const {
    if (!fits(offset, 2)) return 0;
    const std::uint32_t first = bytes_[offset];
    const std::uint32_t second = bytes_[offset + 1];
    return static_cast<std::uint16_t>(order == ByteOrder::Host ? first | second << 8
                                                                : first << 8 | second);
  }
  std::uint32_t u32(std::uint32_t offset, ByteOrder order = ByteOrder::Host) const;
  std::uint64_t u64(std::uint32_t offset, ByteOrder order = ByteOrder::Host) const;

  void putU8(std::uint32_t offset, std::uint8_t value);
  void putU16(std::uint32_t offset, std::uint16_t value, ByteOrder order = ByteOrder::Host);
  void putU32(std::uint32_t offset, std::uint32_t value, ByteOrder order = ByteOrder::Host);
  void putU64(std::uint32_t offset, std::uint64_t value, ByteOrder order = ByteOrder::Host);

  // ---- Signed views of the same bits --------------------------------------------------------
  std::int8_t i8(std::uint32_t offset) const { return static_cast<std::int8_t>(u8(offset)); }
  std::int16_t i16(std::uint32_t offset) const { return static_cast<std::int16_t>(u16(offset)); }
  std::int32_t i32(std::uint32_t offset) const { return static_cast<std::int32_t>(u32(offset)); }
  std::int64_t i64(std::uint32_t offset) const { return static_cast<std::int64_t>(u64(offset)); }
  void putI32(std::uint32_t offset, std::int32_t value) {
    putU32(offset, static_cast<std::uint32_t>(value));
  }
  void putI64(std::uint32_t offset, std::int64_t value) {
    putU64(offset, static_cast<std::uint64_t>(value));
  }

  // ---- Addresses ----------------------------------------------------------------------------
  // An IPv4 address kept as its bytes lie in memory (network order, as the resolver gives it).
  std::uint32_t address(std::uint32_t offset) const;
  void putAddress(std::uint32_t offset, std::uint32_t address);

  // ---- Byte runs and texts ------------------------------------------------------------------
  void fill(std::uint32_t offset, std::uint32_t count, std::uint8_t value);
  void putBytes(std::uint32_t offset, const void* data, std::uint32_t count);
  void getBytes(std::uint32_t offset, void* data, std::uint32_t count) const;

  // Copies `text` with its terminator into the field [offset, offset + width). A text that does
  // not fit is cut to width - 1 characters and still terminated; returns false when cut.
  bool putText(std::uint32_t offset, std::uint32_t width, const char* text);

  // Copies the text of the field [offset, offset + width) into `out` (capacity `outSize`): up to
  // its first NUL, never past the field's end or past outSize - 1 bytes, always terminated.
  // Returns the number of characters copied.
  std::size_t getText(std::uint32_t offset, std::uint32_t width, char* out,
                      std::size_t outSize) const;

  // The raw bytes, for the device call only.
  std::uint8_t* raw() { return bytes_; }
  const std::uint8_t* raw() const { return bytes_; }

 private:
  std::uint64_t load(std::uint32_t offset, std::uint32_t width, ByteOrder order) const;
  void store(std::uint32_t offset, std::uint32_t width, std::uint64_t value, ByteOrder order);

  alignas(8) std::uint8_t bytes_[kBlockSize];
};

// A run of fixed-size records in the block: record i begins at first + size * i. The run holds
// `capacity` records, by default as many as fit whole between `first` and the block's end; where
// the layout has one, the 32-bit count at `count` says how many a request asks for or an answer
// carries.
struct Records {
  std::uint32_t count;
  std::uint32_t first;
  std::uint32_t size;
  std::uint32_t capacity;

  constexpr Records(std::uint32_t count, std::uint32_t first, std::uint32_t size,
                    std::uint32_t capacity = 0)
      : count(count),
        first(first),
        size(size),
        capacity(capacity != 0 ? capacity : (kBlockSize - first) / size) {}

  // Where record i begins; for an i past the run, the block's end, where every access reads
  // zero and writes nothing.
  constexpr std::uint32_t at(std::uint32_t i) const {
    return i < capacity ? first + size * i : kBlockSize;
  }
  // The length of a request that carries the first n records (never more than the run holds).
  constexpr std::uint32_t lengthFor(std::uint32_t n) const {
    return first + size * (n < capacity ? n : capacity);
  }
  // How many records a count stands for: none for 0 or less, never more than the run holds.
  constexpr std::uint32_t fitting(std::int64_t n) const {
    return n <= 0 ? 0 : n < capacity ? static_cast<std::uint32_t>(n) : capacity;
  }
  // The records the answer standing in `b` carries, by its count.
  std::uint32_t held(const RequestBlock& b) const { return fitting(b.i32(count)); }
};

// The process-wide block. Zero at load, never cleared: a request writes only its own fields and
// every other byte keeps what the previous request or answer left there.
RequestBlock& requestBlock();

}  // namespace cmn
