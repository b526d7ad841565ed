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

// The model: the executor's behaviour when no script overrides it (sim_model.cpp).
void modelReset(ModelState& m, uint64_t clock);

// Serves one request of `length` bytes (16..kBlockSize). Writes the whole answer block to
// `answer` (result and reason included) and returns the answer length N.
uint32_t modelServe(ModelState& m, const uint8_t* request, uint32_t length, uint8_t* answer);

enum class AliasStatus { kOk, kDuplicate, kFull, kNotFound };

AliasStatus modelAliasAdd(ModelState& m, const char* name, size_t nameLength, int32_t unit,
                          const uint8_t* address, uint32_t mask, const uint8_t* source);
AliasStatus modelAliasRemove(ModelState& m, const char* name, size_t nameLength, int32_t unit,
                             const uint8_t* address);

// Interface names and high availability (sim_network.cpp). Serves commands 40, 41, 43 to 48,
// 50, 51 and 61 into `answer`, growing the answer length *n where it writes further; returns 0,
// or the reason code of a refusal.
int32_t modelNetworkServe(ModelState& m, uint32_t command, const uint8_t* request,
                          uint8_t* answer, uint32_t* n);

// IFNAME: sets (name given) or forgets (name null) the interface name of a service.
const char* modelInterfaceName(ModelState& m, const char* service, size_t serviceLength,
                               const char* name, size_t nameLength);

}  // namespace velksim
