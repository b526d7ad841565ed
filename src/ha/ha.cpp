// High availability: the ten requests of the partner state machine.

#include "ha/ha.h"

#include "channel/channel.h"
#include "config/address.h"
#include "jni/address.h"
#include "jni/entry.h"
#include "jni/fields.h"
#include "jni/record_fields.h"
#include "jni/strings.h"
#include "platform/platform.h"

namespace cmn::ha {
using namespace jni;

namespace {

using S = JavaType;
using W = Wire;

constexpr std::uint32_t kBackupAdd = 40;
constexpr std::uint32_t kBackupDelete = 41;
constexpr std::uint32_t kReachAdd = 43;
constexpr std::uint32_t kReachDelete = 44;
constexpr std::uint32_t kHeartbeatAdd = 45;
constexpr std::uint32_t kHeartbeatDelete = 46;
constexpr std::uint32_t kInfo = 47;
constexpr std::uint32_t kReachChange = 48;
constexpr std::uint32_t kTimers = 50;
constexpr std::uint32_t kTakeover = 51;

// HA request: up to three 32-bit values.
constexpr std::uint32_t kRequestLength = 280;
constexpr std::uint32_t kHeaderOnlyLength = 16;
constexpr std::uint32_t kFirst = 20;
constexpr std::uint32_t kSecond = 24;
constexpr std::uint32_t kThird = 28;

// HA information (command 47).
constexpr std::uint32_t kInfoLength = 1712;
constexpr std::uint32_t kFsmAddress = 20;
constexpr std::uint32_t kHeartbeatCount = 32;
constexpr std::uint32_t kReachCount = 680;
constexpr std::uint32_t kRecordsHeld = 32;
constexpr Records kHeartbeats{kHeartbeatCount, 36, 20, kRecordsHeld};  // counts are 16 bits
constexpr Records kReaches{kReachCount, 688, 32, kRecordsHeld};

const FieldSpec kModeReadBack[] = {{"haFsmMode", S::Int, W::U32, 16}};
const FieldSpec kStateReadBack[] = {
    {"haRole", S::Int, W::U8, 24},  {"haStrategy", S::Int, W::U8, 26},
    {"haState", S::Int, W::U8, 27}, {"haSubstate", S::Int, W::U8, 28},
    {"haPort", S::Int, W::U16, 30},
};
const FieldSpec kPeerReadBack[] = {{"haPeer", S::Int, W::U8, 34}};

const ColumnSpec kHeartbeatColumns[] = {
    {"haLocal_Address", 0, W::Net32},
    {"haRemote_Address", 4, W::Net32},
    {"haStatus", 14, W::U8},
};
const ColumnSpec kReachColumns[] = {
    {"haAddress", 0, W::Net32},     {"haMask", 4, W::Net32},
    {"haType", 8, W::U8},           {"haAddress_status", 9, W::U8},
    {"haRemote_status", 10, W::U8}, {"haLTimeStamp", 16, W::U32},
    {"haRTimeStamp", 24, W::U32},
};

const ReasonCode kHeartbeatReasons[] = {{-44, -44}, {-45, -45}};

constexpr jint kBadPort = -10;
constexpr jint kBadTimer = -6;
constexpr jint kTimersRefused = -17;
constexpr jint kReachRefused = -34;
constexpr jint kHeartbeatRefused = -35;
constexpr jint kTakeoverRefused = -36;
constexpr jint kNoAlias = -44;
constexpr jint kLocalUnresolved = -46;   // heartbeat's local address
constexpr jint kRemoteUnresolved = -47;  // heartbeat's remote address
constexpr jint kReachTargetUnresolved = -47;
constexpr jint kReachSecondUnresolved = -46;
constexpr jint kNotRemoved = -47;  // an unresolvable address or a refused delete alike
constexpr jint kChangeRefused = -99;

// A Java string resolved into *address; false when it is null or doesn't resolve.
bool resolveString(JNIEnv* env, jstring text, std::uint32_t* address) {
  UtfChars chars(env, text);
  return chars && resolveAddress(chars.get(), address) == 0;
}

std::int32_t decimalOf(JNIEnv* env, jstring text) {
  UtfChars chars(env, text);
  return parseDecimalText(chars.get());
}

int send(std::uint32_t command, std::uint32_t length) {
  RequestBlock& b = requestBlock();
  b.begin(command, length);
  return sendExecutorRequest(&b);
}

jint getInfo(JNIEnv* env, jobject info) {
  RequestBlock& b = requestBlock();
  std::int32_t fsm = 0;
  getIntFieldByName(env, info, "haFsmAddress", &fsm);
  b.putU32(kFsmAddress, static_cast<std::uint32_t>(fsm), ByteOrder::Network);
  const int sent = send(kInfo, kInfoLength);
  if (sent != 0) return sent;

  getFields(env, info, b, kModeReadBack);
  setIntFieldByName(env, info, "haFsmAddress",
                    static_cast<std::int32_t>(b.u32(kFsmAddress, ByteOrder::Network)));
  getFields(env, info, b, kStateReadBack);
  // The counts go to Java as the executor gave them; the records read stop at the 32 the
  // answer holds (the run's capacity) and at each array's length.
  const std::uint16_t heartbeats = b.u16(kHeartbeatCount);
  setIntFieldByName(env, info, "haHBCount", heartbeats);
  getFields(env, info, b, kPeerReadBack);
  getColumns(env, info, b, kHeartbeats, heartbeats, kHeartbeatColumns);

  const std::uint16_t reaches = b.u16(kReachCount);
  setIntFieldByName(env, info, "haReachCount", reaches);
  getColumns(env, info, b, kReaches, reaches, kReachColumns);
  return 0;
}

jint backupAdd(JNIEnv* env, jint first, jint second, jstring port) {
  RequestBlock& b = requestBlock();
  b.putI32(kFirst, first);
  b.putI32(kSecond, second);
  const std::int32_t value = decimalOf(env, port);
  if (value < 1 || value > 65535) return kBadPort;
  b.putI32(kThird, value);
  send(kBackupAdd, kRequestLength);  // the executor's answer is not reported
  return 0;
}

jint addReach(JNIEnv* env, jstring first, jstring second, jint value) {
  std::uint32_t target = 0;
  std::uint32_t mask = 0;
  if (!resolveString(env, first, &target)) return kReachTargetUnresolved;
  if (!resolveString(env, second, &mask)) return kReachSecondUnresolved;
  RequestBlock& b = requestBlock();
  b.putAddress(kFirst, target);
  b.putAddress(kSecond, mask);
  b.putI32(kThird, value);
  return send(kReachAdd, kRequestLength) == 0 ? 0 : kReachRefused;
}

// Delete reach, delete heartbeat and takeover: one address at 20.
jint sendAddress(JNIEnv* env, jstring text, std::uint32_t command, jint unresolved, jint refused) {
  std::uint32_t address = 0;
  if (!resolveString(env, text, &address)) return unresolved;
  requestBlock().putAddress(kFirst, address);
  return send(command, kRequestLength) == 0 ? 0 : refused;
}

jint changeReach(jint first, jint second, jint third) {
  RequestBlock& b = requestBlock();
  b.putI32(kFirst, first);
  b.putI32(kSecond, second);
  b.putI32(kThird, third);
  return send(kReachChange, kRequestLength) == 0 ? 0 : kChangeRefused;
}

// Configures `local` as an alias on the interface whose network holds it, unless the executor
// already lists it. 0, or -44 when no interface holds it or the alias tool fails.
jint ensureAlias(std::uint32_t local) {
  if (config::queryNicRecords() == 0 && config::findConfiguredAddress(local) != 0) return 0;
  const InterfaceRecord* found = config::findInterfaceForAddress(local);
  if (found == nullptr) return kNoAlias;
  char address[kDottedTextSize];
  char netmask[kDottedTextSize];
  char source[kDottedTextSize];
  formatDottedAddress(local, address);
  formatDottedAddress(found->mask, netmask);
  formatDottedAddress(found->address, source);
  return config::runAliasLine(found->name, address, netmask, source, kNoAlias) == 0 ? 0 : kNoAlias;
}

jint addHeartbeat(JNIEnv* env, jstring localText, jstring remoteText) {
  std::uint32_t local = 0;
  std::uint32_t remote = 0;
  if (!resolveString(env, localText, &local)) return kLocalUnresolved;
  if (!resolveString(env, remoteText, &remote)) return kRemoteUnresolved;
  if (const jint refused = ensureAlias(local)) return refused;
  RequestBlock& b = requestBlock();
  b.putAddress(kFirst, local);
  b.putAddress(kSecond, remote);
  if (send(kHeartbeatAdd, kRequestLength) == 0) return 0;
  return mapReason(kHeartbeatReasons, b.reason(), kHeartbeatRefused);
}

}  // namespace

std::int32_t parseDecimalText(const char* text) {
  if (text == nullptr) return -1;
  std::int64_t value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return -1;
    value = value * 10 + (*p - '0');
    if (value > 0x7FFFFFFF) return -1;
  }
  return static_cast<std::int32_t>(value);
}

