// Shared set-up of the protocol tests: a scripted port installed as the
// active port, and the process-wide protocol state back at its start values.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "net/device_table.h"
#include "net/discovery_client.h"
#include "tests/host/net/scripted_port.h"

namespace net::fake {

class NetTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(g_deviceTable, 0, sizeof g_deviceTable);
        g_scanState.running.store(0);
        g_scanState.lastError = 0;
        g_scanState.count = 0;
        std::memset(&g_probeResult, 0, sizeof g_probeResult);
        SetActivePort(&port);
    }
    void TearDown() override {
        port.JoinThread();
        SetActivePort(nullptr);
    }

    // The PC of most tests: one Ethernet interface 192.168.0.2/24 and the
    // Windows loopback entry.
    void OneEthernetPc() {
        port.interfaces = {
            {kIffUp | kIffBroadcast | kIffMulticast, Ip(192, 168, 0, 2), Ip(255, 255, 255, 0)},
            {0x17, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)},
        };
        port.hostAddress = Ip(192, 168, 0, 2);
    }

    ScriptedPort port;
    DiscoveryClient client;
};

}  // namespace net::fake
