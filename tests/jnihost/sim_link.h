// The host's line to the simulated executor's control surface: the daemon's control socket on
// Linux, the driver's control code on Windows (where the host also starts the driver).
#pragma once

#include <string>

namespace jnihost {

// Makes sure the executor serves its device, waiting at most `seconds`; false when it doesn't.
// On Windows this starts the driver's service, as nothing else keeps it running under Wine.
bool startExecutor(int seconds);

// Sends one control line; the answer line, or "" when the executor can't be reached.
std::string simControl(const std::string& line);

// simControl that must answer "OK...": the rest of the answer; aborts the run otherwise.
std::string simMust(const std::string& line);

}  // namespace jnihost