CMN_NATIVE(jint, getHAInfoNative)(JNIEnv* env, jobject, jobject info) {
  return enterWithObjects(env, {info}, [&] { return getInfo(env, info); });
}

CMN_NATIVE(jint, backupAddNative)(JNIEnv* env, jobject, jint first, jint second, jstring port) {
  return enterNative<jint>(env, -1, [&] { return backupAdd(env, first, second, port); });
}

CMN_NATIVE(jint, backupDelNative)(JNIEnv* env, jobject) {
  return enterNative<jint>(env, -1, [] {
    send(kBackupDelete, kHeaderOnlyLength);  // the executor's answer is not reported
    return 0;
  });
}

CMN_NATIVE(jint, addReachNative)(JNIEnv* env, jobject, jstring first, jstring second, jint value) {
  return enterNative<jint>(env, -1, [&] { return addReach(env, first, second, value); });
}

CMN_NATIVE(jint, delReachNative)(JNIEnv* env, jobject, jstring address) {
  return enterNative<jint>(
      env, -1, [&] { return sendAddress(env, address, kReachDelete, kNotRemoved, kNotRemoved); });
}

CMN_NATIVE(jint, chgReachNative)(JNIEnv* env, jobject, jint first, jint second, jint third) {
  return enterNative<jint>(env, -1, [&] { return changeReach(first, second, third); });
}

