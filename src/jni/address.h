// IPv4 address text.
//
// Addresses are kept as 32-bit values whose bytes lie in memory in network order (the first
// octet of the dotted form at the lowest address), the form the executor's records carry.
#pragma once

#include <cstdint>

namespace cmn::jni {

inline constexpr std::uint32_t kAddressNone = 0xFFFFFFFFu;

// 15 characters of 255.255.255.255 and the terminator.
inline constexpr unsigned kDottedTextSize = 16;

// The address in the classic numeric notation: one to four parts separated by dots, each part
// decimal, octal (leading 0) or hexadecimal (leading 0x), the last part filling the bytes that
// remain. Any other character anywhere, an empty part, a part too large for its bytes, or a
// value past 32 bits gives kAddressNone. This one parser serves every host, so that a text
// means the same address (or the same ID key) on each of them.
std::uint32_t parseNumericAddress(const char* text);

// 1 when the text has the shape of a classic numeric address (see the scan in address.cpp),
// else 0. An empty text has that shape.
int isDottedAddress(const char* text);

// 0 with the address in *out, or 1. A text of numeric shape is parsed and never looked up as a
// name: when the parser refuses it (255.255.255.255 among others) *out becomes kAddressNone.
// Any other text is looked up as a host name; when that fails *out is left unchanged.
int resolveAddress(const char* text, std::uint32_t* out);

// "%d.%d.%d.%d" of the address's bytes in memory order.
void formatDottedAddress(std::uint32_t address, char buffer[kDottedTextSize]);

// The address as Java keeps it in an int (first octet in the most significant byte), and back.
std::uint32_t addressToHostOrder(std::uint32_t address);
std::uint32_t addressFromHostOrder(std::uint32_t value);

}  // namespace cmn::jni
