// converter-sim: plays one or many converters on UDP port 192 inside a test
// network namespace, so that scans and assign exchanges run end to end
// without real hardware. See the README section "Converter simulator".
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <queue>
#include <string>
#include <vector>

#include "tools/common/netns_guard.h"

namespace {

constexpr std::size_t kDatagramSize = 116;
constexpr std::uint16_t kConverterPort = 192;
constexpr std::size_t kNameOffset = 48;
constexpr std::size_t kNameLength = 68;
constexpr char kAccessWord[] = "ladder";

enum class Fault { kNone, kShort, kLong, kWrongPort, kWrongProtocol, kWrongOperation };

struct Converter {
    std::string name;
    std::uint8_t mac[6] = {0, 0, 0, 0, 0, 0};
    std::uint32_t address = 0;  // network order
    bool silent = false;        // no assign reply at all
    std::uint16_t status = 1;   // the assign reply's status
    int delayMs = 0;
    int repeat = 1;
    Fault fault = Fault::kNone;
};

struct Options {
    std::vector<Converter> converters;
    std::string logPath;
    std::string onAssign;
    int floodCount = 0;
    int chatterMs = 0;
    bool off = false;  // switched off until SIGUSR1 switches it on
    int httpPort = 0;
    // With --http-after: the page answers only this long after the converter
    // took an address (kNever: not at all after one), and not before.
    long httpAfterMs = -1;
};

constexpr long kNever = -2;

struct Pending {
    std::uint64_t due;
    std::uint64_t order;  // keeps replies that are due together in the order made
    std::vector<std::uint8_t> bytes;
    sockaddr_in to;
    bool fromOtherPort;
    bool operator>(const Pending& other) const {
        return due != other.due ? due > other.due : order > other.order;
    }
};

volatile sig_atomic_t g_stop = 0;
void OnStopSignal(int) { g_stop = 1; }
volatile sig_atomic_t g_switchedOn = 0;
void OnSwitchOnSignal(int) { g_switchedOn = 1; }

std::uint64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

[[noreturn]] void Usage(const char* problem) {
    std::fprintf(stderr,
                 "converter-sim: %s\n"
                 "usage: converter-sim --converter name=N,mac=M,ip=A[,status=S|silent][,delay=MS]"
                 "[,repeat=R][,fault=F] ...\n"
                 "                     [--flood N] [--chatter MS] [--on-assign CMD] [--log FILE]"
                 " [--http PORT]\n"
                 "                     [--http-after SECONDS|never] [--off]\n"
                 "  F: short | long | wrong-port | wrong-protocol | wrong-operation\n"
                 "  --http-after: the page answers only SECONDS after the converter took an address\n"
                 "                (never: not after an assignment), and not before one\n"
                 "  --off: switched off (logs, answers nothing) until SIGUSR1 switches it on\n",
                 problem);
    std::exit(2);
}

bool ParseInt(const std::string& text, long low, long high, long* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    *value = v;
    return true;
}

bool ParseMac(const std::string& text, std::uint8_t (&mac)[6]) {
    unsigned int b[6];
    char tail;
    if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &b[0], &b[1], &b[2], &b[3], &b[4],
                    &b[5], &tail) != 6) {
        return false;
    }
    for (int i = 0; i < 6; ++i) mac[i] = static_cast<std::uint8_t>(b[i]);
    return true;
}

