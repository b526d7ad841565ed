#include "jni/record_fields.h"

#include <string>
#include <vector>

#include "jni/address.h"
#include "jni/fields.h"
#include "jni/strings.h"

namespace cmn::jni {
namespace {

// The Java value of a numeric field, widened to 64 bits with its own sign (chars are unsigned).
bool readNumber(JNIEnv* env, jobject obj, const FieldSpec& f, std::int64_t* out) {
  switch (f.type) {
    case JavaType::Byte: {
      std::int8_t v;
      if (!getByteFieldByName(env, obj, f.java, &v)) return false;
      *out = v;
      return true;
    }
    case JavaType::Char: {
      std::uint16_t v;
      if (!getCharFieldByName(env, obj, f.java, &v)) return false;
      *out = v;
      return true;
    }
    case JavaType::Int: {
      std::int32_t v;
      if (!getIntFieldByName(env, obj, f.java, &v)) return false;
      *out = v;
      return true;
    }
    default: return false;
  }
}

void storeNumber(RequestBlock& b, const FieldSpec& f, std::int64_t v) {
  const auto bits = static_cast<std::uint64_t>(v);
  switch (f.wire) {
    case Wire::U8:
    case Wire::I8: b.putU8(f.offset, static_cast<std::uint8_t>(bits)); break;
    case Wire::U16:
    case Wire::I16: b.putU16(f.offset, static_cast<std::uint16_t>(bits)); break;
    case Wire::Net16:
      b.putU16(f.offset, static_cast<std::uint16_t>(bits), ByteOrder::Network);
      break;
    case Wire::U32: b.putU32(f.offset, static_cast<std::uint32_t>(bits)); break;
    case Wire::I64:
    case Wire::U64: b.putU64(f.offset, bits); break;
    default: break;
  }
}

// The block's value as the Java side sees it after read-back.
std::int64_t loadNumber(const RequestBlock& b, const FieldSpec& f) {
  switch (f.wire) {
    case Wire::U8: return b.u8(f.offset);
    case Wire::I8: return b.i8(f.offset);
    case Wire::U16: return b.u16(f.offset);
    case Wire::I16: return b.i16(f.offset);
    case Wire::Net16: return b.u16(f.offset, ByteOrder::Network);
    case Wire::U32: return static_cast<std::int32_t>(b.u32(f.offset));
    case Wire::I64: return static_cast<std::int32_t>(static_cast<std::uint32_t>(b.u64(f.offset)));
    case Wire::U64: return static_cast<std::int64_t>(b.u64(f.offset));
    default: return 0;
  }
}

}  // namespace

void putField(JNIEnv* env, jobject obj, RequestBlock& block, const FieldSpec& f) {
  switch (f.type) {
    case JavaType::Address: {
      std::uint32_t address = 0;
      if (getAddressFieldByName(env, obj, f.java, &address) != 0) address = 0;
      block.putAddress(f.offset, address);
      return;
    }
    case JavaType::Text: {
      jstring text = nullptr;
      if (!getStringFieldByName(env, obj, f.java, &text)) return;
      UtfChars chars(env, text);
      if (chars) block.putText(f.offset, f.width, chars.get());
      return;
    }
    case JavaType::ByteArray: {
      std::vector<std::int8_t> bytes(f.width);
      if (getByteArrayFieldRegion(env, obj, f.java, 0, static_cast<jsize>(f.width), bytes.data())) {
        block.putBytes(f.offset, bytes.data(), f.width);
      }
      return;
    }
    default: {
      std::int64_t value;
      if (readNumber(env, obj, f, &value)) storeNumber(block, f, value);
      return;
    }
  }
}

int putAddressField(JNIEnv* env, jobject obj, RequestBlock& block, const char* name,
                    std::uint32_t offset, NullAddress null) {
  constexpr int kUnresolved = -21;
  jstring text = nullptr;
  getStringFieldByName(env, obj, name, &text);
  UtfChars chars(env, text);
  if (!chars) return null == NullAddress::Unresolved ? kUnresolved : 0;
  std::uint32_t address = 0;
  if (resolveAddress(chars.get(), &address) != 0) return kUnresolved;
  block.putAddress(offset, address);
  return 0;
}

std::int8_t putFlag(JNIEnv* env, jobject obj, RequestBlock& block, const char* flag,
                    std::uint32_t offset) {
  std::int8_t value = 0;
  if (!getByteFieldByName(env, obj, flag, &value)) return 0;
  block.putU8(offset, static_cast<std::uint8_t>(value));
  return value;
}

void putFlaggedFields(JNIEnv* env, jobject obj, RequestBlock& block, const FlaggedSpec* specs,
                      std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const FlaggedSpec& s = specs[i];
    std::int8_t flag = 0;
    if (!getByteFieldByName(env, obj, s.flag, &flag)) continue;
    block.putU8(s.flagOffset, static_cast<std::uint8_t>(flag));
    if (flag != 1) continue;
    for (std::size_t v = 0; v < s.valueCount; ++v) putField(env, obj, block, s.values[v]);
  }
}

