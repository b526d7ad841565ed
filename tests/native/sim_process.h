// Starts a simulated executor daemon for one test; jnihost's sim_link talks to it.
#pragma once

#include <string>

namespace cmn::testing {

class SimProcess {
 public:
  // A daemon serving the device at a fresh path; VELKLB_DEVICE is pointed at it.
  SimProcess();
  ~SimProcess();

  bool start();
  void stop();
  const std::string& devicePath() const { return device_; }

 private:
  std::string dir_;
  std::string device_;
  int pid_ = -1;
};

}  // namespace cmn::testing
