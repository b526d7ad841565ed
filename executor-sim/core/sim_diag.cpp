// The diagnostic model: affinity bindings per cluster port, connection records, half-open
// records, attacking addresses, the denial-of-service settings, the counters of the
// miscellaneous command, the return-address and connection-record list tables, the affinity
// lists (derived from the bindings), the cluster tree and the ICMP record.
//
// Tables are seeded with DIAG control lines (see the README); the executor's own commands
// change the bindings (59), the denial-of-service settings (69) and the ICMP record (58).
#include <cstring>

#include "sim_internal.h"
#include "sim_layout.h"

namespace velksim {

namespace {

constexpr int32_t kReasonTooShort = -1;
constexpr int32_t kReasonBadSubCommand = -3;  // affinity exchange: a sub-command it doesn't know

// Affinity exchange sub-commands (command 59).
constexpr int32_t kAffinityList = 0;
constexpr int32_t kAffinityBind = 1;
constexpr int32_t kAffinityUnbind = 2;

constexpr uint32_t kAffinityRecords = 48;
constexpr uint32_t kAffinityRecordSize = 32;
constexpr uint32_t kAffinityFit = (kBlockSize - kAffinityRecords) / kAffinityRecordSize;
constexpr uint32_t kConnectionRecords = 32;
constexpr uint32_t kConnectionRecordSize = 40;
constexpr uint32_t kConnectionFit = (kBlockSize - kConnectionRecords) / kConnectionRecordSize;
constexpr uint32_t kHalfOpenFit = (kBlockSize - diag::kRecords) / diag::kHalfOpenSize;
constexpr uint32_t kAttackFit = (kBlockSize - diag::kAttackRecords) / diag::kAttackSize;

constexpr uint32_t kMtu = 1460;  // the TCP MSS the counter answer reports

bool same4(const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, 4) == 0; }
bool same2(const uint8_t* a, const uint8_t* b) { return a[0] == b[0] && a[1] == b[1]; }
bool zero4(const uint8_t* a) { return (a[0] | a[1] | a[2] | a[3]) == 0; }
bool zero2(const uint8_t* a) { return (a[0] | a[1]) == 0; }

uint64_t now(const ModelState& m) {
    // Without a pinned clock the executor's clock ticks once per request served.
    return m.diag.pinnedClock ? m.diag.pinnedClock : m.startTime + m.served;
}

void fail(uint8_t* answer, int32_t reason) {
    storeI32(answer + kOffResult, -1);
    storeI32(answer + kOffReason, reason);
}

// ---- affinity --------------------------------------------------------------------------------

const DiagAffinityPort* affinityPort(const DiagState& d, const uint8_t* cluster,
                                     const uint8_t* port) {
    for (uint32_t i = 0; i < d.affinityPortCount; ++i)
        if (same4(d.affinityPorts[i].cluster, cluster) && same2(d.affinityPorts[i].port, port))
            return &d.affinityPorts[i];
    return nullptr;
}

// The port's bindings into the answer: count at 44, records from 48 (as many as fit).
void answerBindings(const DiagState& d, const uint8_t* cluster, const uint8_t* port,
                    uint8_t* answer) {
    uint32_t count = 0;
    for (uint32_t i = 0; i < d.affinityCount; ++i) {
        const DiagAffinity& a = d.affinities[i];
        if (!same4(a.cluster, cluster) || !same2(a.port, port)) continue;
        if (count < kAffinityFit) {
            uint8_t* r = answer + kAffinityRecords + kAffinityRecordSize * count;
            std::memset(r, 0, kAffinityRecordSize);
            std::memcpy(r + diag::kBindingClient, a.client, 4);
            std::memcpy(r + diag::kBindingServer, a.server, 4);
            // The executor's own slot number.
            storeU16(r + diag::kBindingSlot, static_cast<uint16_t>(i));
            storeU32(r + diag::kBindingActive, a.active);
            storeU64(r + diag::kBindingLastUse, a.lastUse);
        }
        ++count;
    }
    storeU32(answer + diag::kAffinityCount, count);
}

DiagAffinity* findBinding(DiagState& d, const uint8_t* cluster, const uint8_t* port,
                          const uint8_t* client) {
    for (uint32_t i = 0; i < d.affinityCount; ++i) {
        DiagAffinity& a = d.affinities[i];
        if (same4(a.cluster, cluster) && same2(a.port, port) && same4(a.client, client)) return &a;
    }
    return nullptr;
}

void affinityReport(const ModelState& m, const uint8_t* request, uint8_t* answer) {
    const uint8_t* cluster = request + diag::kAffinityCluster;
    const uint8_t* port = request + diag::kAffinityPort;
    storeU64(answer + diag::kAffinityTime, now(m));
    const DiagAffinityPort* p = affinityPort(m.diag, cluster, port);
    storeU32(answer + diag::kAffinityStickyMask, p ? p->stickyMask : 0);
    storeU16(answer + diag::kAffinityServerDirected, p ? p->serverDirected : 0);
    answerBindings(m.diag, cluster, port, answer);
}

void affinityExchange(ModelState& m, const uint8_t* request, uint8_t* answer) {
    DiagState& d = m.diag;
    const int32_t sub = loadI32(request + diag::kAffinitySubCommand);
    const uint8_t* cluster = request + diag::kAffinityCluster;
    const uint8_t* port = request + diag::kAffinityPort;
    uint32_t supplied = loadU32(request + diag::kAffinityCount);
    if (supplied > kAffinityFit) supplied = kAffinityFit;
    int32_t changed = 0;
    if (sub == kAffinityBind) {
        for (uint32_t i = 0; i < supplied; ++i) {
            const uint8_t* r = request + kAffinityRecords + kAffinityRecordSize * i;
            DiagAffinity* a = findBinding(d, cluster, port, r);
            if (a == nullptr) {
                if (d.affinityCount == kDiagAffinityMax) break;
                a = &d.affinities[d.affinityCount++];
                std::memset(a, 0, sizeof *a);
                std::memcpy(a->cluster, cluster, 4);
                std::memcpy(a->port, port, 2);
                std::memcpy(a->client, r + diag::kBindingClient, 4);
            }
            std::memcpy(a->server, r + diag::kBindingServer, 4);
            a->lastUse = now(m);
            ++changed;
        }
    } else if (sub == kAffinityUnbind) {
        for (uint32_t i = 0; i < supplied; ++i) {
            const uint8_t* r = request + kAffinityRecords + kAffinityRecordSize * i;
            DiagAffinity* a = findBinding(d, cluster, port, r);
            if (a == nullptr) continue;
            *a = d.affinities[--d.affinityCount];
            ++changed;
        }
    } else if (sub != kAffinityList) {
        return fail(answer, kReasonBadSubCommand);
    }
    storeI32(answer + diag::kAffinityChanged, changed);
    storeU64(answer + diag::kAffinityTime, now(m));
    answerBindings(d, cluster, port, answer);
}

// ---- connections and attacks -----------------------------------------------------------------

// An address and port of a query select records that carry them; zero selects any.
bool selects(const uint8_t* address, const uint8_t* port, const uint8_t* a, const uint8_t* p) {
    return (zero4(address) || same4(address, a)) && (zero2(port) || same2(port, p));
}

void connectionQuery(const ModelState& m, const uint8_t* request, uint8_t* answer) {
    const DiagState& d = m.diag;
    uint8_t q[3][6];  // the three pairs, read before the answer overwrites them
    for (int p = 0; p < 3; ++p) {
        const uint8_t* pair = request + diag::kPairs + diag::kPairSize * p;
        std::memcpy(q[p], pair, 4);
        std::memcpy(q[p] + 4, pair + diag::kPairPort, 2);
    }
    uint32_t count = 0;
    for (uint32_t i = 0; i < d.connectionCount; ++i) {
        const DiagConnection& c = d.connections[i];
        if (!selects(q[0], q[0] + 4, c.client, c.clientPort) ||
            !selects(q[1], q[1] + 4, c.cluster, c.clusterPort) ||
            !selects(q[2], q[2] + 4, c.server, q[2] + 4))
            continue;
        if (count < kConnectionFit) {
            uint8_t* r = answer + kConnectionRecords + kConnectionRecordSize * count;
            std::memset(r, 0, kConnectionRecordSize);
            std::memcpy(r + diag::kConnectionCluster, c.cluster, 4);
            std::memcpy(r + diag::kConnectionClient, c.client, 4);
            std::memcpy(r + diag::kConnectionClusterPort, c.clusterPort, 2);
            std::memcpy(r + diag::kConnectionClientPort, c.clientPort, 2);
            storeU64(r + diag::kConnectionLastActivity, c.lastActivity);
            r[diag::kConnectionState] = c.state;
            r[diag::kConnectionPreviousTcp] = c.previousTcp;
            r[diag::kConnectionCurrentTcp] = c.currentTcp;
            std::memcpy(r + diag::kConnectionServer, c.server, 4);
            r[diag::kConnectionFlag] = c.flag;
        }
        ++count;
    }
    storeU32(answer + diag::kCount, count);
    storeI32(answer + diag::kNps, d.nps);
    storeU64(answer + diag::kConnectionTime, now(m));
}

void halfOpenRecords(const DiagState& d, uint8_t* answer) {
    const uint32_t count = d.halfOpenCount < kHalfOpenFit ? d.halfOpenCount : kHalfOpenFit;
    storeU32(answer + diag::kCount, d.halfOpenCount);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* r = answer + diag::kRecords + diag::kHalfOpenSize * i;
        std::memset(r, 0, diag::kHalfOpenSize);
        std::memcpy(r, d.halfOpen[i].address, 4);
        std::memcpy(r + diag::kHalfOpenPort, d.halfOpen[i].port, 2);
        r[diag::kHalfOpenFlag] = d.halfOpen[i].flag;
    }
}

