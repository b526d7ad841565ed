// Executor-wide settings: set (command 2), read back (command 1), and the executor's rate.

#include "executor/settings.h"

#include "channel/channel.h"
#include "executor/report.h"
#include "executor/settings_layout.h"
#include "jni/entry.h"
#include "jni/fields.h"
#include "jni/record_fields.h"
#include "jni/strings.h"
#include "platform/platform.h"

namespace cmn::executor {
using namespace jni;

namespace {

using S = JavaType;
using W = Wire;

// Settings moved before the client gateway, in the order they are read.
const FlaggedSpec kLeadingSettings[] = {
    {{"SetTraceLevel", settings::kSetTraceLevel}, {{"TraceLevel", S::Int, W::U32, settings::kTraceLevel}}},
    {{"SetDefaultClusterMaxPorts", 631}, {{"DefaultClusterMaxPorts", S::Int, W::U32, 28}}},
    {{"SetFINTimeout", 632}, {{"FINTimeout", S::Int, W::I64, 32}}},
    {{"SetHaTimeout", 633}, {{"HaTimeout", S::Int, W::I64, 40}}},
    {{"SetHaSyncTimeout", 634}, {{"HaSyncTimeout", S::Int, W::I64, 48}}},
};

// Settings moved after the gateways.
const FlaggedSpec kTrailingSettings[] = {
    {{"SetDefaultPortMaxServers", 636}, {{"DefaultPortMaxServers", S::Int, W::U32, 56}}},
    {{"SetDefaultPortStaleTimeout", 637}, {{"DefaultPortStaleTimeout", S::Int, W::I64, 64}}},
    {{"SetSharedBandwidth", 648}, {{"iSharedBytesPerSecond", S::Int, W::U32, 624}}},
    {{"SetDefaultPortStickyTime", 638}, {{"DefaultPortStickyTime", S::Int, W::I64, 72}}},
    {{"SetDefaultPortAffinityType", 639}, {{"DefaultPortAffinityType", S::Int, W::U16, 80}}},
    {{"SetDefaultPortWeightBound", 640}, {{"DefaultPortWeightBound", S::Int, W::I16, 82}}},
    {{"SetDefaultPortType", 641}, {{"DefaultPortType", S::Char, W::U8, 84}}},
    {{"SetDefaultPortReplicate", 642}, {{"DefaultPortReplicate", S::Char, W::U8, 85}}},
    {{"SetMaxNumberOfClusters", 643}, {{"MaxNumberOfClusters", S::Int, W::U32, 604}}},
    {{"SetWidePortNumber", 644}, {{"WidePortNumber", S::Int, W::U32, 608}}},
};

// The flags sent on their own, with the values behind them.
constexpr FlagSpec kSetNfa{"SetNonForwardingAddress", settings::kSetNonForwardingAddress};
constexpr FlagSpec kSetClientGateway{"SetClientGateway", settings::kSetClientGateway};
constexpr FlagSpec kSetV6ClientGateway{"Setv6ClientGateway", settings::kSetV6ClientGateway};
constexpr FlagSpec kSetSecondsWest{"SetSecondsWestOfGreenwich", settings::kSetSecondsWest};
constexpr FlagSpec kSetConfigFileName{"SetConfigFileName", settings::kSetConfigFileName};
constexpr FlagSpec kSetCookieInterval{"SetCookieExpireInterval",
                                      settings::kSetCookieExpireInterval};

// Flags written back after a failed set, in this order (the IPv6 gateway's last, unlike the
// order they are sent in). The cookie flag is not among them.
FlagsBack kFlagsWrittenBack[] = {
    &kSetNfa,
    &kLeadingSettings[0].flag,  &kLeadingSettings[1].flag,  &kLeadingSettings[2].flag,
    &kLeadingSettings[3].flag,  &kLeadingSettings[4].flag,  &kSetClientGateway,
    &kTrailingSettings[0].flag, &kTrailingSettings[1].flag, &kTrailingSettings[2].flag,
    &kTrailingSettings[3].flag, &kTrailingSettings[4].flag, &kTrailingSettings[5].flag,
    &kTrailingSettings[6].flag, &kTrailingSettings[7].flag, &kTrailingSettings[8].flag,
    &kTrailingSettings[9].flag, &kSetSecondsWest,           &kSetConfigFileName,
    &kSetV6ClientGateway,
};

// The settings as command 1 answers them, in the order they are written into Java.
const FieldSpec kSettingsReadBack[] = {
    {"NFA", S::Address, W::Addr, settings::kNonForwardingAddress},
    {"TraceLevel", S::Int, W::U32, settings::kTraceLevel},
    {"DefaultClusterMaxPorts", S::Int, W::U32, 28},
    {"FINTimeout", S::Int, W::I64, 32},
    {"HaTimeout", S::Int, W::I64, 40},
    {"HaSyncTimeout", S::Int, W::I64, 48},
    {"ClientGateway", S::Address, W::Addr, settings::kClientGateway},
    {"DefaultPortMaxServers", S::Int, W::U32, 56},
    {"DefaultPortStaleTimeout", S::Int, W::I64, 64},
    {"iSharedBytesPerSecond", S::Int, W::U32, 624},
    {"DefaultPortStickyTime", S::Int, W::I64, 72},
    {"DefaultPortAffinityType", S::Int, W::U16, 80},
    {"DefaultPortWeightBound", S::Int, W::I16, 82},
    {"MaxNumberOfClusters", S::Int, W::U32, 604},
    {"DefaultPortType", S::Char, W::U8, 84},
    {"DefaultPortReplicate", S::Char, W::U8, 85},
    {"WidePortNumber", S::Int, W::U32, 608},
    {"ConfigFileName", S::Text, W::Text, settings::kConfigFileName, settings::kConfigFileNameWidth},
    {"sPluginConfigFileName", S::Text, W::Text, settings::kPluginConfigFileName,
     settings::kConfigFileNameWidth},
    {"v6ClientGateway", S::ByteArray, W::Bytes, settings::kV6ClientGateway,
     settings::kV6AddressWidth},
};

// Result codes of the set beyond the send result.
constexpr jint kNonForwardingAddressUnresolved = -21;
constexpr jint kClientGatewayUnresolved = -49;
constexpr jint kConfigFileNameMissing = -88;
constexpr jint kConfigFileNameTooLong = -90;

// Copies the configuration file name into its field. A name that would not fit whole, or no
// name at all, is refused: a cut name would name some other file.
jint putConfigFileName(JNIEnv* env, jobject executor, RequestBlock& b) {
  jstring name = nullptr;
  getStringFieldByName(env, executor, "ConfigFileName", &name);
  UtfChars chars(env, name);
  if (!chars) return kConfigFileNameMissing;
  if (!b.putText(settings::kConfigFileName, settings::kConfigFileNameWidth, chars.get())) {
    return kConfigFileNameTooLong;
  }
  return 0;
}

jint setExecutorStatus(JNIEnv* env, jobject executor) {
  RequestBlock& b = requestBlock();
  b.begin(kSetSettings, kSettingsLength);

  if (putFlag(env, executor, b, kSetNfa) == 1) {
    b.putI64(settings::kSecondsWest, secondsWestOfGreenwich(platform::currentTime()));
    b.putU8(kSetSecondsWest.offset, 1);
    if (putAddressField(env, executor, b, "NFA", settings::kNonForwardingAddress) != 0) {
      return kNonForwardingAddressUnresolved;
    }
  }

  if (const jint refused = putFlaggedFields(env, executor, b, kLeadingSettings)) return refused;

  if (putFlag(env, executor, b, kSetClientGateway) == 1) {
    if (putAddressField(env, executor, b, "ClientGateway", settings::kClientGateway) != 0) {
      setByteFieldByName(env, executor, kSetClientGateway.flag, 1);
      return kClientGatewayUnresolved;
    }
    b.fill(settings::kClientGatewayPad, settings::kGatewayPadWidth, 0);
  }

  if (putFlag(env, executor, b, kSetV6ClientGateway) == 1) {
    if (!putField(env, executor, b,
                  {"v6ClientGateway", S::ByteArray, W::Bytes, settings::kV6ClientGateway,
                   settings::kV6AddressWidth})) {
      return kFlaggedValueMissing;
    }
    b.fill(settings::kV6ClientGatewayPad, settings::kGatewayPadWidth, 0);
  }

  if (const jint refused = putFlaggedFields(env, executor, b, kTrailingSettings)) return refused;

  if (putFlag(env, executor, b, kSetConfigFileName) == 1) {
    if (const jint refused = putConfigFileName(env, executor, b)) return refused;
  }

  // The cookie interval always travels, whatever its flag says.
  putField(env, executor, b,
           {"iCookieExpireInterval", S::Int, W::U32, settings::kCookieExpireInterval});
  putFlag(env, executor, b, kSetCookieInterval);

  const int sent = sendExecutorRequest(&b);
  if (sent == 0) return 0;
  copyFlagsBack(env, executor, b, kFlagsWrittenBack);
  return sent;
}

jint getExecutorStatus(JNIEnv* env, jobject executor) {
  RequestBlock& b = requestBlock();
  b.begin(kGetSettings, kSettingsLength);
  const int sent = sendExecutorRequest(&b);
  if (sent != 0) return sent;
  getFields(env, executor, b, kSettingsReadBack);
  return 0;
}

}  // namespace

std::int64_t secondsWestOfGreenwich(std::int64_t now) {
  platform::ClockFace utc{};
  if (!platform::utcClockFace(now, &utc)) return 0;
  // The same minute of the current UTC day at 12 o'clock UTC: far enough from midnight that
  // every zone from UTC-12 to UTC+11 is still on the same calendar day.
  const std::int64_t noon = now - static_cast<std::int64_t>(utc.hour - 12) * 3600;
  platform::ClockFace local{};
  platform::ClockFace noonUtc{};
  if (!platform::localClockFace(noon, &local) || !platform::utcClockFace(noon, &noonUtc)) {
    return 0;
  }
  return static_cast<std::int64_t>(noonUtc.hour - local.hour) * 3600 +
         static_cast<std::int64_t>(noonUtc.minute - local.minute) * 60;
}

CMN_NATIVE(jint, setExecutorStatusNative)(JNIEnv* env, jobject, jobject executor) {
  return enterWithObjects(env, {executor},
                          [&] { return executor::setExecutorStatus(env, executor); });
}

CMN_NATIVE(jint, getExecutorStatusNative)(JNIEnv* env, jobject, jobject executor) {
  return enterWithObjects(env, {executor},
                          [&] { return executor::getExecutorStatus(env, executor); });
}

CMN_NATIVE(jint, setExecutorCPSNative)(JNIEnv* env, jobject, jobject executor) {
  return enterWithObjects(env, {executor}, [&]() -> jint {
    RequestBlock& b = requestBlock();
    b.begin(kSetExecutorRate, kReportLength);
    putField(env, executor, b, {"iConnectionsPerSecond", S::Int, W::U32, kReportRate});
    return sendExecutorRequest(&b);
  });
}

}  // namespace cmn::executor
