// The PC's interface list: reading it whole, the InterfaceProbe that keeps the
// PC's own address and netmask, and the SubnetTest.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/interface_probe.h"
#include "tests/host/net/net_fixture.h"

namespace net::fake {
namespace {

constexpr std::uint32_t kEthernet = kIffUp | kIffBroadcast | kIffMulticast;
constexpr std::uint32_t kWindowsLoopback = 0x17;

InterfaceEntry Entry(std::uint32_t flags, std::uint32_t address, std::uint32_t netmask) {
    return InterfaceEntry{flags, address, netmask};
}

class Subnet : public NetTest {
protected:
    // Texts start with a marker so that "unchanged" is visible.
    char address[kAddressTextSize] = "unchanged";
    char netmask[kAddressTextSize] = "unchanged";
};

// Which entry holds the target, and whose texts the caller gets back.
TEST_F(Subnet, ReportsTheHoldingOrLastTestedEntry) {
    const std::vector<InterfaceEntry> ethernetPc = {
        Entry(kEthernet, Ip(192, 168, 0, 2), Ip(255, 255, 255, 0)),
        Entry(kWindowsLoopback, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0))};
    struct Case {
        const char* what;
        std::vector<InterfaceEntry> interfaces;
        const char* target;
        int result;
        const char* address;
        const char* netmask;
    };
    const Case cases[] = {
        {"converter in the ethernet subnet", ethernetPc, "192.168.0.50", 1, "192.168.0.2",
         "255.255.255.0"},
        {"converter elsewhere: the 0x17 loopback is skipped, the last tested entry reported",
         ethernetPc, "192.168.1.50", 0, "192.168.0.2", "255.255.255.0"},
        {"no target", ethernetPc, nullptr, 0, "192.168.0.2", "255.255.255.0"},
        {"loopback with other flags is tested like any entry",
         {Entry(0x15, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)), ethernetPc[0]}, "127.0.0.5", 1,
         "127.0.0.1", "255.0.0.0"},
        {"flags beyond 0x17 are not exactly 0x17",
         {Entry(0x1F, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)), ethernetPc[0]}, "127.0.0.5", 1,
         "127.0.0.1", "255.0.0.0"},
        {"netmask 0.0.0.0 holds every target",
         {Entry(kEthernet, Ip(0, 0, 0, 0), Ip(0, 0, 0, 0)), ethernetPc[0]}, "10.9.8.7", 1,
         "0.0.0.0", "0.0.0.0"},
        {"target in the second interface",
         {ethernetPc[0], Entry(kEthernet, Ip(10, 1, 2, 3), Ip(255, 255, 0, 0)),
          Entry(kEthernet, Ip(172, 16, 0, 1), Ip(255, 240, 0, 0))},
         "10.1.200.9", 1, "10.1.2.3", "255.255.0.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        port.interfaces = c.interfaces;
        std::strcpy(address, "unchanged");
        std::strcpy(netmask, "unchanged");
        EXPECT_EQ(c.result, client.SubnetTest(address, netmask, c.target));
        EXPECT_STREQ(c.address, address);
        EXPECT_STREQ(c.netmask, netmask);
        EXPECT_TRUE(port.Balanced()) << port.Report();
    }
}

TEST_F(Subnet, NothingToTestLeavesTheTextsAlone) {
    port.interfaces = {Entry(kWindowsLoopback, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0))};
    EXPECT_EQ(0, client.SubnetTest(address, netmask, "127.0.0.1"));
    EXPECT_STREQ("unchanged", address);
    port.interfaces.clear();
    EXPECT_EQ(0, client.SubnetTest(address, netmask, "127.0.0.1"));
    EXPECT_STREQ("unchanged", address);
    EXPECT_STREQ("unchanged", netmask);
}

