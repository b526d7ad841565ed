// Rules of a port: add, change, remove, read; reports, rates, lists and server bindings.

#include <cstring>

#include "channel/channel.h"
#include "config/cluster.h"
#include "config/list_text.h"
#include "config/port.h"
#include "config/server.h"
#include "jni/entry.h"
#include "jni/fields.h"
#include "jni/idkey.h"
#include "jni/record_fields.h"
#include "jni/strings.h"

namespace cmn::config {
using namespace jni;

namespace {

using S = JavaType;
using W = Wire;

constexpr std::uint32_t kAddRule = 18;
constexpr std::uint32_t kRemoveRule = 19;
constexpr std::uint32_t kListRules = 20;
constexpr std::uint32_t kGetRule = 21;
constexpr std::uint32_t kSetRule = 22;
constexpr std::uint32_t kRuleReport = 23;
constexpr std::uint32_t kBindServer = 24;
constexpr std::uint32_t kUnbindServer = 25;
constexpr std::uint32_t kListRuleServers = 26;
constexpr std::uint32_t kSetRuleRate = 81;

// A rule name holds at most 20 characters in each layout that carries one.
constexpr std::uint32_t kNameWidth = 21;
constexpr std::size_t kMaxName = kNameWidth - 1;

// Where a layout puts the address of a rule: cluster key, port number (network order), name. Its
// fields are read and checked (checkRuleAddress) before anything is sent.
constexpr FieldSpec kKeyAt16{"ClusterId", S::IdKey, W::U32, kPortClusterKey};
constexpr FieldSpec kPortAt20{"PortNumber", S::Int, W::Net16, kPortNumber};

// Rule record (commands 18, 19, 21, 22).
constexpr std::uint32_t kRecordLength = 344;
constexpr FieldSpec kRecordPlace[] = {kKeyAt16, kPortAt20, {"RuleName", S::Text, W::Text, 22, kNameWidth}};
constexpr std::uint32_t kRuleType = 43;
constexpr std::uint32_t kConfigSource = 80;
constexpr std::uint32_t kTosMustBeZero = 184;
constexpr std::uint32_t kTosMustBeOne = 185;
constexpr std::uint32_t kHashId = 304;
constexpr std::uint32_t kHashIdWidth = 40;

constexpr std::int8_t kMaxRuleType = 9;
constexpr std::uint8_t kAddressRangeType = 1;  // ranges are IPv4 addresses
constexpr std::uint8_t kTosRuleType = 7;       // the rule whose type-of-service pattern counts
constexpr unsigned kTosBits = 8;

// Rule report (commands 23, 81).
constexpr std::uint32_t kReportLength = 188;
constexpr FieldSpec kReportPlace[] = {kKeyAt16, kPortAt20, {"RuleName", S::Text, W::Text, 32, kNameWidth}};
constexpr std::uint32_t kReportRate = 24;

// Rule list (command 20): the count at 24, entries of 28 bytes from 28 that begin with the rule
// name; 2285 fit.
constexpr Records kRuleList{24, 28, 28};

// A rule's servers (command 26), in the server list layout, addressed as a rule record is.

// Binding of a server to a rule (commands 24, 25), in the server record layout.
constexpr FieldSpec kBindingPlace[] = {
    {"ClusterId", S::IdKey, W::U32, kServerRecordClusterKey},
    {"PortNumber", S::Int, W::Net16, kServerRecordPort},
    {"RuleName", S::Text, W::Text, 94, kNameWidth},
};
constexpr std::uint32_t kBindingArgument = 1948;

constexpr FlagSpec kSetRuleType{"SetRuleType", 186};
constexpr FlagSpec kSetConfigSource{"SetConfigSource", 190};
constexpr FlagSpec kSetServiceTos{"SetServiceTOS", 192};

// A range end: an int for most rule types, an address held in host order for address ranges,
// which refuse a text that names no address, null included (the block would otherwise carry
// whatever address a previous request left there).
constexpr std::uint32_t kBeginRange = 44;
constexpr std::uint32_t kEndRange = 48;
constexpr FlagSpec kSetBeginRange{"SetBeginRange", 187};
constexpr FlagSpec kSetEndRange{"SetEndRange", 188};
const FlaggedSpec kNumberRanges[] = {
    {kSetBeginRange, {{"BeginRange", S::Int, W::U32, kBeginRange}}},
    {kSetEndRange, {{"EndRange", S::Int, W::U32, kEndRange}}},
};
const FlaggedSpec kAddressRanges[] = {
    {kSetBeginRange, {{"AddressBeginRange", S::Resolved, W::Ip32, kBeginRange}}, 1, -53},
    {kSetEndRange, {{"AddressEndRange", S::Resolved, W::Ip32, kEndRange}}, 1, -54},
};

// The optional settings before and after the type-of-service masks, which are more than a move.
const FlaggedSpec kSettingsBeforeTos[] = {
    {{"SetPriority", 189}, {{"Priority", S::Int, W::U32, 72}}},
    {{"SetShareLevel", 193}, {{"iShareLevel", S::Int, W::U32, 76}}},
};
const FlaggedSpec kSettingsAfterTos[] = {
    {{"SetPattern", 191}, {{"Pattern", S::OptText, W::Text, 84, 100}}},
    {{"SetEvaluate", 194}, {{"bEvaluate", S::Byte, W::U32, 52}}},
    {{"SetWhatAffinity", 195}, {{"WhatAffinity", S::Int, W::U32, 56}}},
    {{"SetStickyTime", 196}, {{"StickyTime", S::Int, W::I64, 64}}},
    {{"SetCookieName", 197}, {{"CookieName", S::OptText, W::Text, 204, 100}}},
};
constexpr FieldSpec kHashIdField{"sHashID", S::OptText, W::Text, kHashId, kHashIdWidth};

// Written back in this order (type, ranges, priority, pattern, type of service, share level,
// evaluation, affinity, sticky time, cookie name); the configuration source is not.
FlagsBack kFlagsWrittenBack[] = {
    &kSetRuleType,          &kSetBeginRange, &kSetEndRange,
    &kSettingsBeforeTos[0].flag, &kSettingsAfterTos[0].flag, &kSetServiceTos,
    &kSettingsBeforeTos[1].flag, &kSettingsAfterTos[1].flag, &kSettingsAfterTos[2].flag,
    &kSettingsAfterTos[3].flag,  &kSettingsAfterTos[4].flag,
};

const FieldSpec kStatusReadBack[] = {
    {"RuleType", S::Byte, W::U8, kRuleType},
    {"AddressBeginRange", S::Address, W::Ip32, kBeginRange},
    {"BeginRange", S::Int, W::U32, kBeginRange},
    {"AddressEndRange", S::Address, W::Ip32, kEndRange},
    {"EndRange", S::Int, W::U32, kEndRange},
    {"Priority", S::Int, W::U32, 72},
    {"_iConfigSource", S::Int, W::U32, kConfigSource},
    {"iShareLevel", S::Int, W::U32, 76},
    {"NumServers", S::Int, W::U32, 200},
    {"Pattern", S::Text, W::Text, 84, 100},
    {"bEvaluate", S::Byte, W::U8, 52},
    {"WhatAffinity", S::Int, W::I8, 56},
    {"CookieName", S::Text, W::Text, 204, 100},
    {"StickyTime", S::Int, W::I64, 64},
};

const FieldSpec kReportReadBack[] = {
    {"TimesFired", S::Int, W::U32, 60},        {"iUniqueId", S::Int, W::U32, 56},
    {"NumServers", S::Int, W::U32, 64},        {"iConnectionsPerSecond", S::Int, W::U32, 24},
    {"ActiveConnections", S::Int, W::U32, 28}, {"iBytesPerSecond", S::Int, W::U32, 84},
};

const ReasonCode kRecordReasons[] = {
    {-70, -82}, {-47, -58}, {-46, -50}, {-45, -28}, {-5, -5}, {-1, -12},
};
const ReasonCode kLookupReasons[] = {{-44, -57}, {-5, -5}, {-1, -12}};
const ReasonCode kListReasons[] = {{-5, -5}, {-1, -12}};
const ReasonCode kBindingReasons[] = {
    {-51, -59}, {-49, -28}, {-48, -60}, {-44, -57}, {-11, -19}, {-5, -5}, {-1, -12},
};

constexpr jint kPortOutOfRange = -10;
constexpr jint kBadRuleName = -51;
constexpr jint kBadRuleType = -52;
constexpr jint kNegativeServerCount = -99;
constexpr jint kTextTooLong = -90;
constexpr jint kNoListMemory = -28;
constexpr jint kOtherFailure = -99;

enum class PortCheck : std::uint8_t { InRange, LowBits };

// 0, or the refusal: -88 without a cluster identifier (the block's stale key could name another
// cluster), -10 for a port outside 0 to 65535 (unless only its low bits count), -51 for a null
// name or one longer than its field holds.
jint checkRuleAddress(JNIEnv* env, jobject rule, PortCheck check) {
  std::uint32_t key = 0;
  if (!idKeyOfField(env, rule, "ClusterId", &key)) return kIdentifierMissing;
  std::int32_t number = -1;
  getIntFieldByName(env, rule, "PortNumber", &number);
  if (check == PortCheck::InRange && (number < 0 || number > 0xFFFF)) return kPortOutOfRange;
  jstring text = nullptr;
  getStringFieldByName(env, rule, "RuleName", &text);
  const UtfChars name(env, text);
  return name && std::strlen(name.get()) <= kMaxName ? 0 : kBadRuleName;
}

// -90 when a text that goes out would not fit its field whole: a cut pattern, cookie name or
// hash identifier would select something else than the caller asked for.
jint checkTextLengths(JNIEnv* env, jobject rule) {
  const bool fit = flaggedTextsFit(env, rule, kSettingsAfterTos) && textFits(env, rule, kHashIdField);
  return fit ? 0 : kTextTooLong;
}

// "ServiceTOS", bit 7 first: "0" the bit must be 0, "1" it must be 1, anything else leaves it
// free. A text shorter than 8 characters (or none) leaves the bits it doesn't reach free.
void putTosMasks(JNIEnv* env, jobject rule, RequestBlock& b) {
  jstring text = nullptr;
  getStringFieldByName(env, rule, "ServiceTOS", &text);
  UtfChars tos(env, text);
  const char* chars = tos ? tos.get() : "";
  std::uint8_t mustBeZero = 0;
  std::uint8_t mustBeOne = 0;
  for (unsigned i = 0; i < kTosBits && chars[i] != '\0'; ++i) {
    const auto bit = static_cast<std::uint8_t>(0x80u >> i);
    if (chars[i] == '0') mustBeZero |= bit;
    if (chars[i] == '1') mustBeOne |= bit;
  }
  b.putU8(kTosMustBeZero, mustBeZero);
  b.putU8(kTosMustBeOne, mustBeOne);
}

void getTosText(JNIEnv* env, jobject rule, const RequestBlock& b) {
  char text[kTosBits + 1] = {};
  if (b.u8(kRuleType) == kTosRuleType) {
    for (unsigned i = 0; i < kTosBits; ++i) {
      const auto bit = static_cast<std::uint8_t>(0x80u >> i);
      text[i] = (b.u8(kTosMustBeZero) & bit) ? '0' : (b.u8(kTosMustBeOne) & bit) ? '1' : 'x';
    }
  }
  setStringFieldFromText(env, rule, "ServiceTOS", text);
}

// Command 21 with the block as it stands; on 0 the stored rule fills the block.
jint fetchRuleRecord() {
  RequestBlock& b = requestBlock();
  b.begin(kGetRule, kRecordLength);
  if (sendExecutorRequest(&b) == 0) return 0;
  return mapReason(kLookupReasons, b.reason(), kOtherFailure);
}

// Builds and sends an add or a set (the command is already in the header). Without a rule type
// the rule is read from the executor first and the request goes out as that rule with the
// flagged settings changed.
jint submitRuleRecord(JNIEnv* env, jobject rule) {
  RequestBlock& b = requestBlock();
  const std::uint32_t command = b.command();
  if (const jint refused = checkRuleAddress(env, rule, PortCheck::InRange)) return refused;
  if (const jint refused = checkTextLengths(env, rule)) return refused;
  putFields(env, rule, b, kRecordPlace);
  putFlag(env, rule, b, kSetConfigSource);
  putField(env, rule, b, {"_iConfigSource", S::Int, W::U32, kConfigSource});

  if (putFlag(env, rule, b, kSetRuleType) == 1) {
    std::int8_t type = -1;
    getByteFieldByName(env, rule, "RuleType", &type);
    if (type < 0 || type > kMaxRuleType) return kBadRuleType;
    b.putU8(kRuleType, static_cast<std::uint8_t>(type));
  } else if (const jint failed = fetchRuleRecord()) {
    return failed;
  }

  const bool addresses = b.u8(kRuleType) == kAddressRangeType;
  if (const jint refused =
          putFlaggedFields(env, rule, b, addresses ? kAddressRanges : kNumberRanges)) {
    return refused;
  }
  if (const jint refused = putFlaggedFields(env, rule, b, kSettingsBeforeTos)) return refused;
  if (putFlag(env, rule, b, kSetServiceTos) == 1) putTosMasks(env, rule, b);
  if (const jint refused = putFlaggedFields(env, rule, b, kSettingsAfterTos)) return refused;
  putField(env, rule, b, kHashIdField);

  b.begin(command, kRecordLength);
  const jint result =
      sendExecutorRequest(&b) == 0 ? 0 : mapReason(kRecordReasons, b.reason(), kOtherFailure);
  copyFlagsBack(env, rule, b, kFlagsWrittenBack);
  return result;
}

// A request that names a rule and nothing else: remove, status, report.
template <std::size_t N>
jint sendRuleLookup(JNIEnv* env, jobject rule, std::uint32_t command, std::uint32_t length,
                    const FieldSpec (&place)[N]) {
  if (const jint refused = checkRuleAddress(env, rule, PortCheck::InRange)) return refused;
  RequestBlock& b = requestBlock();
  b.begin(command, length);
  putFields(env, rule, b, place);
  if (sendExecutorRequest(&b) == 0) return 0;
  return mapReason(kLookupReasons, b.reason(), kOtherFailure);
}

jint setRuleRate(JNIEnv* env, jobject rule) {
  // Only the port number's low 16 bits travel here; the name is checked as everywhere else.
  if (const jint refused = checkRuleAddress(env, rule, PortCheck::LowBits)) return refused;
  RequestBlock& b = requestBlock();
  b.begin(kSetRuleRate, kReportLength);
  putField(env, rule, b, {"iConnectionsPerSecond", S::Int, W::U32, kReportRate});
  putFields(env, rule, b, kReportPlace);
  return sendExecutorRequest(&b);
}

jint listRules(JNIEnv* env, jstring clusterId, jint port, jobject stringBuffer) {
  ListText list;
  if (!list.ok()) return kNoListMemory;
  std::uint32_t key = 0;
  if (!idKeyOfString(env, clusterId, &key)) return kIdentifierMissing;
  if (port < 0 || port > 0xFFFF) return kPortOutOfRange;
  const auto number = static_cast<std::uint16_t>(port);
  jint result = queryPortReport(key, number);
  if (result == 0) {
    RequestBlock& b = requestBlock();
    const std::uint32_t asked = beginList(b, kListRules, kRuleList, b.u32(kPortReportRuleCount));
    b.putU32(kPortClusterKey, key);
    b.putU16(kPortNumber, number, ByteOrder::Network);
    if (sendExecutorRequest(&b) != 0) {
      result = mapReason(kListReasons, b.reason(), kOtherFailure);
    } else {
      renderList(list, kRuleList, asked, [&](std::uint32_t entry, char(&line)[kListLineSize]) {
        // A name runs at most to the end of its entry.
        return namedEntryLine(b, entry, kRuleList.size, line);
      });
    }
  }
  list.appendTo(env, stringBuffer);
  return result;
}

jint listRuleServers(JNIEnv* env, jobject rule, jobject stringBuffer) {
  if (const jint refused = checkRuleAddress(env, rule, PortCheck::InRange)) return refused;
  std::int32_t servers = 0;
  getIntFieldByName(env, rule, "NumServers", &servers);
  if (servers < 0) return kNegativeServerCount;
  ListText list;
  if (!list.ok()) return kNoListMemory;
  RequestBlock& b = requestBlock();
  const std::uint32_t asked =
      beginList(b, kListRuleServers, kServerList, static_cast<std::uint32_t>(servers));
  putFields(env, rule, b, kRecordPlace);
  jint result = 0;
  if (sendExecutorRequest(&b) != 0) {
    result = mapReason(kLookupReasons, b.reason(), kOtherFailure);
  } else {
    renderList(list, kServerList, asked, [&](std::uint32_t entry, char(&line)[kListLineSize]) {
      return serverListLine(b, entry, line);
    });
  }
  list.appendTo(env, stringBuffer);
  return result;
}

// Binds a server to a rule or unbinds it (the command is already in the header). The argument
// means something to the executor only; it travels unchanged.
jint submitRuleServerBinding(JNIEnv* env, jobject rule, jobject server, jint argument) {
  if (const jint refused = checkRuleAddress(env, rule, PortCheck::InRange)) return refused;
  RequestBlock& b = requestBlock();
  b.setLength(kServerRecordLength);
  putFields(env, rule, b, kBindingPlace);
  putField(env, server, b, {"iServerIdKey", S::Int, W::U32, kServerRecordServerKey});
  b.putI32(kBindingArgument, argument);
  if (sendExecutorRequest(&b) == 0) return 0;
  return mapReason(kBindingReasons, b.reason(), kOtherFailure);
}

}  // namespace

CMN_NATIVE(jint, addRuleNative)(JNIEnv* env, jobject, jobject rule) {
  return enterWithObjects(env, {rule}, [&] {
    requestBlock().setCommand(kAddRule);
    return submitRuleRecord(env, rule);
  });
}

CMN_NATIVE(jint, setRuleStatusNative)(JNIEnv* env, jobject, jobject rule) {
  return enterWithObjects(env, {rule}, [&] {
    requestBlock().setCommand(kSetRule);
    return submitRuleRecord(env, rule);
  });
}

CMN_NATIVE(jint, removeRuleNative)(JNIEnv* env, jobject, jobject rule) {
  return enterWithObjects(env, {rule}, [&] {
    return sendRuleLookup(env, rule, kRemoveRule, kRecordLength, kRecordPlace);
  });
}

CMN_NATIVE(jint, getRuleStatusNative)(JNIEnv* env, jobject, jobject rule) {
  return enterWithObjects(env, {rule}, [&]() -> jint {
    const jint result = sendRuleLookup(env, rule, kGetRule, kRecordLength, kRecordPlace);
    if (result != 0) return result;
    getFields(env, rule, requestBlock(), kStatusReadBack);
    getTosText(env, rule, requestBlock());
    return 0;
  });
}

CMN_NATIVE(jint, getRuleReportNative)(JNIEnv* env, jobject, jobject rule) {
  return enterWithObjects(env, {rule}, [&]() -> jint {
    const jint result = sendRuleLookup(env, rule, kRuleReport, kReportLength, kReportPlace);
    if (result == 0) getFields(env, rule, requestBlock(), kReportReadBack);
    return result;
  });
}

CMN_NATIVE(jint, setRuleCPSNative)(JNIEnv* env, jobject, jobject rule) {
  return enterWithObjects(env, {rule}, [&] { return setRuleRate(env, rule); });
}

CMN_NATIVE(jint, getRulesListNative)
(JNIEnv* env, jobject, jstring clusterId, jint port, jobject stringBuffer) {
  return enterWithObjects(env, {clusterId, stringBuffer},
                          [&] { return listRules(env, clusterId, port, stringBuffer); });
}

CMN_NATIVE(jint, getRuleServersListNative)(JNIEnv* env, jobject, jobject rule, jobject list) {
  return enterWithObjects(env, {rule, list}, [&] { return listRuleServers(env, rule, list); });
}

CMN_NATIVE(jint, addServertoRuleNative)
(JNIEnv* env, jobject, jobject rule, jobject server, jint argument) {
  return enterWithObjects(env, {rule, server}, [&] {
    requestBlock().setCommand(kBindServer);
    return submitRuleServerBinding(env, rule, server, argument);
  });
}

CMN_NATIVE(jint, removeServerfromRuleNative)
(JNIEnv* env, jobject, jobject rule, jobject server, jint argument) {
  return enterWithObjects(env, {rule, server}, [&] {
    requestBlock().setCommand(kUnbindServer);
    return submitRuleServerBinding(env, rule, server, argument);
  });
}

}  // namespace cmn::config
