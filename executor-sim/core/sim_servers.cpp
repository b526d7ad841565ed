// The server model: servers behind the ports of the model's clusters, with their listeners,
// weights, up/down state, rates and reports, and the weights requests of a whole port.
//
// A server is kept as the record the library sends (commands 27 and 32), with the values it
// has been given and every flag byte 0, so a status answer (56) is that record as it stands.
#include <cstring>

#include "sim_internal.h"
#include "sim_layout.h"

namespace velksim {

namespace {

// Reason codes of refused requests (result -1), chosen among those the library maps.
constexpr int32_t kReasonTooShort = -1;
constexpr int32_t kReasonNotFound = -5;         // no such cluster or port
constexpr int32_t kReasonNoServer = -11;        // no such server on that port
constexpr int32_t kReasonServerExists = -14;    // add: the ID key is taken on that port
constexpr int32_t kReasonServerLimit = -13;     // add: the port's maximum, or kServerMax, reached
constexpr int32_t kReasonListeners = -15;       // more listener records than the two there are
constexpr int32_t kReasonWeight = -36;          // a weight below 0 or above the weight bound

constexpr uint32_t kBytesPerConnection = 512;

// Server record (commands 27, 28, 32, 56).
constexpr uint32_t kIdentifier = 16;
constexpr uint32_t kIdentifierWidth = 65;
constexpr uint32_t kServerKey = 84;
constexpr uint32_t kClusterKey = 88;
constexpr uint32_t kPort = 92;
constexpr uint32_t kListenerCount = 116;
constexpr uint32_t kListeners = 120;
constexpr uint32_t kListenerSize = 532;
constexpr uint32_t kListenerMax = 2;
constexpr uint32_t kListenerKeyRing = 20;
constexpr uint32_t kListenerStashFile = 276;
constexpr uint32_t kListenerTextWidth = 256;
constexpr uint32_t kSetListeners = 1184;
constexpr uint32_t kFixedWeight = 1194;
constexpr uint32_t kWeight = 1192;
constexpr uint32_t kRemote = 1195;
constexpr uint32_t kRouter = 1196;
constexpr uint32_t kSetWeight = 1220;
constexpr uint32_t kSetRouter = 1224;

// Server list (commands 29, 30, 31): key and port at 16 and 20, count at 44, entries of 88
// bytes from 48 (server key, then the identifier from entry byte 8). The answer of 31 carries
// its count at 36 as well, where the library reads it.
constexpr uint32_t kListKey = 16;
constexpr uint32_t kListPort = 20;
constexpr uint32_t kListAnswerCount = 36;
constexpr uint32_t kListCount = 44;
constexpr uint32_t kListEntries = 48;
constexpr uint32_t kListEntrySize = 88;
constexpr uint32_t kListEntryIdentifier = 8;

// Server report (33, 83).
constexpr uint32_t kReportLength = 96;
constexpr uint32_t kReportServerKey = 44;
constexpr uint32_t kReportCounts = 56;
constexpr uint32_t kReportSavedWeight = 80;
constexpr uint32_t kReportBytesPerSecond = 88;
constexpr uint32_t kReportRate = 92;

// Weights (16, 17): key and port at 16 and 20, n at 24, records of 96 bytes from 28.
constexpr uint32_t kWeightsCount = 24;
constexpr uint32_t kWeightsRecords = 28;
constexpr uint32_t kWeightsRecordSize = 96;
constexpr uint32_t kWeightIdentifier = 4;
constexpr uint32_t kWeightAddress = 72;
constexpr uint32_t kWeightWeight = 78;
constexpr uint32_t kWeightResult = 88;
constexpr uint32_t kWeightFixed = 92;
constexpr uint32_t kWeightQuiescedDown = 93;

// Port record offsets the server model reads.
constexpr uint32_t kPortMaxServers = 32;
constexpr uint32_t kPortWeightBound = 64;

// A value of the server record that a request changes only when its flag byte is 1.
struct FlaggedValue {
    uint16_t flag;
    uint16_t offset;
    uint16_t width;
    uint8_t text;  // a NUL-terminated text: kept terminated within its field
};

constexpr FlaggedValue kServerValues[] = {
    {1220, 1192, 2, 0},   {1221, 1194, 1, 0},   {1225, 1200, 4, 0},   {1226, 1204, 4, 0},
    {1227, 1208, 4, 0},   {1228, 1212, 4, 0},   {1231, 1216, 4, 0},   {1229, 1232, 256, 1},
    {1230, 1488, 256, 1}, {1744, 1745, 100, 1}, {1845, 1846, 102, 1},
};

// Flag bytes of the record, cleared in what the model keeps.
constexpr uint16_t kFlagBytes[] = {1184, 1220, 1221, 1223, 1224, 1225, 1226, 1227,
                                   1228, 1229, 1230, 1231, 1744, 1845};

void fail(uint8_t* answer, int32_t reason) {
    storeI32(answer + kOffResult, -1);
    storeI32(answer + kOffReason, reason);
}

bool samePort(const uint8_t* a, const uint8_t* b) { return a[0] == b[0] && a[1] == b[1]; }

bool clusterExists(const ModelState& m, uint32_t key) {
    for (uint32_t i = 0; i < m.clusterCount; ++i)
        if (loadU32(m.clusters[i].record + cluster::kKey) == key) return true;
    return false;
}

const PortEntry* findPort(const ModelState& m, uint32_t key, const uint8_t* portNet) {
    for (uint32_t i = 0; i < m.portCount; ++i) {
        const uint8_t* r = m.ports[i].record;
        if (loadU32(r + port::kClusterKey) == key && samePort(r + port::kNumber, portNet))
            return &m.ports[i];
    }
    return nullptr;
}

bool onPort(const ServerEntry& s, uint32_t clusterKey, const uint8_t* portNet) {
    return loadU32(s.record + kClusterKey) == clusterKey && samePort(s.record + kPort, portNet);
}

int32_t findServer(const ModelState& m, uint32_t clusterKey, const uint8_t* portNet,
                   uint32_t serverKey) {
    for (uint32_t i = 0; i < m.servers.count; ++i) {
        const ServerEntry& s = m.servers.servers[i];
        if (onPort(s, clusterKey, portNet) && loadU32(s.record + kServerKey) == serverKey)
            return static_cast<int32_t>(i);
    }
    return -1;
}

uint32_t serversOn(const ModelState& m, uint32_t clusterKey, const uint8_t* portNet,
                   bool downOnly) {
    uint32_t count = 0;
    for (uint32_t i = 0; i < m.servers.count; ++i) {
        const ServerEntry& s = m.servers.servers[i];
        if (onPort(s, clusterKey, portNet) && (!downOnly || s.down)) ++count;
    }
    return count;
}

int32_t weightBound(const PortEntry& p) {
    return static_cast<int16_t>(loadU16(p.record + kPortWeightBound));
}

bool weightFits(int16_t weight, const PortEntry& p) {
    return weight >= 0 && weight <= weightBound(p);
}

// The record's changes when their flags are 1: values, listeners and the router address.
void applyServerRecord(uint8_t* record, const uint8_t* req) {
    for (const FlaggedValue& v : kServerValues) {
        if (req[v.flag] != 1) continue;
        std::memcpy(record + v.offset, req + v.offset, v.width);
        if (v.text) record[v.offset + v.width - 1] = 0;
    }
    if (req[kSetRouter] == 1) {
        std::memcpy(record + kRemote, req + kRemote, 5);  // the remote byte and the address
        record[kRemote] = loadU32(record + kRouter) != 0 ? 1 : 0;
    }
    if (req[kSetListeners] == 1) {
        const uint16_t count = loadU16(req + kListenerCount);
        storeU16(record + kListenerCount, count);
        std::memcpy(record + kListeners, req + kListeners, kListenerSize * count);
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t* l = record + kListeners + kListenerSize * i;
            // Key ring and stash file stay terminated.
            l[kListenerKeyRing + kListenerTextWidth - 1] = 0;
            l[kListenerStashFile + kListenerTextWidth - 1] = 0;
        }
    }
    for (uint16_t flag : kFlagBytes) record[flag] = 0;
}

// Checks of a record request that changes a server: 0 or the reason it is refused for.
int32_t checkServerRecord(const uint8_t* req, const PortEntry& port) {
    if (req[kSetListeners] == 1 && loadU16(req + kListenerCount) > kListenerMax)
        return kReasonListeners;
    if (req[kSetWeight] == 1 && !weightFits(static_cast<int16_t>(loadU16(req + kWeight)), port))
        return kReasonWeight;
    return 0;
}

void addServer(ModelState& m, const uint8_t* req, uint8_t* ans, const PortEntry& port) {
    const uint32_t clusterKey = loadU32(req + kClusterKey);
    const uint8_t* portNet = req + kPort;
    if (findServer(m, clusterKey, portNet, loadU32(req + kServerKey)) >= 0)
        return fail(ans, kReasonServerExists);
    const uint32_t limit = loadU32(port.record + kPortMaxServers);
    const bool portFull = limit && serversOn(m, clusterKey, portNet, false) >= limit;
    if (m.servers.count == kServerMax || portFull)
        return fail(ans, kReasonServerLimit);
    if (int32_t refused = checkServerRecord(req, port)) return fail(ans, refused);
    ServerEntry& s = m.servers.servers[m.servers.count++];
    std::memset(&s, 0, sizeof s);
    std::memcpy(s.record + kIdentifier, req + kIdentifier, kIdentifierWidth - 1);
    std::memcpy(s.record + kServerKey, req + kServerKey, 10);  // server key, cluster key, port
    // A new server gets the port's full weight unless the add says otherwise.
    storeU16(s.record + kWeight, static_cast<uint16_t>(weightBound(port)));
    applyServerRecord(s.record, req);
}

void removeServer(ModelState& m, uint32_t index) {
    for (uint32_t i = index + 1; i < m.servers.count; ++i)
        m.servers.servers[i - 1] = m.servers.servers[i];
    --m.servers.count;
}

// Marks the servers of a one-entry (or longer) list request down or up; all or none.
void markServers(ModelState& m, const uint8_t* req, uint32_t length, uint8_t* ans, bool down) {
    const uint32_t clusterKey = loadU32(req + kListKey);
    uint32_t count = loadU32(req + kListCount);
    const uint32_t sent = (length - kListEntries) / kListEntrySize;
    if (count > sent) count = sent;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = req + kListEntries + kListEntrySize * i;
        if (findServer(m, clusterKey, req + kListPort, loadU32(e)) < 0)
            return fail(ans, kReasonNoServer);
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = req + kListEntries + kListEntrySize * i;
        m.servers.servers[findServer(m, clusterKey, req + kListPort, loadU32(e))].down = down;
    }
}