CMN_NATIVE(jint, addHBNative)(JNIEnv* env, jobject, jstring local, jstring remote) {
  return enterNative<jint>(env, -1, [&] { return addHeartbeat(env, local, remote); });
}

CMN_NATIVE(jint, delHBNative)(JNIEnv* env, jobject, jstring address) {
  return enterNative<jint>(env, -1, [&] {
    return sendAddress(env, address, kHeartbeatDelete, kNotRemoved, kNotRemoved);
  });
}

CMN_NATIVE(jint, setTimersNative)
(JNIEnv* env, jobject, jstring t1, jstring t2, jstring t3, jstring t4, jstring t5, jstring t6,
 jstring t7) {
  return enterNative<jint>(env, -1, [&]() -> jint {
    for (jstring text : {t1, t2, t3, t4, t5, t6, t7}) {
      if (decimalOf(env, text) < 0) return kBadTimer;
    }
    return send(kTimers, kHeaderOnlyLength) == 0 ? 0 : kTimersRefused;
  });
}

CMN_NATIVE(jint, takeoverNative)(JNIEnv* env, jobject, jstring address) {
  return enterNative<jint>(
      env, -1, [&] { return sendAddress(env, address, kTakeover, -1, kTakeoverRefused); });
}

}  // namespace cmn::ha
