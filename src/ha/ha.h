// High availability: the partner information and the heartbeat, reach, backup, timer and
// takeover requests.
#pragma once

#include <cstdint>

namespace cmn::ha {

// The value of a text of decimal digits only (the empty text is 0); -1 for a text with any
// other character (a sign, a blank, a letter), for a null text, and for a value past 2^31 - 1,
// which no caller could use.
std::int32_t parseDecimalText(const char* text);

}  // namespace cmn::ha
