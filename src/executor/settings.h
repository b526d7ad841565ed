#pragma once

#include <cstdint>

namespace cmn::executor {

// Seconds west of Greenwich of the host's time zone, taken at 12 o'clock UTC of the current UTC
// day (zones east of Greenwich are negative).
std::int64_t secondsWestOfGreenwich(std::int64_t now);

}  // namespace cmn::executor
