// Core of the simulated executor: handles one request block or one control line at a time.
//
// The core is shared by every host (the Linux daemon now, a Windows kernel-mode driver later),
// so it makes no OS call, allocates nothing, throws nothing and has no global constructors.
// All of its state lives in one SimState that the host owns and passes in; the host feeds it
// the wall clock through simSetClock because the core cannot read one itself.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velksim {

// Request block geometry shared with the library.
constexpr uint32_t kBlockSize = 64016;
constexpr uint32_t kHeaderSize = 16;

// Header fields, little-endian 32-bit words.
constexpr uint32_t kOffCommand = 0;
constexpr uint32_t kOffResult = 4;
constexpr uint32_t kOffReason = 8;
constexpr uint32_t kOffLength = 12;

// Sizes of the fixed tables. The record keeps the latest kRecordKeep requests in full.
constexpr uint32_t kRecordKeep = 64;
constexpr uint32_t kNextMax = 64;         // queued SCRIPT NEXT entries
constexpr uint32_t kCmdScriptMax = 64;    // SCRIPT CMD entries
constexpr uint32_t kPutsPerScript = 16;   // PUT actions of one script
constexpr uint32_t kPutPoolSize = 4 * kBlockSize;  // bytes of all PUT actions together
constexpr uint32_t kClusterMax = 256;
constexpr uint32_t kPortMax = 1024;
constexpr uint32_t kConnectionMax = 256;
constexpr uint32_t kAliasMax = 33;        // what one NIC record answer (command 55) can carry
constexpr uint32_t kLogTextSize = 32768;
constexpr uint32_t kServerMax = 3200;     // servers of all ports: 100 clusters x 4 ports x 8

// Record sizes of the model's tables (bytes of the request layouts they mirror).
constexpr uint32_t kSettingsLength = 696;
constexpr uint32_t kClusterRecordLength = 192;
constexpr uint32_t kPortRecordLength = 96;
constexpr uint32_t kServerRecordLength = 1952;

// A control line may carry a PUT of a whole block in hex; an answer may carry a whole
// recorded request in hex. Hosts size their line and answer buffers with these.
constexpr size_t kControlLineMax = 2 * kBlockSize + 4096;
constexpr size_t kControlAnswerMax = 2 * kBlockSize + 64;

struct ScriptPut {
    uint32_t offset;   // where the bytes go in the answer
    uint32_t length;
    uint32_t poolAt;   // where they are kept in SimState::putPool
};

struct Script {
    uint32_t command;     // SCRIPT CMD only
    uint32_t timesLeft;   // SCRIPT CMD only; 0 = until RESET or UNSCRIPT
    uint32_t error;       // device error when hasError
    int32_t result;
    int32_t reason;
    uint32_t answerLength;
    uint32_t frameWord;   // the length word announced in place of N when hasFrameWord
    uint8_t hasError;
    uint8_t useModel;
    uint8_t hasResult;
    uint8_t hasReason;
    uint8_t hasAnswerLength;
    uint8_t hasFrameWord;
    uint8_t putCount;
    ScriptPut puts[kPutsPerScript];
};

struct RecordedRequest {
    uint32_t length;  // bytes received
    uint8_t bytes[kBlockSize];
};

struct ClusterEntry {
    uint8_t record[kClusterRecordLength];  // laid out as the cluster record request
    uint32_t connectionsPerSecond;
};

struct PortEntry {
    uint8_t record[kPortRecordLength];  // laid out as the port record request
    uint32_t connectionsPerSecond;
};

struct ConnectionEntry {
    uint8_t key[24];  // payload bytes 16..39 with the bytes the library leaves unset cleared
};

struct AliasEntry {
    char name[32];
    int32_t unit;
    uint8_t address[4];  // network byte order
    uint32_t mask;       // host byte order
    uint8_t source[4];   // network byte order
};

struct ServerEntry {
    uint8_t record[kServerRecordLength];  // laid out as the server record request, flags 0
    uint32_t connectionsPerSecond;
    uint8_t down;          // marked down (command 29) until marked up (30)
    uint8_t quiescedDown;  // as the weights request last set it
};

// Servers of every port, in order of addition (sim_servers.cpp).
struct ServerModel {
    uint32_t count;
    ServerEntry servers[kServerMax];
};