uint32_t listServers(const ModelState& m, const uint8_t* req, uint8_t* ans, uint32_t n) {
    const uint32_t clusterKey = loadU32(req + kListKey);
    uint32_t asked = loadU32(req + kListCount);
    const uint32_t fits = (kBlockSize - kListEntries) / kListEntrySize;
    if (asked > fits) asked = fits;
    uint32_t count = 0;
    for (uint32_t i = 0; i < m.servers.count && count < asked; ++i) {
        const ServerEntry& s = m.servers.servers[i];
        if (!onPort(s, clusterKey, req + kListPort)) continue;
        uint8_t* e = ans + kListEntries + kListEntrySize * count++;
        std::memset(e, 0, kListEntrySize);
        std::memcpy(e, s.record + kServerKey, 4);
        std::memcpy(e + kListEntryIdentifier, s.record + kIdentifier, kIdentifierWidth);
    }
    storeU32(ans + kListAnswerCount, count);
    storeU32(ans + kListCount, count);
    const uint32_t end = kListEntries + kListEntrySize * count;
    return end > n ? end : n;
}

void serverReport(const ServerEntry& s, uint8_t* ans) {
    // No traffic flows through the simulated executor.
    std::memset(ans + kReportCounts, 0, kReportLength - kReportCounts);
    storeI32(ans + kReportSavedWeight, static_cast<int16_t>(loadU16(s.record + kWeight)));
    storeU32(ans + kReportBytesPerSecond, s.connectionsPerSecond * kBytesPerConnection);
}

