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
  Text,       // String holding text; going out, a text that does not fit its field whole is
              // refused, never cut (a cut text would name something else)
  OptText,    // the same, but a null String sends the empty text, never the block's
  Address,    // String holding a dotted address or a host name; one that doesn't resolve, or
              // none, goes out as 0.0.0.0
  Resolved,   // the same, but one that doesn't resolve, or none, is refused (block untouched)
  IdKey,      // String holding an identifier, sent as its ID key; none is refused
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
  Net32,  // 32 bits, network order: a host-order int address as its bytes travel
  Ip32,   // an address as a 32-bit host-order integer (the first octet most significant)
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

// A flag: a Java byte field and the byte it travels in.
struct FlagSpec {
  const char* flag;
  std::uint32_t offset;
};

// The result of a request whose flagged value could not be had (a null text or array, or an
// array shorter than its field, behind a flag of 1): nothing is sent, as for a null object.
inline constexpr std::int32_t kFlaggedValueMissing = -88;

// An optional setting: a flag byte, always sent, and the values it guards, sent only when the
// flag is 1. A value that can't be had gives `refused`; with `emptiedUnset`, a text whose flag
// is not 1 goes out empty.
struct FlaggedSpec {
  FlagSpec flag;
  FieldSpec values[4];
  std::size_t valueCount = 1;
  std::int32_t refused = kFlaggedValueMissing;
  bool emptiedUnset = false;
};

// The flags a request writes back into the Java object after it is sent, in the order they are
// written: each points at the flag of a row of the tables that sent it (or at a flag sent on its
// own), so an offset is stated once.
using FlagsBack = const FlagSpec* const;

// Moves one field from the Java object into the block. An address that does not resolve, or
// that is null, stores 0.0.0.0, never a stale address. False when the value could not be had
// (a null text, a null array or one shorter than the field): the block keeps its bytes then.
bool putField(JNIEnv* env, jobject obj, RequestBlock& block, const FieldSpec& field);

// Reads the flag's byte field into its flag byte and returns it (0 when it can't be read), for
// the optional settings whose values need more than a move.
std::int8_t putFlag(JNIEnv* env, jobject obj, RequestBlock& block, const FlagSpec& flag);

// Resolves the String field `name` into the address at `offset`: 0 when stored, -21 when the
// text doesn't resolve or the field is null (the block keeps its bytes). A null address is one
// that does not resolve, for every address field: the caller refuses it with its own code, and
// the block's stale address never goes out as if the caller had set it.
int putAddressField(JNIEnv* env, jobject obj, RequestBlock& block, const char* name,
                    std::uint32_t offset);

// Resolves the Address field `field` into the block in its wire form (Addr or Ip32): 0 when
// stored, -21 when the text doesn't resolve or is null; the block then keeps its bytes.
int putResolvedAddress(JNIEnv* env, jobject obj, RequestBlock& block, const FieldSpec& field);

// Reads each flag into its flag byte and, where it is 1, the values behind it; in table order.
// 0, or the row's `refused` at the first flagged value that could not be had (the request must
// not be sent then).
std::int32_t putFlaggedFields(JNIEnv* env, jobject obj, RequestBlock& block,
                              const FlaggedSpec* specs, std::size_t count);

// Whether every OptText value of the table whose flag is 1 fits its field whole, read before
// anything is sent (a null text fits: it goes out empty).
bool flaggedTextsFit(JNIEnv* env, jobject obj, const FlaggedSpec* specs, std::size_t count);
bool textFits(JNIEnv* env, jobject obj, const FieldSpec& field);

// Moves fields from the block into the Java object, in table order.
void getFields(JNIEnv* env, jobject obj, const RequestBlock& block, const FieldSpec* fields,
               std::size_t count);

// Writes flag bytes from the block back into the object's byte fields, in table order.
void copyFlagsBack(JNIEnv* env, jobject obj, const RequestBlock& block, FlagsBack* flags,
                   std::size_t count);

// Moves each field from the Java object into the block, in table order; false at the first one
// that could not be had.
bool putFields(JNIEnv* env, jobject obj, RequestBlock& block, const FieldSpec* fields,
               std::size_t count);

template <std::size_t N>
bool putFields(JNIEnv* env, jobject obj, RequestBlock& block, const FieldSpec (&t)[N]) {
  return putFields(env, obj, block, t, N);
}
template <std::size_t N>
std::int32_t putFlaggedFields(JNIEnv* env, jobject obj, RequestBlock& block,
                              const FlaggedSpec (&t)[N]) {
  return putFlaggedFields(env, obj, block, t, N);
}
template <std::size_t N>
bool flaggedTextsFit(JNIEnv* env, jobject obj, const FlaggedSpec (&t)[N]) {
  return flaggedTextsFit(env, obj, t, N);
}
template <std::size_t N>
void getFields(JNIEnv* env, jobject obj, const RequestBlock& block, const FieldSpec (&t)[N]) {
  getFields(env, obj, block, t, N);
}
template <std::size_t N>
void copyFlagsBack(JNIEnv* env, jobject obj, const RequestBlock& block, FlagsBack (&t)[N]) {
  copyFlagsBack(env, obj, block, t, N);
}

