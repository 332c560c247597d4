#include "net/discovery_client.h"

#include <cstring>
#include <vector>

#include "net/address_text.h"
#include "net/datagram.h"
#include "net/exchange.h"
#include "net/interface_probe.h"
#include "net/socket_guard.h"

namespace net {

namespace {

constexpr std::int32_t kStatusRunning = 1;

// Stores a discovery reply unless the same converter is already in the table
// or the table is full.
void StoreDistinct(const Datagram& reply) {
    const std::int32_t count = g_scanState.count;
    for (std::int32_t i = 0; i < count; ++i) {
        if (SameIdentity(g_deviceTable[i].bytes, reply)) {
            return;
        }
    }
    if (count < kDeviceTableCapacity) {
        std::memcpy(g_deviceTable[count].bytes, reply, kDatagramSize);
        g_scanState.count = count + 1;
    }
}

// One scan from library start to the last cycle. Returns 0 or the error
// number that ended it; the socket and the library are released on return.
int RunScan(SocketPort& port) {
    SocketLibrary library(port);
    if (!library.started()) {
        return library.error();
    }
    UdpSocket socket(port);
    if (!socket.is_open()) {
        return FailureCode(port);
    }
    if (port.EnableBroadcast(socket.get()) != 0) {
        return FailureCode(port);
    }
    if (const int error =
            InterfaceProbe(port, socket.get(), g_probeResult.address, g_probeResult.netmask)) {
        return error;
    }
    if (port.BindAny(socket.get()) != 0) {
        return FailureCode(port);
    }
    g_scanState.count = 0;
    Datagram request;
    BuildDiscoveryRequest(request);
    return RunCycles(port, socket.get(), request, kDiscoveryReply, StoreDistinct);
}

void ScanWorker() {
    const int error = RunScan(ActivePort());
    // Records and the error are published by the flag's release: a flow reads
    // them only after it has seen the flag clear.
    g_scanState.lastError = error;
    g_scanState.running.store(0, std::memory_order_release);
}

}  // namespace

int DiscoveryClient::ScanStart(std::int32_t* status) {
    g_scanState.lastError = 0;
    g_scanState.count = 0;
    g_scanState.running.store(1, std::memory_order_release);
    if (!ActivePort().StartThread(&ScanWorker)) {
        // Nobody would ever clear the flag: end the scan as failed here.
        g_scanState.lastError = kErrThreadStart;
        g_scanState.running.store(0, std::memory_order_release);
    }
    if (status != nullptr) {
        *status = 0;
    }
    return 1;
}

int DiscoveryClient::ScanPoll(std::int32_t* status, std::int32_t* count) {
    std::int32_t dummyStatus = 0;
    std::int32_t& statusOut = status != nullptr ? *status : dummyStatus;
    if (g_scanState.running.load(std::memory_order_acquire) != 0) {
        statusOut = kStatusRunning;
        return 1;
    }
    const std::int32_t error = g_scanState.lastError;
    if (error == kErrHostUnreachable) {
        statusOut = error;
        return kErrHostUnreachable;
    }
    if (error != 0) {
        statusOut = error;
        return -1;
    }
    const std::int32_t found = g_scanState.count;
    if (found > 0) {
        statusOut = 0;
        if (count != nullptr) {
            *count = found;
        }
        return 0;
    }
    statusOut = kErrTimedOut;
    if (count != nullptr) {
        *count = 0;
    }
    return -1;
}

DeviceRecord& DiscoveryClient::DeviceTable() {
    return g_deviceTable[0];
}

int DiscoveryClient::AssignExchange(const char* newAddress, const char* macText) {
    if (newAddress == nullptr || macText == nullptr) {
        return 0;
    }
    SocketPort& port = ActivePort();
    SocketLibrary library(port);
    if (!library.started()) {
        return 0;
    }
    UdpSocket socket(port);
    if (!socket.is_open() || port.EnableBroadcast(socket.get()) != 0) {
        return 0;
    }
    // Only the probe's failure matters here; what it finds is thrown away so
    // that the scan's probe result stays as the scan left it.
    char address[kAddressTextSize] = "";
    char netmask[kAddressTextSize] = "";
    if (InterfaceProbe(port, socket.get(), address, netmask) != 0) {
        return 0;
    }
    if (port.BindAny(socket.get()) != 0) {
        return 0;
    }
    g_scanState.count = 0;

    std::uint8_t mac[kMacLength];
    ParseMacText(macText, mac);
    Datagram request;
    BuildAssignRequest(request, mac, InetAddr(newAddress));

    // Only an accepted reply speaks for the converter; the most recent one
    // decides. A stray datagram that fails acceptance never does.
    bool tookAddress = false;
    const int error = RunCycles(port, socket.get(), request, kAssignReply,
                                [&tookAddress](const Datagram& reply) {
                                    const std::int32_t count = g_scanState.count;
                                    if (count < kDeviceTableCapacity) {
                                        std::memcpy(g_deviceTable[count].bytes, reply,
                                                    kDatagramSize);
                                        g_scanState.count = count + 1;
                                    }
                                    tookAddress = reply[kStatusOffset] == 0x00 &&
                                                  reply[kStatusOffset + 1] == 0x01;
                                });
    return (error == 0 && tookAddress) ? 1 : 0;
}

int DiscoveryClient::SubnetTest(char* address, char* netmask, const char* target) {
    SocketPort& port = ActivePort();
    SocketLibrary library(port);
    if (!library.started()) {
        return -1;
    }
    UdpSocket socket(port);
    if (!socket.is_open() || port.EnableBroadcast(socket.get()) != 0) {
        return -1;
    }
    std::vector<InterfaceEntry> entries;
    if (ReadInterfaces(port, socket.get(), entries) != 0) {
        return -1;
    }
    const std::uint32_t targetValue = target != nullptr ? InetAddr(target) : 0;
    // Exactly the flags Windows gives its loopback entry; any other entry is
    // tested, whatever its flags or address.
    constexpr std::uint32_t kWindowsLoopbackFlags =
        kIffUp | kIffBroadcast | kIffLoopback | kIffMulticast;
    for (const InterfaceEntry& entry : entries) {
        if (entry.flags == kWindowsLoopbackFlags) {
            continue;
        }
        if (address != nullptr) {
            FormatInAddr(entry.address, address);
        }
        if (netmask != nullptr) {
            FormatInAddr(entry.netmask, netmask);
        }
        if (target != nullptr && (entry.netmask & targetValue) == (entry.netmask & entry.address)) {
            return 1;
        }
    }
    return 0;
}

}  // namespace net