// The address of a server named by a plain dotted quad is its ID key; others have none here.
void serverAddress(const ServerEntry& s, uint8_t* out) {
    const char* id = reinterpret_cast<const char*>(s.record + kIdentifier);
    uint32_t parts = 0, value = 0, digits = 0;
    bool ok = true;
    for (const char* c = id;; ++c) {
        if (*c >= '0' && *c <= '9' && digits < 3) {
            value = value * 10 + static_cast<uint32_t>(*c - '0');
            ++digits;
        } else if ((*c == '.' || *c == '\0') && digits > 0 && value < 256) {
            ++parts;
            value = digits = 0;
            if (*c == '\0') break;
        } else {
            ok = false;
            break;
        }
    }
    if (ok && parts == 4)
        std::memcpy(out, s.record + kServerKey, 4);
    else
        std::memset(out, 0, 4);
}

uint32_t weightRecords(const uint8_t* req, uint32_t length) {
    const uint32_t sent = (length - kWeightsRecords) / kWeightsRecordSize;
    const uint32_t count = loadU32(req + kWeightsCount);
    return count < sent ? count : sent;
}

void getWeights(const ModelState& m, const uint8_t* req, uint32_t length, uint8_t* ans) {
    const uint32_t clusterKey = loadU32(req + kListKey);
    const uint32_t records = weightRecords(req, length);
    uint32_t r = 0;
    for (uint32_t i = 0; i < m.servers.count && r < records; ++i) {
        const ServerEntry& s = m.servers.servers[i];
        if (!onPort(s, clusterKey, req + kListPort)) continue;
        uint8_t* w = ans + kWeightsRecords + kWeightsRecordSize * r++;
        std::memset(w, 0, kWeightsRecordSize);
        std::memcpy(w, s.record + kServerKey, 4);
        std::memcpy(w + kWeightIdentifier, s.record + kIdentifier, kIdentifierWidth);
        serverAddress(s, w + kWeightAddress);
        std::memcpy(w + kWeightWeight, s.record + kWeight, 2);
        w[kWeightFixed] = s.record[kFixedWeight];
        w[kWeightQuiescedDown] = s.quiescedDown;
    }
    // Records asked for beyond the port's servers name none.
    for (; r < records; ++r) {
        uint8_t* w = ans + kWeightsRecords + kWeightsRecordSize * r;
        std::memset(w, 0, kWeightsRecordSize);
        storeI32(w + kWeightResult, kReasonNoServer);
    }
}

