#include "tests/host/net/scripted_port.h"

#include <algorithm>
#include <cstring>

#include "net/address_text.h"
#include <new>

namespace net::fake {

std::string ScriptedPort::Report() const {
    std::string out = "startups " + std::to_string(startups) + ", cleanups " +
                      std::to_string(cleanups) + ", open sockets " +
                      std::to_string(openSockets.size());
    for (const std::string& m : misuse) out += "\nmisuse: " + m;
    return out;
}

int ScriptedPort::Call(const char* name, SocketHandle socket, int error) {
    if (socket != kInvalidSocket && openSockets.count(socket) == 0) {
        misuse.push_back(std::string(name) + " on a socket that is not open");
        return Fail(10038);  // WSAENOTSOCK
    }
    lastError_ = error;
    return error != 0 ? -1 : 0;
}

int ScriptedPort::Startup() {
    if (startupResult == 0) ++startups;
    return startupResult;
}

void ScriptedPort::Cleanup() {
    Call("Cleanup", kInvalidSocket, 0);
    if (++cleanups > startups) misuse.push_back("Cleanup without Startup");
}

SocketHandle ScriptedPort::OpenUdp() {
    if (startups <= cleanups) misuse.push_back("OpenUdp without the library");
    const auto failure = openErrors.find(opens_++);
    if (Call("OpenUdp", kInvalidSocket, failure != openErrors.end() ? failure->second : openError) != 0) {
        return kInvalidSocket;
    }
    openSockets.insert(nextHandle_);
    return nextHandle_++;
}

int ScriptedPort::ReadInterfaceList(SocketHandle socket, std::size_t bufferBytes,
                                    InterfaceEntry* entries, std::size_t* count) {
    listBufferSizes.push_back(bufferBytes);
    if (listOutOfMemory) throw std::bad_alloc();
    if (Call("ReadInterfaceList", socket, listError) != 0) return -1;
    if (interfaces.size() > bufferBytes / kInterfaceInfoSize) return Fail(kErrFault);
    std::copy(interfaces.begin(), interfaces.end(), entries);
    *count = interfaces.size();
    return 0;
}

int ScriptedPort::HostAddress(std::uint32_t* address) {
    // 11001: WSAHOST_NOT_FOUND
    if (Call("HostAddress", kInvalidSocket, hostKnown ? 0 : 11001) != 0) return -1;
    *address = hostAddress;
    return 0;
}

int ScriptedPort::BindToInterface(SocketHandle socket, std::uint32_t address) {
    const auto failure = bindErrorsAt.find(address);
    if (Call("BindToInterface", socket, failure != bindErrorsAt.end() ? failure->second : bindError)) {
        return -1;
    }
    boundTo_[socket] = address;
    return 0;
}

int ScriptedPort::SendTo(SocketHandle socket, const std::uint8_t* data, std::size_t length,
                         std::uint32_t address, std::uint16_t port) {
    if (beforeSend) beforeSend();
    const auto failure = sendErrors.find(sent.size());
    const auto bound = boundTo_.find(socket);
    sent.push_back(SentDatagram{bound != boundTo_.end() ? bound->second : 0u,
                                {data, data + length}, address, port, nowMs});
    if (Call("SendTo", socket, failure != sendErrors.end() ? failure->second : 0) != 0) return -1;
    return static_cast<int>(length);
}

int ScriptedPort::WaitReadable(const SocketHandle* sockets, std::size_t count,
                               std::uint32_t timeoutMs, std::uint8_t* ready) {
    if (count == 0) misuse.push_back("WaitReadable on no socket");
    for (std::size_t i = 0; i < count; ++i) {
        if (Call("WaitReadable", sockets[i], 0) != 0) return -1;
    }
    Inbound* next = inbound.empty() ? nullptr : &inbound.front();
    if (next != nullptr && next->kind == Inbound::Kind::kWaitFails) {
        const int error = next->error;
        inbound.pop_front();
        return Fail(error);
    }
    if (next != nullptr && next->kind != Inbound::Kind::kSilence && next->delayMs < timeoutMs) {
        std::size_t at = 0;
        while (next->on != 0 && at < count &&
               !(boundTo_.count(sockets[at]) && boundTo_.at(sockets[at]) == next->on)) {
            ++at;
        }
        if (at == count) {
            misuse.push_back("a datagram arrives through a link that is not waited on");
            return Fail(10022);
        }
        nowMs += std::exchange(next->delayMs, 0u);
        readyOn_ = sockets[at];
        ready[at] = 1;
        return 1;
    }
    // Nothing within this wait: a datagram due later comes the sooner for the next.
    nowMs += timeoutMs;
    if (next != nullptr && next->kind == Inbound::Kind::kSilence) {
        inbound.pop_front();
    } else if (next != nullptr) {
        next->delayMs -= timeoutMs;
    }
    return 0;
}

int ScriptedPort::ReceiveFrom(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity,
                              std::uint16_t* senderPort) {
    if (Call("ReceiveFrom", socket, 0) != 0) return -1;
    if (inbound.empty() || inbound.front().delayMs != 0 || socket != readyOn_ ||
        inbound.front().kind == Inbound::Kind::kSilence ||
        inbound.front().kind == Inbound::Kind::kWaitFails) {
        misuse.push_back("ReceiveFrom with nothing to read");  // a real one would block
        return Fail(10035);  // WSAEWOULDBLOCK
    }
    const Inbound next = std::move(inbound.front());
    inbound.pop_front();
    readyOn_ = kInvalidSocket;
    nowMs += next.receiveMs;
    std::copy_n(next.bytes.begin(), std::min(next.bytes.size(), capacity), buffer);
    if (next.kind == Inbound::Kind::kReceiveFails) return Fail(next.error);
    // Like Winsock: a datagram longer than the buffer fills it and fails.
    if (next.bytes.size() > capacity) return Fail(kErrMessageSize);
    *senderPort = next.senderPort;
    return static_cast<int>(next.bytes.size());
}

void ScriptedPort::Close(SocketHandle socket) {
    Call("Close", kInvalidSocket, 0);
    if (openSockets.erase(socket) == 0) misuse.push_back("Close of a socket that is not open");
}

ConnectOutcome ScriptedPort::TryConnect(std::uint32_t from, std::uint32_t address,
                                        std::uint16_t port, std::uint32_t timeoutMs) {
    if (startups <= cleanups) misuse.push_back("TryConnect without the library");
    attempts.push_back(ConnectAttempt{from, address, port, nowMs, timeoutMs});
    const Connect next = connects.empty() ? Unanswered() : connects.front();
    if (!connects.empty()) connects.pop_front();
    const bool silent = next.outcome == ConnectOutcome::kNoAnswer || next.afterMs >= timeoutMs;
    nowMs += silent ? timeoutMs : next.afterMs;
    lastError_ = next.error;
    return silent ? ConnectOutcome::kNoAnswer : next.outcome;
}

bool ScriptedPort::StartThread(void (*body)()) {
    if (threads == Threads::kInline) body();
    if (threads == Threads::kReal) {
        JoinThread();
        thread_ = std::thread(body);
    }
    if (afterThread) afterThread();
    if (!nextInbound.empty()) inbound = std::move(nextInbound), nextInbound.clear();
    return threads != Threads::kRefused;
}

std::uint32_t Ip(int a, int b, int c, int d) {
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                                   static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(d)};
    std::uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
}

