// The model's answers and the state it keeps between requests.
#include "sim_test_util.h"

namespace simtest {
namespace {

class Model : public SimFixture {
protected:
    std::vector<uint8_t> settingsRead() {
        EXPECT_EQ(call(request(1, 696)), 0);
        return answer;
    }

    std::vector<uint8_t> cluster(uint32_t command, uint32_t key, const char* id = "") {
        std::vector<uint8_t> r = request(command, 192);
        put32(r, 100, key);
        std::memcpy(r.data() + 104, id, std::strlen(id));
        return r;
    }

    std::vector<uint8_t> port(uint32_t command, uint32_t key, uint16_t number, uint32_t length = 96) {
        std::vector<uint8_t> r = request(command, length);
        put32(r, 16, key);
        r[20] = static_cast<uint8_t>(number >> 8);  // network byte order
        r[21] = static_cast<uint8_t>(number);
        return r;
    }

    std::vector<uint8_t> report(uint32_t command, uint32_t key) {
        std::vector<uint8_t> r = request(command, 72);
        put32(r, 16, key);
        return r;
    }

    std::string logText(uint32_t command, int32_t size) {
        std::vector<uint8_t> r = request(command, 64016);
        put32(r, 24, static_cast<uint32_t>(size));
        std::memset(r.data() + 40, 'x', 64016 - 40);  // stale text the answer must terminate
        call(r);
        return std::string(reinterpret_cast<const char*>(answer.data() + 16));
    }
};

// A command-2 request whose only flag of 1 is `flag`; every other flag is 2, which must count
// as "leave alone" too. Every value byte carries a pattern.
struct SettingCase {
    uint32_t flag, offset, width;
};

class SettingFlags : public Model, public ::testing::WithParamInterface<SettingCase> {};

TEST_P(SettingFlags, OnlyTheFlaggedSettingChanges) {
    const SettingCase& c = GetParam();
    std::vector<uint8_t> before = settingsRead();
    std::vector<uint8_t> set = request(2, 696);
    for (uint32_t i = 16; i < 696; ++i) set[i] = static_cast<uint8_t>(i * 7 + 1);
    const uint32_t flags[] = {628, 629, 630, 631, 632, 633, 634, 635, 636, 637, 638,
                              639, 640, 641, 642, 643, 644, 645, 646, 648, 656, 668};
    for (uint32_t f : flags) set[f] = f == c.flag ? 1 : 2;
    set[c.offset + c.width - 1] = 0;  // keeps the file name terminated, harmless elsewhere
    ASSERT_EQ(call(set), 0);
    std::vector<uint8_t> after = settingsRead();
    for (uint32_t i = 16; i < 696; ++i) {
        bool inField = i >= c.offset && i < c.offset + c.width;
        EXPECT_EQ(after[i], inField ? set[i] : before[i]) << "byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layout, SettingFlags,
    ::testing::Values(SettingCase{628, 16, 4}, SettingCase{629, 20, 4}, SettingCase{630, 24, 4},
                      SettingCase{632, 32, 8}, SettingCase{635, 600, 4}, SettingCase{639, 80, 2},
                      SettingCase{640, 82, 2}, SettingCase{642, 85, 1}, SettingCase{643, 604, 4},
                      SettingCase{645, 616, 8}, SettingCase{646, 86, 256},
                      SettingCase{648, 624, 4}, SettingCase{656, 664, 4},
                      SettingCase{668, 672, 16}));

TEST_F(Model, ReportFollowsClustersRatesAndTime) {
    state->model.startTime = 0;
    velksim::simSetClock(*state, 0x1122334455ull);
    control("RESET");
    std::vector<uint8_t> rate = request(71, 240);
    put32(rate, 232, 250);
    ASSERT_EQ(call(rate), 0);
    call(cluster(4, 0x0A000001, "A"));
    call(cluster(4, 0x0A000002, "B"));
    call(cluster(5, 0x0A000001));
    ASSERT_EQ(call(request(3, 240)), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(answer.data() + 20)).empty(), false);
    EXPECT_EQ(answer[119], 0);
    EXPECT_EQ(get64(answer.data(), 120), 0x1122334455ull);
    for (uint32_t k = 0; k < 11; ++k) EXPECT_EQ(get64(answer.data(), 128 + 8 * k) >> 32, k + 1);
    EXPECT_EQ(get32(answer.data(), 220), 1u);
    EXPECT_EQ(get32(answer.data(), 228), 250u * 512);
    EXPECT_EQ(get32(answer.data(), 232), 250u);
}

// Results of cluster and port requests against a model holding cluster 1 with port 80.
struct Refusal {
    const char* what;
    uint32_t command;
    uint32_t key;
    uint16_t port;
    int32_t reason;  // 0: accepted
};

void PrintTo(const Refusal& c, std::ostream* os) { *os << c.what; }

class Refusals : public Model, public ::testing::WithParamInterface<Refusal> {};

TEST_P(Refusals, CarryTheirReasonCodes) {
    const Refusal& c = GetParam();
    ASSERT_EQ(call(cluster(4, 1, "one")), 0);
    ASSERT_EQ(call(port(10, 1, 80)), 0);
    std::vector<uint8_t> req;
    switch (c.command) {
        case 4: case 5: case 7: case 8: req = cluster(c.command, c.key); break;
        case 9: case 72: req = report(c.command, c.key); break;
        case 12: req = port(12, c.key, 0, 24); break;
        case 15: case 80: req = port(c.command, c.key, c.port, 72); break;
        default: req = port(c.command, c.key, c.port); break;
    }
    int32_t result = call(req);
    EXPECT_EQ(result, c.reason ? -1 : 0) << c.what;
    if (c.reason) {
        EXPECT_EQ(reason(), c.reason) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Clusters, Refusals,
    ::testing::Values(
        Refusal{"duplicate cluster", 4, 1, 0, -8}, Refusal{"second cluster", 4, 2, 0, 0},
        Refusal{"remove unknown", 5, 2, 0, -5}, Refusal{"status unknown", 7, 2, 0, -5},
        Refusal{"set unknown", 8, 2, 0, -5}, Refusal{"report unknown", 9, 2, 0, -5},
        Refusal{"rate unknown", 72, 2, 0, -5}, Refusal{"report known", 9, 1, 0, 0},
        Refusal{"port on unknown cluster", 10, 2, 80, -5},
        Refusal{"duplicate port", 10, 1, 80, -4}, Refusal{"other port", 10, 1, 81, 0},
        Refusal{"port bytes swapped", 11, 1, 0x5000, -5}, Refusal{"remove port", 11, 1, 80, 0},
        Refusal{"status unknown port", 13, 1, 81, -5}, Refusal{"set unknown port", 14, 1, 81, -5},
        Refusal{"report unknown port", 15, 1, 81, -5}, Refusal{"rate unknown port", 80, 1, 81, -5},
        Refusal{"list unknown cluster", 12, 2, 0, -5}));

TEST_F(Model, ClusterLimitComesFromTheSettings) {
    std::vector<uint8_t> set = request(2, 696);
    set[643] = 1;
    put32(set, 604, 2);
    ASSERT_EQ(call(set), 0);
    EXPECT_EQ(call(cluster(4, 1)), 0);
    EXPECT_EQ(call(cluster(4, 2)), 0);
    EXPECT_EQ(call(cluster(4, 3)), -1);
    EXPECT_EQ(reason(), -7);
}

TEST_F(Model, ClusterStatusAnswersTheWholeRecord) {
    std::vector<uint8_t> add = cluster(4, 0x01A66882, "abc");
    add[16] = 10, add[17] = 1, add[18] = 2, add[19] = 3;  // address as sent, network order
    add[84] = 1;
    put32(add, 20, 2);          // maximum ports, flagged
    put32(add, 24, 999);        // port maximum servers, not flagged: the default stays
    add[88] = 1;
    put16(add, 42, 0xFFFF);     // weight bound
    add[86] = 1;
    put64(add, 32, ~0ull);      // sticky time -1
    ASSERT_EQ(call(add), 0);
    call(port(10, 0x01A66882, 443));

    std::vector<uint8_t> set = cluster(8, 0x01A66882);
    set[84] = 2;
    put32(set, 20, 50);  // flag 2: ignored
    set[92] = 1;
    put32(set, 56, 123456);
    ASSERT_EQ(call(set), 0);

    std::vector<uint8_t> status = cluster(7, 0x01A66882);
    std::memset(status.data() + 16, 0xCC, 84);  // leftovers the answer must overwrite
    ASSERT_EQ(call(status), 0);
    const uint8_t* a = answer.data();
    EXPECT_EQ((std::vector<uint8_t>(a + 16, a + 20)), (std::vector<uint8_t>{10, 1, 2, 3}));
    EXPECT_EQ(get32(a, 20), 2u);
    EXPECT_EQ(get32(a, 24), 32u);  // the executor's default maximum servers per port
    EXPECT_EQ(get64(a, 32), ~0ull);
    EXPECT_EQ(get32(a, 40) >> 16, 0xFFFFu);
    EXPECT_EQ(get32(a, 56), 123456u);
    EXPECT_EQ(get32(a, 96), 1u);
    EXPECT_EQ(get32(a, 100), 0x01A66882u);
    EXPECT_STREQ(reinterpret_cast<const char*>(a + 104), "abc");
    for (uint32_t f = 84; f <= 95; ++f) EXPECT_EQ(a[f], 0) << "flag " << f;
}

TEST_F(Model, ListsKeepTheOrderOfAddition) {
    call(cluster(4, 7, "first"));
    call(cluster(4, 8, "second"));
    call(cluster(4, 9, "third"));
    call(cluster(5, 8));
    ASSERT_EQ(call(request(6, 20 + 72 * 2)), 0);
    EXPECT_EQ(get32(answer.data(), 16), 2u);
    EXPECT_STREQ(reinterpret_cast<const char*>(answer.data() + 20), "first");
    EXPECT_STREQ(reinterpret_cast<const char*>(answer.data() + 92), "third");

    for (uint16_t p : {443, 80, 8080}) call(port(10, 9, p));
    call(port(10, 7, 21));
    ASSERT_EQ(call(port(12, 9, 0, 24)), 0);
    EXPECT_EQ(get32(answer.data(), 20), 3u);
    EXPECT_EQ(lastLength, 24u + 8 * 3);
    const uint8_t* e = answer.data() + 24;
    EXPECT_EQ((std::vector<uint8_t>{e[0], e[1], e[8], e[9], e[16], e[17]}),
              (std::vector<uint8_t>{0x01, 0xBB, 0x00, 0x50, 0x1F, 0x90}));
    call(report(9, 9));
    EXPECT_EQ(get32(answer.data(), 24), 3u);
    call(cluster(5, 9));
    EXPECT_EQ(call(port(13, 9, 80)), -1);  // the cluster's ports went with it
}

TEST_F(Model, PortsTakeTheClusterDefaultsAndFlaggedValues) {
    std::vector<uint8_t> add = cluster(4, 5);
    add[84] = 1;
    put32(add, 20, 1);  // one port only
    add[89] = 1;
    add[44] = 0x80;     // default port type
    call(add);
    std::vector<uint8_t> p = port(10, 5, 80);
    p[89] = 1;
    p[72] = 0x1F, p[73] = 0x90;  // cross port 8080, network order
    p[87] = 1;
    put16(p, 68, 0xFFFE);        // method -2
    ASSERT_EQ(call(p), 0);
    EXPECT_EQ(call(port(10, 5, 81)), -1);
    EXPECT_EQ(reason(), -3);

    std::vector<uint8_t> rate = port(80, 5, 80, 72);
    put32(rate, 24, 40);
    call(rate);
    ASSERT_EQ(call(port(13, 5, 80)), 0);
    EXPECT_EQ(answer[66], 0x80);
    EXPECT_EQ(answer[72], 0x1F);
    EXPECT_EQ(answer[73], 0x90);
    EXPECT_EQ(get32(answer.data(), 32), 32u);  // maximum servers from the cluster default
    ASSERT_EQ(call(port(15, 5, 80, 72)), 0);
    EXPECT_EQ(get32(answer.data(), 24), 40u);
    EXPECT_EQ(get32(answer.data(), 60), 40u * 512);
    EXPECT_EQ(get32(answer.data(), 68) >> 16, 0xFFFEu);
}

TEST_F(Model, LogTextNeverExceedsTheSizeAsked) {
    for (int i = 0; i < 30; ++i) call(request(4000 + i, 16));
    std::string all = logText(35, 10000);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back(), '\n');
    for (int32_t size : {1, 40, 41, 100, 1000}) {
        std::string head = logText(35, size);
        std::string tail = logText(36, size);
        EXPECT_LE(head.size(), static_cast<size_t>(size));
        EXPECT_LE(tail.size(), static_cast<size_t>(size));
        EXPECT_EQ(all.compare(0, head.size(), head), 0);
    }
    EXPECT_EQ(logText(35, 0), "");
    EXPECT_EQ(logText(35, -5), "");
    std::string tail = logText(36, 200);
    EXPECT_NE(tail.find("command 35"), std::string::npos);  // the previous request
    call(request(37, 280));
    EXPECT_EQ(logText(35, 10000), "");
}

TEST_F(Model, ConnectionEntriesAreKeyedByTheFieldsTheLibrarySets) {
    std::vector<uint8_t> c = request(34, 40);
    for (uint32_t i = 16; i < 40; ++i) c[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(call(c), 0);
    c[18] = 0xEE;  // unset bytes do not make another entry
    c[27] = 0xEE;
    EXPECT_EQ(call(c), -1);
    EXPECT_EQ(reason(), -8);
    put32(c, 0, 63);
    EXPECT_EQ(call(c), 0);
    EXPECT_EQ(call(c), -1);
    EXPECT_EQ(reason(), -5);
}

TEST_F(Model, AliasesAppearAsNicRecords) {
    ASSERT_EQ(control("ALIAS eth 3 10.1.2.3 255.255.240.0 10.1.2.1"), "OK");
    ASSERT_EQ(call(request(55, 2132)), 0);
    const uint8_t* a = answer.data();
    EXPECT_EQ(geti32(a, 16), 1);
    EXPECT_EQ(get32(a, 20 + 12), 0xFFFFF000u);  // subnet mask, host order
    EXPECT_EQ((std::vector<uint8_t>(a + 36, a + 40)), (std::vector<uint8_t>{10, 1, 2, 3}));
    EXPECT_EQ((std::vector<uint8_t>(a + 20, a + 24)), (std::vector<uint8_t>{10, 1, 0, 0}));
    EXPECT_STREQ(reinterpret_cast<const char*>(a + 40), "eth");
    EXPECT_EQ(geti32(a, 72), 3);
    ASSERT_EQ(control("UNALIAS eth 3 10.1.2.3"), "OK");
    call(request(55, 2132));
    EXPECT_EQ(geti32(answer.data(), 16), 0);
}

TEST_F(Model, ShortRequestsAndUnknownCommands) {
    EXPECT_EQ(call(request(4, 191)), -1);
    EXPECT_EQ(reason(), -1);
    std::vector<uint8_t> other = request(4000, 64);
    put32(other, 4, 5);
    put32(other, 60, 0xCAFEBABE);
    EXPECT_EQ(call(other), 0);
    EXPECT_EQ(lastLength, 64u);
    EXPECT_EQ(get32(answer.data(), 60), 0xCAFEBABEu);
}

}  // namespace
}  // namespace simtest
