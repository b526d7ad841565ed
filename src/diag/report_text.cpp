#include "diag/report_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "jni/address.h"
#include "jni/strings.h"

namespace cmn::diag {

Octets networkOctets(const RequestBlock& b, std::uint32_t offset) {
  return memoryOctets(b.address(offset));
}

Octets storedOctets(const RequestBlock& b, std::uint32_t offset) {
  return memoryOctets(jni::addressFromHostOrder(b.u32(offset)));
}

Octets memoryOctets(std::uint32_t address) {
  std::uint8_t bytes[4];
  std::memcpy(bytes, &address, sizeof bytes);
  return Octets{{bytes[0], bytes[1], bytes[2], bytes[3]}};
}

std::int32_t ageOf(std::uint64_t now, std::uint64_t lastUse) {
  if (lastUse == 0) return 0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(now - lastUse));
}

void ReportText::line(const char* format, ...) {
  char buffer[kReportLineSize];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (length < 0) return;
  list_.append(buffer);
}

namespace {

constexpr const char* kTcpStates[] = {"CLOSD", "LISTN", "SNSNT", "SNRCV", "ESTBD", "LSTAK",
                                      "TIMWT", "CLSWT", "FNWT1", "FNWT2", "CLSNG", "ABORT"};

}  // namespace

void ReportText::record(const RequestBlock& b, std::uint32_t base, std::int32_t index,
                        const ReportLine* lines, std::size_t count) {
  for (std::size_t l = 0; l < count; ++l) {
    const ReportLine& r = lines[l];
    const std::uint32_t at = base + r.offset;
    switch (r.show) {
      case Show::Heading: text(r.format); break;
      case Show::Index: line(r.format, index); break;
      case Show::Int: line(r.format, b.i32(at)); break;
      case Show::Hex: line(r.format, b.u32(at)); break;
      case Show::IntHex: line(r.format, b.i32(at), b.u32(at)); break;
      case Show::Sum: {
        std::uint32_t sum = 0;  // wraps at 32 bits, as the executor's counters do
        for (std::uint32_t i = 0; i < r.extra; ++i) sum += b.u32(at + 4 * i);
        line(r.format, static_cast<std::int32_t>(sum));
        break;
      }
      case Show::Byte: line(r.format, b.u8(at)); break;
      case Show::Char: {
        // A byte that is no printable character (a NUL would end the line early) shows as '?',
        // as stray executor bytes do everywhere.
        const std::uint8_t c = b.u8(at);
        line(r.format, c >= 0x20 && c < 0x7F ? c : '?');
        break;
      }
      case Show::TcpState: {
        const std::uint8_t state = b.u8(at);
        line(r.format, state < sizeof kTcpStates / sizeof kTcpStates[0] ? kTcpStates[state]
                                                                        : "  ?  ");
        break;
      }
      case Show::Age: line(r.format, ageOf(b.u64(r.extra), b.u64(at))); break;
      case Show::StoredOctets: address(r.format, storedOctets(b, at)); break;
      case Show::NetworkOctets: address(r.format, networkOctets(b, at)); break;
      case Show::Name: {
        char name[64];
        b.getText(at, r.extra, name, sizeof name);
        line(r.format, name);
        break;
      }
      case Show::StoredAddrPort:
      case Show::NetworkAddrPort: {
        const bool network = r.show == Show::NetworkAddrPort;
        const Octets a = network ? networkOctets(b, at) : storedOctets(b, at);
        const std::uint16_t port =
            b.u16(base + r.extra, network ? ByteOrder::Network : ByteOrder::Host);
        line(r.format, a.o[0], a.o[1], a.o[2], a.o[3], port);
        break;
      }
    }
  }
}

jstring ReportText::toJava(JNIEnv* env) const {
  return jni::newJavaString(env, list_.text() != nullptr ? list_.text() : "");
}

}  // namespace cmn::diag