std::string Dotted(std::uint32_t address) {
    char text[kAddressTextSize];
    FormatInAddr(address, text);
    return text;
}

std::vector<std::uint8_t> Reply(const ReplyFields& fields) {
    std::vector<std::uint8_t> bytes(kDatagramSize, 0);
    bytes[kProtocolOffset] = 1;
    bytes[kOperationOffset] = fields.operation;
    bytes[kStatusOffset] = static_cast<std::uint8_t>(fields.status >> 8);
    bytes[kStatusOffset + 1] = static_cast<std::uint8_t>(fields.status);
    std::memcpy(bytes.data() + kMacOffset, fields.mac, 6);
    std::memcpy(bytes.data() + kAddressOffset, fields.address, 4);
    std::memcpy(bytes.data() + kNameOffset, fields.name.data(),
                std::min(fields.name.size(), kNameLength));
    return bytes;
}

std::vector<std::uint8_t> DiscoveryReply(const std::string& name, std::uint32_t address, std::uint8_t macEnd) {
    ReplyFields fields{kDiscoveryReply, 0, name};
    fields.mac[5] = macEnd;
    std::memcpy(fields.address, &address, 4);
    return Reply(fields);
}

std::vector<std::uint8_t> AssignReply(std::uint16_t status) {
    return Reply({kAssignReply, status, "ZTL-AX300-G"});
}

}  // namespace net::fake
