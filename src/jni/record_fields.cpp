#include "jni/record_fields.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "jni/address.h"
#include "jni/fields.h"
#include "jni/idkey.h"
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
    case Wire::Net32:
      b.putU32(f.offset, static_cast<std::uint32_t>(bits), ByteOrder::Network);
      break;
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
    case Wire::Net32: return static_cast<std::int32_t>(b.u32(f.offset, ByteOrder::Network));
    case Wire::I64: return static_cast<std::int32_t>(static_cast<std::uint32_t>(b.u64(f.offset)));
    case Wire::U64: return static_cast<std::int64_t>(b.u64(f.offset));
    default: return 0;
  }
}

// Addresses travel as their bytes lie in memory unless the layout holds them as host-order
// integers, where the first octet is the most significant byte.
void storeAddress(RequestBlock& b, const FieldSpec& f, std::uint32_t address) {
  if (f.wire == Wire::Ip32) {
    b.putU32(f.offset, addressToHostOrder(address));
  } else {
    b.putAddress(f.offset, address);
  }
}

std::uint32_t loadAddress(const RequestBlock& b, const FieldSpec& f) {
  return f.wire == Wire::Ip32 ? addressFromHostOrder(b.u32(f.offset)) : b.address(f.offset);
}

}  // namespace

bool putField(JNIEnv* env, jobject obj, RequestBlock& block, const FieldSpec& f) {
  switch (f.type) {
    case JavaType::Address: {
      std::uint32_t address = 0;
      if (getAddressFieldByName(env, obj, f.java, &address) != 0) address = 0;
      storeAddress(block, f, address);
      return true;
    }
    case JavaType::Resolved: return putResolvedAddress(env, obj, block, f) == 0;
    case JavaType::IdKey: {
      std::uint32_t key = 0;
      if (!idKeyOfField(env, obj, f.java, &key)) return false;
      storeNumber(block, f, key);
      return true;
    }
    case JavaType::Text:
    case JavaType::OptText: {
      jstring text = nullptr;
      if (!getStringFieldByName(env, obj, f.java, &text)) return false;
      const UtfChars chars(env, text);
      // Nothing to set goes out empty, never as what the block held.
      const char* value = chars ? chars.get() : f.type == JavaType::OptText ? "" : nullptr;
      return value != nullptr && std::strlen(value) < f.width &&
             block.putText(f.offset, f.width, value);
    }
    case JavaType::ByteArray: {
      std::vector<std::int8_t> bytes(f.width);
      if (!getByteArrayFieldRegion(env, obj, f.java, 0, static_cast<jsize>(f.width),
                                   bytes.data())) {
        return false;
      }
      block.putBytes(f.offset, bytes.data(), f.width);
      return true;
    }
    default: {
      std::int64_t value;
      if (!readNumber(env, obj, f, &value)) return false;
      storeNumber(block, f, value);
      return true;
    }
  }
}

bool putFields(JNIEnv* env, jobject obj, RequestBlock& block, const FieldSpec* fields,
               std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!putField(env, obj, block, fields[i])) return false;
  }
  return true;
}

int putAddressField(JNIEnv* env, jobject obj, RequestBlock& block, const char* name,
                    std::uint32_t offset) {
  return putResolvedAddress(env, obj, block, {name, JavaType::Address, Wire::Addr, offset});
}

int putResolvedAddress(JNIEnv* env, jobject obj, RequestBlock& block, const FieldSpec& field) {
  constexpr int kUnresolved = -21;
  jstring text = nullptr;
  getStringFieldByName(env, obj, field.java, &text);
  UtfChars chars(env, text);
  if (!chars) return kUnresolved;
  std::uint32_t address = 0;
  if (resolveAddress(chars.get(), &address) != 0) return kUnresolved;
  storeAddress(block, field, address);
  return 0;
}

std::int8_t putFlag(JNIEnv* env, jobject obj, RequestBlock& block, const FlagSpec& flag) {
  std::int8_t value = 0;
  if (!getByteFieldByName(env, obj, flag.flag, &value)) return 0;
  block.putU8(flag.offset, static_cast<std::uint8_t>(value));
  return value;
}

