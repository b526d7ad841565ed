// The request channel against a live simulated executor.
#include "channel/channel.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim_link.h"

namespace cmn {
namespace {

class Channel : public ::testing::Test {
 protected:
  // Each test has a daemon of its own, serving the device in a fresh folder.
  void SetUp() override {
    char dir[] = "/tmp/cmn-native-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    dir_ = dir;
    ::setenv("VELKLB_DEVICE", (dir_ + "/velklb").c_str(), 1);
    closeExecutorDevice();
    ASSERT_TRUE(startSim());
  }
  void TearDown() override {
    setServerModality(0);
    closeExecutorDevice();
    stopSim();
    ::rmdir(dir_.c_str());  // the daemon removes its sockets as it ends
  }

  bool startSim() {
    const char* binary = std::getenv("VELKLB_EXECUTOR");
    if (binary == nullptr) return false;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execl(binary, binary, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return jnihost::startExecutor(4);
  }
  void stopSim() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  // A request of `length` bytes with a recognisable payload.
  RequestBlock& request(std::uint32_t command, std::uint32_t length) {
    RequestBlock& b = requestBlock();
    for (std::uint32_t i = kHeaderSize; i < kBlockSize; ++i) {
      b.putU8(i, static_cast<std::uint8_t>(i * 7));
    }
    b.begin(command, length);
    b.putI32(header::kReason, 1234);
    return b;
  }

  std::vector<std::uint8_t> snapshot() const {
    return std::vector<std::uint8_t>(requestBlock().raw(), requestBlock().raw() + kBlockSize);
  }

  static int recordCount() { return std::stoi(jnihost::simMust("RECORD COUNT")); }

  std::string dir_;
  pid_t pid_ = -1;
};

TEST_F(Channel, SendsExactlyTheRequestLength) {
  for (std::uint32_t length : {16u, 17u, 40u, 696u, 4097u, 64015u, 64016u}) {
    SCOPED_TRACE(length);
    RequestBlock& b = request(250, length);
    const std::vector<std::uint8_t> sent = snapshot();
    ASSERT_EQ(sendExecutorRequest(&b), 0);
    const std::vector<std::uint8_t> got = jnihost::simRecord(-1);
    ASSERT_EQ(got.size(), length);
    // The result field travels as 0; everything else as it stood.
    EXPECT_EQ(got[4] | got[5] | got[6] | got[7], 0);
    EXPECT_TRUE(std::equal(got.begin() + 8, got.end(), sent.begin() + 8));
  }
}

TEST_F(Channel, DeviceErrorLeavesResultZeroAndReasonUnchanged) {
  RequestBlock& b = request(250, 40);
  b.setResult(99);
  ASSERT_EQ(jnihost::simControl("SCRIPT NEXT ERROR 31"), "OK");
  EXPECT_EQ(sendExecutorRequest(&b), 31);
  EXPECT_EQ(b.result(), 0);
  EXPECT_EQ(b.reason(), 1234);
  // The connection stays usable: the next request goes through on it.
  EXPECT_EQ(sendExecutorRequest(&b), 0);
}

TEST_F(Channel, AnswerReplacesOnlyItsFirstNBytes) {
  RequestBlock& b = request(250, 40);
  const std::vector<std::uint8_t> before = snapshot();
  ASSERT_EQ(jnihost::simControl("SCRIPT NEXT N 20 PUT 16 A1A2A3A4A5A6A7A8"), "OK");
  EXPECT_EQ(sendExecutorRequest(&b), 0);
  EXPECT_EQ(b.u32(16), 0xA4A3A2A1u);  // bytes 16-19 came back
  for (std::uint32_t i = 20; i < kBlockSize; ++i) {
    ASSERT_EQ(b.u8(i), before[i]) << "byte " << i;
  }
  // An answer larger than the request reaches past L.
  ASSERT_EQ(jnihost::simControl("SCRIPT NEXT N 64016 PUT 64012 01020304"), "OK");
  EXPECT_EQ(sendExecutorRequest(&b), 0);
  EXPECT_EQ(b.u32(64012), 0x04030201u);
}

TEST_F(Channel, ServerModalitySendsNothingAndChangesNothing) {
  RequestBlock& b = request(250, 40);
  b.setResult(77);
  const std::vector<std::uint8_t> before = snapshot();
  const int count = recordCount();
  setServerModality(1);
  EXPECT_EQ(sendExecutorRequest(&b), 1);
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(recordCount(), count);
  EXPECT_EQ(openExecutorDevice(), 1);  // the probe still tells the truth
}

TEST_F(Channel, NullBlockAndRefusedLengths) {
  EXPECT_EQ(sendExecutorRequest(nullptr), -1);
  const int count = recordCount();
  for (std::uint32_t length : {0u, 15u, 64017u, 0xFFFFFFFFu}) {
    RequestBlock& b = request(250, length);
    EXPECT_EQ(sendExecutorRequest(&b), EINVAL) << length;
  }
  EXPECT_EQ(recordCount(), count);
}

TEST_F(Channel, AbsentDeviceThenReopenAfterStop) {
  RequestBlock& b = request(250, 40);
  EXPECT_EQ(sendExecutorRequest(&b), 0);
  closeExecutorDevice();
  stopSim();
  b.setResult(55);
  EXPECT_EQ(openExecutorDevice(), 0);
  EXPECT_EQ(sendExecutorRequest(&b), -1);
  EXPECT_EQ(b.result(), 55);  // an open failure touches nothing
  ASSERT_TRUE(startSim());
  EXPECT_EQ(sendExecutorRequest(&b), 0);  // opened again on the next request
  stopSim();  // behind the cached connection this time
  ASSERT_TRUE(startSim());
  EXPECT_EQ(sendExecutorRequest(&b), 0);  // the restart costs no failed request
}

// An answer that can't be framed gives up the connection: the request after it is answered by
// its own answer, never by the rest of the bad one (eight zero bytes that would read as an empty
// answer followed by a length word of 0).
TEST_F(Channel, UnframeableAnswerNeverShiftsLaterAnswers) {
  RequestBlock& b = request(250, 40);
  ASSERT_EQ(jnihost::simControl("SCRIPT NEXT WORD 64017 N 8 PUT 0 0000000000000000"), "OK");
  EXPECT_EQ(sendExecutorRequest(&b), EPROTO);
  ASSERT_EQ(jnihost::simControl("SCRIPT NEXT PUT 16 CAFEF00D RESULT 7"), "OK");
  EXPECT_EQ(sendExecutorRequest(&b), 7);
  EXPECT_EQ(b.u32(16), 0x0DF0FECAu);
  EXPECT_EQ(recordCount(), 2);
}

// An answer longer than its N leaves bytes that would frame as the next answers (N 16 and 16
// bytes of result 0, then N 0): each later request still reads its own answer.
TEST_F(Channel, SurplusAnswerBytesNeverShiftLaterAnswers) {
  RequestBlock& b = request(250, 40);
  ASSERT_EQ(jnihost::simControl("SCRIPT NEXT WORD 16 PUT 16 10000000" + std::string(40, '0')), "OK");
  EXPECT_EQ(sendExecutorRequest(&b), 0);
  for (int result : {7, 8, 9}) {
    ASSERT_EQ(jnihost::simControl("SCRIPT NEXT RESULT " + std::to_string(result)), "OK");
    EXPECT_EQ(sendExecutorRequest(&b), result);
  }
  EXPECT_EQ(recordCount(), 4);
}

}  // namespace
}  // namespace cmn
