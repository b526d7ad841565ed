// The driver's way into the shared core: one block of state, no allocation, no exceptions.

#include "core_glue.h"

#include <cstring>

#include "sim_core.h"

namespace {

struct GlueState {
    velksim::SimState sim;
    uint8_t answer[velksim::kBlockSize];
    char line[velksim::kControlLineMax + 1];
    char controlAnswer[velksim::kControlAnswerMax];
};

GlueState& stateOf(void* state) { return *static_cast<GlueState*>(state); }

}  // namespace

extern "C" size_t velkGlueStateSize(void) { return sizeof(GlueState); }

extern "C" void velkGlueInit(void* state, uint64_t unixSeconds) {
    GlueState& st = stateOf(state);
    velksim::simInit(st.sim);
    velksim::simSetClock(st.sim, unixSeconds);
}

extern "C" int velkGlueRequest(void* state, uint64_t unixSeconds, uint8_t* buffer,
                               uint32_t received, uint32_t capacity, uint32_t* length,
                               uint32_t* error) {
    GlueState& st = stateOf(state);
    velksim::simSetClock(st.sim, unixSeconds);
    const velksim::DeviceReply reply =
        velksim::simHandleRequest(st.sim, buffer, received, st.answer);
    switch (reply.outcome) {
        case velksim::DeviceOutcome::kAnswer:
            if (reply.answerLength > capacity) return VELK_GLUE_BAD_LENGTH;
            std::memcpy(buffer, st.answer, reply.answerLength);
            *length = reply.answerLength;
            return VELK_GLUE_ANSWER;
        case velksim::DeviceOutcome::kError:
            *error = reply.error;
            return VELK_GLUE_ERROR;
        case velksim::DeviceOutcome::kBadLength:
            break;
    }
    return VELK_GLUE_BAD_LENGTH;
}

extern "C" int velkGlueControl(void* state, uint64_t unixSeconds, const uint8_t* line,
                               uint32_t received, char* out, uint32_t capacity,
                               uint32_t* length) {
    GlueState& st = stateOf(state);
    if (received > velksim::kControlLineMax) return -1;
    std::memcpy(st.line, line, received);
    st.line[received] = '\0';
    velksim::simSetClock(st.sim, unixSeconds);
    // STOP asks nothing of this host: the service manager stops the driver.
    velksim::simHandleControl(st.sim, st.line, st.controlAnswer, sizeof st.controlAnswer);
    uint32_t used = 0;
    while (used < sizeof st.controlAnswer && st.controlAnswer[used] != '\0') ++used;
    if (used + 1 > capacity) return -1;
    std::memcpy(out, st.controlAnswer, used + 1);
    *length = used + 1;
    return 0;
}
