// The executor's view of the host's interfaces and its high-availability partner state:
// interface names by service name (command 61, set through IFNAME), the backup role,
// heartbeats, reach targets, timers and takeover (40, 41, 43 to 48, 50, 51).
#include <cstring>

#include "sim_internal.h"

namespace velksim {

namespace {

constexpr int32_t kReasonNotFound = -5;       // no such service, reach target, heartbeat, role
constexpr int32_t kReasonFull = -7;           // 32 heartbeats or reach targets exist
constexpr int32_t kReasonExists = -8;         // reach add: the target is watched already
constexpr int32_t kReasonNotAliased = -44;    // heartbeat add: the local address is no alias
constexpr int32_t kReasonHeartbeatExists = -45;  // heartbeat add: that partner has one

constexpr uint8_t kStateBackup = 1;
constexpr uint8_t kStateActive = 2;
constexpr uint8_t kUp = 1;

// HA information answer (command 47).
constexpr uint32_t kInfoLength = 1712;
constexpr uint32_t kInfoMode = 16;
constexpr uint32_t kInfoRole = 24;
constexpr uint32_t kInfoStrategy = 26;
constexpr uint32_t kInfoState = 27;
constexpr uint32_t kInfoPort = 30;
constexpr uint32_t kInfoHeartbeatCount = 32;
constexpr uint32_t kInfoPeer = 34;
// Within a heartbeat record: local and remote address, status; within a reach record: target,
// mask, type, address and remote status, local stamp.
constexpr uint32_t kRemote = 4;
constexpr uint32_t kHeartbeatStatus = 14;
constexpr uint32_t kReachMask = 4;
constexpr uint32_t kReachType = 8;
constexpr uint32_t kReachAddressStatus = 9;
constexpr uint32_t kReachRemoteStatus = 10;
constexpr uint32_t kReachLocalStamp = 16;
// HA requests: up to three 32-bit values from 20.
constexpr uint32_t kFirst = 20;
constexpr uint32_t kSecond = 24;
constexpr uint32_t kThird = 28;
constexpr uint32_t kHeartbeatsAt = 36;
constexpr uint32_t kHeartbeatSize = 20;
constexpr uint32_t kReachCountAt = 680;
constexpr uint32_t kReachesAt = 688;
constexpr uint32_t kReachSize = 32;

// Interface name query (command 61).
constexpr uint32_t kServiceAt = 16;
constexpr uint32_t kNameAt = 66;

bool sameAddress(const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, 4) == 0; }

// A host-order int (first octet in the top byte) as network-order bytes.
void addressBytes(uint32_t value, uint8_t* out) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

template <typename Entry>
Entry* findBy(Entry* entries, uint32_t count, const uint8_t* address,
              const uint8_t* (*key)(const Entry&)) {
    for (uint32_t i = 0; i < count; ++i)
        if (sameAddress(key(entries[i]), address)) return &entries[i];
    return nullptr;
}

const uint8_t* remoteOf(const HeartbeatEntry& h) { return h.remote; }
const uint8_t* targetOf(const ReachEntry& r) { return r.address; }

// Removes the entry, keeping the order of the others.
template <typename Entry>
void removeAt(Entry* entries, uint32_t& count, Entry* entry) {
    for (Entry* p = entry + 1; p < entries + count; ++p) p[-1] = *p;
    --count;
}

bool isAlias(const ModelState& m, const uint8_t* address) {
    for (uint32_t i = 0; i < m.aliasCount; ++i)
        if (sameAddress(m.aliases[i].address, address)) return true;
    return false;
}

int32_t interfaceName(const NetworkState& net, const uint8_t* request, uint8_t* answer,
                      uint32_t* n) {
    char service[kServiceNameMax + 1];
    std::memcpy(service, request + kServiceAt, kServiceNameMax);
    service[kServiceNameMax] = 0;
    for (uint32_t i = 0; i < net.nameCount; ++i) {
        if (std::strcmp(net.names[i].service, service) != 0) continue;
        const size_t length = std::strlen(net.names[i].name);
        std::memcpy(answer + kNameAt, net.names[i].name, length + 1);
        const uint32_t end = kNameAt + static_cast<uint32_t>(length) + 1;
        if (end > *n) *n = end;
        return 0;
    }
    return kReasonNotFound;
}

void info(const ModelState& m, uint8_t* a, uint32_t* n) {
    const NetworkState& net = m.network;
    // The state machine address (at 20) is echoed; everything after it is the model's.
    std::memset(a + kInfoRole, 0, kInfoLength - kInfoRole);
    storeU32(a + kInfoMode, net.backup);
    a[kInfoRole] = net.role;
    a[kInfoStrategy] = net.strategy;
    a[kInfoState] = net.state;
    storeU16(a + kInfoPort, net.port);
    storeU16(a + kInfoHeartbeatCount, static_cast<uint16_t>(net.heartbeatCount));
    a[kInfoPeer] = net.heartbeatCount ? 1 : 0;  // a peer is known once a heartbeat runs
    for (uint32_t i = 0; i < net.heartbeatCount; ++i) {
        uint8_t* r = a + kHeartbeatsAt + kHeartbeatSize * i;
        std::memcpy(r, net.heartbeats[i].local, 4);
        std::memcpy(r + kRemote, net.heartbeats[i].remote, 4);
        r[kHeartbeatStatus] = net.heartbeats[i].status;
    }
    storeU16(a + kReachCountAt, static_cast<uint16_t>(net.reachCount));
    for (uint32_t i = 0; i < net.reachCount; ++i) {
        const ReachEntry& e = net.reaches[i];
        uint8_t* r = a + kReachesAt + kReachSize * i;
        std::memcpy(r, e.address, 4);
        std::memcpy(r + kReachMask, e.mask, 4);
        r[kReachType] = e.type;
        r[kReachAddressStatus] = e.addressStatus;
        r[kReachRemoteStatus] = e.remoteStatus;
        storeU32(r + kReachLocalStamp, e.localStamp);
    }
    if (*n < kInfoLength) *n = kInfoLength;
}

}  // namespace