void attackers(const DiagState& d, const uint8_t* request, uint8_t* answer) {
    uint8_t target[6];
    std::memcpy(target, request + diag::kAttackTarget, 6);
    uint32_t count = 0;
    int32_t total = 0;
    for (uint32_t i = 0; i < d.attackCount; ++i) {
        const DiagAttack& a = d.attacks[i];
        if (!selects(target, target + 4, a.target, a.targetPort)) continue;
        if (count < kAttackFit) {
            uint8_t* r = answer + diag::kAttackRecords + diag::kAttackSize * count;
            std::memcpy(r, a.attacker, 4);
            storeI32(r + diag::kAttackFigure, a.figure);
        }
        total = static_cast<int32_t>(static_cast<uint32_t>(total) +
                                     static_cast<uint32_t>(a.figure));
        ++count;
    }
    storeU32(answer + diag::kAttackCount, count);
    storeI32(answer + diag::kAttackTotal, total);  // the figures of all attackers together
}

// ---- the miscellaneous command and its tables ------------------------------------------------

void counters(ModelState& m, const uint8_t* request, uint8_t* answer) {
    DiagState& d = m.diag;
    d.miscSubCommand = loadI32(request + diag::kMiscSubCommand);
    for (int i = 0; i < 3; ++i) d.miscArguments[i] = loadI32(request + diag::kMiscArguments + 4 * i);
    for (uint32_t w = 0; w < kDiagCounterWords && diag::kCounters + 4 * w + 4 <= kBlockSize; ++w)
        storeU32(answer + diag::kCounters + 4 * w, d.counters[w]);
    // "Arg28": the third argument, as it came.
    storeI32(answer + diag::kArg28, d.miscArguments[2]);
}