Converter ParseConverter(const std::string& text) {
    Converter c;
    bool haveMac = false;
    bool haveAddress = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        std::string item = text.substr(start, comma - start);
        start = comma + 1;
        if (item.empty()) continue;
        std::size_t eq = item.find('=');
        if (eq == std::string::npos) Usage(("converter item without '=': " + item).c_str());
        std::string key = item.substr(0, eq);
        std::string value = item.substr(eq + 1);
        long number = 0;
        if (key == "name") {
            if (value.size() > kNameLength) Usage("name longer than 68 bytes");
            c.name = value;
        } else if (key == "mac") {
            if (!ParseMac(value, c.mac)) Usage(("bad mac: " + value).c_str());
            haveMac = true;
        } else if (key == "ip") {
            in_addr a{};
            if (inet_pton(AF_INET, value.c_str(), &a) != 1) Usage(("bad ip: " + value).c_str());
            c.address = a.s_addr;
            haveAddress = true;
        } else if (key == "status") {
            if (value == "silent") {
                c.silent = true;
            } else if (ParseInt(value, 0, 65535, &number)) {
                c.status = static_cast<std::uint16_t>(number);
            } else {
                Usage(("bad status: " + value).c_str());
            }
        } else if (key == "delay") {
            if (!ParseInt(value, 0, 600000, &number)) Usage(("bad delay: " + value).c_str());
            c.delayMs = static_cast<int>(number);
        } else if (key == "repeat") {
            if (!ParseInt(value, 0, 10000, &number)) Usage(("bad repeat: " + value).c_str());
            c.repeat = static_cast<int>(number);
        } else if (key == "fault") {
            if (value == "short") c.fault = Fault::kShort;
            else if (value == "long") c.fault = Fault::kLong;
            else if (value == "wrong-port") c.fault = Fault::kWrongPort;
            else if (value == "wrong-protocol") c.fault = Fault::kWrongProtocol;
            else if (value == "wrong-operation") c.fault = Fault::kWrongOperation;
            else if (value != "none") Usage(("bad fault: " + value).c_str());
        } else {
            Usage(("unknown converter key: " + key).c_str());
        }
    }
    if (!haveMac || !haveAddress) Usage("a converter needs mac= and ip=");
    return c;
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) Usage((arg + " needs a value").c_str());
            return argv[++i];
        };
        long number = 0;
        if (arg == "--converter") {
            o.converters.push_back(ParseConverter(next()));
        } else if (arg == "--log") {
            o.logPath = next();
        } else if (arg == "--on-assign") {
            o.onAssign = next();
        } else if (arg == "--flood") {
            if (!ParseInt(next(), 0, 100000, &number)) Usage("bad --flood count");
            o.floodCount = static_cast<int>(number);
        } else if (arg == "--chatter") {
            if (!ParseInt(next(), 1, 600000, &number)) Usage("bad --chatter interval");
            o.chatterMs = static_cast<int>(number);
        } else if (arg == "--http") {
            if (!ParseInt(next(), 1, 65535, &number)) Usage("bad --http port");
            o.httpPort = static_cast<int>(number);
        } else if (arg == "--http-after") {
            const std::string value = next();
            if (value == "never") {
                o.httpAfterMs = kNever;
            } else if (ParseInt(value, 0, 600, &number)) {
                o.httpAfterMs = number * 1000;
            } else {
                Usage("bad --http-after seconds");
            }
        } else if (arg == "--off") {
            o.off = true;
        } else if (arg == "-h" || arg == "--help") {
            Usage("help");
        } else {
            Usage(("unknown option: " + arg).c_str());
        }
    }
    if (o.converters.empty() && o.floodCount == 0) Usage("no --converter given");
    if (o.httpAfterMs != -1 && o.httpPort == 0) Usage("--http-after needs --http");
    return o;
}

std::string AddressText(std::uint32_t networkOrder) {
    in_addr a{};
    a.s_addr = networkOrder;
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::string MacText(const std::uint8_t (&mac)[6]) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

// A reply in the datagram layout, then bent as the converter's fault asks.
std::vector<std::uint8_t> BuildReply(const Converter& c, std::uint8_t operation) {
    std::vector<std::uint8_t> d(kDatagramSize, 0);
    d[0] = 1;
    d[1] = operation;
    if (operation == 3) {
        d[2] = static_cast<std::uint8_t>(c.status >> 8);
        d[3] = static_cast<std::uint8_t>(c.status & 0xff);
    }
    std::memcpy(&d[36], c.mac, 6);
    std::memcpy(&d[44], &c.address, 4);
    std::memcpy(&d[kNameOffset], c.name.data(), std::min(c.name.size(), kNameLength));
    switch (c.fault) {
    case Fault::kShort: d.resize(kDatagramSize - 1); break;
    case Fault::kLong: d.push_back(0); break;
    case Fault::kWrongProtocol: d[0] = 2; break;
    case Fault::kWrongOperation: d[1] = operation == 1 ? 3 : 1; break;
    case Fault::kNone:
    case Fault::kWrongPort: break;
    }
    return d;
}

class Simulator {
public:
    explicit Simulator(Options options) : o_(std::move(options)) {}

    int Run();

private:
    bool Open();
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Receive();
    void Schedule(const Converter& c, std::uint8_t operation, const sockaddr_in& to);
    void SendDue();
    void Send(const Pending& p);
    void OnAssign(Converter& c, std::uint32_t newAddress);
    bool OpenHttp();
    void ServeHttp();
    int OtherPortSocket();

    Options o_;
    FILE* log_ = stdout;
    int socket_ = -1;
    int otherSocket_ = -1;
    int http_ = -1;
    std::uint64_t httpOpensAt_ = 0;  // when a page that waits for its time answers; 0: no wait
    std::uint64_t order_ = 0;
    std::priority_queue<Pending, std::vector<Pending>, std::greater<Pending>> pending_;
    bool chatterArmed_ = false;
    sockaddr_in chatterTo_{};
    std::uint64_t nextChatter_ = 0;
};

void Simulator::Log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(log_, format, args);
    va_end(args);
    std::fputc('\n', log_);
    std::fflush(log_);
}

