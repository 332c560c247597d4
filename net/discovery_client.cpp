#include "net/discovery_client.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "net/address_text.h"
#include "net/datagram.h"
#include "net/exchange.h"
#include "net/interface_probe.h"
#include "net/scan_report.h"
#include "net/socket_guard.h"

namespace net {

namespace {

constexpr std::int32_t kStatusRunning = 1;

// Appends a reply to the table with the link that heard it, while there is room.
void AppendRecord(const Datagram& reply, const Link& heardOn) {
    const std::int32_t count = g_scanState.count;
    if (count < kDeviceTableCapacity) {
        StoreRecord(count, reply, heardOn);
        g_scanState.count = count + 1;
    }
}

bool SameLink(const Link& a, const Link& b) {
    return a.known == b.known && a.address == b.address && a.netmask == b.netmask;
}

bool SameMac(const std::uint8_t* a, const std::uint8_t* b) {
    return std::memcmp(a + kMacOffset, b + kMacOffset, kMacLength) == 0;
}

// Whether the link's subnet holds the address (network order).
bool Holds(const Link& link, std::uint32_t address) {
    return link.known && (link.netmask & address) == (link.netmask & link.address);
}

// Stores a discovery reply unless the same converter is already in the table
// or the table is full. On one link a converter is its identity (bytes
// 48..79); across links two converters may share a name, so there the MAC
// must match too. A converter heard again through a link whose subnet holds
// its address, where its stored link's does not, takes that link: it is the
// way the PC reaches it without a new address.
void StoreDistinct(const Datagram& reply, const Link& heardOn) {
    const std::int32_t count = g_scanState.count;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint8_t* stored = g_deviceTable[i].bytes;
        if (!SameIdentity(stored, reply)) continue;
        Link& storedLink = g_recordLinks[i];
        if (!SameLink(storedLink, heardOn) && !SameMac(stored, reply)) continue;
        std::uint32_t address;
        std::memcpy(&address, stored + kAddressOffset, sizeof address);
        if (!Holds(storedLink, address) && Holds(heardOn, address)) {
            storedLink = heardOn;
        }
        return;
    }
    AppendRecord(reply, heardOn);
}

// The links to scan through: every up, broadcast-capable interface that is
// not loopback and has an address, each address once, in the list's order.
std::vector<Link> BroadcastLinks(const std::vector<InterfaceEntry>& entries) {
    std::vector<Link> links;
    for (const InterfaceEntry& entry : entries) {
        const bool usable = (entry.flags & kIffUp) != 0 && (entry.flags & kIffBroadcast) != 0 &&
                            (entry.flags & kIffLoopback) == 0 && entry.address != 0;
        const bool seen = std::any_of(links.begin(), links.end(), [&entry](const Link& link) {
            return link.address == entry.address;
        });
        if (usable && !seen && links.size() < kMaxLinks) {
            links.push_back(Link{true, entry.address, entry.netmask});
        }
    }
    return links;
}

// One socket bound to each link, the first of them the socket that read the
// list, each with its report in the scan report. A link whose socket cannot be
// opened or bound is left out, its report saying why. A PC without any link
// gets that socket unbound, and the routes choose where its broadcast goes.
// Returns the error of the last step that failed (0 if none).
int OpenLinkSockets(SocketPort& port, UdpSocket listSocket,
                    const std::vector<InterfaceEntry>& entries, std::vector<LinkSocket>& sockets) {
    std::vector<Link> links = BroadcastLinks(entries);
    const bool unbound = links.empty();
    if (unbound) {
        links.push_back(Link{});
    }
    int error = 0;
    for (const Link& link : links) {
        LinkReport& report = g_scanReport.links[g_scanReport.linkCount++];
        report = LinkReport{};
        report.link = link;
        const bool first = listSocket.is_open();
        UdpSocket socket = first ? std::move(listSocket) : UdpSocket(port);
        if (!socket.is_open() || (!first && port.EnableBroadcast(socket.get()) != 0) ||
            (unbound ? port.BindAny(socket.get())
                     : port.BindToInterface(socket.get(), link.address)) != 0) {
            error = FailureCode(port);
            report.sendError = error;
            continue;
        }
        sockets.push_back(LinkSocket{std::move(socket), link, &report});
    }
    return error;
}

// One scan from library start to the last cycle. Returns 0 or the error
// number that ended it; the sockets, then the library, are released on return.
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
    std::vector<InterfaceEntry> entries;
    if (const int error = InterfaceProbe(port, socket.get(), g_probeResult.address,
                                         g_probeResult.netmask, &entries)) {
        return error;
    }
    std::vector<LinkSocket> sockets;
    const int error = OpenLinkSockets(port, std::move(socket), entries, sockets);
    if (sockets.empty()) {
        return error;
    }
    g_scanState.count = 0;
    Datagram request;
    BuildDiscoveryRequest(request);
    return RunCycles(port, sockets, request, kDiscoveryReply, StoreDistinct);
}

