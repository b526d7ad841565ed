// Shared fixture for the core tests: one SimState, requests built field by field.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sim_core.h"

namespace simtest {

using velksim::kBlockSize;

inline void put32(std::vector<uint8_t>& b, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void put16(std::vector<uint8_t>& b, size_t off, uint16_t v) {
    b[off] = static_cast<uint8_t>(v);
    b[off + 1] = static_cast<uint8_t>(v >> 8);
}
inline void put64(std::vector<uint8_t>& b, size_t off, uint64_t v) {
    for (int i = 0; i < 8; ++i) b[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t get32(const uint8_t* b, size_t off) {
    return b[off] | (b[off + 1] << 8) | (b[off + 2] << 16) | (static_cast<uint32_t>(b[off + 3]) << 24);
}
inline int32_t geti32(const uint8_t* b, size_t off) { return static_cast<int32_t>(get32(b, off)); }
inline uint64_t get64(const uint8_t* b, size_t off) {
    return get32(b, off) | (static_cast<uint64_t>(get32(b, off + 4)) << 32);
}

// A request of `length` bytes: command and length in the header, result 0, the rest zero.
inline std::vector<uint8_t> request(uint32_t command, uint32_t length) {
    std::vector<uint8_t> b(length < 16 ? 16 : length, 0);
    put32(b, 0, command);
    put32(b, 12, length);
    return b;
}

class SimFixture : public ::testing::Test {
protected:
    void SetUp() override {
        state.reset(new velksim::SimState);
        velksim::simInit(*state);
        velksim::simSetClock(*state, 1700000000);
        answer.assign(kBlockSize, 0xEE);
    }

    std::string control(const std::string& line) {
        std::vector<char> buf(velksim::kControlAnswerMax);
        lastOutcome = velksim::simHandleControl(*state, line.c_str(), buf.data(), buf.size());
        return std::string(buf.data());
    }

    velksim::DeviceReply send(const std::vector<uint8_t>& req) {
        return velksim::simHandleRequest(*state, req.data(), static_cast<uint32_t>(req.size()),
                                         answer.data());
    }

    // Sends and expects a model answer; returns the result field.
    int32_t call(const std::vector<uint8_t>& req) {
        velksim::DeviceReply r = send(req);
        EXPECT_EQ(r.outcome, velksim::DeviceOutcome::kAnswer);
        lastLength = r.answerLength;
        return geti32(answer.data(), 4);
    }

    int32_t reason() const { return geti32(answer.data(), 8); }

    std::unique_ptr<velksim::SimState> state;
    std::vector<uint8_t> answer;
    velksim::ControlOutcome lastOutcome = velksim::ControlOutcome::kContinue;
    uint32_t lastLength = 0;
};

}  // namespace simtest
