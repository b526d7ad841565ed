// The host's line to the simulated executor's control surface: the daemon's control socket on
// Linux, the driver's control code on Windows (where the host also starts the driver).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jnihost {

// Makes sure the executor serves its device, waiting at most `seconds`; false when it doesn't.
// On Windows this starts the driver's service, as nothing else keeps it running under Wine.
bool startExecutor(int seconds);

// Sends one control line; the answer line, or "" when the executor can't be reached.
std::string simControl(const std::string& line);

// simControl that must answer "OK...": the rest of the answer; aborts the run otherwise.
std::string simMust(const std::string& line);

// Request i of those the executor recorded since its reset, as received (0 the first, -1 the
// latest); empty when there is none.
std::vector<std::uint8_t> simRecord(int i);

}  // namespace jnihost
