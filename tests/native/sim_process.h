// Starts a simulated executor daemon for one test and talks to its control socket.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cmn::testing {

class SimProcess {
 public:
  // A daemon serving the device at a fresh path; VELKLB_DEVICE is pointed at it.
  SimProcess();
  ~SimProcess();

  bool start();
  void stop();
  const std::string& devicePath() const { return device_; }

  // One control line; the answer line without its end.
  std::string control(const std::string& line);
  int recordCount();
  std::vector<std::uint8_t> record(int index);

 private:
  std::string dir_;
  std::string device_;
  int pid_ = -1;
};

}  // namespace cmn::testing
