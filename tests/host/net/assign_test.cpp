// The assign exchange: the request on the wire, the replies it keeps, and
// which of them decides its result.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/host/net/net_fixture.h"

namespace net::fake {
namespace {

const char kNewAddress[] = "192.168.0.50";
const char kMac[] = "00:1a:2b:3c:4d:5e";

std::vector<std::uint8_t> ExampleRequest() {
    std::vector<std::uint8_t> r(kDatagramSize, 0);
    r[0] = 0x01;
    r[1] = 0x02;
    const char word[] = "ladder";
    std::memcpy(r.data() + 4, word, 6);
    const std::uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    std::memcpy(r.data() + 36, mac, 6);
    const std::uint8_t address[4] = {0xC0, 0xA8, 0x00, 0x32};
    std::memcpy(r.data() + 44, address, 4);
    return r;
}

class Assign : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        OneEthernetPc();
    }
    int Run(const char* mac = kMac) { return client.AssignExchange(kNewAddress, mac); }
};

// Upper case or other separators in the MAC text give the same request.
TEST_F(Assign, SendsTheSameAssignRequestThreeTimesToBroadcastPort192) {
    for (const char* mac : {kMac, "00-1A-2B-3C-4D-5E"}) {
        SCOPED_TRACE(mac);
        port.sent.clear();
        Run(mac);
        ASSERT_EQ(3u, port.sent.size());
        const std::uint8_t port192[2] = {0x00, 0xC0};
        for (const SentDatagram& d : port.sent) {
            EXPECT_EQ(ExampleRequest(), d.bytes);
            EXPECT_EQ(0xFFFFFFFFu, d.address);
            EXPECT_EQ(0, std::memcmp(&d.port, port192, 2));
        }
        EXPECT_TRUE(port.Balanced()) << port.Report();
    }
}

TEST_F(Assign, ConverterTakingTheAddressThreeTimesFillsThreeRecords) {
    port.inbound = {Arrives(AssignReply(1), 30), Silence(), Arrives(AssignReply(1), 30),
                    Silence(), Arrives(AssignReply(1), 30)};
    EXPECT_EQ(1, Run());
    EXPECT_EQ(3, g_scanState.count);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(AssignReply(1), std::vector<std::uint8_t>(g_deviceTable[i].bytes,
                                                            g_deviceTable[i].bytes + 116));
    }
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

TEST_F(Assign, SilenceGivesZeroAfterThreeSeconds) {
    g_scanState.count = 5;
    EXPECT_EQ(0, Run());
    EXPECT_EQ(0, g_scanState.count);
    EXPECT_EQ(3000u, port.nowMs);
}

TEST_F(Assign, OnlyStatusOneBigEndianMeansTaken) {
    for (std::uint16_t status : {0x0000, 0x0100, 0x0002, 0x0101, 0xFFFF}) {
        port.inbound = {Arrives(AssignReply(status))};
        EXPECT_EQ(0, Run()) << "status " << status;
    }
}

TEST_F(Assign, MostRecentAcceptedReplyDecides) {
    port.inbound = {Arrives(AssignReply(1)), Arrives(AssignReply(0))};
    EXPECT_EQ(0, Run());
    port.inbound = {Arrives(AssignReply(0)), Arrives(AssignReply(1))};
    EXPECT_EQ(1, Run());
}

TEST_F(Assign, DroppedDatagramsNeverDecide) {
    auto shortTaken = AssignReply(1);
    shortTaken.resize(60);
    ReplyFields discovery;
    discovery.operation = kDiscoveryReply;
    discovery.status = 1;
    auto badProtocol = AssignReply(1);
    badProtocol[0] = 0;
    // A stray "taken" after the real refusal...
    port.inbound = {Arrives(AssignReply(0)), Arrives(AssignReply(1), 0, 193),
                    Arrives(shortTaken), Arrives(Reply(discovery)), Arrives(badProtocol)};
    EXPECT_EQ(0, Run());
    EXPECT_EQ(1, g_scanState.count);
    // ...and a stray refusal after the real "taken".
    port.inbound = {Arrives(AssignReply(1)), Arrives(AssignReply(0), 0, 5000)};
    EXPECT_EQ(1, Run());
    EXPECT_EQ(1, g_scanState.count);
}

TEST_F(Assign, TwoConvertersAnsweringAreBothStoredInArrivalOrder) {
    ReplyFields a;
    a.operation = kAssignReply;
    a.status = 1;
    a.name = "first";
    ReplyFields b = a;
    b.name = "first";  // same identity: the exchange keeps duplicates
    b.mac[0] = 0x02;
    b.status = 0;
    port.inbound = {Arrives(Reply(a)), Arrives(Reply(b))};
    EXPECT_EQ(0, Run());
    ASSERT_EQ(2, g_scanState.count);
    EXPECT_EQ(0x00, g_deviceTable[0].bytes[36]);
    EXPECT_EQ(0x02, g_deviceTable[1].bytes[36]);
}