void ScanWorker() {
    int error = 0;
    // Nothing may unwind out of the thread. What was allocated is released
    // on the way here, sockets and library included.
    try {
        error = RunScan(ActivePort());
    } catch (const std::bad_alloc&) {
        error = kErrNoBuffers;
    }
    // Records and the error are published by the flag's release: a flow reads
    // them only after it has seen the flag clear.
    g_scanState.lastError = error;
    g_scanState.running.store(0, std::memory_order_release);
}

}  // namespace

int DiscoveryClient::ScanStart(std::int32_t* status) {
    g_scanState.lastError = 0;
    g_scanState.count = 0;
    // A scan that never reaches a link must not show the last one's.
    g_scanReport.linkCount = 0;
    g_scanState.running.store(1, std::memory_order_release);
    if (!ActivePort().StartThread(&ScanWorker)) {
        // Nobody would ever clear the flag: end the scan as failed here, as
        // the system's want of resources.
        g_scanState.lastError = kErrNoBuffers;
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

namespace {

// The exchange behind AssignExchange; its report says how it ended.
AssignReport RunAssign(SocketPort& port, const char* newAddress, const char* macText,
                       const Link& link) {
    const auto failed = [](int error) { return AssignReport{AssignOutcome::kFailed, error}; };
    SocketLibrary library(port);
    if (!library.started()) {
        return failed(library.error());
    }
    UdpSocket socket(port);
    if (!socket.is_open() || port.EnableBroadcast(socket.get()) != 0) {
        return failed(FailureCode(port));
    }
    // Only the probe's failure matters here; what it finds is thrown away so
    // that the scan's probe result stays as the scan left it.
    char address[kAddressTextSize] = "";
    char netmask[kAddressTextSize] = "";
    if (const int error = InterfaceProbe(port, socket.get(), address, netmask)) {
        return failed(error);
    }
    // Through the link that heard the converter: a request the routes send
    // elsewhere would never reach it.
    const int bound = link.known ? port.BindToInterface(socket.get(), link.address)
                                 : port.BindAny(socket.get());
    if (bound != 0) {
        return failed(FailureCode(port));
    }
    g_scanState.count = 0;

    std::uint8_t mac[kMacLength];
    ParseMacText(macText, mac);
    Datagram request;
    BuildAssignRequest(request, mac, InetAddr(newAddress));

    LinkReport tally;
    std::vector<LinkSocket> sockets;
    sockets.push_back(LinkSocket{std::move(socket), link, &tally});
    // Only an accepted reply speaks for the converter; the most recent one
    // decides. A stray datagram that fails acceptance never does.
    bool tookAddress = false;
    const int error = RunCycles(port, sockets, request, kAssignReply,
                                [&tookAddress](const Datagram& reply, const Link& heardOn) {
                                    AppendRecord(reply, heardOn);
                                    tookAddress = reply[kStatusOffset] == 0x00 &&
                                                  reply[kStatusOffset + 1] == 0x01;
                                });
    if (error != 0) {
        return failed(error);
    }
    if (tally.accepted == 0) {
        return AssignReport{AssignOutcome::kNoAnswer, 0};
    }
    return AssignReport{tookAddress ? AssignOutcome::kTaken : AssignOutcome::kRefused, 0};
}

}  // namespace

int DiscoveryClient::AssignExchange(const char* newAddress, const char* macText,
                                    const Link& link, AssignReport* report) {
    const AssignReport outcome =
        newAddress == nullptr || macText == nullptr
            ? AssignReport{AssignOutcome::kFailed, kErrUnknown}
            : RunAssign(ActivePort(), newAddress, macText, link);
    if (report != nullptr) {
        *report = outcome;
    }
    return outcome.outcome == AssignOutcome::kTaken ? 1 : 0;
}

int DiscoveryClient::SubnetTest(char* address, char* netmask, const char* target,
                                const Link& link) {
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
    if (link.known) {
        // The converter was heard through this link: whether it shares the
        // PC's subnet is a question about this link alone, so it is the one
        // entry walked.
        entries.assign(1, InterfaceEntry{kIffUp | kIffBroadcast, link.address, link.netmask});
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