// Rules of ports and the servers bound to them (sim_rules.cpp).
constexpr uint32_t kRuleMax = 128;
constexpr uint32_t kRuleBindingMax = 512;
constexpr uint32_t kRuleRecordLength = 344;

struct RuleEntry {
    uint8_t record[kRuleRecordLength];  // laid out as the rule record request, flag bytes 0
    uint32_t uniqueId;
    uint32_t connectionsPerSecond;
};

struct RuleBinding {
    uint32_t ruleId;  // the rule's uniqueId
    uint32_t serverKey;
    int32_t argument;  // as the binding request carried it
};

struct RuleModel {
    uint32_t lastId;
    uint32_t ruleCount;
    RuleEntry rules[kRuleMax];  // in order of addition
    uint32_t bindingCount;
    RuleBinding bindings[kRuleBindingMax];  // in order of binding
};

// Interface discovery and high availability (sim_network.cpp).
constexpr uint32_t kInterfaceNameMax = 32;  // entries of the interface name table
constexpr uint32_t kServiceNameMax = 59;    // what the name query's 60 payload bytes hold
constexpr uint32_t kInterfaceNameTextMax = 63;
constexpr uint32_t kHaRecordMax = 32;       // heartbeats, and reach targets, the answer holds

struct InterfaceNameEntry {
    char service[kServiceNameMax + 1];
    char name[kInterfaceNameTextMax + 1];
};

struct HeartbeatEntry {
    uint8_t local[4];   // network byte order
    uint8_t remote[4];  // network byte order
    uint8_t status;
};

struct ReachEntry {
    uint8_t address[4];  // network byte order
    uint8_t mask[4];     // network byte order
    uint8_t type;
    uint8_t addressStatus;
    uint8_t remoteStatus;
    uint32_t localStamp;  // requests served when it was added
};

struct NetworkState {
    uint32_t nameCount;
    InterfaceNameEntry names[kInterfaceNameMax];  // answers of command 61, set by IFNAME

    uint8_t backup;  // a backup role is configured (command 40)
    uint8_t role;
    uint8_t strategy;
    uint8_t state;  // 0 none, 1 backup, 2 active after a takeover
    uint16_t port;
    uint32_t heartbeatCount;
    HeartbeatEntry heartbeats[kHaRecordMax];
    uint32_t reachCount;
    ReachEntry reaches[kHaRecordMax];
    uint32_t timerRequests;
};

// Diagnostics (sim_diag.cpp): affinity bindings, connection records, half-open records,
// attacking addresses, denial-of-service settings, the counters of the miscellaneous dump, the
// return-address and connection-record list tables and the ICMP record. Addresses and ports
// are kept as the bytes that travel (network byte order).
constexpr uint32_t kDiagAffinityMax = 2048;   // a few past the 1999 one answer holds
constexpr uint32_t kDiagAffinityPortMax = 32;
constexpr uint32_t kDiagConnectionMax = 1664; // a few past the 1599 one answer holds
constexpr uint32_t kDiagHalfOpenMax = 5400;   // 5333 fit one answer
constexpr uint32_t kDiagAttackMax = 8064;     // 7996 fit one answer
constexpr uint32_t kDiagRatMax = 160;
constexpr uint32_t kDiagCrllMax = 288;
constexpr uint32_t kDiagCounterWords = 64;    // counters of command 53 from offset 16
constexpr uint32_t kDiagListNameSize = 10;

struct DiagAffinity {
    uint8_t cluster[4];
    uint8_t port[2];
    uint8_t client[4];
    uint8_t server[4];
    uint32_t active;
    uint64_t lastUse;
};

struct DiagAffinityPort {
    uint8_t cluster[4];
    uint8_t port[2];
    uint8_t serverDirected;
    uint32_t stickyMask;
};

struct DiagConnection {
    uint8_t cluster[4];
    uint8_t clusterPort[2];
    uint8_t client[4];
    uint8_t clientPort[2];
    uint8_t server[4];
    uint64_t lastActivity;
    uint8_t state, previousTcp, currentTcp, flag;
};

struct DiagHalfOpen {
    uint8_t address[4];
    uint8_t port[2];
    uint8_t flag;
};