// ---- Records that repeat, filled through Java method calls ----------------------------------
//
// Some records are not fields of one object but items the Java side hands out one at a time
// (a server's listeners through "getListener"), with values read through getters of the item
// and of the object that holds it, and handed back through setters.

// Whose method a MethodSpec calls: the item of the record, or the object that holds the items.
enum class Callee : std::uint8_t { Item, Holder };

// A value that travels through a Java method rather than a field. Going out the method is a
// getter: "()I" for Int, "()Ljava/lang/String;" for Text. Coming back it is a setter "(I)V"
// taking the value as the wire reads it. Offsets count from the record's start.
struct MethodSpec {
  const char* method;
  JavaType type;  // Int or Text
  Wire wire;      // U32, Net16, Net32 or Text
  std::uint32_t offset;
  std::uint32_t width;  // Text only
  Callee callee;
  std::int32_t refused;  // the result when the call can't be made or its value doesn't fit
};

// Fills the record at `base` from getter calls, in table order. 0, or the `refused` code of the
// first call that can't be made or throws (the exception is left pending for Java), of an int
// that doesn't fit an unsigned 16-bit wire, or of a text longer than its field. A null text is
// sent as the empty text, never as what the block held.
std::int32_t putMethodValues(JNIEnv* env, jobject item, jobject holder, RequestBlock& block,
                             std::uint32_t base, const MethodSpec* specs, std::size_t count);

// Hands the record at `base` back through setter calls, in table order. 0, or the `refused`
// code of the first call that can't be made or throws; nothing is called after it.
std::int32_t callBackValues(JNIEnv* env, jobject item, jobject holder, const RequestBlock& block,
                            std::uint32_t base, const MethodSpec* specs, std::size_t count);

// getFields for a record at `base`: each field's offset counts from it.
void getFieldsAt(JNIEnv* env, jobject obj, const RequestBlock& block, std::uint32_t base,
                 const FieldSpec* fields, std::size_t count);

template <std::size_t N>
std::int32_t putMethodValues(JNIEnv* env, jobject item, jobject holder, RequestBlock& block,
                             std::uint32_t base, const MethodSpec (&t)[N]) {
  return putMethodValues(env, item, holder, block, base, t, N);
}
template <std::size_t N>
std::int32_t callBackValues(JNIEnv* env, jobject item, jobject holder, const RequestBlock& block,
                            std::uint32_t base, const MethodSpec (&t)[N]) {
  return callBackValues(env, item, holder, block, base, t, N);
}
template <std::size_t N>
void getFieldsAt(JNIEnv* env, jobject obj, const RequestBlock& block, std::uint32_t base,
                 const FieldSpec (&t)[N]) {
  getFieldsAt(env, obj, block, base, t, N);
}

// ---- Columns of repeated records ------------------------------------------------------------

// One value of each record and a Java array field ("[I" for Int, "[B" for Byte), element i for
// record i, the value as its wire says (U8, I8, U16, I16, U32 or Net32: an address as an int
// with its first octet on top).
struct ColumnSpec {
  const char* java;
  std::uint32_t offset;  // within the record
  Wire wire;
  JavaType type = JavaType::Int;
};

// Whether each array field holds at least n elements; a null one passes where `nullAllowed`.
bool columnsHold(JNIEnv* env, jobject obj, const ColumnSpec* columns, std::size_t columnCount,
                 std::int32_t n, bool nullAllowed);

// Fills elements 0 to count - 1 of each array field from its column of the first `count`
// records of `run` (never more than its capacity), one field after the other in table order,
// each with one array write that never passes the array's end. False, having written nothing
// more, when there is no memory for a column.
bool getColumns(JNIEnv* env, jobject obj, const RequestBlock& block, const Records& run,
                std::uint32_t count, const ColumnSpec* columns, std::size_t columnCount);

// The other way: elements 0 to count - 1 of each array field into its column of the first
// `count` records, one field after the other. False, at the first array that does not hold them
// (or no memory), with the columns before it written.
bool putColumns(JNIEnv* env, jobject obj, RequestBlock& block, const Records& run,
                std::uint32_t count, const ColumnSpec* columns, std::size_t columnCount);

template <std::size_t N>
bool columnsHold(JNIEnv* env, jobject obj, const ColumnSpec (&t)[N], std::int32_t n,
                 bool nullAllowed) {
  return columnsHold(env, obj, t, N, n, nullAllowed);
}
template <std::size_t N>
bool getColumns(JNIEnv* env, jobject obj, const RequestBlock& block, const Records& run,
                std::uint32_t count, const ColumnSpec (&t)[N]) {
  return getColumns(env, obj, block, run, count, t, N);
}
template <std::size_t N>
bool putColumns(JNIEnv* env, jobject obj, RequestBlock& block, const Records& run,
                std::uint32_t count, const ColumnSpec (&t)[N]) {
  return putColumns(env, obj, block, run, count, t, N);
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
