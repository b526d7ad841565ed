// The model's rules: the rules of each port with every field as the requests set it, their
// reports, rates and lists, and the servers bound to them.
#include <cstring>

#include "sim_internal.h"
#include "sim_layout.h"

namespace velksim {

namespace {

// Reason codes of refused rule requests (result -1), among those the library maps.
constexpr int32_t kReasonNotFound = -5;         // no such cluster or port
constexpr int32_t kReasonNoRule = -44;          // no rule of that name on the port
constexpr int32_t kReasonRuleExists = -47;      // rule add: the name is taken on the port
constexpr int32_t kReasonRuleLimit = -45;       // rule add: kRuleMax rules exist
constexpr int32_t kReasonNoServer = -11;        // binding: no such server on the port
constexpr int32_t kReasonBindingExists = -48;   // binding: the server is bound to the rule
constexpr int32_t kReasonBindingLimit = -49;    // binding: kRuleBindingMax bindings exist
constexpr int32_t kReasonNotBound = -51;        // unbinding: the server is not bound to the rule

constexpr uint32_t kBytesPerConnection = 512;  // as for ports and clusters

// Rule record offsets.
constexpr uint32_t kKey = 16;
constexpr uint32_t kPort = 20;
constexpr uint32_t kName = 22;
constexpr uint32_t kNameWidth = 21;
constexpr uint32_t kType = 43;
constexpr uint32_t kConfigSource = 80;
constexpr uint32_t kNumServers = 200;
constexpr uint32_t kHashId = 304;
constexpr uint32_t kHashIdWidth = 40;

constexpr FlaggedField kRuleFields[] = {
    {186, 43, 1},    // type (an add always takes it)
    {187, 44, 4},    // begin of range
    {188, 48, 4},    // end of range
    {189, 72, 4},    // priority
    {190, 80, 4},    // configuration source (an add always takes it)
    {191, 84, 100},  // pattern
    {192, 184, 2},   // type-of-service masks
    {193, 76, 4},    // share level
    {194, 52, 4},    // evaluate
    {195, 56, 4},    // affinity
    {196, 64, 8},    // sticky time
    {197, 204, 100}, // cookie name
};

// Texts stay terminated within their fields whatever a request carried.
void terminateTexts(uint8_t* r) {
    r[kName + kNameWidth - 1] = 0;
    r[rules::kPattern + rules::kTextWidth - 1] = 0;
    r[rules::kCookieName + rules::kTextWidth - 1] = 0;
    r[kHashId + kHashIdWidth - 1] = 0;
}

bool samePort(const uint8_t* record, uint32_t key, const uint8_t* portNet) {
    return loadU32(record + kKey) == key && record[kPort] == portNet[0] &&
           record[kPort + 1] == portNet[1];
}

bool portExists(const ModelState& m, uint32_t key, const uint8_t* portNet) {
    for (uint32_t i = 0; i < m.portCount; ++i)
        if (samePort(m.ports[i].record, key, portNet)) return true;
    return false;
}

bool sameName(const uint8_t* a, const uint8_t* b) {
    return std::strncmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b),
                        kNameWidth - 1) == 0;
}

// The rule that the request names by cluster key, port and the name at `nameAt`.
RuleEntry* findRule(ModelState& m, const uint8_t* req, uint32_t keyAt, uint32_t nameAt) {
    RuleModel& rm = m.rules;
    uint32_t key = loadU32(req + keyAt);
    for (uint32_t i = 0; i < rm.ruleCount; ++i) {
        uint8_t* r = rm.rules[i].record;
        const uint8_t* portNet = req + keyAt + sizeof(uint32_t);  // after the cluster key
        if (samePort(r, key, portNet) && sameName(r + kName, req + nameAt)) return &rm.rules[i];
    }
    return nullptr;
}

// Bound servers that still exist on the rule's port, in order of binding; calls f(binding,
// identifier) for each while f returns true.
template <typename F>
uint32_t forEachBoundServer(const ModelState& m, const RuleEntry& rule, F&& f) {
    uint32_t count = 0;
    const uint32_t key = loadU32(rule.record + kKey);
    for (uint32_t i = 0; i < m.rules.bindingCount; ++i) {
        const RuleBinding& b = m.rules.bindings[i];
        if (b.ruleId != rule.uniqueId) continue;
        const char* id = modelServerIdentifier(m, key, rule.record + kPort, b.serverKey);
        if (!id) continue;
        ++count;
        if (!f(b, id)) break;
    }
    return count;
}

