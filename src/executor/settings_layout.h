// The executor settings record: commands 1 (read) and 2 (set), 696 bytes. The logging methods
// share it to set the trace level and the log filter.
#pragma once

#include <cstdint>

namespace cmn::executor {

inline constexpr std::uint32_t kGetSettings = 1;
inline constexpr std::uint32_t kSetSettings = 2;
inline constexpr std::uint32_t kSettingsLength = 696;

namespace settings {
inline constexpr std::uint32_t kNonForwardingAddress = 16;
inline constexpr std::uint32_t kTraceLevel = 20;
inline constexpr std::uint32_t kLogFilter = 24;
inline constexpr std::uint32_t kConfigFileName = 86;
inline constexpr std::uint32_t kConfigFileNameWidth = 256;
inline constexpr std::uint32_t kPluginConfigFileName = 342;
inline constexpr std::uint32_t kClientGateway = 600;
inline constexpr std::uint32_t kSecondsWest = 616;
inline constexpr std::uint32_t kClientGatewayPad = 657;
inline constexpr std::uint32_t kCookieExpireInterval = 664;
inline constexpr std::uint32_t kV6ClientGateway = 672;
inline constexpr std::uint32_t kV6ClientGatewayPad = 688;
inline constexpr std::uint32_t kGatewayPadWidth = 6;
inline constexpr std::uint32_t kV6AddressWidth = 16;

// Flag bytes.
inline constexpr std::uint32_t kSetNonForwardingAddress = 628;
inline constexpr std::uint32_t kSetTraceLevel = 629;
inline constexpr std::uint32_t kSetLogFilter = 630;
inline constexpr std::uint32_t kSetClientGateway = 635;
inline constexpr std::uint32_t kSetSecondsWest = 645;
inline constexpr std::uint32_t kSetConfigFileName = 646;
inline constexpr std::uint32_t kSetCookieExpireInterval = 656;
inline constexpr std::uint32_t kSetV6ClientGateway = 668;
}  // namespace settings

}  // namespace cmn::executor
