#include "tests/host/net/scripted_port.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <utility>

namespace net::fake {

namespace {
constexpr int kErrWouldBlock = 10035;
constexpr int kErrNotSocket = 10038;
constexpr int kErrHostNotFound = 11001;
}  // namespace

Inbound Arrives(std::vector<std::uint8_t> bytes, std::uint32_t delayMs, std::uint16_t senderPort) {
    Inbound in;
    in.kind = Inbound::Kind::kDatagram;
    in.bytes = std::move(bytes);
    in.delayMs = delayMs;
    in.senderPort = senderPort;
    return in;
}

Inbound Silence() {
    return Inbound{};
}

Inbound WaitFails(int error) {
    Inbound in;
    in.kind = Inbound::Kind::kWaitFails;
    in.error = error;
    return in;
}

Inbound ReceiveFails(int error, std::vector<std::uint8_t> written) {
    Inbound in;
    in.kind = Inbound::Kind::kReceiveFails;
    in.error = error;
    in.bytes = std::move(written);
    return in;
}

ScriptedPort::~ScriptedPort() {
    JoinThread();
}

void ScriptedPort::RunDeferredThread() {
    if (void (*body)() = std::exchange(deferred_, nullptr)) {
        body();
    }
}

void ScriptedPort::JoinThread() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool ScriptedPort::Balanced() const {
    return openSockets.empty() && startups == cleanups && misuse.empty();
}

std::string ScriptedPort::Report() const {
    std::ostringstream out;
    out << "startups " << startups << ", cleanups " << cleanups << ", open sockets "
        << openSockets.size() << "; calls:";
    for (const std::string& call : calls) {
        out << ' ' << call;
    }
    for (const std::string& m : misuse) {
        out << "\nmisuse: " << m;
    }
    return out.str();
}

int ScriptedPort::Fail(int error) {
    lastError_ = error;
    return -1;
}

// Every successful call resets the error, so a protocol that reads the error
// late (after closing the socket, say) reads 0 and is caught.
int ScriptedPort::Succeed(int result) {
    lastError_ = 0;
    return result;
}

bool ScriptedPort::CheckSocket(SocketHandle socket, const char* call) {
    if (openSockets.count(socket) != 0) {
        return true;
    }
    misuse.push_back(std::string(call) + " on a socket that is not open");
    Fail(kErrNotSocket);
    return false;
}

int ScriptedPort::Startup() {
    calls.push_back("Startup");
    if (startupResult != 0) {
        return startupResult;
    }
    ++startups;
    return 0;
}

void ScriptedPort::Cleanup() {
    calls.push_back("Cleanup");
    if (++cleanups > startups) {
        misuse.push_back("Cleanup without Startup");
    }
    Succeed();
}

int ScriptedPort::LastError() {
    return lastError_;
}

SocketHandle ScriptedPort::OpenUdp() {
    calls.push_back("OpenUdp");
    if (startups <= cleanups) {
        misuse.push_back("OpenUdp without the library");
    }
    if (openError != 0) {
        Fail(openError);
        return kInvalidSocket;
    }
    const SocketHandle handle = nextHandle_++;
    openSockets.insert(handle);
    ++socketsOpened;
    Succeed();
    return handle;
}

int ScriptedPort::EnableBroadcast(SocketHandle socket) {
    calls.push_back("EnableBroadcast");
    if (!CheckSocket(socket, "EnableBroadcast")) return -1;
    return broadcastError != 0 ? Fail(broadcastError) : Succeed();
}

int ScriptedPort::ReadInterfaceList(SocketHandle socket, std::size_t bufferBytes,
                                    InterfaceEntry* entries, std::size_t* count) {
    calls.push_back("ReadInterfaceList");
    listBufferSizes.push_back(bufferBytes);
    if (!CheckSocket(socket, "ReadInterfaceList")) return -1;
    if (listError != 0) return Fail(listError);
    if (interfaces.size() > bufferBytes / kInterfaceInfoSize) return Fail(kErrFault);
    std::copy(interfaces.begin(), interfaces.end(), entries);
    *count = interfaces.size();
    return Succeed();
}

int ScriptedPort::HostAddress(std::uint32_t* address) {
    calls.push_back("HostAddress");
    if (!hostKnown) return Fail(kErrHostNotFound);
    *address = hostAddress;
    return Succeed();
}

int ScriptedPort::BindAny(SocketHandle socket) {
    calls.push_back("BindAny");
    if (!CheckSocket(socket, "BindAny")) return -1;
    return bindError != 0 ? Fail(bindError) : Succeed();
}

int ScriptedPort::SendTo(SocketHandle socket, const std::uint8_t* data, std::size_t length,
                         std::uint32_t address, std::uint16_t port) {
    calls.push_back("SendTo");
    if (!CheckSocket(socket, "SendTo")) return -1;
    const std::size_t index = sent.size();
    sent.push_back(SentDatagram{socket, std::vector<std::uint8_t>(data, data + length), address,
                                port, nowMs});
    const auto failure = sendErrors.find(index);
    if (failure != sendErrors.end()) return Fail(failure->second);
    return Succeed(static_cast<int>(length));
}

int ScriptedPort::WaitReadable(SocketHandle socket, std::uint32_t timeoutMs) {
    calls.push_back("WaitReadable");
    waitTimeouts.push_back(timeoutMs);
    if (!CheckSocket(socket, "WaitReadable")) return -1;
    if (inbound.empty()) {
        nowMs += timeoutMs;
        return Succeed(0);
    }
    Inbound& next = inbound.front();
    switch (next.kind) {
    case Inbound::Kind::kSilence:
        inbound.pop_front();
        nowMs += timeoutMs;
        return Succeed(0);
    case Inbound::Kind::kWaitFails: {
        const int error = next.error;
        inbound.pop_front();
        return Fail(error);
    }
    case Inbound::Kind::kDatagram:
    case Inbound::Kind::kReceiveFails:
        if (next.delayMs >= timeoutMs) {
            // It arrives after this wait has given up: the next wait sees it
            // the sooner by the time that passed.
            next.delayMs -= timeoutMs;
            nowMs += timeoutMs;
            return Succeed(0);
        }
        nowMs += next.delayMs;
        next.delayMs = 0;
        return Succeed(1);
    }
    return Succeed(0);
}

int ScriptedPort::ReceiveFrom(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity,
                              std::uint16_t* senderPort) {
    calls.push_back("ReceiveFrom");
    if (!CheckSocket(socket, "ReceiveFrom")) return -1;
    if (inbound.empty() || inbound.front().delayMs != 0 ||
        (inbound.front().kind != Inbound::Kind::kDatagram &&
         inbound.front().kind != Inbound::Kind::kReceiveFails)) {
        // A real receive would block here.
        misuse.push_back("ReceiveFrom with nothing to read");
        return Fail(kErrWouldBlock);
    }
    const Inbound next = std::move(inbound.front());
    inbound.pop_front();
    nowMs += next.receiveMs;
    const std::size_t copied = std::min(next.bytes.size(), capacity);
    std::copy(next.bytes.begin(), next.bytes.begin() + static_cast<std::ptrdiff_t>(copied),
              buffer);
    if (next.kind == Inbound::Kind::kReceiveFails) return Fail(next.error);
    // Like Winsock: a datagram longer than the buffer fills it and fails.
    if (next.bytes.size() > capacity) return Fail(kErrMessageSize);
    *senderPort = next.senderPort;
    return Succeed(static_cast<int>(next.bytes.size()));
}

void ScriptedPort::Close(SocketHandle socket) {
    calls.push_back("Close");
    if (openSockets.erase(socket) == 0) {
        misuse.push_back("Close of a socket that is not open");
    }
    Succeed();
}

bool ScriptedPort::StartThread(void (*body)()) {
    calls.push_back("StartThread");
    switch (threads) {
    case Threads::kInline:
        body();
        return true;
    case Threads::kDeferred:
        deferred_ = body;
        return true;
    case Threads::kReal:
        JoinThread();
        thread_ = std::thread(body);
        return true;
    case Threads::kRefused:
        return false;
    }
    return false;
}

std::uint64_t ScriptedPort::NowMs() {
    return nowMs;
}

std::uint32_t Ip(int a, int b, int c, int d) {
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                                   static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(d)};
    std::uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
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

std::vector<std::uint8_t> DiscoveryReply(const std::string& name) {
    ReplyFields fields;
    fields.name = name;
    return Reply(fields);
}

std::vector<std::uint8_t> AssignReply(std::uint16_t status) {
    ReplyFields fields;
    fields.operation = kAssignReply;
    fields.status = status;
    fields.name = "ZTL-AX300-G";
    return Reply(fields);
}

}  // namespace net::fake