uint32_t boundServers(const ModelState& m, const RuleEntry& rule) {
    return forEachBoundServer(m, rule, [](const RuleBinding&, const char*) { return true; });
}

void forgetBindings(RuleModel& rm, uint32_t ruleId) {
    uint32_t kept = 0;
    for (uint32_t i = 0; i < rm.bindingCount; ++i)
        if (rm.bindings[i].ruleId != ruleId) rm.bindings[kept++] = rm.bindings[i];
    rm.bindingCount = kept;
}

void removeRule(RuleModel& rm, RuleEntry* rule) {
    forgetBindings(rm, rule->uniqueId);
    // Close the gap so lists keep the order of addition.
    for (RuleEntry* p = rule + 1; p < rm.rules + rm.ruleCount; ++p) p[-1] = *p;
    --rm.ruleCount;
}

struct Answer {
    uint8_t* ans;
    uint32_t n;

    void fail(int32_t reason) {
        storeI32(ans + kOffResult, -1);
        storeI32(ans + kOffReason, reason);
    }
};

void applyRuleRecord(uint8_t* record, const uint8_t* req, bool add) {
    if (add) {  // an add takes the type and the configuration source whatever their flags say
        for (const FlaggedField& f : kRuleFields) {
            if (f.offset == kType || f.offset == kConfigSource) {
                std::memcpy(record + f.offset, req + f.offset, f.width);
            }
        }
    }
    applyFlagged(record, req, kRuleFields);
    std::memcpy(record + kHashId, req + kHashId, kHashIdWidth);  // sent with every add and set
    terminateTexts(record);
}

void addRule(ModelState& m, const uint8_t* req, Answer& a) {
    RuleModel& rm = m.rules;
    if (findRule(m, req, kKey, kName)) return a.fail(kReasonRuleExists);
    if (rm.ruleCount == kRuleMax) return a.fail(kReasonRuleLimit);
    RuleEntry& e = rm.rules[rm.ruleCount++];
    std::memset(&e, 0, sizeof e);
    e.uniqueId = ++rm.lastId;
    std::memcpy(e.record + kKey, req + kKey, kType - kKey);  // key, port number and name
    applyRuleRecord(e.record, req, true);
}

// Rule list (command 20): 28-byte entries from 28 with the rule name, as many as asked and fit.
void listRules(const ModelState& m, const uint8_t* req, Answer& a) {
    const uint32_t entrySize = rules::kListEntrySize;
    uint32_t limit = loadU32(req + rules::kListCount);
    const uint32_t fits = (kBlockSize - rules::kListEntries) / entrySize;
    if (limit > fits) limit = fits;
    uint32_t count = 0;
    for (uint32_t i = 0; i < m.rules.ruleCount && count < limit; ++i) {
        const uint8_t* r = m.rules.rules[i].record;
        if (!samePort(r, loadU32(req + kKey), req + kPort)) continue;
        uint8_t* e = a.ans + rules::kListEntries + entrySize * count++;
        std::memset(e, 0, entrySize);
        std::memcpy(e, r + kName, kNameWidth);
    }
    storeU32(a.ans + rules::kListCount, count);
    const uint32_t end = rules::kListEntries + entrySize * count;
    if (end > a.n) a.n = end;
}

// A rule's servers (command 26): the server list layout, 88-byte entries from 48 with the server
// key first and the identifier from entry byte 8, as many as asked and fit.
void listRuleServers(const ModelState& m, const RuleEntry& rule, const uint8_t* req, Answer& a) {
    const uint32_t entrySize = server::kListEntrySize;
    uint32_t limit = loadU32(req + server::kListCount);
    const uint32_t fits = (kBlockSize - server::kListEntries) / entrySize;
    if (limit > fits) limit = fits;
    uint32_t count = 0;
    if (limit > 0) {
        forEachBoundServer(m, rule, [&](const RuleBinding& b, const char* id) {
            uint8_t* e = a.ans + server::kListEntries + entrySize * count++;
            std::memset(e, 0, entrySize);
            storeU32(e, b.serverKey);
            size_t length = std::strlen(id);
            if (length > server::kIdentifierMost) length = server::kIdentifierMost;
            std::memcpy(e + server::kListEntryIdentifier, id, length);
            return count < limit;
        });
    }
    storeU32(a.ans + server::kListCount, count);
    const uint32_t end = server::kListEntries + entrySize * count;
    if (end > a.n) a.n = end;
}

