// A SocketPort that plays a script instead of touching the network: what the
// network and the system would give is set beforehand, and the clock moves
// only as waits and receives consume time. Every send is kept, every misuse
// logged.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "net/device_table.h"
#include "net/neighbour_table.h"
#include "net/socket_port.h"

namespace net::fake {

struct Inbound {
    enum class Kind { kSilence, kDatagram, kWaitFails, kReceiveFails };
    Kind kind = Kind::kSilence;
    std::vector<std::uint8_t> bytes;  // the datagram, or what a failed receive writes
    std::uint16_t senderPort = kConverterPort;
    std::uint32_t delayMs = 0;    // from the start of the wait to its arrival
    std::uint32_t receiveMs = 0;  // how long the receive itself takes
    int error = 0;
    std::uint32_t on = 0;  // the link it arrives through; 0: the first socket waited on
};

inline Inbound Arrives(std::vector<std::uint8_t> bytes, std::uint32_t delayMs = 0,
                       std::uint16_t senderPort = kConverterPort) {
    return {Inbound::Kind::kDatagram, std::move(bytes), senderPort, delayMs};
}
inline Inbound Silence() { return {}; }
inline Inbound WaitFails(int error) { return {Inbound::Kind::kWaitFails, {}, 0, 0, 0, error}; }
inline Inbound ReceiveFails(int error, std::vector<std::uint8_t> written = {}) {
    return {Inbound::Kind::kReceiveFails, std::move(written), 0, 0, 0, error};
}

// The same, arriving through the link with that address.
inline Inbound Through(std::uint32_t link, Inbound inbound) {
    inbound.on = link;
    return inbound;
}

// How one connection attempt ends, afterMs into it; an outcome due at or
// after the attempt's time is silence. None scripted: silence.
struct Connect {
    ConnectOutcome outcome = ConnectOutcome::kNoAnswer;
    std::uint32_t afterMs = 0;
    int error = 0;
};
inline Connect Accepts(std::uint32_t afterMs = 0) { return {ConnectOutcome::kAccepted, afterMs}; }
inline Connect Refuses(std::uint32_t afterMs = 0) { return {ConnectOutcome::kRefused, afterMs}; }
inline Connect Unanswered() { return {}; }
inline Connect ConnectFails(int error) { return {ConnectOutcome::kFailed, 0, error}; }

struct ConnectAttempt {
    std::uint32_t from;     // 0: unbound
    std::uint32_t address;  // network order
    std::uint16_t port;     // network order
    std::uint64_t atMs;
    std::uint32_t timeoutMs;
};

struct SentDatagram {
    std::uint32_t from;  // the link the socket is bound to; 0 unbound
    std::vector<std::uint8_t> bytes;
    std::uint32_t address;  // network order
    std::uint16_t port;     // network order
    std::uint64_t atMs;
};

class ScriptedPort : public SocketPort {
public:
    // How StartThread runs the body: at once, never (started, not yet run),
    // on a thread of its own, or not at all (the start fails).
    enum class Threads { kInline, kDeferred, kReal, kRefused };

    ~ScriptedPort() override { JoinThread(); }

    // ----- the script: a call with a non-zero error fails with it
    int startupResult = 0, openError = 0, broadcastError = 0, bindError = 0;
    int listError = 0;  // whatever the buffer's size
    bool listOutOfMemory = false;  // the list throws std::bad_alloc, as its buffer's allocation would
    std::map<int, int> openErrors;                 // index of the open -> its error
    std::map<std::uint32_t, int> bindErrorsAt;     // a link's address -> its bind's error
    std::vector<InterfaceEntry> interfaces;
    bool hostKnown = true;
    std::uint32_t hostAddress = 0;
    std::map<std::size_t, int> sendErrors;  // index of the send -> its error
    Threads threads = Threads::kInline;
    std::deque<Inbound> inbound;  // consumed by waits and receives
    std::deque<Connect> connects;  // one per connection attempt
    // The script's turns: after each thread's start (its body run, when inline),
    // and before each send. A non-empty nextInbound then becomes what the
    // following exchange hears.
    std::function<void()> afterThread, beforeSend;
    std::deque<Inbound> nextInbound;

