// The executor model: what the simulated executor answers when no script overrides it.
//
// It keeps the executor-wide settings, clusters, ports, connection entries, interface aliases
// and a log of the requests it served, and answers in the request layouts the library reads.
// Commands it does not model come back unchanged with result 0.
#include <cstring>

#include "sim_internal.h"
#include "sim_layout.h"

namespace velksim {

namespace {

// Reason codes of refused requests (result -1). They are chosen among the codes the library
// maps, so each refusal reaches Java as a code of its own rather than the catch-all.
constexpr int32_t kReasonTooShort = -1;       // request shorter than its command's layout
constexpr int32_t kReasonNotFound = -5;       // no such cluster, port or connection entry
constexpr int32_t kReasonClusterExists = -8;  // cluster add: the ID key is taken
constexpr int32_t kReasonClusterLimit = -7;   // cluster add: the cluster limit is reached
constexpr int32_t kReasonPortExists = -4;     // port add: the port number is taken
constexpr int32_t kReasonPortLimit = -3;      // port add: the cluster's port limit is reached
constexpr int32_t kReasonEntryExists = -8;    // connection allocate: the entry exists
constexpr int32_t kReasonEntryLimit = -7;     // connection allocate: the table is full

constexpr char kVersionText[] = "velklb simulated executor 1.0";
constexpr uint32_t kHashBuckets = 4096;
constexpr uint32_t kBytesPerConnection = 512;  // how rates in bytes follow connection rates
constexpr uint32_t kNicMtu = 1500;

// Executor settings record (commands 1 and 2).
constexpr FlaggedField kSettingsFields[] = {
    {628, 16, 4},   // non-forwarding address
    {629, 20, 4},   // trace level
    {630, 24, 4},   // log filter
    {631, 28, 4},   // default maximum ports per cluster
    {632, 32, 8},   // FIN timeout
    {633, 40, 8},   // high-availability timeout
    {634, 48, 8},   // high-availability synchronisation timeout
    {635, 600, 4},  // client gateway
    {636, 56, 4},   // default maximum servers per port
    {637, 64, 8},   // default port stale timeout
    {638, 72, 8},   // default port sticky time
    {639, 80, 2},   // default port affinity type
    {640, 82, 2},   // default port weight bound
    {641, 84, 1},   // default port type
    {642, 85, 1},   // default port replicate setting
    {643, 604, 4},  // maximum number of clusters
    {644, 608, 4},  // wide port number
    {645, 616, 8},  // seconds west of Greenwich
    {646, 86, 256}, // configuration file name
    {648, 624, 4},  // shared bandwidth
    {656, 664, 4},  // cookie expiry interval
    {668, 672, 16}, // IPv6 client gateway
};

// Cluster record (commands 4 and 8). The address (flag 95) counts on set only: an add always
// takes the address it carries.
constexpr FlaggedField kClusterFields[] = {
    {84, 20, 4},  {85, 24, 4},  {86, 32, 8},  {87, 40, 2},  {88, 42, 2},
    {89, 44, 1},  {90, 45, 1},  {91, 48, 8},  {92, 56, 4},  {93, 80, 4},
    {94, 64, 16}, {95, 16, 4},  {169, 172, 4},
};

// Port record (commands 10 and 14).
constexpr FlaggedField kPortFields[] = {
    {80, 32, 4}, {81, 40, 8}, {82, 48, 2}, {83, 52, 4}, {84, 56, 8}, {85, 64, 2},
    {86, 66, 1}, {87, 68, 2}, {88, 70, 1}, {89, 72, 2}, {90, 76, 4}, {91, 92, 1},
};

struct Exchange {
    const uint8_t* req;
    uint32_t length;
    uint8_t* ans;
    uint32_t n;  // answer length so far