bool Simulator::Open() {
    if (!o_.logPath.empty()) {
        log_ = std::fopen(o_.logPath.c_str(), "a");
        if (log_ == nullptr) {
            std::fprintf(stderr, "converter-sim: cannot open log %s: %s\n", o_.logPath.c_str(),
                         std::strerror(errno));
            return false;
        }
    }
    socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int on = 1;
    if (socket_ < 0 || setsockopt(socket_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
        setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
        std::fprintf(stderr, "converter-sim: socket: %s\n", std::strerror(errno));
        return false;
    }
    // Many converters answering at once must not overflow the kernel's queue.
    int sendBuffer = 1 << 20;
    setsockopt(socket_, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(kConverterPort);
    if (bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        std::fprintf(stderr, "converter-sim: bind port 192: %s\n", std::strerror(errno));
        return false;
    }
    // A page that waits for an assignment is closed until then: connections
    // are refused, as by a converter whose web server is not up yet.
    return o_.httpPort == 0 || o_.httpAfterMs != -1 || OpenHttp();
}

bool Simulator::OpenHttp() {
    int on = 1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(static_cast<std::uint16_t>(o_.httpPort));
    http_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (http_ < 0 || setsockopt(http_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(http_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        listen(http_, 8) != 0) {
        std::fprintf(stderr, "converter-sim: http port %d: %s\n", o_.httpPort, std::strerror(errno));
        if (http_ >= 0) close(http_);
        http_ = -1;
        return false;
    }
    return true;
}

int Simulator::OtherPortSocket() {
    if (otherSocket_ < 0) {
        // Bound to a port the system picks: anything but 192.
        otherSocket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int on = 1;
        if (otherSocket_ >= 0) setsockopt(otherSocket_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    }
    return otherSocket_;
}

void Simulator::Schedule(const Converter& c, std::uint8_t operation, const sockaddr_in& to) {
    const std::uint64_t due = NowMs() + static_cast<std::uint64_t>(c.delayMs);
    std::vector<std::uint8_t> bytes = BuildReply(c, operation);
    for (int i = 0; i < c.repeat; ++i) {
        pending_.push(Pending{due, order_++, bytes, to, c.fault == Fault::kWrongPort});
    }
}

void Simulator::Send(const Pending& p) {
    int s = p.fromOtherPort ? OtherPortSocket() : socket_;
    if (s < 0) return;
    ssize_t rc = sendto(s, p.bytes.data(), p.bytes.size(), 0,
                        reinterpret_cast<const sockaddr*>(&p.to), sizeof p.to);
    if (rc < 0 && (errno == ENETUNREACH || errno == EHOSTUNREACH)) {
        // No route back to the sender's address (it sits in a subnet this
        // namespace cannot reach): answer by broadcast to its port instead.
        sockaddr_in all = p.to;
        all.sin_addr.s_addr = htonl(INADDR_BROADCAST);
        rc = sendto(s, p.bytes.data(), p.bytes.size(), 0, reinterpret_cast<const sockaddr*>(&all),
                    sizeof all);
    }
    if (rc < 0) {
        std::fprintf(stderr, "converter-sim: send to %s:%u: %s\n",
                     AddressText(p.to.sin_addr.s_addr).c_str(), ntohs(p.to.sin_port),
                     std::strerror(errno));
    }
}

void Simulator::SendDue() {
    const std::uint64_t now = NowMs();
    while (!pending_.empty() && pending_.top().due <= now) {
        Send(pending_.top());
        pending_.pop();
    }
    if (chatterArmed_ && now >= nextChatter_) {
        Converter chatter;
        chatter.name = "chatter";
        if (!o_.converters.empty()) chatter = o_.converters.front();
        chatter.fault = Fault::kNone;
        Send(Pending{now, 0, BuildReply(chatter, 1), chatterTo_, false});
        nextChatter_ = now + static_cast<std::uint64_t>(o_.chatterMs);
    }
}

void Simulator::OnAssign(Converter& c, std::uint32_t newAddress) {
    const std::string oldText = AddressText(c.address);
    const std::string newText = AddressText(newAddress);
    c.address = newAddress;
    std::fprintf(stderr, "converter-sim: %s (%s) now at %s\n", c.name.c_str(),
                 MacText(c.mac).c_str(), newText.c_str());
    if (o_.httpAfterMs != -1) {
        // The web server starts again at the new address, and takes its time.
        if (http_ >= 0) close(http_);
        http_ = -1;
        httpOpensAt_ = o_.httpAfterMs == kNever ? 0 : NowMs() + static_cast<std::uint64_t>(o_.httpAfterMs);
    }
    if (o_.onAssign.empty()) return;
    pid_t child = fork();
    if (child == 0) {
        setenv("CS_SIM_NEW_ADDRESS", newText.c_str(), 1);
        setenv("CS_SIM_OLD_ADDRESS", oldText.c_str(), 1);
        setenv("CS_SIM_NAME", c.name.c_str(), 1);
        setenv("CS_SIM_MAC", MacText(c.mac).c_str(), 1);
        // The command sees the new address as $1 as well.
        execl("/bin/sh", "sh", "-c", o_.onAssign.c_str(), "converter-sim-on-assign",
              newText.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (child < 0) std::fprintf(stderr, "converter-sim: fork: %s\n", std::strerror(errno));
}

void Simulator::Receive() {
    std::uint8_t buffer[2048];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ssize_t n = recvfrom(socket_, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC,
                         reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) return;
    const std::size_t length = static_cast<std::size_t>(n);
    const std::size_t kept = std::min(length, sizeof buffer);
    std::string hex;
    hex.reserve(kept * 2);
    static const char digits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < kept; ++i) {
        hex += digits[buffer[i] >> 4];
        hex += digits[buffer[i] & 15];
    }
    Log("rx %s:%u len=%zu %s", AddressText(from.sin_addr.s_addr).c_str(), ntohs(from.sin_port),
        length, hex.c_str());

    if (length != kDatagramSize || buffer[0] != 1) return;
    if (o_.off && !g_switchedOn) return;
    if (buffer[1] == 0) {
        for (const Converter& c : o_.converters) Schedule(c, 1, from);
        for (int i = 0; i < o_.floodCount; ++i) {
            Converter f;
            char name[32];
            std::snprintf(name, sizeof name, "flood-%05d", i);
            f.name = name;
            const std::uint8_t mac[6] = {0x02, 0xf1, 0, 0, static_cast<std::uint8_t>(i >> 8),
                                         static_cast<std::uint8_t>(i)};
            std::memcpy(f.mac, mac, 6);
            f.address = htonl(0x0ac80000u | static_cast<std::uint32_t>(i & 0xffff));
            Schedule(f, 1, from);
        }
        if (o_.chatterMs > 0 && !chatterArmed_) {
            chatterArmed_ = true;
            chatterTo_ = from;
            nextChatter_ = NowMs() + static_cast<std::uint64_t>(o_.chatterMs);
        }
    } else if (buffer[1] == 2) {
        if (std::memcmp(&buffer[4], kAccessWord, 6) != 0) return;
        std::uint32_t newAddress;
        std::memcpy(&newAddress, &buffer[44], 4);
        for (Converter& c : o_.converters) {
            if (std::memcmp(&buffer[36], c.mac, 6) != 0) continue;
            if (c.silent) continue;
            // The reply reports the status; only a converter that took the
            // address (status 1) moves to it.
            if (c.status == 1 && c.address != newAddress) OnAssign(c, newAddress);
            Schedule(c, 3, from);
        }
    }
}

void Simulator::ServeHttp() {
    int client = accept4(http_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    pollfd wait{client, POLLIN, 0};
    char request[2048];
    ssize_t n = 0;
    if (poll(&wait, 1, 1000) > 0) n = recv(client, request, sizeof request - 1, 0);
    request[n > 0 ? n : 0] = '\0';
    const char* lineEnd = std::strpbrk(request, "\r\n");
    std::string firstLine(request, lineEnd ? static_cast<std::size_t>(lineEnd - request)
                                           : std::strlen(request));
    if (n <= 0) {
        // The program's check that the page answers: connected, closed, nothing asked.
        Log("http (closed without a request)");
        close(client);
        return;
    }
    Log("http %s", firstLine.c_str());
    const Converter* c = o_.converters.empty() ? nullptr : &o_.converters.front();
    std::string body = "<html><head><title>Converter setup</title></head><body><h1>";
    body += c ? c->name : std::string("converter");
    body += " setup</h1><p>Address: ";
    body += c ? AddressText(c->address) : std::string("-");
    body += "</p><p>MAC: ";
    body += c ? MacText(c->mac) : std::string("-");
    body += "</p></body></html>\n";
    std::string response = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    ssize_t ignored = send(client, response.data(), response.size(), MSG_NOSIGNAL);
    (void)ignored;
    close(client);
}

int Simulator::Run() {
    if (!Open()) return 1;
    std::printf("ready\n");
    std::fflush(stdout);

    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGUSR1);
    sigset_t waiting;
    sigprocmask(SIG_BLOCK, &blocked, &waiting);
    // Signals are taken only inside ppoll, so a stop cannot slip in between
    // the check and the wait.
    sigdelset(&waiting, SIGTERM);
    sigdelset(&waiting, SIGINT);
    sigdelset(&waiting, SIGUSR1);

    while (!g_stop) {
        SendDue();
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        long timeoutMs = 1000;
        const std::uint64_t now = NowMs();
        if (!pending_.empty()) {
            timeoutMs = pending_.top().due > now ? static_cast<long>(pending_.top().due - now) : 0;
        }
        if (chatterArmed_) {
            long untilChatter = nextChatter_ > now ? static_cast<long>(nextChatter_ - now) : 0;
            timeoutMs = std::min(timeoutMs, untilChatter);
        }
        if (httpOpensAt_ != 0 && now >= httpOpensAt_) {
            httpOpensAt_ = 0;
            OpenHttp();
        } else if (httpOpensAt_ != 0) {
            timeoutMs = std::min(timeoutMs, static_cast<long>(httpOpensAt_ - now));
        }
        pollfd watch[2] = {{socket_, POLLIN, 0}, {http_, POLLIN, 0}};
        timespec timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
        int rc = ppoll(watch, http_ >= 0 ? 2 : 1, &timeout, &waiting);
        if (rc < 0) continue;
        if (watch[0].revents & POLLIN) Receive();
        if (http_ >= 0 && (watch[1].revents & POLLIN)) ServeHttp();
    }
    if (log_ != stdout) std::fclose(log_);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string why;
    if (tools::RefuseToSend(&why)) {
        std::fprintf(stderr,
                     "converter-sim: refusing to send from this network namespace (%s);"
                     " run it inside a namespace that the project's scripts made\n",
                     why.c_str());
        return 2;
    }
    Options options = ParseOptions(argc, argv);
    struct sigaction stop {};
    stop.sa_handler = OnStopSignal;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
    struct sigaction switchOn {};
    switchOn.sa_handler = OnSwitchOnSignal;
    sigaction(SIGUSR1, &switchOn, nullptr);
    signal(SIGPIPE, SIG_IGN);
    Simulator simulator(std::move(options));
    return simulator.Run();
}