uint32_t ratRecords(const DiagState& d, uint8_t* answer) {
    storeU32(answer + diag::kCount, d.ratCount);
    for (uint32_t i = 0; i < d.ratCount; ++i) {
        uint8_t* r = answer + diag::kRecords + diag::kRatSize * i;
        std::memcpy(r, d.rats[i].address, 4);
        storeI32(r + diag::kRatReferences, d.rats[i].references);
        std::memcpy(r + diag::kRatFsm, d.rats[i].fsm, 4);
        storeI32(r + diag::kRatPortsInUse, d.rats[i].portsInUse);
    }
    return diag::kRecords + diag::kRatSize * d.ratCount;
}

uint32_t crllRecords(const DiagState& d, uint8_t* answer) {
    storeU32(answer + diag::kCount, d.crllCount);
    for (uint32_t i = 0; i < d.crllCount; ++i) {
        const DiagCrll& c = d.crlls[i];
        uint8_t* r = answer + diag::kRecords + diag::kCrllSize * i;
        std::memset(r, 0, diag::kCrllSize);
        std::memcpy(r, c.cluster, 4);
        storeU16(r + diag::kCrllPort, c.port);
        std::memcpy(r + diag::kCrllName, c.name, kDiagListNameSize);
        storeI32(r + diag::kCrllCurrent, c.current);
        storeI32(r + diag::kCrllReused, c.reused);
        storeI32(r + diag::kCrllStale, c.stale);
        storeI32(r + diag::kCrllTimeout, c.timeout);
    }
    return diag::kRecords + diag::kCrllSize * d.crllCount;
}