std::int32_t putFlaggedFields(JNIEnv* env, jobject obj, RequestBlock& block,
                              const FlaggedSpec* specs, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const FlaggedSpec& s = specs[i];
    if (putFlag(env, obj, block, s.flag) != 1) {
      if (s.emptiedUnset) block.putText(s.values[0].offset, s.values[0].width, "");
      continue;
    }
    for (std::size_t v = 0; v < s.valueCount; ++v) {
      if (!putField(env, obj, block, s.values[v])) return s.refused;
    }
  }
  return 0;
}

bool textFits(JNIEnv* env, jobject obj, const FieldSpec& field) {
  jstring text = nullptr;
  getStringFieldByName(env, obj, field.java, &text);
  const UtfChars chars(env, text);
  return !chars || std::strlen(chars.get()) < field.width;
}

bool flaggedTextsFit(JNIEnv* env, jobject obj, const FlaggedSpec* specs, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const FieldSpec& value = specs[i].values[0];
    if (value.type != JavaType::OptText) continue;
    std::int8_t flag = 0;
    if (getByteFieldByName(env, obj, specs[i].flag.flag, &flag) && flag == 1 &&
        !textFits(env, obj, value)) {
      return false;
    }
  }
  return true;
}

void getFields(JNIEnv* env, jobject obj, const RequestBlock& block, const FieldSpec* fields,
               std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const FieldSpec& f = fields[i];
    switch (f.type) {
      case JavaType::Address:
      case JavaType::Resolved:
        setAddressStringField(env, obj, f.java, loadAddress(block, f));
        break;
      case JavaType::IdKey: break;  // a key has no way back to its identifier
      case JavaType::Text:
      case JavaType::OptText: {
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

void copyFlagsBack(JNIEnv* env, jobject obj, const RequestBlock& block, FlagsBack* flags,
                   std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    setByteFieldByName(env, obj, flags[i]->flag, block.u8(flags[i]->offset));
  }
}

namespace {

// The field as it lies in the record at `base`.
FieldSpec shifted(const FieldSpec& f, std::uint32_t base) {
  FieldSpec at = f;
  at.offset += base;
  return at;
}

jobject calleeOf(const MethodSpec& m, jobject item, jobject holder) {
  return m.callee == Callee::Item ? item : holder;
}

// One getter's value into the record. 0 or the refusal code the entry names.
std::int32_t putMethodValue(JNIEnv* env, jobject callee, RequestBlock& b, std::uint32_t base,
                            const MethodSpec& m) {
  if (m.type == JavaType::Text) {
    jstring text = nullptr;
    if (!callStringMethodChecked(env, callee, m.method, &text)) return m.refused;
    const LocalRef<jstring> held(env, text);
    const UtfChars chars(env, text);
    const char* value = chars ? chars.get() : "";
    if (std::strlen(value) >= m.width) return m.refused;
    b.putText(base + m.offset, m.width, value);
    return 0;
  }
  std::int32_t value = 0;
  if (!callIntMethodChecked(env, callee, m.method, &value)) return m.refused;
  if ((m.wire == Wire::Net16 || m.wire == Wire::U16) &&
      static_cast<std::uint32_t>(value) > 0xFFFF) {
    return m.refused;
  }
  storeNumber(b, FieldSpec{m.method, JavaType::Int, m.wire, base + m.offset}, value);
  return 0;
}

}  // namespace

std::int32_t putMethodValues(JNIEnv* env, jobject item, jobject holder, RequestBlock& block,
                             std::uint32_t base, const MethodSpec* specs, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const MethodSpec& m = specs[i];
    if (const std::int32_t refused =
            putMethodValue(env, calleeOf(m, item, holder), block, base, m)) {
      return refused;
    }
  }
  return 0;
}

std::int32_t callBackValues(JNIEnv* env, jobject item, jobject holder, const RequestBlock& block,
                            std::uint32_t base, const MethodSpec* specs, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const MethodSpec& m = specs[i];
    const auto value = static_cast<std::int32_t>(
        loadNumber(block, FieldSpec{m.method, JavaType::Int, m.wire, base + m.offset}));
    if (!callVoidIntMethodChecked(env, calleeOf(m, item, holder), m.method, value)) {
      return m.refused;
    }
  }
  return 0;
}

