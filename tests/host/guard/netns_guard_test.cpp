// The guard of every sending tool fails closed: only a namespace that the
// project's scripts made and named may send.
#include "tools/common/netns_guard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kMachine = "net:[4026532001]";
constexpr const char* kTest = "net:[4026532999]";

struct GuardCase {
    const char* what;
    const char* name;
    const char* self;
    bool maySend;
    const char* why;
};

const GuardCase kCases[] = {
    {"topology namespace", "cst-4711r2-pc", kTest, true, ""},
    {"the run's isolated namespace", "cs-iso-812-9", kTest, true, ""},
    {"unnamed namespace", "", kTest, false, "has no name under /run/netns"},
    {"someone else's namespace", "docker-net", kTest, false, "was not made by the project"},
    {"prefix inside another name", "my-cst-1", kTest, false, "was not made by the project"},
    {"the machine's own, even if named", "cst-named-it", kMachine, false, "machine's own"},
    {"the initial namespace", "", "net:[4026531833]", false, "machine's own"},
    {"unreadable link", "cst-1-pc", "", false, "cannot read"},
};

TEST(NetnsGuard, SendsOnlyFromANamespaceTheProjectNamed) {
    for (const GuardCase& c : kCases) {
        std::string why;
        EXPECT_EQ(tools::MaySend(c.name, c.self, kMachine, &why), c.maySend) << c.what;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.what << ": " << why;
    }
}

// The name is found by the namespace file's identity among the entries of the
// directory, as `ip netns identify` finds it under /run/netns: a hard link
// shares the identity of the file it links.
TEST(NetnsGuard, NamesANamespaceOnlyByAnEntryOfTheSameIdentity) {
    char dir[] = "/tmp/netns-guard-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string self = std::string(dir) + "/self", other = std::string(dir) + "/other";
    const std::string named = std::string(dir) + "/names";
    ASSERT_EQ(system(("mkdir " + named + " && touch " + self + " " + other + " && ln " + other +
                      " " + named + "/cst-other && ln " + self + " " + named + "/cst-1-pc")
                         .c_str()),
              0);
    EXPECT_EQ(tools::NamespaceName(self.c_str(), named.c_str()), "cst-1-pc");
    ASSERT_EQ(std::remove((named + "/cst-1-pc").c_str()), 0);
    EXPECT_EQ(tools::NamespaceName(self.c_str(), named.c_str()), "");
    EXPECT_EQ(tools::NamespaceName(self.c_str(), "/nonexistent"), "");
    EXPECT_EQ(system(("rm -rf " + std::string(dir)).c_str()), 0);
}

}  // namespace
