// Control protocol, scripts and the request record of the core.
#include "sim_test_util.h"

namespace simtest {
namespace {

using velksim::DeviceOutcome;

struct LineCase {
    const char* line;
    const char* answer;  // expected answer, or its prefix when it ends in '*'
};

class ControlLines : public SimFixture, public ::testing::WithParamInterface<LineCase> {};

TEST_P(ControlLines, Answer) {
    const LineCase& c = GetParam();
    std::string got = control(c.line);
    std::string want = c.answer;
    if (!want.empty() && want.back() == '*') {
        EXPECT_EQ(got.compare(0, want.size() - 1, want, 0, want.size() - 1), 0) << got;
    } else {
        EXPECT_EQ(got, want);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Parsing, ControlLines,
    ::testing::Values(
        LineCase{"PING", "OK"}, LineCase{"ping\r\n", "OK"}, LineCase{"  PING  ", "OK"},
        LineCase{"PING x", "ERR *"}, LineCase{"", "ERR *"}, LineCase{"HELLO", "ERR *"},
        LineCase{"RECORD COUNT", "OK 0"}, LineCase{"RECORD GET 0", "ERR *"},
        LineCase{"RECORD GET -1", "ERR *"}, LineCase{"RECORD", "ERR *"},
        LineCase{"SCRIPT", "ERR *"}, LineCase{"SCRIPT LATER RESULT 1", "ERR *"},
        LineCase{"SCRIPT NEXT", "OK"}, LineCase{"SCRIPT NEXT RESULT", "ERR *"},
        LineCase{"SCRIPT NEXT RESULT -2147483648", "OK"},
        LineCase{"SCRIPT NEXT RESULT 0xFFFFFFFF", "OK"},
        LineCase{"SCRIPT NEXT RESULT 4294967296", "ERR *"},
        LineCase{"SCRIPT NEXT RESULT 12abc", "ERR *"}, LineCase{"SCRIPT NEXT RESULT 0x", "ERR *"},
        LineCase{"SCRIPT NEXT ERROR 0", "ERR *"}, LineCase{"SCRIPT NEXT ERROR 0x7f", "OK"},
        LineCase{"SCRIPT NEXT N 64016", "OK"}, LineCase{"SCRIPT NEXT N 64017", "ERR *"},
        LineCase{"SCRIPT NEXT N -1", "ERR *"}, LineCase{"SCRIPT NEXT PUT 64015 aB", "OK"},
        LineCase{"SCRIPT NEXT PUT 64015 0000", "ERR *"}, LineCase{"SCRIPT NEXT PUT 4 abc", "ERR *"},
        LineCase{"SCRIPT NEXT PUT 4 zz", "ERR *"}, LineCase{"SCRIPT NEXT PUT -1 00", "ERR *"},
        LineCase{"SCRIPT NEXT JUMP 1", "ERR *"}, LineCase{"SCRIPT CMD 4 MODEL REASON -5", "OK"},
        LineCase{"SCRIPT CMD 4 TIMES 0 MODEL", "ERR *"}, LineCase{"SCRIPT CMD x", "ERR *"},
        LineCase{"UNSCRIPT", "OK"}, LineCase{"RESET now", "ERR *"},
        LineCase{"ALIAS eth 0 10.1.2.3 255.255.255.0 10.1.2.1", "OK"},
        LineCase{"ALIAS eth 0 10.1.2.256 255.255.255.0", "ERR *"},
        LineCase{"ALIAS eth 0 10.1.2 255.255.255.0", "ERR *"},
        LineCase{"UNALIAS eth 0 10.1.2.3", "ERR *"}, LineCase{"ALIASES", "OK 0"}));

TEST_F(SimFixture, StopAsksTheHostToExitAfterAnswering) {
    EXPECT_EQ(control("PING"), "OK");
    EXPECT_EQ(lastOutcome, velksim::ControlOutcome::kContinue);
    EXPECT_EQ(control("STOP"), "OK");
    EXPECT_EQ(lastOutcome, velksim::ControlOutcome::kStop);
}

// What one scripted answer looks like for a request of command 999, length 40, reason 77.
struct ScriptCase {
    const char* script;
    DeviceOutcome outcome;
    uint32_t n;       // answer length, or the device error
    int32_t result;
    int32_t reason;
    uint32_t probe;   // an offset whose byte is checked
    uint8_t probeValue;
};

// Names the case in test output without gtest dumping the struct's padding bytes.
void PrintTo(const ScriptCase& c, std::ostream* os) { *os << c.script; }

class ScriptActions : public SimFixture, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(ScriptActions, ShapeTheAnswer) {
    const ScriptCase& c = GetParam();
    ASSERT_EQ(control(c.script), "OK");
    std::vector<uint8_t> req = request(999, 40);
    put32(req, 4, 9);  // whatever the client left there, success is result 0
    put32(req, 8, 77);
    req[39] = 0x5A;
    velksim::DeviceReply r = send(req);
    ASSERT_EQ(r.outcome, c.outcome);
    if (c.outcome == DeviceOutcome::kError) {
        EXPECT_EQ(r.error, c.n);
        return;
    }
    EXPECT_EQ(r.answerLength, c.n);
    EXPECT_EQ(geti32(answer.data(), 4), c.result);
    EXPECT_EQ(reason(), c.reason);
    EXPECT_EQ(get32(answer.data(), 0), 999u);
    EXPECT_EQ(answer[c.probe], c.probeValue);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, ScriptActions,
    ::testing::Values(
        ScriptCase{"SCRIPT NEXT", DeviceOutcome::kAnswer, 40, 0, 77, 39, 0x5A},
        ScriptCase{"SCRIPT NEXT ERROR 5 RESULT 3", DeviceOutcome::kError, 5, 0, 0, 0, 0},
        ScriptCase{"SCRIPT NEXT RESULT -1 REASON -5", DeviceOutcome::kAnswer, 40, -1, -5, 39, 0x5A},
        ScriptCase{"SCRIPT NEXT RESULT 0xFFFFFFFE", DeviceOutcome::kAnswer, 40, -2, 77, 39, 0x5A},
        // Bytes between L and a PUT beyond it are zero, and N grows to the PUT's end.
        ScriptCase{"SCRIPT NEXT PUT 100 0102", DeviceOutcome::kAnswer, 102, 0, 77, 101, 0x02},
        ScriptCase{"SCRIPT NEXT PUT 100 0102", DeviceOutcome::kAnswer, 102, 0, 77, 60, 0x00},
        ScriptCase{"SCRIPT NEXT PUT 39 ff", DeviceOutcome::kAnswer, 40, 0, 77, 39, 0xFF},
        ScriptCase{"SCRIPT NEXT PUT 8 fbffffff", DeviceOutcome::kAnswer, 40, 0, -5, 39, 0x5A},
        ScriptCase{"SCRIPT NEXT PUT 100 01 N 20", DeviceOutcome::kAnswer, 20, 0, 77, 100, 0x01},
        ScriptCase{"SCRIPT NEXT N 0", DeviceOutcome::kAnswer, 0, 0, 77, 39, 0x5A},
        ScriptCase{"SCRIPT NEXT N 64016", DeviceOutcome::kAnswer, 64016, 0, 77, 64015, 0},
        ScriptCase{"SCRIPT NEXT MODEL RESULT 3", DeviceOutcome::kAnswer, 40, 3, 77, 39, 0x5A},
        ScriptCase{"SCRIPT CMD 999 REASON 0x10", DeviceOutcome::kAnswer, 40, 0, 16, 39, 0x5A},
        ScriptCase{"SCRIPT CMD 998 RESULT 1", DeviceOutcome::kAnswer, 40, 0, 77, 39, 0x5A}));

TEST_F(SimFixture, NextQueueComesFirstThenCommandScriptsThenTheModel) {
    ASSERT_EQ(control("SCRIPT CMD 7 TIMES 2 RESULT 2"), "OK");
    ASSERT_EQ(control("SCRIPT NEXT RESULT 10"), "OK");
    ASSERT_EQ(control("SCRIPT NEXT RESULT 11"), "OK");
    std::vector<int32_t> results;
    for (int i = 0; i < 5; ++i) results.push_back(call(request(7, 16)));
    // Command 7 of length 16 is too short for the model's cluster record: it refuses it.
    EXPECT_EQ(results, (std::vector<int32_t>{10, 11, 2, 2, -1}));
}

TEST_F(SimFixture, NewPermanentCommandScriptReplacesTheOldOne) {
    ASSERT_EQ(control("SCRIPT CMD 50 PUT 20 aaaa"), "OK");
    ASSERT_EQ(control("SCRIPT CMD 50 PUT 22 bbbb"), "OK");
    call(request(50, 40));
    EXPECT_EQ(answer[20], 0);
    EXPECT_EQ(answer[22], 0xBB);
    ASSERT_EQ(control("UNSCRIPT"), "OK");
    call(request(50, 40));
    EXPECT_EQ(answer[22], 0);
}

TEST_F(SimFixture, PutBytesSurviveWhenEarlierScriptsAreUsedUp) {
    ASSERT_EQ(control("SCRIPT NEXT PUT 16 1111111111"), "OK");
    ASSERT_EQ(control("SCRIPT CMD 60 TIMES 1 PUT 16 2222"), "OK");
    ASSERT_EQ(control("SCRIPT CMD 61 PUT 16 33 PUT 18 4444"), "OK");
    ASSERT_EQ(control("SCRIPT NEXT PUT 16 5555"), "OK");
    call(request(60, 24));
    EXPECT_EQ(answer[20], 0x11);
    call(request(60, 24));
    EXPECT_EQ(answer[16], 0x55);
    call(request(60, 24));
    EXPECT_EQ(answer[17], 0x22);
    call(request(61, 24));
    EXPECT_EQ(std::vector<uint8_t>(answer.begin() + 16, answer.begin() + 20),
              (std::vector<uint8_t>{0x33, 0, 0x44, 0x44}));
}

TEST_F(SimFixture, ResetForgetsScriptsAndRecord) {
    ASSERT_EQ(control("SCRIPT CMD 999 ERROR 9"), "OK");
    EXPECT_EQ(send(request(999, 16)).outcome, DeviceOutcome::kError);
    ASSERT_EQ(control("RESET"), "OK");
    EXPECT_EQ(control("RECORD COUNT"), "OK 0");
    EXPECT_EQ(send(request(999, 16)).outcome, DeviceOutcome::kAnswer);
    EXPECT_EQ(control("RECORD COUNT"), "OK 1");
}

TEST_F(SimFixture, RecordKeepsRequestsAsReceived) {
    std::vector<uint8_t> req = request(0x01020304, 20);
    put32(req, 16, 0xA0B0C0D0);
    send(req);
    send(request(5, 16));
    EXPECT_EQ(control("RECORD COUNT"), "OK 2");
    EXPECT_EQ(control("RECORD GET 0"), "OK 20 04030201000000000000000014000000d0c0b0a0");
    EXPECT_EQ(control("RECORD GET -2"), control("RECORD GET 0"));
    EXPECT_EQ(control("RECORD GET -1"), "OK 16 05000000000000000000000010000000");
    EXPECT_EQ(control("RECORD GET 2"), "ERR no such request");
    EXPECT_EQ(control("RECORD GET -3"), "ERR no such request");
}

TEST_F(SimFixture, RecordHoldsOnlyTheLatest64InFull) {
    for (uint32_t i = 0; i < 70; ++i) send(request(1000 + i, 16));
    EXPECT_EQ(control("RECORD COUNT"), "OK 70");
    EXPECT_EQ(control("RECORD GET 5"), "ERR no such request");
    EXPECT_EQ(control("RECORD GET 6").substr(0, 14), "OK 16 ee030000");  // command 1006
    EXPECT_EQ(control("RECORD GET -64"), control("RECORD GET 6"));
    EXPECT_EQ(control("RECORD GET -65"), "ERR no such request");
}

struct LengthCase {
    uint32_t received;
    uint32_t lengthField;
    DeviceOutcome outcome;
};

class RequestLengths : public SimFixture, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(RequestLengths, AreCheckedBeforeAnyScript) {
    const LengthCase& c = GetParam();
    ASSERT_EQ(control("SCRIPT CMD 3 RESULT 1"), "OK");
    std::vector<uint8_t> req(kBlockSize, 0);
    put32(req, 0, 3);
    put32(req, 12, c.lengthField);
    velksim::DeviceReply r = velksim::simHandleRequest(*state, req.data(), c.received, answer.data());
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(control("RECORD COUNT"), "OK 1");
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, RequestLengths,
    ::testing::Values(LengthCase{16, 16, DeviceOutcome::kAnswer},
                      LengthCase{16, 15, DeviceOutcome::kBadLength},
                      LengthCase{16, 0, DeviceOutcome::kBadLength},
                      LengthCase{12, 12, DeviceOutcome::kBadLength},
                      LengthCase{64016, 64016, DeviceOutcome::kAnswer},
                      LengthCase{16, 64017, DeviceOutcome::kBadLength},
                      LengthCase{16, 0x80000010, DeviceOutcome::kBadLength},
                      LengthCase{100, 200, DeviceOutcome::kBadLength}));

}  // namespace
}  // namespace simtest
