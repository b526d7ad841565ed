#include "jni/address.h"

#include <cctype>
#include <cstring>

#include "platform/platform.h"

namespace cmn::jni {
namespace {

bool isDecimal(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

unsigned hexValue(char c) {
  if (isDecimal(c)) return static_cast<unsigned>(c - '0');
  return static_cast<unsigned>(std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
}

// Builds the in-memory form from the four octets.
std::uint32_t fromOctets(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                                 static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(d)};
  std::uint32_t address;
  std::memcpy(&address, bytes, sizeof(address));
  return address;
}

// Reads one strict numeric part at *p; false when there is none or it passes 32 bits.
bool readPart(const char*& p, std::uint32_t* value) {
  std::uint64_t v = 0;
  unsigned base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
    if (!isHex(*p)) return false;
  } else if (p[0] == '0') {
    base = 8;
  } else if (!isDecimal(*p)) {
    return false;
  }
  while (base == 16 ? isHex(*p) : isDecimal(*p)) {
    const unsigned digit = hexValue(*p);
    if (digit >= base) return false;
    v = v * base + digit;
    if (v > 0xFFFFFFFFu) return false;
    ++p;
  }
  *value = static_cast<std::uint32_t>(v);
  return true;
}

}  // namespace

std::uint32_t parseNumericAddress(const char* text) {
  if (text == nullptr) return kAddressNone;
  std::uint32_t parts[4];
  int count = 0;
  const char* p = text;
  for (;;) {
    if (count == 4 || !readPart(p, &parts[count])) return kAddressNone;
    ++count;
    if (*p == '\0') break;
    if (*p != '.') return kAddressNone;
    ++p;
  }
  for (int i = 0; i + 1 < count; ++i) {
    if (parts[i] > 0xFF) return kAddressNone;
  }
  const std::uint32_t last = parts[count - 1];
  switch (count) {
    case 1:
      return fromOctets(last >> 24, (last >> 16) & 0xFF, (last >> 8) & 0xFF, last & 0xFF);
    case 2:
      if (last > 0xFFFFFF) return kAddressNone;
      return fromOctets(parts[0], last >> 16, (last >> 8) & 0xFF, last & 0xFF);
    case 3:
      if (last > 0xFFFF) return kAddressNone;
      return fromOctets(parts[0], parts[1], last >> 8, last & 0xFF);
    default:
      if (last > 0xFF) return kAddressNone;
      return fromOctets(parts[0], parts[1], parts[2], last);
  }
}

int isDottedAddress(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  unsigned dots = 0;
  std::uint32_t value = 0;
  while (*p != '\0') {
    value = 0;
    std::uint32_t base = 10;
    if (*p == '0') {
      ++p;
      if (*p == 'x' || *p == 'X') {
        ++p;
        base = 16;
      } else {
        base = 8;
      }
    }
    for (;; ++p) {
      if (isDecimal(*p)) {
        // 8 and 9 count at face value in an octal part too: the shape is what is checked here.
        value = value * base + static_cast<std::uint32_t>(*p - '0');
      } else if (base == 16 && isHex(*p)) {
        value = value * 16 + hexValue(*p);
      } else {
        break;
      }
    }
    if (*p != '.') break;
    if (p == text || p[-1] == '.' || p[1] == '\0' || value > 0xFF || dots == 3) return 0;
    ++dots;
    ++p;
  }
  if (*p != '\0') return 0;
  switch (dots + 1) {
    case 2: return value <= 0xFFFFFF ? 1 : 0;
    case 3: return value <= 0xFFFF ? 1 : 0;
    case 4: return value <= 0xFF ? 1 : 0;
    default: return 1;
  }
}

int resolveAddress(const char* text, std::uint32_t* out) {
  if (text == nullptr || out == nullptr) return 1;
  if (isDottedAddress(text) == 1) {
    *out = parseNumericAddress(text);
    return *out == kAddressNone ? 1 : 0;
  }
  return platform::resolveHostName(text, out) ? 0 : 1;
}

void formatDottedAddress(std::uint32_t address, char buffer[kDottedTextSize]) {
  // Status calls hand several addresses back each; formatting costs a few instructions a byte
  // this way, where a formatted print costs hundreds.
  unsigned char bytes[4];
  std::memcpy(bytes, &address, sizeof(bytes));
  std::size_t at = 0;
  for (std::size_t i = 0; i < sizeof(bytes); ++i) {
    const unsigned value = bytes[i];
    if (i != 0) buffer[at++] = '.';
    if (value >= 100) buffer[at++] = static_cast<char>('0' + value / 100);
    if (value >= 10) buffer[at++] = static_cast<char>('0' + value / 10 % 10);
    buffer[at++] = static_cast<char>('0' + value % 10);
  }
  buffer[at] = '\0';
}

std::uint32_t addressToHostOrder(std::uint32_t address) {
  unsigned char bytes[4];
  std::memcpy(bytes, &address, sizeof(bytes));
  return (static_cast<std::uint32_t>(bytes[0]) << 24) |
         (static_cast<std::uint32_t>(bytes[1]) << 16) |
         (static_cast<std::uint32_t>(bytes[2]) << 8) | bytes[3];
}

std::uint32_t addressFromHostOrder(std::uint32_t value) {
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
      static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
  std::uint32_t address = 0;
  std::memcpy(&address, bytes, sizeof(address));
  return address;
}

}  // namespace cmn::jni