struct DiagAttack {
    uint8_t target[4];
    uint8_t targetPort[2];
    uint8_t attacker[4];
    int32_t figure;
};

struct DiagRat {
    uint8_t address[4];
    int32_t references;
    uint8_t fsm[4];
    int32_t portsInUse;
};

struct DiagCrll {
    uint8_t cluster[4];  // as it is stored in the answer
    uint16_t port;       // as it is stored in the answer
    char name[kDiagListNameSize];
    int32_t current, reused, stale, timeout;
};

struct DiagState {
    uint64_t pinnedClock;  // the executor clock when set by DIAG CLOCK, else 0
    uint32_t affinityCount;
    DiagAffinity affinities[kDiagAffinityMax];
    uint32_t affinityPortCount;
    DiagAffinityPort affinityPorts[kDiagAffinityPortMax];
    uint32_t connectionCount;
    DiagConnection connections[kDiagConnectionMax];
    int32_t nps;
    uint32_t halfOpenCount;
    DiagHalfOpen halfOpen[kDiagHalfOpenMax];
    uint32_t attackCount;
    DiagAttack attacks[kDiagAttackMax];
    uint16_t dos[8];  // the denial-of-service parameters as last set (command 69)
    uint32_t counters[kDiagCounterWords];
    int32_t miscSubCommand;  // the last command 53 and its arguments
    int32_t miscArguments[3];
    uint32_t ratCount;
    DiagRat rats[kDiagRatMax];
    uint32_t crllCount;
    DiagCrll crlls[kDiagCrllMax];
    int32_t icmpGotResponse;
    uint32_t icmpAddress;  // the 32-bit pattern as it travels
};

struct ModelState {
    uint8_t settings[kSettingsLength];
    uint32_t executorConnectionsPerSecond;
    uint64_t startTime;
    uint64_t served;  // device requests served by the model since RESET

    uint32_t clusterCount;
    ClusterEntry clusters[kClusterMax];  // in order of addition
    uint32_t portCount;
    PortEntry ports[kPortMax];           // in order of addition
    uint32_t connectionCount;
    ConnectionEntry connections[kConnectionMax];
    uint32_t aliasCount;
    AliasEntry aliases[kAliasMax];

    uint32_t logLength;  // text bytes in logText, no terminator kept
    char logText[kLogTextSize];

    ServerModel servers;
    RuleModel rules;
    NetworkState network;
    DiagState diag;
};

struct SimState {
    uint64_t clock;  // seconds since 1970, as the host last set it

    uint32_t nextCount;
    Script next[kNextMax];  // oldest first
    uint32_t cmdCount;
    Script cmd[kCmdScriptMax];  // oldest first
    uint32_t putPoolUsed;
    uint8_t putPool[kPutPoolSize];

    uint64_t recordTotal;  // requests received since RESET
    RecordedRequest record[kRecordKeep];  // request i lives in slot i % kRecordKeep

    ModelState model;
};

void simInit(SimState& s);

// The host calls this before handing in a request so the model can report times.
void simSetClock(SimState& s, uint64_t unixSeconds);

enum class DeviceOutcome {
    kAnswer,     // answerLength bytes of the answer buffer go back to the client
    kError,      // the device call fails with error
    kBadLength,  // the length field is below 16 or above 64016: the host's "invalid argument"
};

struct DeviceReply {
    DeviceOutcome outcome;
    uint32_t answerLength;
    uint32_t error;
    // A stream host announces this word instead of answerLength, then sends the answerLength
    // bytes all the same: an answer that cannot be framed. Hosts without a stream ignore it.
    uint8_t hasFrameWord;
    uint32_t frameWord;
};

// Handles one device request: `request` holds the `received` bytes the client wrote (the first
// L bytes of its block). `answer` must have room for kBlockSize bytes.
DeviceReply simHandleRequest(SimState& s, const uint8_t* request, uint32_t received,
                             uint8_t* answer);

enum class ControlOutcome { kContinue, kStop };

// Handles one control line (without or with its trailing newline) and writes the answer line,
// NUL-terminated and without a newline, to `answer`. kStop asks the host to answer and exit.
ControlOutcome simHandleControl(SimState& s, const char* line, char* answer,
                                size_t answerCapacity);

}  // namespace velksim
