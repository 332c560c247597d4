// The scan: the worker's exchange on the wire, what it keeps, how it ends,
// and what ScanPoll reports of it.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "net/address_text.h"
#include "net/datagram.h"
#include "net/exchange.h"
#include "net/interface_probe.h"
#include "tests/host/net/net_fixture.h"

namespace net::fake {
namespace {

constexpr std::int32_t kUntouched = -12345;

class Scan : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        OneEthernetPc();
    }

    struct Poll {
        int result;
        std::int32_t status;
        std::int32_t count;
    };

    Poll RunScan() {
        std::int32_t status = kUntouched;
        EXPECT_EQ(1, client.ScanStart(&status));
        EXPECT_EQ(0, status);
        return PollOnce();
    }

    Poll PollOnce() {
        Poll p{0, kUntouched, kUntouched};
        p.result = client.ScanPoll(&p.status, &p.count);
        return p;
    }

    std::string NameOf(int index) {
        char name[kNameTextSize];
        ReadConverterName((&client.DeviceTable())[index], name);
        return name;
    }
};

// Three requests a second apart to the limited broadcast on port 192, the
// interfaces probed before binding, the socket released before the library.
TEST_F(Scan, NothingAnsweringEndsThreeSilentCyclesTimedOut) {
    const Poll p = RunScan();
    EXPECT_EQ(-1, p.result);
    EXPECT_EQ(kErrTimedOut, p.status);
    EXPECT_EQ(0, p.count);
    EXPECT_EQ(3000u, port.nowMs);
    EXPECT_EQ((std::vector<std::uint32_t>{1000, 1000, 1000}), port.waitTimeouts);
    EXPECT_TRUE(port.Balanced()) << port.Report();

    ASSERT_EQ(3u, port.sent.size());
    std::vector<std::uint8_t> request(kDatagramSize, 0);
    request[0] = 1;
    const std::uint8_t port192[2] = {0x00, 0xC0};  // network order
    for (const SentDatagram& d : port.sent) {
        EXPECT_EQ(request, d.bytes);
        EXPECT_EQ(0xFFFFFFFFu, d.address);
        EXPECT_EQ(0, std::memcmp(&d.port, port192, 2));
    }
    EXPECT_EQ((std::vector<std::uint64_t>{0, 1000, 2000}),
              (std::vector<std::uint64_t>{port.sent[0].atMs, port.sent[1].atMs,
                                          port.sent[2].atMs}));
    const std::vector<std::string> calls = {
        "StartThread", "Startup", "OpenUdp", "EnableBroadcast", "ReadInterfaceList",
        "HostAddress", "BindAny", "SendTo", "WaitReadable", "SendTo", "WaitReadable",
        "SendTo", "WaitReadable", "Close", "Cleanup"};
    EXPECT_EQ(calls, port.calls);
}