TEST_F(Assign, StoresAtMostSixtyFourRepliesButEveryAcceptedOneCounts) {
    for (int i = 0; i < 70; ++i) {
        port.inbound.push_back(Arrives(AssignReply(0)));
    }
    port.inbound.push_back(Arrives(AssignReply(1)));
    EXPECT_EQ(1, Run());
    EXPECT_EQ(64, g_scanState.count);
}

TEST_F(Assign, LeavesTheRunningFlagAndTheScansProbeResultAlone) {
    std::strcpy(g_probeResult.address, "10.0.0.7");
    std::strcpy(g_probeResult.netmask, "255.0.0.0");
    port.inbound = {Arrives(AssignReply(1))};
    EXPECT_EQ(1, Run());
    EXPECT_EQ(0, g_scanState.running.load());
    EXPECT_STREQ("10.0.0.7", g_probeResult.address);
    EXPECT_STREQ("255.0.0.0", g_probeResult.netmask);
    EXPECT_EQ(1, std::count(port.calls.begin(), port.calls.end(), "ReadInterfaceList"));
}

TEST_F(Assign, ChattySenderEndsEachCycleAfterTenSeconds) {
    for (int i = 0; i < 100; ++i) {
        port.inbound.push_back(Arrives(AssignReply(1), 400));
    }
    EXPECT_EQ(1, Run());
    ASSERT_EQ(3u, port.sent.size());
    EXPECT_EQ(10000u, port.sent[1].atMs);
    EXPECT_EQ(30000u, port.nowMs);
    EXPECT_EQ(64, g_scanState.count);
}

TEST_F(Assign, MissingTextsEndWithZeroWithoutSocketWork) {
    EXPECT_EQ(0, client.AssignExchange(nullptr, kMac));
    EXPECT_EQ(0, client.AssignExchange(kNewAddress, nullptr));
    EXPECT_TRUE(port.calls.empty());
}

struct AssignFailure {
    const char* step;
    void (*arrange)(ScriptedPort&);
    int cleanups;
    int socketsOpened;
    std::size_t sends;
};

class AssignFails : public Assign, public ::testing::WithParamInterface<AssignFailure> {};

TEST_P(AssignFails, EndsWithZeroAndReleasesWhatItTook) {
    GetParam().arrange(port);
    EXPECT_EQ(0, Run());
    EXPECT_EQ(GetParam().cleanups, port.cleanups);
    EXPECT_EQ(GetParam().socketsOpened, port.socketsOpened);
    EXPECT_EQ(GetParam().sends, port.sent.size());
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

INSTANTIATE_TEST_SUITE_P(
    EachSocketCall, AssignFails,
    ::testing::Values(
        AssignFailure{"library", [](ScriptedPort& p) { p.startupResult = 10091; }, 0, 0, 0},
        AssignFailure{"socket", [](ScriptedPort& p) { p.openError = 10047; }, 1, 0, 0},
        AssignFailure{"broadcast", [](ScriptedPort& p) { p.broadcastError = 10042; }, 1, 1, 0},
        AssignFailure{"interfaceList", [](ScriptedPort& p) { p.listError = 10022; }, 1, 1, 0},
        AssignFailure{"bind", [](ScriptedPort& p) { p.bindError = 10048; }, 1, 1, 0},
        AssignFailure{"send", [](ScriptedPort& p) { p.sendErrors[0] = 10065; }, 1, 1, 1},
        // A converter that took the address, then a failing socket: still 0.
        AssignFailure{"waitAfterTaken",
                      [](ScriptedPort& p) { p.inbound = {Arrives(AssignReply(1)), WaitFails(10038)}; },
                      1, 1, 1},
        AssignFailure{"overlongAfterTaken",
                      [](ScriptedPort& p) {
                          auto longer = AssignReply(1);
                          longer.push_back(0);
                          p.inbound = {Arrives(AssignReply(1)), Arrives(longer)};
                      },
                      1, 1, 1}),
    [](const ::testing::TestParamInfo<AssignFailure>& info) {
        return std::string(info.param.step);
    });

TEST_F(Assign, RepliesBeforeAFailureStayWithTheirCount) {
    port.inbound = {Arrives(AssignReply(1)), Silence(), ReceiveFails(10054)};
    EXPECT_EQ(0, Run());
    EXPECT_EQ(1, g_scanState.count);
    EXPECT_EQ(1, g_deviceTable[0].bytes[3]);
}

}  // namespace
}  // namespace net::fake
