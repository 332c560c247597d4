// Move-only owners of the two things a protocol operation takes from the
// socket layer: a reference to the socket library and one UDP socket. Every
// early return releases them, in the order the library needs (socket first).
#pragma once

#include <utility>

#include "net/socket_port.h"

namespace net {

// A failure whose error number the port left at 0 still has to read as a
// failure to the callers, who test the number against 0.
constexpr int kErrUnknown = -1;

// The port's error number for the call that just failed, never 0. Read it
// right after the failing call: a later call may replace it.
inline int FailureCode(SocketPort& port) {
    const int error = port.LastError();
    return error != 0 ? error : kErrUnknown;
}

class SocketLibrary {
public:
    explicit SocketLibrary(SocketPort& port) : port_(&port), error_(port.Startup()) {}
    ~SocketLibrary() {
        if (port_ != nullptr && error_ == 0) {
            port_->Cleanup();
        }
    }
    SocketLibrary(SocketLibrary&& other) noexcept
        : port_(std::exchange(other.port_, nullptr)), error_(other.error_) {}
    SocketLibrary& operator=(SocketLibrary&&) = delete;
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;

    bool started() const { return error_ == 0; }
    // What the library start returned: 0, or the error number it reported.
    int error() const { return error_; }

private:
    SocketPort* port_;
    int error_;
};

class UdpSocket {
public:
    explicit UdpSocket(SocketPort& port) : port_(&port), handle_(port.OpenUdp()) {}
    ~UdpSocket() {
        if (port_ != nullptr && handle_ != kInvalidSocket) {
            port_->Close(handle_);
        }
    }
    UdpSocket(UdpSocket&& other) noexcept
        : port_(std::exchange(other.port_, nullptr)),
          handle_(std::exchange(other.handle_, kInvalidSocket)) {}
    UdpSocket& operator=(UdpSocket&&) = delete;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    bool is_open() const { return handle_ != kInvalidSocket; }
    SocketHandle get() const { return handle_; }

private:
    SocketPort* port_;
    SocketHandle handle_;
};

}  // namespace net
