// The executor's ICMP response record: read (command 57) and written (command 58).

#include "channel/channel.h"
#include "jni/entry.h"
#include "jni/record_fields.h"

namespace cmn::diag {
using namespace jni;

namespace {

constexpr std::uint32_t kGetIcmp = 57;
constexpr std::uint32_t kSetIcmp = 58;
constexpr std::uint32_t kIcmpLength = 24;

// Both fields travel as the same 32-bit pattern either way: the address is neither swapped nor
// checked.
constexpr FieldSpec kIcmpRecord[] = {
    {"iGotIcmpResp", JavaType::Int, Wire::U32, 16},
    {"iIcmpRespAddr", JavaType::Int, Wire::U32, 20},
};

}  // namespace

CMN_NATIVE(jint, getIcmpInfoNative)(JNIEnv* env, jobject, jobject icmp) {
  return enterWithObjects(env, {icmp}, [&]() -> jint {
    RequestBlock& b = requestBlock();
    b.begin(kGetIcmp, kIcmpLength);
    const int sent = sendExecutorRequest(&b);
    if (sent != 0) return sent;  // the object keeps what it held
    getFields(env, icmp, b, kIcmpRecord);
    return 0;
  });
}

CMN_NATIVE(jint, setIcmpInfoNative)(JNIEnv* env, jobject, jobject icmp) {
  return enterWithObjects(env, {icmp}, [&]() -> jint {
    RequestBlock& b = requestBlock();
    for (const FieldSpec& field : kIcmpRecord) {
      if (!putField(env, icmp, b, field)) return kMissingArgument;
    }
    b.begin(kSetIcmp, kIcmpLength);
    return sendExecutorRequest(&b);
  });
}

}  // namespace cmn::diag
