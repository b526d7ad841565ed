// Cluster address configuration: a cluster address added and removed as an interface alias
// with the alias tool, and its configuration read back from the executor's NIC records.

#include "config/address.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "channel/channel.h"
#include "config/list_text.h"
#include "jni/address.h"
#include "jni/entry.h"
#include "jni/fields.h"
#include "jni/strings.h"
#include "platform/platform.h"

namespace cmn::config {
using namespace jni;

namespace {

// Shell lines are built in buffers of this size.
constexpr std::size_t kShellLineSize = 112;

constexpr jint kNotConfigurable = -62;
constexpr jint kNotConfigured = -63;

bool isShellWord(const char* text) {
  if (text == nullptr || text[0] == '\0') return false;
  for (const char* p = text; *p != '\0'; ++p) {
    const char c = *p;
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '-' || c == '_' || c == ':';
    if (!plain) return false;
  }
  return true;
}

// Formats the line into its fixed buffer and runs it; `refused` when it would not fit.
template <typename... Words>
int runShellWords(int refused, const char* format, Words... words) {
  for (const char* word : std::initializer_list<const char*>{words...}) {
    if (!isShellWord(word)) return refused;
  }
  char line[kShellLineSize];
  const int length = std::snprintf(line, sizeof(line), format, words...);
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof(line)) return refused;
  return platform::runShellLine(line);
}

// The text of the NIC record's name field, never past the field.
void nicName(const RequestBlock& b, std::uint32_t record, char (&out)[nic::kNameWidth + 1]) {
  b.getText(record + nic::kName, nic::kNameWidth, out, sizeof(out));
}

// The full interface name: the name text followed by the unit number in decimal.
template <std::size_t N>
bool fullInterfaceName(const RequestBlock& b, std::uint32_t record, char (&out)[N]) {
  char name[nic::kNameWidth + 1];
  nicName(b, record, name);
  const int length = std::snprintf(out, N, "%s%d", name, b.i32(record + nic::kUnit));
  return length >= 0 && static_cast<std::size_t>(length) < N;
}

// The "Address" text resolved into *address. False when the field is null or its text doesn't
// resolve: there is no address to look up.
bool readAddress(const UtfChars& text, std::uint32_t* address) {
  return text && resolveAddress(text.get(), address) == 0;
}

jstring addressText(JNIEnv* env, jobject object) {
  jstring text = nullptr;
  getStringFieldByName(env, object, "Address", &text);
  return text;
}

// The NIC record of the object's address after a fresh query; 0 when there is none.
std::uint32_t configuredRecordOf(JNIEnv* env, jobject object) {
  UtfChars text(env, addressText(env, object));
  std::uint32_t address = 0;
  if (!readAddress(text, &address)) return 0;
  if (queryNicRecords() != 0) return 0;
  return findConfiguredAddress(address);
}

jint configureAddress(JNIEnv* env, jobject object) {
  UtfChars text(env, addressText(env, object));
  std::uint32_t address = 0;
  if (!readAddress(text, &address)) return kNotConfigurable;
  std::int8_t provided = 0;
  getByteFieldByName(env, object, "ConfigInfoProvided", &provided);
  const InterfaceRecord* found = findInterfaceForAddress(address);
  char source[kDottedTextSize] = "0.0.0.0";
  if (found != nullptr) formatDottedAddress(found->address, source);

  if (provided == 1) {
    jstring interfaceName = nullptr;
    jstring netmask = nullptr;
    getStringFieldByName(env, object, "InterfaceName", &interfaceName);
    getStringFieldByName(env, object, "NetMask", &netmask);
    UtfChars name(env, interfaceName);
    UtfChars mask(env, netmask);
    return runAliasLine(name.get(), text.get(), mask.get(), source, kNotConfigurable);
  }
  if (found == nullptr) return kNotConfigurable;
  char mask[kDottedTextSize];
  formatDottedAddress(found->mask, mask);
  return runAliasLine(found->name, text.get(), mask, source, kNotConfigurable);
}

jint unconfigureAddress(JNIEnv* env, jobject object) {
  UtfChars text(env, addressText(env, object));
  std::uint32_t address = 0;
  if (!readAddress(text, &address)) return kNotConfigured;
  if (queryNicRecords() != 0) return kNotConfigured;
  const std::uint32_t record = findConfiguredAddress(address);
  if (record == 0) return kNotConfigured;
  // The unit number goes after the name in place, only while the name stays in its field.
  RequestBlock& b = requestBlock();
  char name[nic::kNameWidth];
  if (!fullInterfaceName(b, record, name)) return kNotConfigured;
  b.putText(record + nic::kName, nic::kNameWidth, name);
  return runShellWords(kNotConfigured, "zoconfig %s %s delete", name, text.get());
}

jint clusterConfigureStatus(JNIEnv* env, jobject object) {
  const std::uint32_t record = configuredRecordOf(env, object);
  if (record == 0) return kNotConfigured;
  // An address configured on the loopback interface is not a cluster address on a card.
  char name[nic::kNameWidth + 1];
  nicName(requestBlock(), record, name);
  return std::strcmp(name, "lo") == 0 ? kNotConfigured : 0;
}

jint addressConfigureInfo(JNIEnv* env, jobject object) {
  const std::uint32_t record = configuredRecordOf(env, object);
  if (record == 0) return kNotConfigured;
  const RequestBlock& b = requestBlock();
  char name[100];
  fullInterfaceName(b, record, name);  // 32 name bytes and a unit number always fit
  char netmask[kDottedTextSize];
  formatDottedAddress(addressFromHostOrder(b.u32(record + nic::kSubnetMask)), netmask);
  setStringFieldFromText(env, object, "NetMask", netmask);
  setStringFieldFromText(env, object, "InterfaceName", name);
  return 0;
}

}  // namespace

