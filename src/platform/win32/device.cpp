// The executor device on Windows: the executor driver's device object, reached through its
// DOS name and driven with synchronous, buffered I/O control calls.

#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace cmn::platform {

DeviceHandle openDevice(const char* serviceName) {
  const std::string path = std::string("\\\\.\\") + serviceName;
  HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return kInvalidDevice;
  return reinterpret_cast<DeviceHandle>(handle);
}

void closeDevice(DeviceHandle device) {
  if (device != kInvalidDevice) ::CloseHandle(reinterpret_cast<HANDLE>(device));
}

// A failed call keeps the handle: only the executor stop closes it.
std::uint32_t deviceControl(DeviceHandle device, std::uint32_t code, std::uint8_t* buffer,
                            std::uint32_t inLength, std::uint32_t outCapacity,
                            std::uint32_t* returned, bool* broken) {
  // A device handle survives a failed call; only the executor stop closes it.
  if (broken != nullptr) *broken = false;
  // The system would read the input from past the end of the block: refuse as it refuses a bad
  // parameter, without a call.
  if (buffer == nullptr || inLength > outCapacity) return ERROR_INVALID_PARAMETER;
  DWORD count = 0;
  if (!::DeviceIoControl(reinterpret_cast<HANDLE>(device), code, buffer, inLength, buffer,
                         outCapacity, &count, nullptr)) {
    const DWORD error = ::GetLastError();
    // A failure always reaches the caller as a failure, even from a driver that gave no code.
    return error != 0 ? static_cast<std::uint32_t>(error) : ERROR_GEN_FAILURE;
  }
  if (returned != nullptr) *returned = static_cast<std::uint32_t>(count);
  return 0;
}

}  // namespace cmn::platform
