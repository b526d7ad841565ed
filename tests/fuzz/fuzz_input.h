// The fuzzer's bytes, read front to back by the session driver (which entry point, which
// arguments) and by the platform stand-in (every answer of the executor device, every exit
// status of a shell line). Once they are used up every read gives zeros.
//
// One device answer is the record
//   mode (1 byte) | N (4 bytes, little-endian) | L (2 bytes, little-endian) | L bytes
// mode % 4: 0 and 3 an answer of N bytes, the first L of them given (the rest is the request's
// own bytes, zeros past its length), an N past the block being an answer that can't be framed;
// 1 a device error N; 2 a connection that broke with error N.
//
// While seeds are recorded the arguments come from a plan and the answers from the simulated
// executor in process; every byte the session would have read is written to a tape instead, so
// that the tape, read back as fuzzer input, replays the same session.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cmnfuzz {

// One device answer, as read from the input or produced by the recorder.
struct Answer {
  std::uint8_t mode = 0;
  std::uint32_t n = 0;
  const std::uint8_t* bytes = nullptr;  // the given first bytes of the answer
  std::uint32_t given = 0;
};

enum AnswerMode : std::uint8_t { kAnswer = 0, kDeviceError = 1, kBroken = 2 };

// Produces the real answer to a request while recording (block, request length); its bytes
// stay valid until the next answer.
using AnswerSource = Answer (*)(const std::uint8_t* block, std::uint32_t length);

class Input {
 public:
  // Fuzzing: read `data`.
  void replay(const std::uint8_t* data, std::size_t size);
  // Recording: arguments from `plan`, answers from `source`, everything onto `tape`.
  void record(const std::vector<std::uint8_t>& plan, AnswerSource source,
              std::vector<std::uint8_t>* tape);

  bool exhausted() const { return at_ >= size_; }
  std::uint8_t u8();
  std::uint32_t little(int bytes);  // little-endian, of 1 to 4 bytes

  // The next device answer for the request in `block` (see above).
  Answer answer(const std::uint8_t* block, std::uint32_t length);
  // The exit status of the next shell line.
  std::uint8_t shellStatus();

  // While quiet, the device answers every request with an error and every shell line fails,
  // and nothing is read or recorded.
  void quiet(bool on) { quiet_ = on; }

 private:
  void put(std::uint32_t value, int bytes);

  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t at_ = 0;
  AnswerSource source_ = nullptr;
  std::vector<std::uint8_t>* tape_ = nullptr;
  bool quiet_ = false;
};

// The input the platform stand-in reads.
Input& input();

}  // namespace cmnfuzz