// Each record carries its own result; the records that pass are applied, and the request
// fails (reason -5) when any did not.
void setWeights(ModelState& m, const uint8_t* req, uint32_t length, uint8_t* ans,
                const PortEntry& port) {
    const uint32_t clusterKey = loadU32(req + kListKey);
    const uint32_t records = weightRecords(req, length);
    bool allApplied = true;
    for (uint32_t r = 0; r < records; ++r) {
        const uint8_t* w = req + kWeightsRecords + kWeightsRecordSize * r;
        int32_t result = 0;
        const int32_t index = findServer(m, clusterKey, req + kListPort, loadU32(w));
        const int16_t weight = static_cast<int16_t>(loadU16(w + kWeightWeight));
        if (index < 0) {
            result = kReasonNoServer;
        } else if (!weightFits(weight, port)) {
            result = kReasonWeight;
        } else {
            ServerEntry& s = m.servers.servers[index];
            storeU16(s.record + kWeight, static_cast<uint16_t>(weight));
            s.record[kFixedWeight] = w[kWeightFixed];
            s.quiescedDown = w[kWeightQuiescedDown];
        }
        storeI32(ans + kWeightsRecords + kWeightsRecordSize * r + kWeightResult, result);
        if (result != 0) allApplied = false;
    }
    if (!allApplied) fail(ans, kReasonNotFound);
}

}  // namespace

bool modelServesServers(uint32_t command) { return serverMinimumLength(command) != 0; }

