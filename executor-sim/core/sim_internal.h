// Helpers shared by the core's translation units; not part of the host interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sim_core.h"

namespace velksim {

// Block fields are little-endian whatever the host; addresses and port numbers that travel in
// network byte order are kept as raw bytes and never pass through these.
inline uint16_t loadU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t loadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t loadI32(const uint8_t* p) { return static_cast<int32_t>(loadU32(p)); }
inline void storeU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void storeU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void storeI32(uint8_t* p, int32_t v) { storeU32(p, static_cast<uint32_t>(v)); }
inline void storeU64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Appends text to a caller buffer; remembers an overflow instead of writing past the end, so
// a caller checks once at the end. The buffer is kept NUL-terminated.
struct TextOut {
    char* buf;
    size_t cap;
    size_t len;
    bool overflow;

    TextOut(char* b, size_t c) : buf(b), cap(c), len(0), overflow(c == 0) {
        if (cap) buf[0] = '\0';
    }
    void putChar(char c) {
        if (len + 1 >= cap) {
            overflow = true;
            return;
        }
        buf[len++] = c;
        buf[len] = '\0';
    }
    void put(const char* s) {
        while (*s) putChar(*s++);
    }
    void putUnsigned(uint64_t v) {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v);
        while (n) putChar(digits[--n]);
    }
    void putSigned(int64_t v) {
        if (v < 0) {
            putChar('-');
            putUnsigned(static_cast<uint64_t>(-(v + 1)) + 1);
        } else {
            putUnsigned(static_cast<uint64_t>(v));
        }
    }
    void putHex(const uint8_t* bytes, size_t n) {
        static const char kDigits[] = "0123456789abcdef";
        for (size_t i = 0; i < n; ++i) {
            putChar(kDigits[bytes[i] >> 4]);
            putChar(kDigits[bytes[i] & 15]);
        }
    }
    void putDotted(const uint8_t* addr) {
        for (int i = 0; i < 4; ++i) {
            if (i) putChar('.');
            putUnsigned(addr[i]);
        }
    }
};

// A setting of a stored record that a request changes only when its flag byte is 1; the value
// lies at the same offset in the request and in the record.
struct FlaggedField {
    uint16_t flag;
    uint16_t offset;
    uint16_t width;
};

// Copies into `record` each value of `fields` whose flag byte in `request` is 1, except the one
// whose flag is `skipFlag` (0: none).
template <size_t N>
void applyFlagged(uint8_t* record, const uint8_t* request, const FlaggedField (&fields)[N],
                  uint16_t skipFlag = 0) {
    for (const FlaggedField& f : fields)
        if (f.flag != skipFlag && request[f.flag] == 1)
            std::memcpy(record + f.offset, request + f.offset, f.width);
}

// The model: the executor's behaviour when no script overrides it (sim_model.cpp).
void modelReset(ModelState& m, uint64_t clock);

// Serves one request of `length` bytes (16..kBlockSize). Writes the whole answer block to
// `answer` (result and reason included) and returns the answer length N.
uint32_t modelServe(ModelState& m, const uint8_t* request, uint32_t length, uint8_t* answer);

// ---- servers and weights (sim_servers.cpp) ----

// True for the commands the server model answers.
bool modelServesServers(uint32_t command);
// The layout length of such a command (0 for any other).
uint32_t serverMinimumLength(uint32_t command);
// Serves one server or weights request into `answer` (result and reason included); returns the
// answer length, given the length so far.
uint32_t modelServerRequest(ModelState& m, uint32_t command, const uint8_t* request,
                            uint32_t length, uint8_t* answer, uint32_t n);
// Fills the server counts into the answer of a port status (13) or port report (15).
void modelPortServerCounts(const ModelState& m, uint32_t command, const uint8_t* request,
                           uint8_t* answer);
// Forgets the servers of a cluster's ports, or of one port when `onlyPort` is given.
void modelRemoveServers(ModelState& m, uint32_t clusterKey, const uint8_t* onlyPort);

// The NUL-terminated identifier text of the server with that server ID key on that port
// (portNet = the 2 port bytes in network order as they lie in requests), or nullptr if none.
const char* modelServerIdentifier(const ModelState& m, uint32_t clusterKey, const uint8_t* portNet, uint32_t serverKey);

enum class AliasStatus { kOk, kDuplicate, kFull, kNotFound };

AliasStatus modelAliasAdd(ModelState& m, const char* name, size_t nameLength, int32_t unit,
                          const uint8_t* address, uint32_t mask, const uint8_t* source);
AliasStatus modelAliasRemove(ModelState& m, const char* name, size_t nameLength, int32_t unit,
                             const uint8_t* address);

// Rules (sim_rules.cpp): serves commands 18 to 26 and 81 into `answer` (laid out as the model
// lays out every answer) and returns the answer length.
uint32_t modelRuleServe(ModelState& m, uint32_t command, const uint8_t* request, uint32_t length,
                        uint8_t* answer);
// The number of rules of a port (port report offset 40).
uint32_t modelPortRuleCount(const ModelState& m, uint32_t clusterKey, const uint8_t* portNet);
// Forgets the rules, and their bindings, of a cluster's ports or of one port (onlyPort).
void modelRulesForget(ModelState& m, uint32_t clusterKey, const uint8_t* onlyPort);

// Interface names and high availability (sim_network.cpp). Serves commands 40, 41, 43 to 48,
// 50, 51 and 61 into `answer`, growing the answer length *n where it writes further; returns 0,
// or the reason code of a refusal.
int32_t modelNetworkServe(ModelState& m, uint32_t command, const uint8_t* request,
                          uint8_t* answer, uint32_t* n);

// IFNAME: sets (name given) or forgets (name null) the interface name of a service.
const char* modelInterfaceName(ModelState& m, const char* service, size_t serviceLength,
                               const char* name, size_t nameLength);

// Diagnostics (sim_diag.cpp). Serves commands 39, 52, 53, 57, 58, 59, 65, 67, 68, 69, 84, 85
// and 86 into `answer` (result and reason included); returns the answer length, given the
// length so far.
uint32_t modelDiagServe(ModelState& m, uint32_t command, const uint8_t* request, uint32_t length,
                        uint8_t* answer, uint32_t n);
// The layout length of such a command (0 for any other).
uint32_t diagMinimumLength(uint32_t command);
// Fills the diagnostic state's defaults after RESET (the rest is zero).
void modelDiagReset(ModelState& m);

// One argument of a DIAG control line: a number, a dotted address, or a word.
struct DiagArg {
    const char* text;
    size_t length;
    bool isNumber;
    int64_t number;
    bool isAddress;
    uint8_t address[4];  // network byte order
};
constexpr uint32_t kDiagArgMax = 12;

// DIAG <table> <arguments>: seeds the diagnostic state. nullptr, or the ERR answer.
const char* modelDiagControl(ModelState& m, const DiagArg* args, uint32_t count);

}  // namespace velksim
