#include "tools/common/netns_guard.h"

#include <unistd.h>

#include <climits>

namespace tools {
namespace {

// The initial network namespace has had this fixed inode since Linux 5.8
// (PROC_NET_INIT_INO). Where pid 1's namespace link is not readable (a
// sandbox that withholds it even from root), the inode still identifies it.
constexpr const char* kInitialNamespace = "net:[4026531833]";

bool ReadLink(const char* path, std::string* target) {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink(path, buffer, sizeof buffer - 1);
    if (n < 0) return false;
    target->assign(buffer, static_cast<std::size_t>(n));
    return true;
}

}  // namespace

bool InMachineNetworkNamespace(std::string* why) {
    std::string self;
    if (!ReadLink("/proc/self/ns/net", &self)) {
        *why = "cannot read /proc/self/ns/net";
        return true;
    }
    std::string machine;
    if (ReadLink("/proc/1/ns/net", &machine)) {
        if (self == machine) {
            *why = "this is the network namespace of pid 1 (" + self + ")";
            return true;
        }
        return false;
    }
    if (self == kInitialNamespace) {
        *why = "this is the initial network namespace (" + self + ")";
        return true;
    }
    return false;
}

}  // namespace tools