TEST_F(Subnet, ElevenInterfacesAreReadWholeInTheirOrder) {
    for (int i = 0; i < 11; ++i) {
        port.interfaces.push_back(Entry(kEthernet, Ip(10, i, 0, 1), Ip(255, 255, 0, 0)));
    }
    EXPECT_EQ(1, client.SubnetTest(address, netmask, "10.10.3.3"));
    EXPECT_STREQ("10.10.0.1", address);
    EXPECT_EQ((std::vector<std::size_t>{760, 1520}), port.listBufferSizes);
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

TEST_F(Subnet, NullOutputTextsAreNotWritten) {
    OneEthernetPc();
    EXPECT_EQ(1, client.SubnetTest(nullptr, nullptr, "192.168.0.9"));
}

struct SubnetFailure {
    const char* step;
    void (*arrange)(ScriptedPort&);
    int cleanups;
    int socketsOpened;
};

class SubnetFails : public Subnet, public ::testing::WithParamInterface<SubnetFailure> {};

TEST_P(SubnetFails, GivesMinusOneTextsUntouchedEverythingReleased) {
    OneEthernetPc();
    GetParam().arrange(port);
    EXPECT_EQ(-1, client.SubnetTest(address, netmask, "192.168.0.50"));
    EXPECT_STREQ("unchanged", address);
    EXPECT_STREQ("unchanged", netmask);
    EXPECT_EQ(GetParam().cleanups, port.cleanups);
    EXPECT_EQ(GetParam().socketsOpened, port.socketsOpened);
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, SubnetFails,
    ::testing::Values(
        SubnetFailure{"library", [](ScriptedPort& p) { p.startupResult = 10091; }, 0, 0},
        SubnetFailure{"socket", [](ScriptedPort& p) { p.openError = 10047; }, 1, 0},
        SubnetFailure{"broadcast", [](ScriptedPort& p) { p.broadcastError = 10042; }, 1, 1},
        SubnetFailure{"interfaceList", [](ScriptedPort& p) { p.listError = 10022; }, 1, 1},
        SubnetFailure{"listBeyond64KiB",
                      [](ScriptedPort& p) {
                          p.interfaces.assign(863, Entry(kEthernet, Ip(10, 0, 0, 1),
                                                         Ip(255, 0, 0, 0)));
                      },
                      1, 1}),
    [](const ::testing::TestParamInfo<SubnetFailure>& info) {
        return std::string(info.param.step);
    });

class InterfaceList : public NetTest {
protected:
    int Read(std::vector<InterfaceEntry>& entries) {
        SocketHandle s = port.OpenUdp();
        const int error = ReadInterfaces(port, s, entries);
        port.Close(s);
        return error;
    }
};

TEST_F(InterfaceList, BufferDoublesUpTo64KiB) {
    port.interfaces.assign(862, Entry(kEthernet, Ip(10, 0, 0, 1), Ip(255, 0, 0, 0)));
    port.interfaces.back().address = Ip(10, 0, 3, 4);
    std::vector<InterfaceEntry> entries;
    EXPECT_EQ(0, Read(entries));
    ASSERT_EQ(862u, entries.size());
    EXPECT_EQ(Ip(10, 0, 3, 4), entries.back().address);
    EXPECT_EQ((std::vector<std::size_t>{760, 1520, 3040, 6080, 12160, 24320, 48640, 65536}),
              port.listBufferSizes);
}

TEST_F(InterfaceList, MoreThan64KiBFailsWithFault) {
    port.interfaces.assign(863, Entry(kEthernet, Ip(10, 0, 0, 1), Ip(255, 0, 0, 0)));
    std::vector<InterfaceEntry> entries;
    EXPECT_EQ(kErrFault, Read(entries));
    EXPECT_EQ(65536u, port.listBufferSizes.back());
    EXPECT_TRUE(entries.empty());
}

TEST_F(InterfaceList, OtherErrorsAreNotRetried) {
    port.listError = 10022;
    std::vector<InterfaceEntry> entries;
    EXPECT_EQ(10022, Read(entries));
    EXPECT_EQ(1u, port.listBufferSizes.size());
}

TEST_F(InterfaceList, FlagsAndOrderAreKept) {
    port.interfaces = {Entry(0x17, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)),
                       Entry(0x0B, Ip(10, 8, 0, 1), Ip(255, 255, 255, 255)),
                       Entry(kEthernet, Ip(192, 168, 0, 2), Ip(255, 255, 255, 0))};
    std::vector<InterfaceEntry> entries;
    ASSERT_EQ(0, Read(entries));
    ASSERT_EQ(3u, entries.size());
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(port.interfaces[i].flags, entries[i].flags);
        EXPECT_EQ(port.interfaces[i].address, entries[i].address);
        EXPECT_EQ(port.interfaces[i].netmask, entries[i].netmask);
    }
}

