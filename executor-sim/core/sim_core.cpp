// Request dispatch, scripts, the request record and the control protocol.
#include "sim_core.h"

#include <cstring>

#include "sim_internal.h"

namespace velksim {

namespace {

// ---------------------------------------------------------------------------------------------
// Scripts

void releasePool(SimState& s, const Script& sc) {
    if (sc.putCount == 0) return;
    // A script's PUT bytes are stored together, in the order of its PUT actions.
    uint32_t start = sc.puts[0].poolAt;
    uint32_t length = 0;
    for (uint32_t i = 0; i < sc.putCount; ++i) length += sc.puts[i].length;
    std::memmove(s.putPool + start, s.putPool + start + length, s.putPoolUsed - start - length);
    s.putPoolUsed -= length;
    auto shift = [&](Script* list, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i)
            for (uint32_t j = 0; j < list[i].putCount; ++j)
                if (list[i].puts[j].poolAt > start) list[i].puts[j].poolAt -= length;
    };
    shift(s.next, s.nextCount);
    shift(s.cmd, s.cmdCount);
}

void removeScript(SimState& s, Script* list, uint32_t& count, uint32_t index) {
    releasePool(s, list[index]);
    for (uint32_t i = index + 1; i < count; ++i) list[i - 1] = list[i];
    --count;
}

void dropAllScripts(SimState& s) {
    s.nextCount = 0;
    s.cmdCount = 0;
    s.putPoolUsed = 0;
}

// Builds the answer of a scripted request. Returns the answer length, or sets `error`.
DeviceReply applyScript(SimState& s, const Script& sc, const uint8_t* request, uint32_t length,
                        uint8_t* answer) {
    if (sc.hasError) return DeviceReply{DeviceOutcome::kError, 0, sc.error, 0, 0};
    uint32_t n;
    if (sc.useModel) {
        n = modelServe(s.model, request, length, answer);
    } else {
        std::memset(answer, 0, kBlockSize);
        std::memcpy(answer, request, length);
        storeI32(answer + kOffResult, 0);
        n = length;
    }
    if (sc.hasResult) storeI32(answer + kOffResult, sc.result);
    if (sc.hasReason) storeI32(answer + kOffReason, sc.reason);
    for (uint32_t i = 0; i < sc.putCount; ++i) {
        const ScriptPut& p = sc.puts[i];
        std::memcpy(answer + p.offset, s.putPool + p.poolAt, p.length);
        if (p.offset + p.length > n) n = p.offset + p.length;
    }
    if (sc.hasAnswerLength) n = sc.answerLength;
    return DeviceReply{DeviceOutcome::kAnswer, n, 0, sc.hasFrameWord, sc.frameWord};
}

void recordRequest(SimState& s, const uint8_t* request, uint32_t received) {
    RecordedRequest& r = s.record[s.recordTotal % kRecordKeep];
    r.length = received;
    std::memcpy(r.bytes, request, received);
    ++s.recordTotal;
}

// ---------------------------------------------------------------------------------------------
// Control line parsing

struct Token {
    const char* p;
    size_t n;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct Tokenizer {
    const char* p;
    bool next(Token& t) {
        while (*p && isBlank(*p)) ++p;
        if (!*p) return false;
        t.p = p;
        while (*p && !isBlank(*p)) ++p;
        t.n = static_cast<size_t>(p - t.p);
        return true;
    }
    bool atEnd() {
        while (*p && isBlank(*p)) ++p;
        return *p == '\0';
    }
};

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool is(const Token& t, const char* word) {
    size_t i = 0;
    for (; i < t.n; ++i)
        if (word[i] == '\0' || upper(t.p[i]) != word[i]) return false;
    return word[i] == '\0';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decimal, optionally negative, or 0x hexadecimal; anything within 64 bits of magnitude 2^40
// is plenty for every field, and keeps the range checks of the callers simple.
bool parseNumber(const Token& t, int64_t& out) {
    size_t i = 0;
    bool negative = false;
    if (i < t.n && t.p[i] == '-') {
        negative = true;
        ++i;
    }
    uint64_t v = 0;
    if (t.n - i > 2 && t.p[i] == '0' && (t.p[i + 1] == 'x' || t.p[i + 1] == 'X')) {
        i += 2;
        for (; i < t.n; ++i) {
            int d = hexDigit(t.p[i]);
            if (d < 0 || v > (1ull << 40)) return false;
            v = v * 16 + static_cast<uint64_t>(d);
        }
    } else {
        if (i == t.n) return false;
        for (; i < t.n; ++i) {
            if (t.p[i] < '0' || t.p[i] > '9' || v > (1ull << 40)) return false;
            v = v * 10 + static_cast<uint64_t>(t.p[i] - '0');
        }
    }
    out = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    return true;
}

bool parseInRange(const Token& t, int64_t low, int64_t high, int64_t& out) {
    return parseNumber(t, out) && out >= low && out <= high;
}

// A 32-bit field given either as a signed value or as its unsigned bit pattern (0xFFFFFFFF).
bool parseWord(const Token& t, int32_t& out) {
    int64_t v;
    if (!parseInRange(t, -2147483648LL, 4294967295LL, v)) return false;
    out = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
}

bool parseDotted(const Token& t, uint8_t* addr) {
    int part = 0;
    uint32_t value = 0;
    size_t digits = 0;
    for (size_t i = 0; i <= t.n; ++i) {
        if (i == t.n || t.p[i] == '.') {
            if (digits == 0 || value > 255 || part > 3) return false;
            addr[part++] = static_cast<uint8_t>(value);
            value = 0;
            digits = 0;
        } else if (t.p[i] >= '0' && t.p[i] <= '9' && digits < 3) {
            value = value * 10 + static_cast<uint32_t>(t.p[i] - '0');
            ++digits;
        } else {
            return false;
        }
    }
    return part == 4;
}

const char* parseActions(SimState& s, Tokenizer& tk, Script& sc) {
    Token t;
    while (tk.next(t)) {
        int64_t v;
        Token arg;
        if (is(t, "MODEL")) {
            sc.useModel = 1;
            continue;
        }
        if (!tk.next(arg)) return "ERR missing value";
        if (is(t, "ERROR")) {
            if (!parseInRange(arg, 1, 4294967295LL, v)) return "ERR bad error code";
            sc.hasError = 1;
            sc.error = static_cast<uint32_t>(v);
        } else if (is(t, "RESULT")) {
            if (!parseWord(arg, sc.result)) return "ERR bad result";
            sc.hasResult = 1;
        } else if (is(t, "REASON")) {
            if (!parseWord(arg, sc.reason)) return "ERR bad reason";
            sc.hasReason = 1;
        } else if (is(t, "N")) {
            if (!parseInRange(arg, 0, kBlockSize, v)) return "ERR bad answer length";
            sc.hasAnswerLength = 1;
            sc.answerLength = static_cast<uint32_t>(v);
        } else if (is(t, "WORD")) {
            if (!parseInRange(arg, 0, 4294967295LL, v)) return "ERR bad length word";
            sc.hasFrameWord = 1;
            sc.frameWord = static_cast<uint32_t>(v);
        } else if (is(t, "PUT")) {
            Token hex;
            if (!parseInRange(arg, 0, kBlockSize - 1, v)) return "ERR bad offset";
            if (!tk.next(hex) || hex.n == 0 || hex.n % 2) return "ERR bad hex";
            uint32_t bytes = static_cast<uint32_t>(hex.n / 2);
            if (v + bytes > kBlockSize) return "ERR put beyond block";
            if (sc.putCount == kPutsPerScript) return "ERR too many puts";
            if (s.putPoolUsed + bytes > kPutPoolSize) return "ERR script space full";
            uint8_t* dst = s.putPool + s.putPoolUsed;
            for (uint32_t i = 0; i < bytes; ++i) {
                int hi = hexDigit(hex.p[2 * i]);
                int lo = hexDigit(hex.p[2 * i + 1]);
                if (hi < 0 || lo < 0) return "ERR bad hex";
                dst[i] = static_cast<uint8_t>(hi * 16 + lo);
            }
            sc.puts[sc.putCount++] = ScriptPut{static_cast<uint32_t>(v), bytes, s.putPoolUsed};
            s.putPoolUsed += bytes;
        } else {
            return "ERR unknown action";
        }
    }
    return nullptr;
}

const char* controlScript(SimState& s, Tokenizer& tk) {
    Token t;
    if (!tk.next(t)) return "ERR missing NEXT or CMD";
    Script sc;
    std::memset(&sc, 0, sizeof sc);
    bool isNext = is(t, "NEXT");
    if (!isNext) {
        if (!is(t, "CMD")) return "ERR missing NEXT or CMD";
        Token code;
        int64_t v;
        if (!tk.next(code) || !parseInRange(code, 0, 4294967295LL, v)) return "ERR bad command code";
        sc.command = static_cast<uint32_t>(v);
        Tokenizer peek = tk;
        Token maybe;
        if (peek.next(maybe) && is(maybe, "TIMES")) {
            Token k;
            if (!peek.next(k) || !parseInRange(k, 1, 4294967295LL, v)) return "ERR bad TIMES";
            sc.timesLeft = static_cast<uint32_t>(v);
            tk = peek;
        }
    }
    if (isNext ? s.nextCount == kNextMax : s.cmdCount == kCmdScriptMax) return "ERR too many scripts";
    uint32_t poolBefore = s.putPoolUsed;
    if (const char* err = parseActions(s, tk, sc)) {
        s.putPoolUsed = poolBefore;  // forget the PUT bytes of the refused line
        return err;
    }
    if (isNext) {
        s.next[s.nextCount++] = sc;
        return nullptr;
    }
    // A permanent script of the same command would hide the new one for ever: replace it.
    s.cmd[s.cmdCount++] = sc;
    for (uint32_t i = 0; i + 1 < s.cmdCount; ++i) {
        if (s.cmd[i].command == sc.command && s.cmd[i].timesLeft == 0) {
            removeScript(s, s.cmd, s.cmdCount, i);
            break;
        }
    }
    return nullptr;
}

void controlRecord(SimState& s, Tokenizer& tk, TextOut& out) {
    Token t;
    if (!tk.next(t)) {
        out.put("ERR missing COUNT or GET");
    } else if (is(t, "COUNT") && tk.atEnd()) {
        out.put("OK ");
        out.putUnsigned(s.recordTotal);
    } else if (is(t, "GET")) {
        Token arg;
        int64_t i;
        if (!tk.next(arg) || !parseNumber(arg, i) || !tk.atEnd()) {
            out.put("ERR bad index");
            return;
        }
        int64_t total = static_cast<int64_t>(s.recordTotal);
        if (i < 0) i += total;
        if (i < 0 || i >= total || i < total - static_cast<int64_t>(kRecordKeep)) {
            out.put("ERR no such request");
            return;
        }
        const RecordedRequest& r = s.record[static_cast<uint64_t>(i) % kRecordKeep];
        out.put("OK ");
        out.putUnsigned(r.length);
        out.putChar(' ');
        out.putHex(r.bytes, r.length);
    } else {
        out.put("ERR missing COUNT or GET");
    }
}

// ALIAS <name> <unit> <address> <mask> [<source>]  /  UNALIAS <name> <unit> <address>
const char* controlAlias(SimState& s, Tokenizer& tk, bool add) {
    Token name, unitTok, addrTok, maskTok, srcTok;
    int64_t unit;
    uint8_t addr[4], mask[4], src[4] = {0, 0, 0, 0};
    if (!tk.next(name) || name.n >= sizeof(AliasEntry::name)) return "ERR bad interface name";
    if (!tk.next(unitTok) || !parseInRange(unitTok, 0, 2147483647, unit)) return "ERR bad unit";
    if (!tk.next(addrTok) || !parseDotted(addrTok, addr)) return "ERR bad address";
    AliasStatus st;
    if (add) {
        if (!tk.next(maskTok) || !parseDotted(maskTok, mask)) return "ERR bad netmask";
        if (tk.next(srcTok) && !parseDotted(srcTok, src)) return "ERR bad source";
        if (!tk.atEnd()) return "ERR too many arguments";
        uint32_t hostMask = (static_cast<uint32_t>(mask[0]) << 24) | (mask[1] << 16) |
                            (mask[2] << 8) | mask[3];
        st = modelAliasAdd(s.model, name.p, name.n, static_cast<int32_t>(unit), addr, hostMask, src);
    } else {
        if (!tk.atEnd()) return "ERR too many arguments";
        st = modelAliasRemove(s.model, name.p, name.n, static_cast<int32_t>(unit), addr);
    }
    switch (st) {
        case AliasStatus::kOk: return nullptr;
        case AliasStatus::kDuplicate: return "ERR address already configured";
        case AliasStatus::kFull: return "ERR alias table full";
        case AliasStatus::kNotFound: return "ERR no such alias";
    }
    return "ERR internal";
}

void listAliases(const ModelState& m, TextOut& out) {
    out.put("OK ");
    out.putUnsigned(m.aliasCount);
    for (uint32_t i = 0; i < m.aliasCount; ++i) {
        const AliasEntry& a = m.aliases[i];
        uint8_t mask[4] = {static_cast<uint8_t>(a.mask >> 24), static_cast<uint8_t>(a.mask >> 16),
                           static_cast<uint8_t>(a.mask >> 8), static_cast<uint8_t>(a.mask)};
        out.putChar(' ');
        out.put(a.name);
        out.putUnsigned(static_cast<uint32_t>(a.unit));
        out.putChar(' ');
        out.putDotted(a.address);
        out.putChar(' ');
        out.putDotted(mask);
        out.putChar(' ');
        out.putDotted(a.source);
    }
}

// DIAG <table> <argument>...: each argument a number, a dotted address (both when it reads as
// either), or a word.
const char* controlDiag(SimState& s, Tokenizer& tk) {
    DiagArg args[kDiagArgMax];
    uint32_t count = 0;
    Token t;
    while (tk.next(t)) {
        if (count == kDiagArgMax) return "ERR too many arguments";
        DiagArg& a = args[count++];
        a.text = t.p;
        a.length = t.n;
        a.isNumber = parseNumber(t, a.number);
        a.isAddress = parseDotted(t, a.address);
    }
    return modelDiagControl(s.model, args, count);
}

void resetAll(SimState& s) {
    dropAllScripts(s);
    s.recordTotal = 0;
    modelReset(s.model, s.clock);
}

}  // namespace

void simInit(SimState& s) {
    std::memset(&s, 0, sizeof s);
    modelReset(s.model, 0);
}

void simSetClock(SimState& s, uint64_t unixSeconds) {
    s.clock = unixSeconds;
    if (s.model.startTime == 0) s.model.startTime = unixSeconds;
}

DeviceReply simHandleRequest(SimState& s, const uint8_t* request, uint32_t received,
                             uint8_t* answer) {
    if (received > kBlockSize) received = kBlockSize;
    recordRequest(s, request, received);
    uint32_t length = received >= kHeaderSize ? loadU32(request + kOffLength) : 0;
    if (length < kHeaderSize || length > kBlockSize || length > received)
        return DeviceReply{DeviceOutcome::kBadLength, 0, 0, 0, 0};

    uint32_t command = loadU32(request + kOffCommand);
    if (s.nextCount) {
        Script sc = s.next[0];
        DeviceReply reply = applyScript(s, sc, request, length, answer);
        removeScript(s, s.next, s.nextCount, 0);
        return reply;
    }
    for (uint32_t i = 0; i < s.cmdCount; ++i) {
        if (s.cmd[i].command != command) continue;
        DeviceReply reply = applyScript(s, s.cmd[i], request, length, answer);
        if (s.cmd[i].timesLeft && --s.cmd[i].timesLeft == 0) removeScript(s, s.cmd, s.cmdCount, i);
        return reply;
    }
    return DeviceReply{DeviceOutcome::kAnswer, modelServe(s.model, request, length, answer), 0, 0, 0};
}

ControlOutcome simHandleControl(SimState& s, const char* line, char* answer, size_t capacity) {
    TextOut out(answer, capacity);
    Tokenizer tk{line};
    Token t;
    const char* err = nullptr;
    ControlOutcome outcome = ControlOutcome::kContinue;
    bool answered = false;  // true when the handler wrote its own OK answer
    if (!tk.next(t)) {
        err = "ERR empty line";
    } else if (is(t, "PING")) {
        if (!tk.atEnd()) err = "ERR too many arguments";
    } else if (is(t, "RESET")) {
        if (tk.atEnd()) resetAll(s);
        else err = "ERR too many arguments";
    } else if (is(t, "SCRIPT")) {
        err = controlScript(s, tk);
    } else if (is(t, "UNSCRIPT")) {
        if (tk.atEnd()) dropAllScripts(s);
        else err = "ERR too many arguments";
    } else if (is(t, "RECORD")) {
        controlRecord(s, tk, out);
        answered = true;
    } else if (is(t, "STOP")) {
        if (tk.atEnd()) outcome = ControlOutcome::kStop;
        else err = "ERR too many arguments";
    } else if (is(t, "ALIAS")) {
        err = controlAlias(s, tk, true);
    } else if (is(t, "UNALIAS")) {
        err = controlAlias(s, tk, false);
    } else if (is(t, "IFNAME")) {
        Token service, name;
        if (!tk.next(service)) {
            err = "ERR bad service name";
        } else {
            bool named = tk.next(name);
            err = !tk.atEnd() ? "ERR too many arguments"
                              : modelInterfaceName(s.model, service.p, service.n,
                                                   named ? name.p : nullptr, named ? name.n : 0);
        }
    } else if (is(t, "DIAG")) {
        err = controlDiag(s, tk);
    } else if (is(t, "ALIASES")) {
        if (tk.atEnd()) {
            listAliases(s.model, out);
            answered = true;
        } else {
            err = "ERR too many arguments";
        }
    } else {
        err = "ERR unknown command";
    }
    if (!answered) out.put(err ? err : "OK");
    if (out.overflow) {
        TextOut again(answer, capacity);
        again.put("ERR answer too long");
    }
    return outcome;
}

}  // namespace velksim