// One record per cluster port that holds bindings, in order of first binding: bindings with
// active connections, and those without.
uint32_t affinityLists(const DiagState& d, uint8_t* answer) {
    constexpr uint32_t kFit = (kBlockSize - diag::kRecords) / diag::kAffinityListSize;
    uint32_t count = 0;
    for (uint32_t i = 0; i < d.affinityCount; ++i) {
        const DiagAffinity& a = d.affinities[i];
        bool seen = false;
        for (uint32_t j = 0; j < i && !seen; ++j)
            seen = same4(d.affinities[j].cluster, a.cluster) && same2(d.affinities[j].port, a.port);
        if (seen || count == kFit) continue;
        uint32_t active = 0, idle = 0;
        for (uint32_t j = i; j < d.affinityCount; ++j) {
            const DiagAffinity& b = d.affinities[j];
            if (!same4(b.cluster, a.cluster) || !same2(b.port, a.port)) continue;
            ++(b.active ? active : idle);
        }
        uint8_t* r = answer + diag::kRecords + diag::kAffinityListSize * count++;
        std::memset(r, 0, diag::kAffinityListSize);
        std::memcpy(r, a.cluster, 4);
        std::memcpy(r + diag::kAffinityListPort, a.port, 2);
        storeU32(r + diag::kAffinityListActive, active);
        storeU32(r + diag::kAffinityListIdle, idle);
    }
    storeU32(answer + diag::kCount, count);
    return diag::kRecords + diag::kAffinityListSize * count;
}

// The cluster tree: at 24 the number of clusters; from 80 each cluster's 52-byte entry (address,
// number of ports at 12), then its ports' 36-byte entries (port number, number of servers at 12),
// each followed by its servers' 20-byte entries (address at 0: the server key, which is the
// address of a server named by its address). Stops where the block ends.
void clusterTree(const ModelState& m, uint8_t* answer) {
    std::memset(answer + kHeaderSize, 0, kBlockSize - kHeaderSize);
    uint32_t at = diag::kTreeEntries;
    uint32_t clusters = 0;
    for (uint32_t c = 0; c < m.clusterCount; ++c) {
        const uint8_t* cr = m.clusters[c].record;
        if (at + diag::kTreeClusterSize > kBlockSize) break;
        uint8_t* ce = answer + at;
        at += diag::kTreeClusterSize;
        ++clusters;
        std::memcpy(ce, cr + cluster::kAddress, 4);
        uint32_t ports = 0;
        for (uint32_t p = 0; p < m.portCount; ++p) {
            const uint8_t* pr = m.ports[p].record;
            if (loadU32(pr + port::kClusterKey) != loadU32(cr + cluster::kKey) ||
                at + diag::kTreePortSize > kBlockSize)
                continue;
            uint8_t* pe = answer + at;
            at += diag::kTreePortSize;
            ++ports;
            std::memcpy(pe, pr + port::kNumber, 2);
            uint32_t servers = 0;
            for (uint32_t s = 0; s < m.servers.count; ++s) {
                const uint8_t* sr = m.servers.servers[s].record;
                if (loadU32(sr + server::kClusterKey) != loadU32(pr + port::kClusterKey) ||
                    !same2(sr + server::kPort, pr + port::kNumber) ||
                    at + diag::kTreeServerSize > kBlockSize)
                    continue;
                std::memcpy(answer + at, sr + server::kKey, 4);
                at += diag::kTreeServerSize;
                ++servers;
            }
            storeU32(pe + diag::kTreeCount, servers);
        }
        storeU32(ce + diag::kTreeCount, ports);
    }
    storeU32(answer + diag::kTreeClusters, clusters);
}