uint32_t serverMinimumLength(uint32_t command) {
    static constexpr CommandLength kLengths[] = {
        {27, kServerRecordLength}, {28, kServerRecordLength},
        {32, kServerRecordLength}, {56, kServerRecordLength},
        {29, kListEntries + kListEntrySize}, {30, kListEntries + kListEntrySize},
        {31, kListEntries},        {33, kReportLength}, {83, kReportLength},
        {16, kWeightsRecords},     {17, kWeightsRecords},
    };
    return lengthOf(kLengths, command);
}

uint32_t modelServerRequest(ModelState& m, uint32_t command, const uint8_t* req,
                            uint32_t length, uint8_t* ans, uint32_t n) {
    if (length < serverMinimumLength(command)) {
        fail(ans, kReasonTooShort);
        return n;
    }
    // Where the port's address lies: the record (27, 28, 32, 56) or the list, report and
    // weights layouts, which all begin with the cluster key and the port at 16.
    const bool record = command == 27 || command == 28 || command == 32 || command == 56;
    const uint32_t clusterKey = loadU32(req + (record ? kClusterKey : kListKey));
    const uint8_t* portNet = req + (record ? kPort : kListPort);
    if (!clusterExists(m, clusterKey)) return fail(ans, kReasonNotFound), n;
    const PortEntry* port = findPort(m, clusterKey, portNet);
    if (!port) return fail(ans, kReasonNotFound), n;

    switch (command) {
        case 27: addServer(m, req, ans, *port); return n;
        case 29: case 30: markServers(m, req, length, ans, command == 29); return n;
        case 31: return listServers(m, req, ans, n);
        case 17: getWeights(m, req, length, ans); return n;
        case 16: setWeights(m, req, length, ans, *port); return n;
        default: break;
    }
    const uint32_t serverKey = loadU32(req + (record ? kServerKey : kReportServerKey));
    const int32_t index = findServer(m, clusterKey, portNet, serverKey);
    if (index < 0) return fail(ans, kReasonNoServer), n;
    ServerEntry& s = m.servers.servers[index];
    switch (command) {
        case 28: removeServer(m, static_cast<uint32_t>(index)); break;
        case 32:
            if (int32_t refused = checkServerRecord(req, *port)) return fail(ans, refused), n;
            applyServerRecord(s.record, req);
            break;
        case 56:
            std::memcpy(ans + kHeaderSize, s.record + kHeaderSize,
                        kServerRecordLength - kHeaderSize);
            break;
        case 33: serverReport(s, ans); break;
        case 83: s.connectionsPerSecond = loadU32(req + kReportRate); break;
        default: break;
    }
    return n;
}

void modelPortServerCounts(const ModelState& m, uint32_t command, const uint8_t* req,
                           uint8_t* ans) {
    if (loadI32(ans + kOffResult) != 0) return;
    const uint32_t key = loadU32(req + port::kClusterKey);
    const uint8_t* portNet = req + port::kNumber;
    if (command == 13) storeU32(ans + port::kServers, serversOn(m, key, portNet, false));
    if (command == 15) {
        storeU32(ans + port::kReportNodes, serversOn(m, key, portNet, false));
        storeU32(ans + port::kReportNodesDown, serversOn(m, key, portNet, true));
    }
}

void modelRemoveServers(ModelState& m, uint32_t clusterKey, const uint8_t* onlyPort) {
    uint32_t kept = 0;
    for (uint32_t i = 0; i < m.servers.count; ++i) {
        const uint8_t* r = m.servers.servers[i].record;
        const bool match = loadU32(r + kClusterKey) == clusterKey &&
                           (!onlyPort || samePort(r + kPort, onlyPort));
        if (!match) {
            if (kept != i) m.servers.servers[kept] = m.servers.servers[i];
            ++kept;
        }
    }
    m.servers.count = kept;
}

const char* modelServerIdentifier(const ModelState& m, uint32_t clusterKey,
                                  const uint8_t* portNet, uint32_t serverKey) {
    const int32_t index = findServer(m, clusterKey, portNet, serverKey);
    if (index < 0) return nullptr;
    return reinterpret_cast<const char*>(m.servers.servers[index].record + kIdentifier);
}

}  // namespace velksim