    void fail(int32_t reason) {
        storeI32(ans + kOffResult, -1);
        storeI32(ans + kOffReason, reason);
    }
    void grow(uint32_t end) {
        if (end > n) n = end;
    }
};

// The shortest requests of the commands this file, the rules and the network model serve; the
// server and diagnostics models keep their own.
constexpr CommandLength kMinimumLengths[] = {
    {1, kSettingsLength},      {2, kSettingsLength},      {3, report::kLength},
    {71, report::kLength},     {4, kClusterRecordLength}, {5, kClusterRecordLength},
    {7, kClusterRecordLength}, {8, kClusterRecordLength}, {6, cluster::kListEntries},
    {9, cluster::kReportLength}, {72, cluster::kReportLength}, {15, port::kReportLength},
    {80, port::kReportLength}, {10, kPortRecordLength},   {11, kPortRecordLength},
    {13, kPortRecordLength},   {14, kPortRecordLength},   {12, port::kListEntries},
    {18, kRuleRecordLength},   {19, kRuleRecordLength},   {21, kRuleRecordLength},
    {22, kRuleRecordLength},   {20, rules::kListEntries}, {23, rules::kReportLength},
    {81, rules::kReportLength},                 {24, kServerRecordLength}, {25, kServerRecordLength},
    {26, server::kListEntries},                  {34, connection::kLength}, {63, connection::kLength},
    {35, 32},                  {36, logtext::kSize + 4},  {55, nic::kRecords},
    {40, 280},                 {43, 280},                 {44, 280},
    {45, 280},                 {46, 280},                 {48, 280},
    {51, 280},                 {47, 1712},                {61, 76},
};

uint32_t minimumLength(uint32_t command) {
    if (const uint32_t length = serverMinimumLength(command)) return length;
    if (const uint32_t length = diagMinimumLength(command)) return length;
    if (const uint32_t length = lengthOf(kMinimumLengths, command)) return length;
    return kHeaderSize;
}

// ---- clusters and ports ----------------------------------------------------------------------

uint32_t clusterKey(const ClusterEntry& c) { return loadU32(c.record + cluster::kKey); }

ClusterEntry* findCluster(ModelState& m, uint32_t key) {
    for (uint32_t i = 0; i < m.clusterCount; ++i)
        if (clusterKey(m.clusters[i]) == key) return &m.clusters[i];
    return nullptr;
}

PortEntry* findPort(ModelState& m, uint32_t key, const uint8_t* portNumber) {
    for (uint32_t i = 0; i < m.portCount; ++i) {
        const uint8_t* r = m.ports[i].record;
        if (loadU32(r + port::kClusterKey) == key && r[port::kNumber] == portNumber[0] &&
            r[port::kNumber + 1] == portNumber[1])
            return &m.ports[i];
    }
    return nullptr;
}

uint32_t portsOf(const ModelState& m, uint32_t key) {
    uint32_t count = 0;
    for (uint32_t i = 0; i < m.portCount; ++i)
        if (loadU32(m.ports[i].record + port::kClusterKey) == key) ++count;
    return count;
}

void removePortsOf(ModelState& m, uint32_t key, const uint8_t* onlyPort) {
    modelRemoveServers(m, key, onlyPort);
    modelRulesForget(m, key, onlyPort);
    uint32_t kept = 0;
    for (uint32_t i = 0; i < m.portCount; ++i) {
        const uint8_t* r = m.ports[i].record;
        bool match = loadU32(r + port::kClusterKey) == key &&
                     (!onlyPort || (r[port::kNumber] == onlyPort[0] &&
                                    r[port::kNumber + 1] == onlyPort[1]));
        if (!match) m.ports[kept++] = m.ports[i];
    }
    m.portCount = kept;
}

uint32_t clusterLimit(const ModelState& m) {
    uint32_t limit = loadU32(m.settings + settings::kMaxClusters);
    return (limit == 0 || limit > kClusterMax) ? kClusterMax : limit;
}

void addCluster(ModelState& m, Exchange& x) {
    uint32_t key = loadU32(x.req + cluster::kKey);
    if (findCluster(m, key)) return x.fail(kReasonClusterExists);
    if (m.clusterCount >= clusterLimit(m)) return x.fail(kReasonClusterLimit);
    ClusterEntry& c = m.clusters[m.clusterCount++];
    std::memset(&c, 0, sizeof c);
    uint8_t* r = c.record;
    // What the add does not set comes from the executor-wide defaults.
    const uint8_t* s = m.settings;
    std::memcpy(r + cluster::kMaxPorts, s + settings::kDefaultClusterMaxPorts, 4);
    std::memcpy(r + cluster::kPortMaxServers, s + settings::kDefaultPortMaxServers, 4);
    std::memcpy(r + cluster::kPortStickyTime, s + settings::kDefaultPortStickyTime, 8);
    std::memcpy(r + cluster::kPortAffinityType, s + settings::kDefaultPortAffinityType, 2);
    std::memcpy(r + cluster::kPortWeightBound, s + settings::kDefaultPortWeightBound, 2);
    std::memcpy(r + cluster::kPortType, s + settings::kDefaultPortTypeAndReplicate, 2);
    std::memcpy(r + cluster::kPortStaleTimeout, s + settings::kDefaultPortStaleTimeout, 8);
    applyFlagged(r, x.req, kClusterFields, cluster::kSetAddressFlag);
    std::memcpy(r + cluster::kAddress, x.req + cluster::kAddress, 4);
    storeU32(r + cluster::kKey, key);
    // The identifier: at most 64 characters, kept terminated.
    std::memcpy(r + cluster::kIdentifier, x.req + cluster::kIdentifier,
                cluster::kIdentifierWidth - 1);
    r[cluster::kIdentifier + cluster::kIdentifierWidth - 1] = 0;
}

void clusterCommand(ModelState& m, Exchange& x, uint32_t command) {
    if (command == 4) return addCluster(m, x);
    uint32_t key =
        loadU32(x.req + (command == 9 || command == 72 ? cluster::kReportKey : cluster::kKey));
    ClusterEntry* c = findCluster(m, key);
    if (!c) return x.fail(kReasonNotFound);
    switch (command) {
        case 5:
            removePortsOf(m, key, nullptr);
            // Close the gap so the list keeps the order of addition.
            for (ClusterEntry* p = c + 1; p < m.clusters + m.clusterCount; ++p) p[-1] = *p;
            --m.clusterCount;
            break;
        case 7:
            std::memcpy(x.ans + kHeaderSize, c->record + kHeaderSize,
                        kClusterRecordLength - kHeaderSize);
            storeU32(x.ans + cluster::kPorts, portsOf(m, key));
            break;
        case 8:
            applyFlagged(c->record, x.req, kClusterFields);
            break;
        case 9: {
            uint8_t* a = x.ans;
            // No packets flow through the simulated executor.
            std::memset(a + cluster::kReportAddress, 0,
                        cluster::kReportLength - cluster::kReportAddress);
            std::memcpy(a + cluster::kReportAddress, c->record + cluster::kAddress, 4);
            storeU32(a + cluster::kReportPorts, portsOf(m, key));
            storeU32(a + cluster::kReportBytesPerSecond,
                     c->connectionsPerSecond * kBytesPerConnection);
            storeU32(a + cluster::kReportConnectionsPerSecond, c->connectionsPerSecond);
            break;
        }
        case 72:
            c->connectionsPerSecond = loadU32(x.req + cluster::kReportConnectionsPerSecond);
            break;
        default:
            break;
    }
}

void listClusters(ModelState& m, Exchange& x) {
    const uint32_t entrySize = cluster::kListEntrySize;
    uint32_t count = m.clusterCount;
    const uint32_t fits = (kBlockSize - cluster::kListEntries) / entrySize;
    if (count > fits) count = fits;
    storeU32(x.ans + cluster::kListCount, count);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* e = x.ans + cluster::kListEntries + entrySize * i;
        std::memset(e, 0, entrySize);
        std::memcpy(e, m.clusters[i].record + cluster::kIdentifier, cluster::kIdentifierWidth);
        storeU32(e + cluster::kListEntryKey, clusterKey(m.clusters[i]));
    }
    x.grow(cluster::kListEntries + entrySize * count);
}

void addPort(ModelState& m, Exchange& x, ClusterEntry& c) {
    uint32_t key = loadU32(x.req + port::kClusterKey);
    if (findPort(m, key, x.req + port::kNumber)) return x.fail(kReasonPortExists);
    uint32_t limit = loadU32(c.record + cluster::kMaxPorts);
    if (m.portCount == kPortMax || (limit && portsOf(m, key) >= limit))
        return x.fail(kReasonPortLimit);
    PortEntry& p = m.ports[m.portCount++];
    std::memset(&p, 0, sizeof p);
    uint8_t* r = p.record;
    // What the add does not set comes from the cluster's port defaults.
    std::memcpy(r + port::kMaxServers, c.record + cluster::kPortMaxServers, 4);
    std::memcpy(r + port::kStickyTime, c.record + cluster::kPortStickyTime, 8);
    std::memcpy(r + port::kStaleTimeout, c.record + cluster::kPortStaleTimeout, 8);
    std::memcpy(r + port::kWeightBound, c.record + cluster::kPortWeightBound, 2);
    r[port::kType] = c.record[cluster::kPortType];
    r[port::kReplicate] = c.record[cluster::kPortReplicate];
    applyFlagged(r, x.req, kPortFields);
    std::memcpy(r + port::kClusterKey, x.req + port::kClusterKey, 6);  // key and number as sent
}

void portCommand(ModelState& m, Exchange& x, uint32_t command) {
    uint32_t key = loadU32(x.req + port::kClusterKey);
    ClusterEntry* c = findCluster(m, key);
    if (!c) return x.fail(kReasonNotFound);
    if (command == 10) return addPort(m, x, *c);
    if (command == 12) {
        uint32_t count = 0;
        const uint32_t fits = (kBlockSize - port::kListEntries) / port::kListEntrySize;
        for (uint32_t i = 0; i < m.portCount && count < fits; ++i) {
            if (loadU32(m.ports[i].record + port::kClusterKey) != key) continue;
            uint8_t* e = x.ans + port::kListEntries + port::kListEntrySize * count++;
            std::memset(e, 0, port::kListEntrySize);
            std::memcpy(e, m.ports[i].record + port::kNumber, 2);
        }
        storeU32(x.ans + port::kListCount, count);
        x.grow(port::kListEntries + port::kListEntrySize * count);
        return;
    }
    PortEntry* p = findPort(m, key, x.req + port::kNumber);
    if (!p) return x.fail(kReasonNotFound);
    switch (command) {
        case 11:
            removePortsOf(m, key, x.req + port::kNumber);
            break;
        case 13:
            std::memcpy(x.ans + kHeaderSize, p->record + kHeaderSize,
                        kPortRecordLength - kHeaderSize);
            storeU32(x.ans + port::kServers, 0);  // the server model counts them
            break;
        case 14:
            applyFlagged(p->record, x.req, kPortFields);
            break;
        case 15: {
            uint8_t* a = x.ans;
            // No traffic; the server model fills in its counts.
            std::memset(a + port::kReportConnectionsPerSecond, 0,
                        port::kReportLength - port::kReportConnectionsPerSecond);
            storeU32(a + port::kReportConnectionsPerSecond, p->connectionsPerSecond);
            storeI32(a + port::kReportMaxWeight,
                     static_cast<int16_t>(loadU16(p->record + port::kWeightBound)));
            storeU32(a + port::kReportRules, modelPortRuleCount(m, key, x.req + port::kNumber));
            storeU32(a + port::kReportBytesPerSecond,
                     p->connectionsPerSecond * kBytesPerConnection);
            std::memcpy(a + port::kReportProtocol, p->record + port::kProtocol, 2);
            std::memcpy(a + port::kReportMethod, p->record + port::kMethod, 2);
            break;
        }
        case 80:
            p->connectionsPerSecond = loadU32(x.req + port::kReportConnectionsPerSecond);
            break;
        default:
            break;
    }
}

// ---- executor settings, report, log, connections, NIC records -------------------------------

void executorReport(ModelState& m, Exchange& x) {
    uint8_t* a = x.ans;
    std::memcpy(a + report::kNonForwardingAddress, m.settings + settings::kNonForwardingAddress, 4);
    std::memset(a + report::kVersion, 0, report::kVersionWidth);
    std::memcpy(a + report::kVersion, kVersionText, sizeof kVersionText);
    storeU64(a + report::kStartTime, m.startTime);
    // Distinct counters with their high halves in use, growing with every request served.
    for (uint32_t k = 0; k < report::kPacketCounterCount; ++k)
        storeU64(a + report::kPacketCounters + 8 * k,
                 (static_cast<uint64_t>(k + 1) << 32) + m.served);
    storeU32(a + report::kHashBuckets, kHashBuckets);
    storeU32(a + report::kClusters, m.clusterCount);
    storeU32(a + report::kReserved, 0);
    storeU32(a + report::kBytesPerSecond, m.executorConnectionsPerSecond * kBytesPerConnection);
    storeU32(a + report::kConnectionsPerSecond, m.executorConnectionsPerSecond);
    storeU32(a + report::kLast, 0);
}

// Log text for head (35) and tail (36): whole lines where the size allows, never more than
// the size asked for, NUL-terminated at 16.
void logText(const ModelState& m, Exchange& x, bool head) {
    int32_t asked = loadI32(x.req + logtext::kSize);
    uint32_t limit = asked > 0 ? static_cast<uint32_t>(asked) : 0;
    if (limit > kBlockSize - logtext::kText - 1) limit = kBlockSize - logtext::kText - 1;
    uint32_t begin = 0, end = m.logLength;
    if (end - begin > limit) {
        if (head) {
            end = limit;
            uint32_t cut = end;
            while (cut > 0 && m.logText[cut - 1] != '\n') --cut;
            if (cut > 0) end = cut;
        } else {
            begin = end - limit;
            uint32_t cut = begin;
            while (cut < end && m.logText[cut - 1] != '\n') ++cut;
            if (cut < end) begin = cut;
        }
    }
    std::memcpy(x.ans + logtext::kText, m.logText + begin, end - begin);
    x.ans[logtext::kText + end - begin] = 0;
}

void appendLog(ModelState& m, const uint8_t* ans, uint32_t command, uint32_t length) {
    char line[128];
    TextOut out(line, sizeof line);
    out.putUnsigned(m.served);
    out.put(" command ");
    out.putUnsigned(command);
    out.put(" length ");
    out.putUnsigned(length);
    int32_t result = loadI32(ans + kOffResult);
    out.put(" result ");
    out.putSigned(result);
    if (result != 0) {
        out.put(" reason ");
        out.putSigned(loadI32(ans + kOffReason));
    }
    out.putChar('\n');
    uint32_t n = static_cast<uint32_t>(out.len);
    if (m.logLength + n > kLogTextSize) {
        // Drop the oldest lines to make room.
        uint32_t drop = m.logLength + n - kLogTextSize;
        while (drop < m.logLength && m.logText[drop - 1] != '\n') ++drop;
        std::memmove(m.logText, m.logText + drop, m.logLength - drop);
        m.logLength -= drop;
    }
    std::memcpy(m.logText + m.logLength, line, n);
    m.logLength += n;
}

void connectionKey(const uint8_t* req, uint8_t* key) {
    std::memcpy(key, req + connection::kKey, connection::kKeySize);
    key[2] = key[3] = 0;    // bytes 18-19 are left unset by the library
    key[10] = key[11] = 0;  // bytes 26-27 too
}

void connectionCommand(ModelState& m, Exchange& x, bool allocate) {
    uint8_t key[connection::kKeySize];
    connectionKey(x.req, key);
    for (uint32_t i = 0; i < m.connectionCount; ++i) {
        if (std::memcmp(m.connections[i].key, key, sizeof key) != 0) continue;
        if (allocate) return x.fail(kReasonEntryExists);
        m.connections[i] = m.connections[--m.connectionCount];
        return;
    }
    if (!allocate) return x.fail(kReasonNotFound);
    if (m.connectionCount == kConnectionMax) return x.fail(kReasonEntryLimit);
    std::memcpy(m.connections[m.connectionCount++].key, key, sizeof key);
}

void nicRecords(const ModelState& m, Exchange& x) {
    storeI32(x.ans + nic::kCount, static_cast<int32_t>(m.aliasCount));
    for (uint32_t i = 0; i < m.aliasCount; ++i) {
        const AliasEntry& a = m.aliases[i];
        uint8_t* r = x.ans + nic::kRecords + nic::kRecordSize * i;
        std::memset(r, 0, nic::kRecordSize);
        uint8_t network[4];
        for (int b = 0; b < 4; ++b)
            network[b] = static_cast<uint8_t>(a.address[b] & (a.mask >> (24 - 8 * b)));
        std::memcpy(r + nic::kNet, network, 4);  // network, network byte order
        storeU32(r + nic::kNetMask, a.mask);     // masks in host byte order
        std::memcpy(r + nic::kSubnet, network, 4);
        storeU32(r + nic::kSubnetMask, a.mask);
        std::memcpy(r + nic::kAddress, a.address, 4);
        std::memcpy(r + nic::kName, a.name, sizeof a.name);
        storeI32(r + nic::kUnit, a.unit);
        storeU32(r + nic::kMtu, kNicMtu);
    }
    x.grow(nic::kRecords + nic::kRecordSize * m.aliasCount);
}

}  // namespace