// ---- control lines ---------------------------------------------------------------------------

bool isWord(const DiagArg& a, const char* word) {
    return std::strlen(word) == a.length && std::memcmp(a.text, word, a.length) == 0;
}

// Argument readers: false when the argument is not of its kind.
struct Args {
    const DiagArg* a;
    uint32_t count;
    uint32_t next;
    bool ok;

    const DiagArg* take() {
        if (next >= count) {
            ok = false;
            return nullptr;
        }
        return &a[next++];
    }
    void address(uint8_t* out) {
        const DiagArg* v = take();
        if (v == nullptr || !v->isAddress) {
            ok = false;
            return;
        }
        std::memcpy(out, v->address, 4);
    }
    int64_t number(int64_t low, int64_t high) {
        const DiagArg* v = take();
        if (v == nullptr || !v->isNumber || v->number < low || v->number > high) {
            ok = false;
            return 0;
        }
        return v->number;
    }
    void port(uint8_t* out) {  // network byte order
        const uint16_t p = static_cast<uint16_t>(number(0, 65535));
        out[0] = static_cast<uint8_t>(p >> 8);
        out[1] = static_cast<uint8_t>(p);
    }
    int32_t i32() { return static_cast<int32_t>(number(-2147483648LL, 4294967295LL)); }
    uint64_t u64() { return static_cast<uint64_t>(number(0, 1LL << 40)); }
    uint8_t byte() { return static_cast<uint8_t>(number(0, 255)); }
    bool done() const { return ok && next == count; }
};

// Synthetic records for reports at their largest: record i has the addresses 10.i.i.i-like
// and a deterministic port.
void synthetic(uint8_t* address, uint32_t i, uint8_t first) {
    address[0] = first;
    address[1] = static_cast<uint8_t>(i >> 16);
    address[2] = static_cast<uint8_t>(i >> 8);
    address[3] = static_cast<uint8_t>(i);
}

const char* fill(ModelState& m, const DiagArg& table, uint32_t n) {
    DiagState& d = m.diag;
    if (isWord(table, "AFFINITY")) {
        if (n > kDiagAffinityMax) return "ERR too many records";
        for (uint32_t i = 0; i < n; ++i) {
            DiagAffinity& a = d.affinities[i];
            std::memset(&a, 0, sizeof a);
            synthetic(a.cluster, 1, 10);
            a.port[1] = 80;
            synthetic(a.client, i, 172);
            synthetic(a.server, i % 8, 192);
            a.active = i % 5;
        }
        d.affinityCount = n;
    } else if (isWord(table, "CONNECTIONS")) {
        if (n > kDiagConnectionMax) return "ERR too many records";
        for (uint32_t i = 0; i < n; ++i) {
            DiagConnection& c = d.connections[i];
            std::memset(&c, 0, sizeof c);
            synthetic(c.cluster, 1, 10);
            c.clusterPort[1] = 80;
            synthetic(c.client, i, 172);
            c.clientPort[0] = static_cast<uint8_t>(0x80 | (i >> 8));
            c.clientPort[1] = static_cast<uint8_t>(i);
            synthetic(c.server, i % 8, 192);
            c.currentTcp = 4;
            c.flag = 'F';
        }
        d.connectionCount = n;
    } else if (isWord(table, "HALFOPEN")) {
        if (n > kDiagHalfOpenMax) return "ERR too many records";
        for (uint32_t i = 0; i < n; ++i) {
            synthetic(d.halfOpen[i].address, i, 172);
            d.halfOpen[i].port[0] = static_cast<uint8_t>(i >> 8);
            d.halfOpen[i].port[1] = static_cast<uint8_t>(i);
            d.halfOpen[i].flag = static_cast<uint8_t>(i & 1);
        }
        d.halfOpenCount = n;
    } else if (isWord(table, "ATTACKERS")) {
        if (n > kDiagAttackMax) return "ERR too many records";
        for (uint32_t i = 0; i < n; ++i) {
            DiagAttack& a = d.attacks[i];
            std::memset(&a, 0, sizeof a);
            synthetic(a.target, 1, 10);
            a.targetPort[1] = 80;
            synthetic(a.attacker, i, 172);
            a.figure = static_cast<int32_t>(i);
        }
        d.attackCount = n;
    } else {
        return "ERR unknown table";
    }
    return nullptr;
}

}  // namespace

