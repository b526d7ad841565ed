// Request layouts as data.
//
// Most of a configuration request is a run of fields that move between one Java object and the
// request block unchanged but for width, byte order and sign. A layout declares them once, as a
// table of (Java field, Java type, wire form, offset), and one small engine moves them; the
// steps that are more than a move (address resolution with its own result codes, ID keys,
// identifier copies) stay explicit code beside the tables.
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstdint>

#include "channel/request_block.h"

namespace cmn::jni {

// How a field is declared on the Java side.
enum class JavaType : std::uint8_t {
  Byte,       // "B"
  Char,       // "C"
  Int,        // "I"
  Long,       // "J"
  Text,       // String holding text
  Address,    // String holding a dotted address or a host name
  ByteArray,  // "[B", elements 0 to width - 1
};

// How a field lies in the request block.
enum class Wire : std::uint8_t {
  U8,     // 8 bits; read back zero-extended
  I8,     // 8 bits; read back sign-extended
  U16,    // 16 bits, host order; read back zero-extended
  I16,    // 16 bits, host order; read back sign-extended
  Net16,  // 16 bits, network order; read back zero-extended
  U32,    // 32 bits, host order
  I64,    // 64 bits, host order; an int goes in sign-extended, comes back as its low 32 bits
  U64,    // 64 bits, host order, read back whole (Long fields)
  Addr,   // 4 address bytes as they lie in memory
  Text,   // zero-terminated text in a field of `width` bytes
  Bytes,  // `width` raw bytes
};

struct FieldSpec {
  const char* java;
  JavaType type;
  Wire wire;
  std::uint32_t offset;
  std::uint32_t width = 0;  // Text and Bytes only
};

// An optional setting: a flag byte, always sent, and the values it guards, sent only when the
// flag is 1.
struct FlaggedSpec {
  const char* flag;
  std::uint32_t flagOffset;
  FieldSpec values[4];
  std::size_t valueCount = 1;
};

// A flag as written back from the block into the Java object.
struct FlagSpec {
  const char* flag;
  std::uint32_t offset;
};

// Moves one field from the Java object into the block. An address that does not resolve
// stores 0.0.0.0, never a stale address.
void putField(JNIEnv* env, jobject obj, RequestBlock& block, const FieldSpec& field);

// Reads the byte field `flag` into its flag byte and returns it (0 when it can't be read), for
// the optional settings whose values need more than a move.
std::int8_t putFlag(JNIEnv* env, jobject obj, RequestBlock& block, const char* flag,
                    std::uint32_t offset);

// What a null String field means to putAddressField.
enum class NullAddress : std::uint8_t { KeepsTheBlock, Unresolved };

// Resolves the String field `name` into the address at `offset`: 0 when stored, -21 when the
// text doesn't resolve (the block keeps its bytes). A null field stores nothing and gives 0 or,
// where an address is required, -21.
int putAddressField(JNIEnv* env, jobject obj, RequestBlock& block, const char* name,
                    std::uint32_t offset, NullAddress null = NullAddress::KeepsTheBlock);

// Reads each flag into its flag byte and, where it is 1, the values behind it; in table order.
void putFlaggedFields(JNIEnv* env, jobject obj, RequestBlock& block, const FlaggedSpec* specs,
                      std::size_t count);

// Moves fields from the block into the Java object, in table order.
void getFields(JNIEnv* env, jobject obj, const RequestBlock& block, const FieldSpec* fields,
               std::size_t count);

// Writes flag bytes from the block back into the object's byte fields, in table order.
void copyFlagsBack(JNIEnv* env, jobject obj, const RequestBlock& block, const FlagSpec* flags,
                   std::size_t count);

template <std::size_t N>
void putFlaggedFields(JNIEnv* env, jobject obj, RequestBlock& block, const FlaggedSpec (&t)[N]) {
  putFlaggedFields(env, obj, block, t, N);
}
template <std::size_t N>
void getFields(JNIEnv* env, jobject obj, const RequestBlock& block, const FieldSpec (&t)[N]) {
  getFields(env, obj, block, t, N);
}
template <std::size_t N>
void copyFlagsBack(JNIEnv* env, jobject obj, const RequestBlock& block, const FlagSpec (&t)[N]) {
  copyFlagsBack(env, obj, block, t, N);
}

// ---- Columns of fixed-size records ------------------------------------------------------------

// How one value of a record lies in the block, as an element of a Java int array receives it.
enum class Column : std::uint8_t {
  U8,     // 8 bits, zero-extended
  U16,    // 16 bits, host order, zero-extended
  U32,    // 32 bits, host order, as they stand
  Net32,  // 32 bits, network order (addresses): the int holds the first octet in its top byte
};

struct ColumnSpec {
  const char* java;      // an int-array field ("[I")
  std::uint32_t offset;  // within the record
  Column column;
};

// `count` records of `size` bytes from `first`.
struct RecordRun {
  std::uint32_t first;
  std::uint32_t size;
  std::uint32_t count;
};

// Fills elements 0 to count - 1 of each array field from its column of the records, one field
// after the other in table order, each with one array write that never passes the array's end.
void getColumns(JNIEnv* env, jobject obj, const RequestBlock& block, const RecordRun& records,
                const ColumnSpec* columns, std::size_t count);
template <std::size_t N>
void getColumns(JNIEnv* env, jobject obj, const RequestBlock& block, const RecordRun& records,
                const ColumnSpec (&t)[N]) {
  getColumns(env, obj, block, records, t, N);
}

// ---- Reason codes -----------------------------------------------------------------------------

// One row of a method's table from the executor's reason code to its own result.
struct ReasonCode {
  std::int32_t reason;
  std::int32_t result;
};

// The result for `reason`, or `otherwise` when the table has no row for it.
std::int32_t mapReason(const ReasonCode* table, std::size_t count, std::int32_t reason,
                       std::int32_t otherwise);
template <std::size_t N>
std::int32_t mapReason(const ReasonCode (&t)[N], std::int32_t reason, std::int32_t otherwise) {
  return mapReason(t, N, reason, otherwise);
}

}  // namespace cmn::jni