TEST_F(Scan, ConverterAnsweringEveryRequestIsStoredOnce) {
    port.inbound = {Arrives(DiscoveryReply("ZTL-AX300-G"), 20), Silence(),
                    Arrives(DiscoveryReply("ZTL-AX300-G"), 20), Silence(),
                    Arrives(DiscoveryReply("ZTL-AX300-G"), 20), Silence()};
    const Poll p = RunScan();
    EXPECT_EQ(0, p.result);
    EXPECT_EQ(0, p.status);
    EXPECT_EQ(1, p.count);
    EXPECT_EQ("ZTL-AX300-G", NameOf(0));
    EXPECT_EQ(Ip(192, 168, 0, 50), AddressFromBytes(client.DeviceTable().bytes + 44));
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

TEST_F(Scan, SameIdentityIsStoredOnceFirstAnswerWins) {
    ReplyFields first;
    first.name = "ZTL-AX300-G with a name that runs on past byte 79: one";
    ReplyFields second = first;
    second.name = "ZTL-AX300-G with a name that runs on past byte 79: two";
    second.mac[5] = 0x77;
    second.address[3] = 77;
    ReplyFields third;
    third.name = "ZTL-AX300-GHP";
    port.inbound = {Arrives(Reply(first)), Arrives(Reply(second)), Arrives(Reply(third))};
    const Poll p = RunScan();
    ASSERT_EQ(2, p.count);
    EXPECT_EQ(0x5E, client.DeviceTable().bytes[41]) << "the first to answer is kept";
    EXPECT_EQ(50, client.DeviceTable().bytes[47]);
    EXPECT_EQ("ZTL-AX300-GHP", NameOf(1));
}

TEST_F(Scan, StoresRepliesWholeInArrivalOrder) {
    ReplyFields fields;
    fields.name = "B";
    fields.status = 0x1234;
    auto b = Reply(fields);
    b[20] = 0x99;  // a byte nobody reads is kept as it came
    port.inbound = {Arrives(DiscoveryReply("A")), Arrives(b)};
    ASSERT_EQ(2, RunScan().count);
    EXPECT_EQ("A", NameOf(0));
    EXPECT_EQ(b, std::vector<std::uint8_t>((&client.DeviceTable())[1].bytes,
                                           (&client.DeviceTable())[1].bytes + 116));
}

TEST_F(Scan, DroppedDatagramsAreNotStored) {
    auto wrongProtocol = DiscoveryReply("C");
    wrongProtocol[0] = 2;
    auto shortOne = DiscoveryReply("A");
    shortOne.pop_back();
    ReplyFields assign;
    assign.operation = kAssignReply;
    assign.name = "D";
    port.inbound = {Arrives(shortOne), Arrives(DiscoveryReply("B"), 0, 193),
                    Arrives(wrongProtocol), Arrives(Reply(assign))};
    const Poll p = RunScan();
    EXPECT_EQ(-1, p.result);
    EXPECT_EQ(kErrTimedOut, p.status);
    EXPECT_EQ(0, p.count);
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

TEST_F(Scan, EveryDatagramRestartsTheFullSecondOfSilence) {
    // Dropped datagrams half a second apart keep the first cycle open.
    for (int i = 0; i < 4; ++i) {
        port.inbound.push_back(Arrives(DiscoveryReply("x"), 500, 9999));
    }
    RunScan();
    ASSERT_EQ(3u, port.sent.size());
    EXPECT_EQ(3000u, port.sent[1].atMs) << "4 x 0.5 s of datagrams, then one silent second";
    EXPECT_EQ(std::vector<std::uint32_t>(7, 1000), port.waitTimeouts);
}

TEST_F(Scan, ChattySenderCannotHoldACycleOpenBeyondTenSeconds) {
    for (int i = 0; i < 100; ++i) {
        port.inbound.push_back(Arrives(DiscoveryReply("chatty"), 500));
    }
    const Poll p = RunScan();
    ASSERT_EQ(3u, port.sent.size());
    EXPECT_EQ(10000u, port.sent[1].atMs);
    EXPECT_EQ(20000u, port.sent[2].atMs);
    EXPECT_EQ(30000u, port.nowMs);
    EXPECT_FALSE(port.inbound.empty()) << "the sender was still talking when the scan ended";
    EXPECT_EQ(0, p.result) << "the cycle ends normally; records are kept";
    EXPECT_EQ(1, p.count);
}

TEST_F(Scan, UpperBoundShortensTheLastWaitOfACycle) {
    port.inbound = {Arrives(DiscoveryReply("a"), 999), Arrives(DiscoveryReply("b"), 999)};
    for (int i = 0; i < 8; ++i) {
        port.inbound.push_back(Arrives(DiscoveryReply("slow"), 999));
    }
    port.inbound.push_back(Arrives(DiscoveryReply("late"), 500));
    const Poll p = RunScan();
    // Ten datagrams at 999 ms leave 10 ms of the cycle; the last one, due
    // 500 ms later, is heard in the next cycle.
    ASSERT_GE(port.waitTimeouts.size(), 12u);
    EXPECT_EQ(10u, port.waitTimeouts[10]);
    ASSERT_EQ(3u, port.sent.size());
    EXPECT_EQ(10000u, port.sent[1].atMs);
    EXPECT_EQ(4, p.count) << "a, b, slow and late";
}

TEST_F(Scan, CycleOverrunByASlowReceiveEndsWithoutAnotherWait) {
    // The clock can pass the cycle's bound inside a receive (a busy PC).
    for (int i = 0; i < 9; ++i) {
        port.inbound.push_back(Arrives(DiscoveryReply("a"), 999));
    }
    Inbound slow = Arrives(DiscoveryReply("b"), 999);
    slow.receiveMs = 30;
    port.inbound.push_back(slow);
    port.inbound.push_back(Arrives(DiscoveryReply("c"), 200));
    const Poll p = RunScan();
    ASSERT_EQ(3u, port.sent.size());
    EXPECT_EQ(10020u, port.sent[1].atMs);
    // Ten waits in the first cycle, none after its bound; two in the second
    // (c, then silence), one in the third.
    EXPECT_EQ(std::vector<std::uint32_t>(13, 1000), port.waitTimeouts);
    EXPECT_EQ(3, p.count);
}

TEST_F(Scan, KeepsAtMostSixtyFourConverters) {
    for (int i = 0; i < 70; ++i) {
        port.inbound.push_back(Arrives(DiscoveryReply("unit " + std::to_string(i))));
    }
    const Poll p = RunScan();
    EXPECT_EQ(0, p.result);
    EXPECT_EQ(64, p.count);
    EXPECT_EQ("unit 63", NameOf(63));
    EXPECT_TRUE(port.inbound.empty()) << "the rest were received and dropped";
}

TEST_F(Scan, OverlongDatagramFailsTheScanWithMessageTooLong) {
    port.inbound = {Arrives(DiscoveryReply("kept")), Arrives(std::vector<std::uint8_t>(117, 1))};
    const Poll p = RunScan();
    EXPECT_EQ(-1, p.result);
    EXPECT_EQ(kErrMessageSize, p.status);
    EXPECT_EQ(kUntouched, p.count) << "the count is not written on failure";
    EXPECT_EQ(1, g_scanState.count) << "records stored before the failure stay";
    EXPECT_EQ("kept", NameOf(0));
    EXPECT_EQ(1u, port.sent.size());
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

TEST_F(Scan, HostUnreachableOnSendIsPassedOnAsTheResult) {
    port.sendErrors[0] = kErrHostUnreachable;
    const Poll p = RunScan();
    EXPECT_EQ(kErrHostUnreachable, p.result);
    EXPECT_EQ(kErrHostUnreachable, p.status);
    EXPECT_EQ(kUntouched, p.count);
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

struct FailureCase {
    const char* step;
    void (*arrange)(ScriptedPort&);
    int error;
    bool socketOpened;
    bool libraryStarted;
    std::size_t sends;
};

class ScanFailure : public Scan, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ScanFailure, EndsTheScanWithTheErrorAndReleasesWhatItTook) {
    const FailureCase& c = GetParam();
    c.arrange(port);
    const Poll p = RunScan();
    EXPECT_EQ(-1, p.result);
    EXPECT_EQ(c.error, p.status);
    EXPECT_EQ(0, g_scanState.running.load());
    EXPECT_EQ(c.socketOpened ? 1 : 0, port.socketsOpened);
    EXPECT_EQ(c.libraryStarted ? 1 : 0, port.cleanups);
    EXPECT_EQ(c.sends, port.sent.size());
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

INSTANTIATE_TEST_SUITE_P(
    EachSocketCall, ScanFailure,
    ::testing::Values(
        FailureCase{"library", [](ScriptedPort& p) { p.startupResult = 10091; }, 10091, false,
                    false, 0},
        FailureCase{"socket", [](ScriptedPort& p) { p.openError = 10047; }, 10047, false, true, 0},
        FailureCase{"broadcast", [](ScriptedPort& p) { p.broadcastError = 10042; }, 10042, true,
                    true, 0},
        FailureCase{"interfaceList", [](ScriptedPort& p) { p.listError = 10022; }, 10022, true,
                    true, 0},
        FailureCase{"interfaceListBeyond64KiB",
                    [](ScriptedPort& p) {
                        p.interfaces.assign(kInterfaceListLimitBytes / kInterfaceInfoSize + 1,
                                            InterfaceEntry{kIffUp, Ip(10, 0, 0, 1), Ip(255, 0, 0, 0)});
                    },
                    kErrFault, true, true, 0},
        FailureCase{"bind", [](ScriptedPort& p) { p.bindError = 10048; }, 10048, true, true, 0},
        FailureCase{"secondSend", [](ScriptedPort& p) { p.sendErrors[1] = 10051; }, 10051, true,
                    true, 2},
        FailureCase{"wait", [](ScriptedPort& p) { p.inbound = {WaitFails(10038)}; }, 10038, true,
                    true, 1},
        FailureCase{"receive",
                    [](ScriptedPort& p) { p.inbound = {Silence(), ReceiveFails(10054)}; },
                    10054, true, true, 2}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.step); });

TEST_F(Scan, FailureAfterRepliesReportsTheFailureNotTheRecords) {
    port.inbound = {Arrives(DiscoveryReply("A")), Arrives(DiscoveryReply("B")), Silence(),
                    ReceiveFails(10054)};
    const Poll p = RunScan();
    EXPECT_EQ(-1, p.result);
    EXPECT_EQ(10054, p.status);
    EXPECT_EQ(kUntouched, p.count);
    EXPECT_EQ(2, g_scanState.count);
}

TEST_F(Scan, PollBeforeTheWorkerRunsSeesTheScanRunning) {
    port.threads = ScriptedPort::Threads::kDeferred;
    const Poll p = RunScan();
    EXPECT_EQ(1, p.result);
    EXPECT_EQ(1, p.status);
    EXPECT_EQ(kUntouched, p.count);
    port.inbound = {Arrives(DiscoveryReply("A"))};
    port.RunDeferredThread();
    const Poll done = PollOnce();
    EXPECT_EQ(0, done.result);
    EXPECT_EQ(1, done.count);
}

TEST_F(Scan, StartResetsWhatTheLastScanLeft) {
    port.inbound = {Arrives(DiscoveryReply("A")), ReceiveFails(10054)};
    RunScan();
    ASSERT_EQ(10054, g_scanState.lastError);
    port.threads = ScriptedPort::Threads::kDeferred;
    RunScan();
    EXPECT_EQ(1, g_scanState.running.load());
    EXPECT_EQ(0, g_scanState.lastError);
    EXPECT_EQ(0, g_scanState.count);
    port.RunDeferredThread();
    EXPECT_EQ(-1, PollOnce().result);
    EXPECT_EQ(kErrTimedOut, PollOnce().status);
}

TEST_F(Scan, WorkerThatCannotStartEndsTheScanAsAPlainFailure) {
    port.threads = ScriptedPort::Threads::kRefused;
    const Poll p = RunScan();
    EXPECT_EQ(-1, p.result);
    EXPECT_EQ(kErrThreadStart, p.status);
    EXPECT_NE(kErrHostUnreachable, p.status);
    EXPECT_EQ(0, port.startups) << "no socket work without the worker";
}

TEST_F(Scan, ResultsHandOverFromARealWorkerThread) {
    port.threads = ScriptedPort::Threads::kReal;
    for (int i = 0; i < 20; ++i) {
        port.inbound.push_back(Arrives(DiscoveryReply("unit " + std::to_string(i))));
    }
    std::int32_t status = 0;
    client.ScanStart(&status);
    std::int32_t count = 0;
    int result;
    while ((result = client.ScanPoll(&status, &count)) == 1) {
        std::this_thread::yield();
    }
    EXPECT_EQ(0, result);
    ASSERT_EQ(20, count);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ("unit " + std::to_string(i), NameOf(i));
    }
    port.JoinThread();
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

TEST_F(Scan, NoScanYetPollsAsNothingAnswered) {
    const Poll p = PollOnce();
    EXPECT_EQ(-1, p.result);
    EXPECT_EQ(kErrTimedOut, p.status);
    EXPECT_EQ(0, p.count);
}

TEST_F(Scan, TableAccessorIsTheFirstOfTheProcessWideRecords) {
    EXPECT_EQ(&g_deviceTable[0], &client.DeviceTable());
    DiscoveryClient other;
    EXPECT_EQ(&client.DeviceTable(), &other.DeviceTable());
}

}  // namespace
}  // namespace net::fake
