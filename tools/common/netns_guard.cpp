#include "tools/common/netns_guard.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace tools {
namespace {

// The initial network namespace has had this fixed inode since Linux 5.8
// (PROC_NET_INIT_INO): where pid 1's link cannot be read, it still names the
// machine's own namespace.
constexpr const char* kInitialNamespace = "net:[4026531833]";

std::string ReadLink(const char* path) {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(path, buffer, sizeof buffer - 1);
    return n < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(n));
}

bool HasProjectPrefix(const std::string& name) {
    for (const char* prefix : kProjectNamespacePrefixes) {
        if (name.compare(0, std::char_traits<char>::length(prefix), prefix) == 0) return true;
    }
    return false;
}

}  // namespace

std::string NamespaceName(const char* selfNamespace, const char* runNetnsDir) {
    struct stat self {};
    if (::stat(selfNamespace, &self) != 0) return std::string();
    DIR* dir = ::opendir(runNetnsDir);
    if (dir == nullptr) return std::string();
    std::string name;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string path = std::string(runNetnsDir) + "/" + entry->d_name;
        struct stat mounted {};
        if (entry->d_name[0] != '.' && ::stat(path.c_str(), &mounted) == 0 &&
            mounted.st_dev == self.st_dev && mounted.st_ino == self.st_ino) {
            name = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return name;
}

bool MaySend(const std::string& name, const std::string& selfLink,
             const std::string& machineLink, std::string* why) {
    if (selfLink.empty()) {
        *why = "cannot read this process's network namespace";
    } else if (selfLink == machineLink || selfLink == kInitialNamespace) {
        *why = "this is the machine's own network namespace (" + selfLink + ")";
    } else if (name.empty()) {
        *why = "this network namespace (" + selfLink +
               ") has no name under /run/netns: the project's scripts did not make it";
    } else if (!HasProjectPrefix(name)) {
        *why = "network namespace \"" + name + "\" was not made by the project's scripts";
    } else {
        return true;
    }
    return false;
}

bool RefuseToSend(std::string* why) {
    return !MaySend(NamespaceName("/proc/self/ns/net", "/run/netns"),
                    ReadLink("/proc/self/ns/net"), ReadLink("/proc/1/ns/net"), why);
}

}  // namespace tools
