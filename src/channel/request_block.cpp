#include "channel/request_block.h"

#include <cstring>

namespace cmn {
namespace {
// Zero-initialised static storage: no constructor runs at load.
RequestBlock g_block;
}  // namespace

RequestBlock& requestBlock() { return g_block; }

std::uint64_t RequestBlock::load(std::uint32_t offset, std::uint32_t width,
                                 ByteOrder order) const {
  if (!fits(offset, width)) return 0;
  std::uint64_t value = 0;
  for (std::uint32_t i = 0; i < width; ++i) {
    const std::uint32_t shift = order == ByteOrder::Host ? 8 * i : 8 * (width - 1 - i);
    value |= static_cast<std::uint64_t>(bytes_[offset + i]) << shift;
  }
  return value;
}

void RequestBlock::store(std::uint32_t offset, std::uint32_t width, std::uint64_t value,
                         ByteOrder order) {
  if (!fits(offset, width)) return;
  for (std::uint32_t i = 0; i < width; ++i) {
    const std::uint32_t shift = order == ByteOrder::Host ? 8 * i : 8 * (width - 1 - i);
    bytes_[offset + i] = static_cast<std::uint8_t>(value >> shift);
  }
}

std::uint8_t RequestBlock::u8(std::uint32_t offset) const {
  return static_cast<std::uint8_t>(load(offset, 1, ByteOrder::Host));
}
std::uint32_t RequestBlock::u32(std::uint32_t offset, ByteOrder order) const {
  return static_cast<std::uint32_t>(load(offset, 4, order));
}
std::uint64_t RequestBlock::u64(std::uint32_t offset, ByteOrder order) const {
  return load(offset, 8, order);
}

void RequestBlock::putU8(std::uint32_t offset, std::uint8_t value) {
  store(offset, 1, value, ByteOrder::Host);
}
void RequestBlock::putU16(std::uint32_t offset, std::uint16_t value, ByteOrder order) {
  store(offset, 2, value, order);
}
void RequestBlock::putU32(std::uint32_t offset, std::uint32_t value, ByteOrder order) {
  store(offset, 4, value, order);
}
void RequestBlock::putU64(std::uint32_t offset, std::uint64_t value, ByteOrder order) {
  store(offset, 8, value, order);
}

std::uint32_t RequestBlock::address(std::uint32_t offset) const {
  std::uint32_t value = 0;
  getBytes(offset, &value, sizeof(value));
  return value;
}

void RequestBlock::putAddress(std::uint32_t offset, std::uint32_t address) {
  putBytes(offset, &address, sizeof(address));
}

void RequestBlock::fill(std::uint32_t offset, std::uint32_t count, std::uint8_t value) {
  if (!fits(offset, count)) return;
  std::memset(bytes_ + offset, value, count);
}

void RequestBlock::putBytes(std::uint32_t offset, const void* data, std::uint32_t count) {
  if (data == nullptr || !fits(offset, count)) return;
  std::memcpy(bytes_ + offset, data, count);
}

void RequestBlock::getBytes(std::uint32_t offset, void* data, std::uint32_t count) const {
  if (data == nullptr) return;
  if (!fits(offset, count)) {
    std::memset(data, 0, count);
    return;
  }
  std::memcpy(data, bytes_ + offset, count);
}

bool RequestBlock::putText(std::uint32_t offset, std::uint32_t width, const char* text) {
  if (width == 0 || !fits(offset, width)) return false;
  if (text == nullptr) text = "";
  std::size_t length = 0;
  while (length < width && text[length] != '\0') ++length;
  const bool cut = length == width;
  if (cut) length = width - 1;
  std::memcpy(bytes_ + offset, text, length);
  bytes_[offset + length] = 0;
  return !cut;
}

}  // namespace cmn