void bindServer(ModelState& m, const RuleEntry& rule, const uint8_t* req, bool bind, Answer& a) {
    RuleModel& rm = m.rules;
    const uint32_t serverKey = loadU32(req + server::kKey);
    for (uint32_t i = 0; i < rm.bindingCount; ++i) {
        RuleBinding& b = rm.bindings[i];
        if (b.ruleId != rule.uniqueId || b.serverKey != serverKey) continue;
        if (bind) return a.fail(kReasonBindingExists);
        for (uint32_t j = i + 1; j < rm.bindingCount; ++j) rm.bindings[j - 1] = rm.bindings[j];
        --rm.bindingCount;
        return;
    }
    if (!bind) return a.fail(kReasonNotBound);
    if (!modelServerIdentifier(m, loadU32(req + server::kClusterKey), req + server::kPort,
                               serverKey))
        return a.fail(kReasonNoServer);
    if (rm.bindingCount == kRuleBindingMax) return a.fail(kReasonBindingLimit);
    rm.bindings[rm.bindingCount++] =
        RuleBinding{rule.uniqueId, serverKey, loadI32(req + server::kBindingArgument)};
}

}  // namespace

uint32_t modelRuleServe(ModelState& m, uint32_t command, const uint8_t* req, uint32_t length,
                        uint8_t* ans) {
    Answer a{ans, length};
    // Where the request puts the cluster key (the port number follows it) and the rule name.
    uint32_t keyAt = kKey, nameAt = kName;
    if (command == 23 || command == 81) nameAt = rules::kReportName;
    if (command == 24 || command == 25) keyAt = server::kClusterKey, nameAt = server::kBindingRuleName;
    const uint32_t key = loadU32(req + keyAt);
    bool clusterFound = false;
    for (uint32_t i = 0; i < m.clusterCount; ++i)
        if (loadU32(m.clusters[i].record + cluster::kKey) == key) clusterFound = true;
    // The port number follows the cluster key in every layout.
    if (!clusterFound || !portExists(m, key, req + keyAt + sizeof(uint32_t))) {
        a.fail(kReasonNotFound);
        return a.n;
    }
    if (command == 18) {
        addRule(m, req, a);
        return a.n;
    }
    if (command == 20) {
        listRules(m, req, a);
        return a.n;
    }
    RuleEntry* rule = findRule(m, req, keyAt, nameAt);
    if (!rule) {
        a.fail(kReasonNoRule);
        return a.n;
    }
    switch (command) {
        case 19: removeRule(m.rules, rule); break;
        case 21:
            std::memcpy(ans + kHeaderSize, rule->record + kHeaderSize,
                        kRuleRecordLength - kHeaderSize);
            storeU32(ans + kNumServers, boundServers(m, *rule));
            break;
        case 22: applyRuleRecord(rule->record, req, false); break;
        case 23:
            // No traffic flows through the simulated executor: connection counts stay 0.
            storeU32(ans + rules::kReportConnectionsPerSecond, rule->connectionsPerSecond);
            storeU32(ans + rules::kReportActive, 0);
            storeU32(ans + rules::kReportUniqueId, rule->uniqueId);
            storeU32(ans + rules::kReportTimesFired, 0);
            storeU32(ans + rules::kReportServers, boundServers(m, *rule));
            storeU32(ans + rules::kReportBytesPerSecond,
                     rule->connectionsPerSecond * kBytesPerConnection);
            break;
        case 24: case 25: bindServer(m, *rule, req, command == 24, a); break;
        case 26: listRuleServers(m, *rule, req, a); break;
        case 81: rule->connectionsPerSecond = loadU32(req + rules::kReportConnectionsPerSecond); break;
        default: break;
    }
    return a.n;
}

uint32_t modelPortRuleCount(const ModelState& m, uint32_t clusterKey, const uint8_t* portNet) {
    uint32_t count = 0;
    for (uint32_t i = 0; i < m.rules.ruleCount; ++i)
        if (samePort(m.rules.rules[i].record, clusterKey, portNet)) ++count;
    return count;
}

void modelRulesForget(ModelState& m, uint32_t clusterKey, const uint8_t* onlyPort) {
    RuleModel& rm = m.rules;
    for (uint32_t i = rm.ruleCount; i-- > 0;) {
        const uint8_t* r = rm.rules[i].record;
        if (loadU32(r + kKey) != clusterKey) continue;
        if (onlyPort && !samePort(r, clusterKey, onlyPort)) continue;
        removeRule(rm, &rm.rules[i]);
    }
}

}  // namespace velksim
