#include "channel/channel.h"

#include "platform/platform.h"

namespace cmn {
namespace {
platform::DeviceHandle g_device = platform::kInvalidDevice;
std::uint8_t g_serverModality = 0;
}  // namespace

int openExecutorDevice() {
  if (g_device != platform::kInvalidDevice) return 1;
  const platform::DeviceHandle device = platform::openDevice(kServiceName);
  if (device == platform::kInvalidDevice) return 0;
  g_device = device;
  return 1;
}

void closeExecutorDevice() {
  if (g_device == platform::kInvalidDevice) return;
  platform::closeDevice(g_device);
  g_device = platform::kInvalidDevice;
}

int sendExecutorRequest(RequestBlock* block) {
  if (block == nullptr) return -1;
  if (g_serverModality != 0) return g_serverModality;
  return exchangeExecutorRequest(block);
}

int exchangeExecutorRequest(RequestBlock* block) {
  if (block == nullptr) return -1;
  if (g_device == platform::kInvalidDevice && openExecutorDevice() == 0) return -1;
  block->setResult(0);
  std::uint32_t returned = 0;  // not examined: the executor's result field says it all
  bool broken = false;
  const std::uint32_t error = platform::deviceControl(g_device, kExecutorIoControl,
                                                      block->raw(), block->length(),
                                                      kBlockSize, &returned, &broken);
  // A connection that broke is dropped now, so that an executor that was restarted is reached
  // again on the next request and one bad answer never shifts the answers of later ones.
  if (broken) closeExecutorDevice();
  if (error != 0) return static_cast<int>(error);
  return block->result();
}

void setServerModality(std::uint8_t value) { g_serverModality = value; }
std::uint8_t serverModality() { return g_serverModality; }

}  // namespace cmn