uint32_t diagMinimumLength(uint32_t command) {
    static constexpr CommandLength kLengths[] = {
        {39, 44}, {52, kAffinityRecords}, {59, kAffinityRecords}, {53, 280}, {57, 24}, {58, 24},
        {65, 80}, {67, 20}, {68, 44}, {69, 48}, {84, 20}, {85, 20}, {86, 20},
    };
    return lengthOf(kLengths, command);
}

void modelDiagReset(ModelState& m) {
    // Plausible counters of a quiet executor: a few state machine messages, the TCP MSS of an
    // Ethernet link, checksum offload on. Offsets are those of the answer.
    static const struct {
        uint16_t offset;
        uint32_t value;
    } kCounters[] = {
        {16, 120}, {20, 118}, {24, 2}, {28, 1}, {32, 4}, {36, 3}, {40, 1}, {56, 2}, {60, 5},
        {64, 30}, {144, 12}, {148, 12}, {176, 0}, {200, 7}, {204, 9}, {208, 6}, {212, 2},
        {216, 8}, {248, kMtu}, {252, 1},
    };
    for (const auto& c : kCounters) m.diag.counters[(c.offset - 16) / 4] = c.value;
}

uint32_t modelDiagServe(ModelState& m, uint32_t command, const uint8_t* request, uint32_t length,
                        uint8_t* answer, uint32_t n) {
    if (length < diagMinimumLength(command)) {
        fail(answer, kReasonTooShort);
        return n;
    }
    DiagState& d = m.diag;
    uint32_t end = 0;
    switch (command) {
        case 39: connectionQuery(m, request, answer); break;
        case 52: affinityReport(m, request, answer); break;
        case 53: counters(m, request, answer); end = 260; break;
        case 57:
            storeI32(answer + diag::kIcmpGotResponse, d.icmpGotResponse);
            storeU32(answer + diag::kIcmpAddress, d.icmpAddress);
            break;
        case 58:
            d.icmpGotResponse = loadI32(request + diag::kIcmpGotResponse);
            d.icmpAddress = loadU32(request + diag::kIcmpAddress);
            break;
        case 59: affinityExchange(m, request, answer); break;
        case 65: clusterTree(m, answer); break;
        case 67: halfOpenRecords(d, answer); break;
        case 68: attackers(d, request, answer); break;
        case 69:
            for (int i = 0; i < 8; ++i) d.dos[i] = loadU16(request + diag::kDosValues + 4 * i);
            break;
        case 84: end = ratRecords(d, answer); break;
        case 85: end = crllRecords(d, answer); break;
        case 86: end = affinityLists(d, answer); break;
        default: break;
    }
    return end > n ? end : n;
}

