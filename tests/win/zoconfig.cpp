// Windows stand-in for the interface alias tool, found by cmd on the prefix's PATH. Like the
// Linux stand-in it keeps the aliases in the simulated executor (here through the driver's
// control code), which lists them in its NIC records:
//   zoconfig IF alias ADDR netmask MASK source SRC   adds ADDR with MASK on IF (eth0: eth, unit 0)
//   zoconfig IFUNIT ADDR delete                      removes it again
// With VELKLB_TOOL_LOG set, each run appends its command line to that file. Exit 0 on success,
// 1 on malformed arguments or a refusal, 2 when the executor can't be reached.

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim_link.h"

namespace {

// Splits "eth0" into "eth" and "0"; false without a trailing unit number or a name before it.
bool splitInterface(const std::string& text, std::string* name, std::string* unit) {
  std::size_t digits = text.size();
  while (digits > 0 && text[digits - 1] >= '0' && text[digits - 1] <= '9') --digits;
  if (digits == 0 || digits == text.size()) return false;
  *name = text.substr(0, digits);
  *unit = text.substr(digits);
  return true;
}

// Dotted decimal of an address or host name; "" when a name does not resolve.
std::string addressOf(const std::string& text) {
  if (text.empty()) return "";
  if (text.find_first_not_of("0123456789.") == std::string::npos) return text;
  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return "";
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  std::string dotted;
  if (::getaddrinfo(text.c_str(), nullptr, &hints, &found) == 0 && found != nullptr) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    const auto* b = reinterpret_cast<const unsigned char*>(&in->sin_addr);
    dotted = std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
             std::to_string(b[3]);
    ::freeaddrinfo(found);
  }
  return dotted;
}

int send(const std::string& line) {
  const std::string answer = jnihost::simControl(line);
  if (answer.empty()) return 2;
  if (answer.compare(0, 2, "OK") == 0) return 0;
  std::fprintf(stderr, "zoconfig: %s\n", answer.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* log = std::getenv("VELKLB_TOOL_LOG"); log != nullptr && *log != '\0') {
    if (std::FILE* f = std::fopen(log, "ab")) {
      std::fputs("zoconfig", f);
      for (int i = 1; i < argc; ++i) std::fprintf(f, " %s", argv[i]);
      std::fputs("\n", f);
      std::fclose(f);
    }
  }
  std::string name;
  std::string unit;
  const auto arg = [&](int i) { return std::string(argv[i]); };
  if ((argc == 7 || argc == 8) && arg(2) == "alias" && arg(4) == "netmask" && arg(6) == "source") {
    const std::string address = addressOf(arg(3));
    const std::string source = argc == 8 ? addressOf(arg(7)) : "0.0.0.0";
    if (!splitInterface(arg(1), &name, &unit) || address.empty() || source.empty()) return 1;
    return send("ALIAS " + name + " " + unit + " " + address + " " + arg(5) + " " + source);
  }
  if (argc == 4 && arg(3) == "delete") {
    const std::string address = addressOf(arg(2));
    if (!splitInterface(arg(1), &name, &unit) || address.empty()) return 1;
    return send("UNALIAS " + name + " " + unit + " " + address);
  }
  return 1;
}