    // ----- what happened
    std::vector<SentDatagram> sent;
    std::vector<ConnectAttempt> attempts;
    std::vector<std::size_t> listBufferSizes;
    int startups = 0, cleanups = 0;  // successful starts, and releases
    std::set<SocketHandle> openSockets;
    std::vector<std::string> misuse;  // calls the protocol should never make
    std::uint64_t nowMs = 0;

    // Waits for a Threads::kReal thread.
    void JoinThread() {
        if (thread_.joinable()) thread_.join();
    }
    // Every socket closed, the library released as often as started, nothing misused.
    bool Balanced() const { return openSockets.empty() && startups == cleanups && misuse.empty(); }
    std::string Report() const;

    int Startup() override;
    void Cleanup() override;
    int LastError() override { return lastError_; }
    SocketHandle OpenUdp() override;
    int EnableBroadcast(SocketHandle s) override { return Call("EnableBroadcast", s, broadcastError); }
    int ReadInterfaceList(SocketHandle socket, std::size_t bufferBytes, InterfaceEntry* entries,
                          std::size_t* count) override;
    int HostAddress(std::uint32_t* address) override;
    int BindAny(SocketHandle s) override { return Call("BindAny", s, bindError); }
    int BindToInterface(SocketHandle socket, std::uint32_t address) override;
    int SendTo(SocketHandle socket, const std::uint8_t* data, std::size_t length,
               std::uint32_t address, std::uint16_t port) override;
    int WaitReadable(const SocketHandle* sockets, std::size_t count, std::uint32_t timeoutMs,
                     std::uint8_t* ready) override;
    int ReceiveFrom(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity,
                    std::uint16_t* senderPort) override;
    void Close(SocketHandle socket) override;
    ConnectOutcome TryConnect(std::uint32_t from, std::uint32_t address, std::uint16_t port,
                              std::uint32_t timeoutMs) override;
    bool StartThread(void (*body)()) override;
    std::uint64_t NowMs() override { return nowMs; }

private:
    // Fails with error, or as a misuse on a socket that is not open
    // (kInvalidSocket: a call on no socket). Success resets the error, so a
    // protocol that reads the error late reads 0 and is caught.
    int Call(const char* name, SocketHandle socket, int error);
    int Fail(int error) {
        lastError_ = error;
        return -1;
    }

    int lastError_ = 0;
    SocketHandle nextHandle_ = 100;
    int opens_ = 0;
    std::map<SocketHandle, std::uint32_t> boundTo_;
    SocketHandle readyOn_ = kInvalidSocket;  // where the datagram at the front waits
    std::thread thread_;
};

// A neighbour table the test fills; each read is logged at the port's clock.
struct ScriptedNeighbours : NeighbourTable {
    explicit ScriptedNeighbours(const ScriptedPort& port) : clock(port) {}
    bool Read(std::vector<NeighbourEntry>* out) override {
        readsAt.push_back(clock.nowMs);
        *out = entries;
        return readable;
    }
    const ScriptedPort& clock;
    bool readable = true;
    std::vector<NeighbourEntry> entries;
    std::vector<std::uint64_t> readsAt;
};

// A row's change to the port, e.g. ARRANGE(openError = 10047).
using Arrange = void (*)(ScriptedPort&);
#define ARRANGE(change) [](ScriptedPort& p) { p.change; }

// `each` `times` over, then `tail`: a script's repeated stretch.
template <class T>
std::vector<T> Repeat(int times, const T& each, std::vector<T> tail = {}) {
    tail.insert(tail.begin(), static_cast<std::size_t>(times), each);
    return tail;
}

// An address given as four octets, in network order, and its dotted text.
std::uint32_t Ip(int a, int b, int c, int d);
std::string Dotted(std::uint32_t address);

// A 116-byte reply with the protocol byte set and the fields given.
struct ReplyFields {
    std::uint8_t operation = kDiscoveryReply;
    std::uint16_t status = 0;
    std::string name;
    std::uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    std::uint8_t address[4] = {192, 168, 0, 50};
};
std::vector<std::uint8_t> Reply(const ReplyFields& fields);
// A converter's discovery reply: its name, its address, the last byte of its MAC.
std::vector<std::uint8_t> DiscoveryReply(const std::string& name, std::uint32_t address = Ip(192, 168, 0, 50),
                                         std::uint8_t macEnd = 0x5E);
std::vector<std::uint8_t> AssignReply(std::uint16_t status);

}  // namespace net::fake