void getFields(JNIEnv* env, jobject obj, const RequestBlock& block, const FieldSpec* fields,
               std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const FieldSpec& f = fields[i];
    switch (f.type) {
      case JavaType::Address:
        setAddressStringField(env, obj, f.java, block.address(f.offset));
        break;
      case JavaType::Text: {
        std::string text(f.width + 1, '\0');
        block.getText(f.offset, f.width, text.data(), text.size());
        setStringFieldFromText(env, obj, f.java, text.c_str());
        break;
      }
      case JavaType::ByteArray: {
        std::vector<std::int8_t> bytes(f.width);
        block.getBytes(f.offset, bytes.data(), f.width);
        setByteArrayFieldRegion(env, obj, f.java, 0, static_cast<jsize>(f.width), bytes.data());
        break;
      }
      case JavaType::Byte:
        setByteFieldByName(env, obj, f.java, static_cast<std::int32_t>(loadNumber(block, f)));
        break;
      case JavaType::Char:
        setCharFieldByName(env, obj, f.java, static_cast<std::int32_t>(loadNumber(block, f)));
        break;
      case JavaType::Int:
        setIntFieldByName(env, obj, f.java, static_cast<std::int32_t>(loadNumber(block, f)));
        break;
      case JavaType::Long: setLongFieldByName(env, obj, f.java, loadNumber(block, f)); break;
    }
  }
}

void copyFlagsBack(JNIEnv* env, jobject obj, const RequestBlock& block, const FlagSpec* flags,
                   std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    setByteFieldByName(env, obj, flags[i].flag, block.u8(flags[i].offset));
  }
}

void getColumns(JNIEnv* env, jobject obj, const RequestBlock& block, const RecordRun& records,
                const ColumnSpec* columns, std::size_t count) {
  if (records.count == 0) return;
  std::vector<std::int32_t> values(records.count);
  for (std::size_t c = 0; c < count; ++c) {
    const ColumnSpec& spec = columns[c];
    for (std::uint32_t i = 0; i < records.count; ++i) {
      const std::uint32_t at = records.first + records.size * i + spec.offset;
      std::uint32_t v = 0;
      switch (spec.column) {
        case Column::U8: v = block.u8(at); break;
        case Column::U16: v = block.u16(at); break;
        case Column::U32: v = block.u32(at); break;
        case Column::Net32: v = block.u32(at, ByteOrder::Network); break;
      }
      values[i] = static_cast<std::int32_t>(v);
    }
    setIntArrayFieldPrefix(env, obj, spec.java, static_cast<jsize>(records.count), values.data());
  }
}

std::int32_t mapReason(const ReasonCode* table, std::size_t count, std::int32_t reason,
                       std::int32_t otherwise) {
  for (std::size_t i = 0; i < count; ++i) {
    if (table[i].reason == reason) return table[i].result;
  }
  return otherwise;
}

}  // namespace cmn::jni
