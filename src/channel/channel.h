// The executor request channel: the one road from the library to the executor.
//
// Process-wide state: the request block (request_block.h), the cached device handle and the
// server modality flag. Callers hold the call turn of jni/entry.h, so one request is under way at
// a time.
#pragma once

#include <cstdint>

#include "channel/request_block.h"

namespace cmn {

// The executor's service name; its device path and its stop line are built from it.
inline constexpr const char* kServiceName = "velklb";

// The single I/O control code of the executor device.
inline constexpr std::uint32_t kExecutorIoControl = 0x212014;

// 1 when the device handle is valid afterwards (already open, or opened now), 0 otherwise.
int openExecutorDevice();

// Closes the cached handle if it is open; the next request opens the device again.
void closeExecutorDevice();

// Sends the request in `block`:
//   -1                      block is null, or the device cannot be opened (block untouched);
//   1                       the server modality flag is set: nothing sent, block untouched;
//   otherwise               exchangeExecutorRequest(block).
int sendExecutorRequest(RequestBlock* block);

// The raw exchange: opens the device if needed, zeroes the result field and makes the device
// call. Returns the executor's result field, -1 when the device cannot be opened, or the
// positive error code of a failed device call (result field 0, reason field untouched). A call
// that broke the connection closes the handle; the next request opens the device again.
int exchangeExecutorRequest(RequestBlock* block);

// The server modality flag: while it is nonzero no request reaches the executor.
void setServerModality(std::uint8_t value);
std::uint8_t serverModality();

}  // namespace cmn