const InterfaceRecord* findInterfaceForAddress(std::uint32_t address) {
  const InterfaceTable& table = interfaceTable();
  for (std::int32_t i = 0; i < table.used(); ++i) {
    const InterfaceRecord& r = table.records[i];
    if (r.mask != 0 && r.network == (address & r.mask)) return &r;
  }
  return nullptr;
}

int queryNicRecords() {
  RequestBlock& b = requestBlock();
  b.begin(kNicQuery, kNicQueryLength);
  return sendExecutorRequest(&b);
}

std::uint32_t findConfiguredAddress(std::uint32_t address) {
  const RequestBlock& b = requestBlock();
  const std::uint32_t count = kNicRecords.held(b);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t record = kNicRecords.at(i);
    if (b.address(record + nic::kAddress) == address) return record;
  }
  return 0;
}

int runAliasLine(const char* interfaceName, const char* address, const char* netmask,
                 const char* source, int refused) {
  return runShellWords(refused, "zoconfig %s alias %s netmask %s source %s", interfaceName, address,
                       netmask, source);
}

CMN_NATIVE(jint, configureAddressNative)(JNIEnv* env, jobject, jobject address) {
  return enterWithObjects(env, {address}, [&] { return config::configureAddress(env, address); });
}

CMN_NATIVE(jint, unconfigureAddressNative)(JNIEnv* env, jobject, jobject address) {
  return enterWithObjects(env, {address}, [&] { return config::unconfigureAddress(env, address); });
}

CMN_NATIVE(jint, clusterConfigureStatusNative)(JNIEnv* env, jobject, jobject address) {
  return enterWithObjects(env, {address},
                          [&] { return config::clusterConfigureStatus(env, address); });
}

CMN_NATIVE(jint, getAddressConfigureInfoNative)(JNIEnv* env, jobject, jobject address) {
  return enterWithObjects(env, {address},
                          [&] { return config::addressConfigureInfo(env, address); });
}

}  // namespace cmn::config
