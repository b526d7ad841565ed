// The seam between cmnexecutor and the operating system.
//
// Everything the library needs from its host goes through these functions, and only the files
// under platform/<os>/ implement them (and include OS headers). Adding a host means adding one
// folder beside platform/posix/, nothing else.
#pragma once

#include <cstdint>
#include <string>

namespace cmn::platform {

// ---- Executor device --------------------------------------------------------------------------

// An open executor device. The value -1 is the invalid handle, as INVALID_HANDLE_VALUE is.
using DeviceHandle = std::intptr_t;
inline constexpr DeviceHandle kInvalidDevice = -1;

// Opens the executor device of the service `serviceName` ("velklb"); kInvalidDevice on failure.
DeviceHandle openDevice(const char* serviceName);

// Closes a handle that openDevice returned.
void closeDevice(DeviceHandle device);

// One synchronous device I/O control call with `buffer` as input (its first `inLength` bytes)
// and output (at most `outCapacity` bytes). Returns 0 on success with the bytes-returned count
// in *returned, otherwise the operating system's error code (a positive number), in which case
// the buffer is left exactly as it was. *broken is set to true when the failure left the handle
// unusable (a connection that ended, was reset, or can no longer be framed): the caller closes
// it and opens the device again for the next request. A handle that stays usable, as a device
// handle always does, gets false.
std::uint32_t deviceControl(DeviceHandle device, std::uint32_t code, std::uint8_t* buffer,
                            std::uint32_t inLength, std::uint32_t outCapacity,
                            std::uint32_t* returned, bool* broken);

// ---- Shell lines ------------------------------------------------------------------------------

// Runs `line` through the command shell and waits for it. Returns the command's exit status, or
// -1 when no shell could be started or the command did not end normally.
int runShellLine(const char* line);

// The shell line that stops the executor service `serviceName`.
std::string serviceStopLine(const char* serviceName);

// ---- Time -------------------------------------------------------------------------------------

// Seconds since the epoch.
std::int64_t currentTime();

struct ClockFace {
  int hour;    // 0-23
  int minute;  // 0-59
};

// Hour and minute of `t` in UTC and in the host's local time zone; false when the runtime
// cannot convert `t`.
bool utcClockFace(std::int64_t t, ClockFace* out);
bool localClockFace(std::int64_t t, ClockFace* out);

// Blocks the calling thread.
void sleepMilliseconds(std::uint32_t milliseconds);

// ---- The call turn ----------------------------------------------------------------------------

// One process-wide lock, never destroyed, that native calls take in turn (see jni/entry.h).
void lockCallTurn();
void unlockCallTurn();

// ---- Names ------------------------------------------------------------------------------------

// Looks a host name up with the host's resolver and stores its first IPv4 address (network byte
// order, as the bytes lie in memory) in *out. False, with *out untouched, when there is none.
bool resolveHostName(const char* name, std::uint32_t* out);

// ---- Registry (HKEY_LOCAL_MACHINE) ------------------------------------------------------------

using RegistryKey = std::intptr_t;
inline constexpr RegistryKey kNoRegistryKey = 0;

// Opens the key at `path` (backslash-separated, below HKEY_LOCAL_MACHINE) for reading.
RegistryKey openRegistryKey(const char* path);
void closeRegistryKey(RegistryKey key);

// Reads the text value `name` into `buffer` (capacity `size` >= 1, always NUL-terminated on
// success). False, with the buffer untouched, when the value can't be read.
bool readRegistryText(RegistryKey key, const char* name, char* buffer, std::uint32_t size);

}  // namespace cmn::platform