void modelReset(ModelState& m, uint64_t clock) {
    std::memset(&m, 0, sizeof m);
    m.startTime = clock;
    uint8_t* s = m.settings;
    storeU32(s + settings::kDefaultClusterMaxPorts, 64);
    storeU64(s + settings::kFinTimeout, 60);
    storeU64(s + settings::kHaTimeout, 10);
    storeU64(s + settings::kHaSyncTimeout, 30);
    storeU32(s + settings::kDefaultPortMaxServers, 32);
    storeU64(s + settings::kDefaultPortStaleTimeout, 300);
    storeU16(s + settings::kDefaultPortWeightBound, 20);
    storeU32(s + settings::kMaxClusters, 100);
    modelDiagReset(m);
}

uint32_t modelServe(ModelState& m, const uint8_t* request, uint32_t length, uint8_t* answer) {
    std::memset(answer, 0, kBlockSize);
    std::memcpy(answer, request, length);
    storeI32(answer + kOffResult, 0);
    ++m.served;
    Exchange x{request, length, answer, length};
    uint32_t command = loadU32(request + kOffCommand);
    if (length < minimumLength(command)) {
        x.fail(kReasonTooShort);
    } else {
        switch (command) {
            case 1:
                std::memcpy(answer + kHeaderSize, m.settings + kHeaderSize,
                            kSettingsLength - kHeaderSize);
                break;
            case 2:
                applyFlagged(m.settings, request, kSettingsFields);
                // The file name stays terminated within its field.
                m.settings[settings::kConfigFileName + settings::kConfigFileNameWidth - 1] = 0;
                break;
            case 3: executorReport(m, x); break;
            case 6: listClusters(m, x); break;
            case 4: case 5: case 7: case 8: case 9: case 72: clusterCommand(m, x, command); break;
            case 10: case 11: case 12: case 13: case 14: case 15: case 80:
                portCommand(m, x, command);
                modelPortServerCounts(m, command, request, answer);
                break;
            case 16: case 17: case 27: case 28: case 29: case 30: case 31: case 32: case 33:
            case 56: case 83:
                x.n = modelServerRequest(m, command, request, length, answer, x.n);
                break;
            case 18: case 19: case 20: case 21: case 22: case 23: case 24: case 25: case 26:
            case 81:
                x.n = modelRuleServe(m, command, request, length, answer);
                break;
            case 34: connectionCommand(m, x, true); break;
            case 63: connectionCommand(m, x, false); break;
            case 35: logText(m, x, true); break;
            case 36: logText(m, x, false); break;
            case 37: m.logLength = 0; break;
            case 55: nicRecords(m, x); break;
            case 71:
                m.executorConnectionsPerSecond = loadU32(request + report::kConnectionsPerSecond);
                break;
            case 40: case 41: case 43: case 44: case 45: case 46: case 47: case 48: case 50:
            case 51: case 61:
                if (int32_t reason = modelNetworkServe(m, command, request, answer, &x.n))
                    x.fail(reason);
                break;
            case 39: case 52: case 53: case 57: case 58: case 59: case 65: case 67: case 68:
            case 69: case 84: case 85: case 86:
                x.n = modelDiagServe(m, command, request, length, answer, x.n);
                break;
            default: break;
        }
    }
    if (command != 37) appendLog(m, answer, command, length);
    return x.n;
}

