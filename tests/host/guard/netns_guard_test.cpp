// The guard of every sending tool fails closed: only a namespace that the
// project's scripts made and named may send.
#include "tools/common/netns_guard.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

TEST(NetnsGuard, SendsOnlyFromANamespaceTheProjectNamed) {
    const char* machine = "net:[4026532001]";
    const char* test = "net:[4026532999]";
    const struct { const char* name; const char* self; bool maySend; const char* why; } rows[] = {
        {"cst-4711r2-pc", test, true, ""},                           // a topology
        {"cs-iso-812-9", test, true, ""},                            // the run's isolated namespace
        {"", test, false, "has no name under /run/netns"},           // unnamed
        {"docker-net", test, false, "was not made by the project"},  // someone else's
        {"my-cst-1", test, false, "was not made by the project"},
        {"cst-named-it", machine, false, "machine's own"},           // even if named so
        {"", "net:[4026531833]", false, "machine's own"},            // the initial namespace
        {"cst-1-pc", "", false, "cannot read"},
    };
    for (const auto& row : rows) {
        std::string why;
        EXPECT_EQ(tools::MaySend(row.name, row.self, machine, &why), row.maySend) << row.name;
        EXPECT_NE(why.find(row.why), std::string::npos) << row.name << ": " << why;
    }
}

// A namespace is named by an entry of the same identity, as `ip netns
// identify` finds it under /run/netns; a hard link shares its file's identity.
TEST(NetnsGuard, NamesANamespaceOnlyByAnEntryOfTheSameIdentity) {
    const std::string dir = "/tmp/netns-guard-" + std::to_string(getpid());
    ASSERT_EQ(system(("rm -rf " + dir + " && mkdir -p " + dir + "/names && touch " + dir + "/self " + dir +
                      "/other && ln " + dir + "/other " + dir + "/names/cst-other && ln " + dir + "/self " +
                      dir + "/names/cst-1-pc").c_str()), 0);
    EXPECT_EQ(tools::NamespaceName((dir + "/self").c_str(), (dir + "/names").c_str()), "cst-1-pc");
    ASSERT_EQ(system(("rm " + dir + "/names/cst-1-pc").c_str()), 0);
    EXPECT_EQ(tools::NamespaceName((dir + "/self").c_str(), (dir + "/names").c_str()), "");
    EXPECT_EQ(tools::NamespaceName((dir + "/self").c_str(), "/nonexistent"), "");
    EXPECT_EQ(system(("rm -rf " + dir).c_str()), 0);
}
