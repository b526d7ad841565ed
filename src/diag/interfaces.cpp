// Interface discovery: the card scans over the registry, the process-wide interface table and
// the three methods that expose it to Java.

#include "channel/interface_table.h"

#include <cstddef>
#include <cstdio>
#include <string>

#include "channel/channel.h"
#include "jni/address.h"
#include "jni/entry.h"
#include "jni/fields.h"
#include "jni/record_fields.h"
#include "platform/platform.h"

namespace cmn::diag {
namespace {

constexpr const char* kCardKeyPrefix =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\";
constexpr const char* kTcpipInterfacesPrefix =
    "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
constexpr const char* kServicesPrefix = "SYSTEM\\CurrentControlSet\\Services\\";
constexpr const char* kServiceTcpipSuffix = "\\Parameters\\Tcpip";

constexpr std::uint32_t kValueTextSize = 255;
constexpr std::uint32_t kCardsScanned = 25;

// Interface name query (command 61): the service name from 16, the executor's name at 66.
constexpr std::uint32_t kNameQuery = 61;
constexpr std::uint32_t kNameQueryLength = 76;
constexpr std::uint32_t kServiceName = 16;
constexpr std::uint32_t kServiceNameWidth = 50;  // the bytes before the answer's name
constexpr std::uint32_t kInterfaceName = 66;

// An open registry key, closed when it goes out of scope.
class RegistryKey {
 public:
  explicit RegistryKey(const std::string& path) : key_(platform::openRegistryKey(path.c_str())) {}
  ~RegistryKey() {
    if (key_ != platform::kNoRegistryKey) platform::closeRegistryKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  explicit operator bool() const { return key_ != platform::kNoRegistryKey; }
  // A value that can't be read leaves the buffer as it was.
  void read(const char* value, char (&buffer)[kValueTextSize]) const {
    platform::readRegistryText(key_, value, buffer, kValueTextSize);
  }

 private:
  platform::RegistryKey key_;
};

// The texts of the card loop. They are cleared once per scan, not per card: a value that a
// card lacks keeps the previous card's text.
struct CardTexts {
  char service[kValueTextSize];
  char address[kValueTextSize];
  char mask[kValueTextSize];
  char number[10];
};

enum class Scan : std::uint8_t { TcpipInterfaces, ServiceParameters };

std::string interfaceKeyPath(Scan scan, const char* service) {
  if (scan == Scan::TcpipInterfaces) return std::string(kTcpipInterfacesPrefix) + service;
  return std::string(kServicesPrefix) + service + kServiceTcpipSuffix;
}

// Runs the card loop over cards 1 to 25 and hands each card whose interface key opened to
// accept(texts, address, mask).
template <typename Accept>
void scanCards(Scan scan, Accept&& accept) {
  CardTexts texts{};
  for (std::uint32_t card = 1; card <= kCardsScanned; ++card) {
    std::snprintf(texts.number, sizeof(texts.number), "%u", card);
    std::string interfacePath;
    {
      RegistryKey cardKey(std::string(kCardKeyPrefix) + texts.number);
      if (!cardKey) continue;
      cardKey.read("ServiceName", texts.service);
      interfacePath = interfaceKeyPath(scan, texts.service);
    }
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    {
      RegistryKey interfaceKey(interfacePath);
      if (!interfaceKey) continue;
      interfaceKey.read("IPAddress", texts.address);
      address = jni::parseNumericAddress(texts.address);
      interfaceKey.read("SubnetMask", texts.mask);
      mask = jni::parseNumericAddress(texts.mask);
    }
    accept(texts, address, mask);
  }
}

// Asks the executor for the interface name of `service` into `name`. False when the card is to
// be skipped: a service name that its field can't hold whole (a cut one names another
// service), a refused query, or an answer whose name would not fit the record's name field
// (a cut one names another interface).
bool queryInterfaceName(const char* service, char (&name)[kInterfaceNameSize]) {
  RequestBlock& b = requestBlock();
  b.begin(kNameQuery, kNameQueryLength);
  if (!b.putText(kServiceName, kServiceNameWidth, service)) return false;
  if (sendExecutorRequest(&b) != 0) return false;
  char answer[kInterfaceNameSize + 1];
  if (b.getText(kInterfaceName, sizeof(answer), answer, sizeof(answer)) >= kInterfaceNameSize) {
    return false;
  }
  b.getText(kInterfaceName, kInterfaceNameSize, name, sizeof(name));
  return true;
}

// The table's columns as the interface list object holds them: addresses, masks, network
// numbers and broadcast addresses in host order.
constexpr jni::ColumnSpec kInterfaceColumns[] = {
    {"aiIp", offsetof(InterfaceRecord, address), jni::Wire::Net32},
    {"aiNetmask", offsetof(InterfaceRecord, mask), jni::Wire::Net32},
    {"aiNetnumber", offsetof(InterfaceRecord, network), jni::Wire::Net32},
    {"aiBroadcast", offsetof(InterfaceRecord, broadcast), jni::Wire::Net32},
};

// Writes the table into the interface list object: the count, then the columns of the counted
// records. The records are laid out in a block of their own, so the one column engine reads
// them as it reads an answer's records.
void reportInterfaces(JNIEnv* env, jobject list, const InterfaceTable& table) {
  jni::setIntFieldByName(env, list, "iNumInterfaces", table.count);
  static RequestBlock records;  // one call at a time holds the call turn
  records.putBytes(0, table.records, sizeof table.records);
  const Records run{0, 0, sizeof(InterfaceRecord), kInterfaceRecords};
  jni::getColumns(env, list, records, run, static_cast<std::uint32_t>(table.used()),
                  kInterfaceColumns);
}

std::int32_t buildInterfaceList() {
  std::fputs("****CMNExecutorInterface_buildInterfaceList: Entry.\n", stdout);
  std::fflush(stdout);
  std::int32_t count = 0;
  scanCards(Scan::TcpipInterfaces,
            [&](const CardTexts& texts, std::uint32_t address, std::uint32_t mask) {
              char name[kInterfaceNameSize];
              if (!queryInterfaceName(texts.service, name)) return;
              if (address == 0) return;
              InterfaceRecord& r = interfaceTable().records[count++];
              r.address = address;
              r.mask = mask;
              r.network = address & mask;
              std::snprintf(r.name, sizeof(r.name), "%s", name);
            });
  interfaceTable().count = count;
  return count;
}

int scanServiceInterfaces(InterfaceTable& table) {
  std::int32_t count = 0;
  scanCards(Scan::ServiceParameters,
            [&](const CardTexts&, std::uint32_t address, std::uint32_t mask) {
              if (address == 0) return;
              table.records[count].address = address;
              table.records[count].mask = mask;
              ++count;
            });
  table.count = count;
  return 0;
}

}  // namespace

CMN_NATIVE(jint, setInterfacesNative)(JNIEnv* env, jobject, jint) {
  return jni::enterNative<jint>(env, 0, [] { return buildInterfaceList(); });
}

CMN_NATIVE(jint, getNicAddrNative)(JNIEnv* env, jobject, jint address, jint) {
  return jni::enterNative<jint>(env, 0, [&]() -> jint {
    // Compared as given: the caller passes the address in the table's form.
    const auto wanted = static_cast<std::uint32_t>(address);
    const InterfaceTable& table = interfaceTable();
    for (std::int32_t i = 0; i < table.used(); ++i) {
      const InterfaceRecord& r = table.records[i];
      if (r.network == (wanted & r.mask)) return static_cast<jint>(r.address);
    }
    return 0;
  });
}

CMN_NATIVE(jint, getInterfaceListNative)(JNIEnv* env, jobject, jint selector, jobject list) {
  return jni::enterWithObjects(env, {list}, [&]() -> jint {
    if (selector != 0) {
      reportInterfaces(env, list, interfaceTable());
      return 0;
    }
    InterfaceTable local{};
    scanServiceInterfaces(local);
    reportInterfaces(env, list, local);
    return 0;
  });
}

}  // namespace cmn::diag