AliasStatus modelAliasAdd(ModelState& m, const char* name, size_t nameLength, int32_t unit,
                          const uint8_t* address, uint32_t mask, const uint8_t* source) {
    for (uint32_t i = 0; i < m.aliasCount; ++i)
        if (std::memcmp(m.aliases[i].address, address, 4) == 0) return AliasStatus::kDuplicate;
    if (m.aliasCount == kAliasMax) return AliasStatus::kFull;
    AliasEntry& a = m.aliases[m.aliasCount++];
    std::memset(&a, 0, sizeof a);
    std::memcpy(a.name, name, nameLength);
    a.unit = unit;
    std::memcpy(a.address, address, 4);
    a.mask = mask;
    std::memcpy(a.source, source, 4);
    return AliasStatus::kOk;
}

AliasStatus modelAliasRemove(ModelState& m, const char* name, size_t nameLength, int32_t unit,
                             const uint8_t* address) {
    for (uint32_t i = 0; i < m.aliasCount; ++i) {
        AliasEntry& a = m.aliases[i];
        if (a.unit == unit && std::memcmp(a.address, address, 4) == 0 &&
            std::strlen(a.name) == nameLength && std::memcmp(a.name, name, nameLength) == 0) {
            for (uint32_t j = i + 1; j < m.aliasCount; ++j) m.aliases[j - 1] = m.aliases[j];
            --m.aliasCount;
            return AliasStatus::kOk;
        }
    }
    return AliasStatus::kNotFound;
}

}  // namespace velksim