const char* modelDiagControl(ModelState& m, const DiagArg* argv, uint32_t argc) {
    if (argc == 0) return "ERR missing table";
    DiagState& d = m.diag;
    const DiagArg& table = argv[0];
    Args a{argv, argc, 1, true};
    if (isWord(table, "CLOCK")) {
        d.pinnedClock = a.u64();
    } else if (isWord(table, "AFFINITY")) {
        if (d.affinityCount == kDiagAffinityMax) return "ERR table full";
        DiagAffinity r{};
        a.address(r.cluster);
        a.port(r.port);
        a.address(r.client);
        a.address(r.server);
        r.active = static_cast<uint32_t>(a.i32());
        r.lastUse = a.u64();
        if (!a.done()) return "ERR usage: AFFINITY cluster port client server active lastuse";
        d.affinities[d.affinityCount++] = r;
    } else if (isWord(table, "AFFPORT")) {
        if (d.affinityPortCount == kDiagAffinityPortMax) return "ERR table full";
        DiagAffinityPort r{};
        a.address(r.cluster);
        a.port(r.port);
        r.stickyMask = static_cast<uint32_t>(a.i32());
        r.serverDirected = a.byte();
        if (!a.done()) return "ERR usage: AFFPORT cluster port mask serverdirected";
        d.affinityPorts[d.affinityPortCount++] = r;
    } else if (isWord(table, "CONNECTION")) {
        if (d.connectionCount == kDiagConnectionMax) return "ERR table full";
        DiagConnection r{};
        a.address(r.client);
        a.port(r.clientPort);
        a.address(r.cluster);
        a.port(r.clusterPort);
        a.address(r.server);
        r.lastActivity = a.u64();
        r.state = a.byte();
        r.previousTcp = a.byte();
        r.currentTcp = a.byte();
        r.flag = a.byte();
        if (!a.done())
            return "ERR usage: CONNECTION client port cluster port server time state prev cur flag";
        d.connections[d.connectionCount++] = r;
    } else if (isWord(table, "NPS")) {
        d.nps = a.i32();
    } else if (isWord(table, "HALFOPEN")) {
        if (d.halfOpenCount == kDiagHalfOpenMax) return "ERR table full";
        DiagHalfOpen r{};
        a.address(r.address);
        a.port(r.port);
        r.flag = a.byte();
        if (!a.done()) return "ERR usage: HALFOPEN address port flag";
        d.halfOpen[d.halfOpenCount++] = r;
    } else if (isWord(table, "ATTACKER")) {
        if (d.attackCount == kDiagAttackMax) return "ERR table full";
        DiagAttack r{};
        a.address(r.target);
        a.port(r.targetPort);
        a.address(r.attacker);
        r.figure = a.i32();
        if (!a.done()) return "ERR usage: ATTACKER target port attacker figure";
        d.attacks[d.attackCount++] = r;
    } else if (isWord(table, "COUNTER")) {
        const int64_t offset = a.number(diag::kCounters, diag::kCounters + 4 * (kDiagCounterWords - 1));
        const int32_t value = a.i32();
        if (!a.done() || offset % 4 != 0) return "ERR usage: COUNTER offset value";
        d.counters[(offset - 16) / 4] = static_cast<uint32_t>(value);
    } else if (isWord(table, "RAT")) {
        if (d.ratCount == kDiagRatMax) return "ERR table full";
        DiagRat r{};
        a.address(r.address);
        r.references = a.i32();
        a.address(r.fsm);
        r.portsInUse = a.i32();
        if (!a.done()) return "ERR usage: RAT address references fsm ports";
        d.rats[d.ratCount++] = r;
    } else if (isWord(table, "CRLL")) {
        if (d.crllCount == kDiagCrllMax) return "ERR table full";
        DiagCrll r{};
        a.address(r.cluster);
        r.port = static_cast<uint16_t>(a.number(0, 65535));
        const DiagArg* name = a.take();
        if (name == nullptr || name->length >= kDiagListNameSize) return "ERR bad list name";
        std::memcpy(r.name, name->text, name->length);
        r.current = a.i32();
        r.reused = a.i32();
        r.stale = a.i32();
        r.timeout = a.i32();
        if (!a.done()) return "ERR usage: CRLL cluster port name current reused stale timeout";
        // The executor keeps these as a 32-bit value and a 16-bit value in its own order.
        const uint8_t net[4] = {r.cluster[0], r.cluster[1], r.cluster[2], r.cluster[3]};
        for (int i = 0; i < 4; ++i) r.cluster[i] = net[3 - i];
        d.crlls[d.crllCount++] = r;
    } else if (isWord(table, "ICMP")) {
        d.icmpGotResponse = a.i32();
        uint8_t address[4];
        a.address(address);
        if (!a.done()) return "ERR usage: ICMP got address";
        d.icmpAddress = loadU32(address);  // the bytes as they travel
    } else if (isWord(table, "FILL")) {
        const DiagArg* which = a.take();
        const int64_t n = a.number(0, 1 << 20);
        if (which == nullptr || !a.done()) return "ERR usage: FILL table count";
        return fill(m, *which, static_cast<uint32_t>(n));
    } else {
        return "ERR unknown table";
    }
    return a.done() ? nullptr : "ERR bad arguments";
}

}  // namespace velksim