// The probe as a scan runs it: its texts are the process-wide probe result.
class Probe : public NetTest {
protected:
    int Scan() {
        std::int32_t status = 0;
        client.ScanStart(&status);
        std::int32_t count = 0;
        return client.ScanPoll(&status, &count);
    }
    std::string Address() const { return g_probeResult.address; }
    std::string Netmask() const { return g_probeResult.netmask; }
};

// A candidate is an entry that is up, not loopback, and holds the host's
// address (never 0.0.0.0); the first with a usable mask gives both texts, a
// host mask updates only the address, and no candidate leaves both alone.
// None of this stops the scan.
TEST_F(Probe, KeepsTheTextsOfTheFirstCandidateWithAUsableMask) {
    const std::uint32_t host = Ip(192, 168, 0, 2);
    struct Case {
        const char* what;
        std::vector<InterfaceEntry> interfaces;
        std::uint32_t hostAddress;
        const char* address;
        const char* netmask;
    };
    const Case cases[] = {
        {"the host address interface among others",
         {Entry(0x17, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)),
          Entry(kEthernet, Ip(10, 0, 0, 9), Ip(255, 0, 0, 0)),
          Entry(kEthernet, host, Ip(255, 255, 255, 0))},
         host, "192.168.0.2", "255.255.255.0"},
        {"a host mask updates only the address",
         {Entry(kEthernet, host, Ip(255, 255, 255, 255))}, host, "192.168.0.2", "255.0.0.0"},
        {"the walk goes on past a maskless candidate",
         {Entry(kEthernet, host, Ip(0, 0, 0, 0)), Entry(kEthernet, host, Ip(255, 255, 255, 128)),
          Entry(kEthernet, host, Ip(255, 255, 0, 0))},
         host, "192.168.0.2", "255.255.255.128"},
        {"down, loopback or another address: no candidate",
         {Entry(kIffBroadcast, host, Ip(255, 255, 255, 0)),
          Entry(kIffUp | kIffLoopback, host, Ip(255, 255, 255, 0)),
          Entry(kEthernet, Ip(192, 168, 0, 3), Ip(255, 255, 255, 0))},
         host, "10.0.0.1", "255.0.0.0"},
        {"0.0.0.0 is never the PC's address",
         {Entry(kEthernet, 0, Ip(255, 255, 255, 0))}, 0, "10.0.0.1", "255.0.0.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::strcpy(g_probeResult.address, "10.0.0.1");
        std::strcpy(g_probeResult.netmask, "255.0.0.0");
        port.interfaces = c.interfaces;
        port.hostAddress = c.hostAddress;
        port.sent.clear();
        EXPECT_EQ(-1, Scan()) << "the scan goes on and ends normally";
        EXPECT_EQ(3u, port.sent.size());
        EXPECT_EQ(c.address, Address());
        EXPECT_EQ(c.netmask, Netmask());
    }
}

TEST_F(Probe, UnknownHostNameFindsNoCandidateAndTheScanGoesOn) {
    OneEthernetPc();
    port.hostKnown = false;
    EXPECT_EQ(-1, Scan());
    EXPECT_EQ(0, g_scanState.lastError);
    EXPECT_EQ("", Address());
    EXPECT_EQ(3u, port.sent.size());
}

TEST_F(Probe, LaterScanWithoutCandidateKeepsTheEarlierTexts) {
    OneEthernetPc();
    Scan();
    ASSERT_EQ("192.168.0.2", Address());
    port.hostAddress = Ip(172, 16, 0, 1);
    Scan();
    EXPECT_EQ("192.168.0.2", Address());
    EXPECT_EQ("255.255.255.0", Netmask());
}

TEST_F(Probe, FailedListLeavesTheProbeResultAlone) {
    std::strcpy(g_probeResult.address, "10.0.0.1");
    port.listError = 10022;
    EXPECT_EQ(-1, Scan());
    EXPECT_EQ("10.0.0.1", Address());
}

}  // namespace
}  // namespace net::fake