int32_t modelNetworkServe(ModelState& m, uint32_t command, const uint8_t* q, uint8_t* a,
                          uint32_t* n) {
    NetworkState& net = m.network;
    switch (command) {
        case 61: return interfaceName(net, q, a, n);
        case 47: info(m, a, n); return 0;
        case 40:  // backup role: role, strategy and port as the library sends them
            net.backup = 1;
            net.role = q[kFirst];
            net.strategy = q[kSecond];
            net.port = loadU16(q + kThird);
            net.state = kStateBackup;
            return 0;
        case 41:
            if (!net.backup) return kReasonNotFound;
            net.backup = net.role = net.strategy = net.state = 0;
            net.port = 0;
            return 0;
        case 43: {
            if (findBy(net.reaches, net.reachCount, q + kFirst, targetOf)) return kReasonExists;
            if (net.reachCount == kHaRecordMax) return kReasonFull;
            ReachEntry& e = net.reaches[net.reachCount++];
            std::memset(&e, 0, sizeof e);
            std::memcpy(e.address, q + kFirst, 4);
            std::memcpy(e.mask, q + kSecond, 4);
            e.type = q[kThird];
            e.addressStatus = kUp;
            e.localStamp = static_cast<uint32_t>(m.served);
            return 0;
        }
        case 44: {
            ReachEntry* e = findBy(net.reaches, net.reachCount, q + kFirst, targetOf);
            if (!e) return kReasonNotFound;
            removeAt(net.reaches, net.reachCount, e);
            return 0;
        }
        case 45: {
            if (!isAlias(m, q + kFirst)) return kReasonNotAliased;
            if (findBy(net.heartbeats, net.heartbeatCount, q + kSecond, remoteOf))
                return kReasonHeartbeatExists;
            if (net.heartbeatCount == kHaRecordMax) return kReasonFull;
            HeartbeatEntry& h = net.heartbeats[net.heartbeatCount++];
            std::memcpy(h.local, q + kFirst, 4);
            std::memcpy(h.remote, q + kSecond, 4);
            h.status = kUp;
            return 0;
        }
        case 46: {
            HeartbeatEntry* h = findBy(net.heartbeats, net.heartbeatCount, q + kFirst, remoteOf);
            if (!h) return kReasonNotFound;
            removeAt(net.heartbeats, net.heartbeatCount, h);
            return 0;
        }
        case 48: {  // reach target (host-order int), its type and its address status
            uint8_t target[4];
            addressBytes(loadU32(q + kFirst), target);
            ReachEntry* e = findBy(net.reaches, net.reachCount, target, targetOf);
            if (!e) return kReasonNotFound;
            e->type = q[kSecond];
            e->addressStatus = q[kThird];
            return 0;
        }
        case 50: ++net.timerRequests; return 0;
        case 51:  // only a backup takes over, and only from a heartbeat partner
            if (!net.backup || !findBy(net.heartbeats, net.heartbeatCount, q + kFirst, remoteOf))
                return kReasonNotFound;
            net.state = kStateActive;
            return 0;
        default: return 0;
    }
}

const char* modelInterfaceName(ModelState& m, const char* service, size_t serviceLength,
                               const char* name, size_t nameLength) {
    NetworkState& net = m.network;
    if (serviceLength == 0 || serviceLength > kServiceNameMax) return "ERR bad service name";
    if (name && (nameLength == 0 || nameLength > kInterfaceNameTextMax))
        return "ERR bad interface name";
    InterfaceNameEntry* entry = nullptr;
    for (uint32_t i = 0; i < net.nameCount; ++i) {
        if (std::strlen(net.names[i].service) == serviceLength &&
            std::memcmp(net.names[i].service, service, serviceLength) == 0)
            entry = &net.names[i];
    }
    if (!name) {
        if (!entry) return "ERR no such service";
        removeAt(net.names, net.nameCount, entry);
        return nullptr;
    }
    if (!entry) {
        if (net.nameCount == kInterfaceNameMax) return "ERR interface name table full";
        entry = &net.names[net.nameCount++];
        std::memset(entry, 0, sizeof *entry);
        std::memcpy(entry->service, service, serviceLength);
    }
    std::memset(entry->name, 0, sizeof entry->name);
    std::memcpy(entry->name, name, nameLength);
    return nullptr;
}

}  // namespace velksim