void getFieldsAt(JNIEnv* env, jobject obj, const RequestBlock& block, std::uint32_t base,
                 const FieldSpec* fields, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const FieldSpec at = shifted(fields[i], base);
    getFields(env, obj, block, &at, 1);
  }
}

namespace {

// One column's values on their way between the first `count` records of a run and a Java array.
struct ColumnRoom {
  std::uint32_t count = 0;
  std::vector<std::int32_t> values;
  std::vector<std::int8_t> bytes;

  // Room for `wanted` records, never more than the run holds; false when there is no memory.
  bool make(const Records& run, std::uint32_t wanted) {
    count = run.fitting(wanted);
    try {
      values.resize(count);
      bytes.resize(count);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
};

// The column's value in record i.
FieldSpec cellOf(const Records& run, const ColumnSpec& column, std::uint32_t i) {
  return FieldSpec{column.java, JavaType::Int, column.wire, run.at(i) + column.offset};
}

const char* arraySignature(const ColumnSpec& column) {
  return column.type == JavaType::Byte ? "[B" : "[I";
}

}  // namespace

bool columnsHold(JNIEnv* env, jobject obj, const ColumnSpec* columns, std::size_t columnCount,
                 std::int32_t n, bool nullAllowed) {
  for (std::size_t c = 0; c < columnCount; ++c) {
    const jsize length = arrayFieldLength(env, obj, columns[c].java, arraySignature(columns[c]));
    if (length < 0 ? !nullAllowed : length < n) return false;
  }
  return true;
}

bool getColumns(JNIEnv* env, jobject obj, const RequestBlock& block, const Records& run,
                std::uint32_t count, const ColumnSpec* columns, std::size_t columnCount) {
  ColumnRoom room;
  if (!room.make(run, count)) return false;
  const auto n = static_cast<jsize>(room.count);
  for (std::size_t c = 0; c < columnCount && n > 0; ++c) {
    for (std::uint32_t i = 0; i < room.count; ++i) {
      room.values[i] = static_cast<std::int32_t>(loadNumber(block, cellOf(run, columns[c], i)));
      room.bytes[i] = static_cast<std::int8_t>(room.values[i]);
    }
    if (columns[c].type == JavaType::Byte) {
      setByteArrayFieldPrefix(env, obj, columns[c].java, n, room.bytes.data());
    } else {
      setIntArrayFieldPrefix(env, obj, columns[c].java, n, room.values.data());
    }
  }
  return true;
}

bool putColumns(JNIEnv* env, jobject obj, RequestBlock& block, const Records& run,
                std::uint32_t count, const ColumnSpec* columns, std::size_t columnCount) {
  ColumnRoom room;
  if (!room.make(run, count)) return false;
  const auto n = static_cast<jsize>(room.count);
  for (std::size_t c = 0; c < columnCount && n > 0; ++c) {
    const bool bytes = columns[c].type == JavaType::Byte;
    if (bytes ? !getByteArrayFieldRegion(env, obj, columns[c].java, 0, n, room.bytes.data())
              : !getIntArrayFieldRegion(env, obj, columns[c].java, 0, n, room.values.data())) {
      return false;
    }
    for (std::uint32_t i = 0; i < room.count; ++i) {
      storeNumber(block, cellOf(run, columns[c], i), bytes ? room.bytes[i] : room.values[i]);
    }
  }
  return true;
}

std::int32_t mapReason(const ReasonCode* table, std::size_t count, std::int32_t reason,
                       std::int32_t otherwise) {
  for (std::size_t i = 0; i < count; ++i) {
    if (table[i].reason == reason) return table[i].result;
  }
  return otherwise;
}

}  // namespace cmn::jni
