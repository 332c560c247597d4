// cvsetup's command line in process, on the scripted socket port: every
// command and option, malformed MACs and addresses, and each outcome with its
// exit status, the first line it writes to standard error and a line of its
// standard output, in the texts of its own string table.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <sstream>

#include "cli/cvsetup.h"
#include "net/address_text.h"
#include "net/socket_port.h"
#include "tests/host/net/scripted_port.h"
#include "win/language.h"

namespace {

using net::fake::Arrives;
using net::fake::DiscoveryReply;
using net::fake::Ip;

struct Capture : cli::TextStream {
    void Write(const std::wstring& text) override { text_ += win::ToUtf8(text); }
    std::string FirstLine() const { return text_.substr(0, text_.find('\n')); }
    bool HasLine(const std::string& line) const {
        std::istringstream lines(text_);
        for (std::string each; std::getline(lines, each);) {
            if (each == line) return true;
        }
        return false;
    }
    std::string text_;
};

struct Browser : cli::Browser {
    DWORD Open(const std::wstring& url) override {
        opened = win::ToUtf8(url);
        return error;
    }
    std::string opened;
    DWORD error = 0;
};

// Windows names the PC's one link "Ethernet 2"; the firewall is as a row
// leaves it, unknown unless it says otherwise. cvsetup runs from C:\Tools.
constexpr char kCvsetup[] = "C:\\Tools\\cvsetup.exe";
struct Windows : findings::FactsSource {
    bool ReadAdapters(std::vector<findings::AdapterEntry>* adapters) override {
        if (outOfMemory) throw std::bad_alloc();
        adapters->push_back({"{1}", unnamed ? "" : "Ethernet 2", findings::kIfTypeEthernet,
                             findings::kOperStatusUp, {{Ip(192, 168, 0, 2), 24}}});
        return true;
    }
    bool ReadNetworks(std::vector<findings::NetworkEntry>* networks) override {
        networks->push_back({"{1}", findings::Category::kPublic});
        return true;
    }
    findings::FirewallEntry ReadFirewall(const std::vector<std::string>& programs) override {
        EXPECT_EQ(programs, (std::vector<std::string>{"C:\\Tools\\ConverterSetup.exe", kCvsetup}));
        return firewall;
    }
    findings::FirewallEntry firewall;
    bool outOfMemory = false;
    bool unnamed = false;
};

struct World {
    net::fake::ScriptedPort port;
    net::fake::ScriptedNeighbours neighbours{port};
    Browser browser;
    Windows windows;
};
using Script = std::function<void(World&)>;

const Script kNothing = [](World&) {};

const Script kConverter = [](World& w) { w.port.inbound = {Arrives(DiscoveryReply("ZTL-BR720-A"))}; };
const Script kUnnamed = [](World& w) {
    kConverter(w);
    w.windows.unnamed = true;
};
const Script kElsewhere = [](World& w) { w.port.inbound = {Arrives(DiscoveryReply("ZTL-BR720-A", Ip(10, 0, 0, 5)))}; };
const Script kOnAtTheThirdScan = [](World& w) {  // switched on while it runs (each scan takes 3 s)
    w.port.afterThread = [&w, scans = 0]() mutable { scans += 1, scans == 2 ? kConverter(w) : void(); };
};
const Script kOtherModel = [](World& w) {
    w.port.inbound = {Arrives(DiscoveryReply("OTHER-AP", Ip(192, 168, 0, 51), 0x5f))};
};
// A name that fills its 68 bytes without a NUL and holds a terminal's escape.
const std::string kLongName = "ZTL-BR720-\x1b[2J" + std::string(54, 'x');
const Script kLongNamed = [](World& w) { w.port.inbound = {Arrives(DiscoveryReply(kLongName))}; };
// 0x9D: a C1 control as code page 1252 decodes it.
const Script kC1Named = [](World& w) { w.port.inbound = {Arrives(DiscoveryReply("OTHER-\x9d", Ip(192, 168, 0, 51), 0x5f))}; };
const Script kSendFails = [](World& w) { w.port.sendErrors = {{0, 10051}}; };
const Script kAnsweredThenWaitFails = [](World& w) {
    kOtherModel(w);
    w.port.inbound.push_back(net::fake::WaitFails(10038));
};
// The user pressed Cancel at the firewall's question about ConverterSetup.exe.
const Script kProgramBlocked = [](World& w) {
    w.windows.firewall.enabled[2] = true;
    w.windows.firewall.rules = std::vector<findings::ProgramRule>{{0, false, findings::kProfilePublic}};
};
// No rule of either program: the firewall asked nothing yet.
const Script kNoRules = [](World& w) { w.windows.firewall = {{}, {{}, {}, true}, {{}}}; };
const Script kOutOfMemory = [](World& w) { w.windows.outOfMemory = true; };
const Script kPageRefuses = [](World& w) { kConverter(w), w.port.connects.assign(40, net::fake::Refuses(1)); };
const Script kBrowserFails = [](World& w) {
    kConverter(w);
    w.browser.error = ERROR_FILE_NOT_FOUND;
};
// The converter answers the assign request with this status; -1: not at all.
Script Answers(int status) {
    return [status](World& w) {
        kConverter(w);
        if (status >= 0) w.port.nextInbound = {Arrives(net::fake::AssignReply(static_cast<std::uint16_t>(status)))};
    };
}

constexpr char kBadMac[] = "' is not a MAC address (six pairs of hex digits separated by : or -)";
constexpr char kBadAddress[] =
    "' is not an address a converter can take (four numbers 0-255, the first 1-223 and not 127)";
constexpr char kRow[] = "ZTL-BR720-A     192.168.0.50  00:1a:2b:3c:4d:5e  Ethernet 2  192.168.0.2  same";

TEST(Cvsetup, EveryCommandLineEndsWithItsStatusAndItsFirstWords) {
    const struct {
        const char* line;
        Script network;
        int status;
        std::string error;   // the first line on standard error; "" for none
        std::string output;  // a line of standard output; "" for none at all
        const char* sentAddress = nullptr;  // bytes 44-47 of the last datagram sent
        LANGID language = win::kEnglish;
        const char* netmask = "255.255.255.0";  // of the PC's one link, 192.168.0.2
    } rows[] = {
        {"", kNothing, 2, "cvsetup: no command given", ""},
        {"--bogus", kNothing, 2, "cvsetup: '--bogus' is not an option of cvsetup", ""},
        {"frobnicate", kNothing, 2, "cvsetup: unknown command 'frobnicate'", ""},
        {"LIST --Frob", kNothing, 2, "cvsetup: '--Frob' is not an option of list", ""},
        {"assign --all 00:1a:2b:3c:4d:5e 192.168.0.60", kNothing, 2,
         "cvsetup: '--all' is not an option of assign", ""},
        {"open --json 192.168.0.50", kNothing, 2, "cvsetup: '--json' is not an option of open", ""},
        {"diagnose --all", kNothing, 2, "cvsetup: '--all' is not an option of diagnose", ""},
        {"list extra", kNothing, 2, "cvsetup: unexpected argument 'extra'", ""},
        {"assign", kNothing, 2, "cvsetup: assign: missing MAC", ""},
        {"assign 00:1a:2b:3c:4d:5e", kNothing, 2, "cvsetup: assign: missing ADDRESS", ""},
        {"open", kNothing, 2, "cvsetup: open: missing MAC|ADDRESS", ""},
        {"assign 00:1a:2b:3c:4d 192.168.0.60", kNothing, 2, std::string("cvsetup: '00:1a:2b:3c:4d") + kBadMac, ""},
        {"assign 00:1a:2b:3c:4d:5g 192.168.0.60", kNothing, 2, std::string("cvsetup: '00:1a:2b:3c:4d:5g") + kBadMac, ""},
        {"assign 00:1a-2b:3c:4d:5e 192.168.0.60", kNothing, 2, std::string("cvsetup: '00:1a-2b:3c:4d:5e") + kBadMac, ""},
        {"assign 001a2b3c4d5e 192.168.0.60", kNothing, 2, std::string("cvsetup: '001a2b3c4d5e") + kBadMac, ""},
        {"assign 00:1a:2b:3c:4d:5e: 192.168.0.60", kNothing, 2, std::string("cvsetup: '00:1a:2b:3c:4d:5e:") + kBadMac, ""},
        {"assign 00:1a:2b:3c:4d:5e 192.168.0", kNothing, 2, std::string("cvsetup: '192.168.0") + kBadAddress, ""},
        {"assign 00:1a:2b:3c:4d:5e 192.168.0.256", kNothing, 2, std::string("cvsetup: '192.168.0.256") + kBadAddress, ""},
        {"assign 00:1a:2b:3c:4d:5e 192.168.0.1.", kNothing, 2, std::string("cvsetup: '192.168.0.1.") + kBadAddress, ""},
        {"assign 00:1a:2b:3c:4d:5e 192.168.0.0050", kNothing, 2, std::string("cvsetup: '192.168.0.0050") + kBadAddress, ""},
        {"assign 00:1a:2b:3c:4d:5e 0.1.2.3", kNothing, 2, std::string("cvsetup: '0.1.2.3") + kBadAddress, ""},
        {"assign 00:1a:2b:3c:4d:5e 127.0.0.9", kNothing, 2, std::string("cvsetup: '127.0.0.9") + kBadAddress, ""},
        {"assign 00:1a:2b:3c:4d:5e 224.0.0.1", kNothing, 2, std::string("cvsetup: '224.0.0.1") + kBadAddress, ""},
        {"assign 00:1a:2b:3c:4d:5e ０.0.0.1", kNothing, 2, std::string("cvsetup: '０.0.0.1") + kBadAddress, ""},
        {"list --wait", kNothing, 2, "cvsetup: list: missing SECONDS", ""},
        {"open --wait 601 192.168.0.50", kNothing, 2, "cvsetup: '601' is not a number of seconds from 0 to 600", ""},
        {"list --wait 7", kOnAtTheThirdScan, 0, "", kRow},
        {"list --wait 5", kOnAtTheThirdScan, 1, "cvsetup: no converter of a supported model answered", ""},
        {"open 192.168.0.x", kNothing, 2, "cvsetup: '192.168.0.x' is neither a MAC address nor an IPv4 address", ""},
        {"--help", kNothing, 0, "", "Exit status:"},
        {"list --bogus /?", kNothing, 0, "", "  6  the converter's page does not answer (no browser was started)"},
        {"--version", kNothing, 0, "", "cvsetup " CS_PROJECT_VERSION},
        {"list", kConverter, 0, "", kRow},
        {"list", kLongNamed, 0, "", "ZTL-BR720-?[2J" + std::string(54, 'x') +
                                     "  192.168.0.50  00:1a:2b:3c:4d:5e  Ethernet 2  192.168.0.2  same"},
        {"list", kNothing, 1, "cvsetup: no converter of a supported model answered", ""},
        {"list --json", kUnnamed, 0, "", "        \"adapter\": null,"},
        {"list", kOtherModel, 1, "cvsetup: no converter of a supported model answered", ""},
        {"list --all", kOtherModel, 1, "cvsetup: no converter of a supported model answered",
         "OTHER-AP        192.168.0.51  00:1a:2b:3c:4d:5f  Ethernet 2  192.168.0.2  same    other model"},
        {"list", kSendFails, 3, "cvsetup: the search failed on the network (error 10051)", ""},
        {"assign 00-1A-2B-3C-4D-5E 192.168.000.060", Answers(1), 0, "",
         "ZTL-BR720-A (00:1a:2b:3c:4d:5e) took the address 192.168.0.60.", "192.168.0.60"},
        {"assign 00:1a:2b:3c:4d:5e 192.168.0.60", Answers(256), 4, "",
         "ZTL-BR720-A (00:1a:2b:3c:4d:5e) refused the address 192.168.0.60.", "192.168.0.60"},
        {"assign 00:1a:2b:3c:4d:5e 192.168.0.60", Answers(-1), 4, "",
         "ZTL-BR720-A (00:1a:2b:3c:4d:5e) did not answer the request for the address 192.168.0.60.",
         "192.168.0.60"},
        {"assign 00:1a:2b:3c:4d:5e 10.1.2.3", Answers(1), 0,
         "cvsetup: 10.1.2.3 is outside the subnet of the adapter Ethernet 2 (192.168.0.2/255.255.255.0): "
         "this PC will not reach the converter at that address",
         "ZTL-BR720-A (00:1a:2b:3c:4d:5e) took the address 10.1.2.3.", "10.1.2.3"},
        {"assign 00:1a:2b:3c:4d:5f 192.168.0.60", kOtherModel, 1,
         "cvsetup: no converter of a supported model with the MAC 00:1a:2b:3c:4d:5f answered", ""},
        {"assign 00:1a:2b:3c:4d:5e 192.168.0.0", kConverter, 2,
         "cvsetup: 192.168.0.0 is the network address of the converter's link 192.168.0.2/255.255.255.0", ""},
        {"assign 00:1a:2b:3c:4d:5e 192.168.0.255", kConverter, 2,
         "cvsetup: 192.168.0.255 is the broadcast address of the converter's link 192.168.0.2/255.255.255.0", ""},
        {"assign 00:1a:2b:3c:4d:5e 192.168.0.127", kConverter, 2, "cvsetup: 192.168.0.127 is the broadcast address "
         "of the converter's link 192.168.0.2/255.255.255.128", "", nullptr, win::kEnglish, "255.255.255.128"},
        {"assign 00:1a:2b:3c:4d:5e 192.168.0.3", kConverter, 2, "cvsetup: 192.168.0.3 is the broadcast address of "
         "the converter's link 192.168.0.2/255.255.255.252", "", nullptr, win::kEnglish, "255.255.255.252"},
        {"assign 00:1a:2b:3c:4d:5e 192.168.0.1", kConverter, 2, "cvsetup: 192.168.0.1 is already used by another "
         "device on the converter's link 192.168.0.2/255.255.255.252", "", nullptr, win::kEnglish, "255.255.255.252"},
        {"assign 00:1a:2b:3c:4d:5e 192.168.0.2", kConverter, 2, "cvsetup: 192.168.0.2 is this PC's own address on "
         "the converter's link 192.168.0.2/255.255.255.128", "", nullptr, win::kEnglish, "255.255.255.128"},
        {"assign 00:1a:2b:3c:4d:5e 192.168.0.60", kSendFails, 3,
         "cvsetup: the search failed on the network (error 10051)", ""},
        {"open 00:1A:2B:3C:4D:5E", kConverter, 0, "", "Opened http://192.168.0.50 in the default browser."},
        {"open 192.168.0.50", kConverter, 0, "", "Opened http://192.168.0.50 in the default browser."},
        {"open 192.168.0.99", kConverter, 1, "cvsetup: no converter of a supported model at 192.168.0.99 answered", ""},
        {"open 192.168.0.51", kOtherModel, 1, "cvsetup: no converter of a supported model at 192.168.0.51 answered", ""},
        {"open 10.0.0.5", kElsewhere, 0, "cvsetup: Current setting may not be able to access the Access Point Setup page.",
         "Opened http://10.0.0.5 in the default browser."},
        {"open 192.168.0.50", kBrowserFails, 5, "cvsetup: the browser could not be started (error 2)", ""},
        {"open 192.168.0.50", kPageRefuses, 6, "cvsetup: the converter's page http://192.168.0.50 does not answer: the "
         "converter refuses the connection (no browser was started)", ""},
        {"diagnose", kConverter, 0, "", "Devices that answered:"},
        {"diagnose", kOtherModel, 1, "cvsetup: no converter of a supported model answered", "Findings:"},
        {"diagnose", kSendFails, 3, "cvsetup: the search failed on the network (error 10051)", "Links searched:"},
        {"diagnose", kAnsweredThenWaitFails, 3, "cvsetup: the search failed on the network (error 10038)",
         "  A device of a model this program does not set up answered through the adapter \"Ethernet 2\" "
         "(192.168.0.2/24): \"OTHER-AP\" at 192.168.0.51. Connect the converter you want to set up, then scan "
         "again. [other-model-answered]"},
        {"diagnose", kC1Named, 1, "cvsetup: no converter of a supported model answered",
         "  A device of a model this program does not set up answered through the adapter \"Ethernet 2\" "
         "(192.168.0.2/24): \"OTHER-\uFFFD\" at 192.168.0.51. Connect the converter you want to set up, then scan "
         "again. [other-model-answered]"},
        {"list --all --json", kC1Named, 1, "cvsetup: no converter of a supported model answered",
         "      \"name\": \"OTHER-\\u009d\","},
        {"diagnose", kProgramBlocked, 1, "cvsetup: no converter of a supported model answered",
         "  Windows Firewall is on for the public network of the adapter \"Ethernet 2\" (192.168.0.2/24), and a "
         "rule blocks ConverterSetup.exe there: the firewall drops the converter's answers. Turn that rule off "
         "under Inbound Rules in Windows Firewall's advanced settings, then scan again. [firewall-may-block]"},
        {"diagnose", kProgramBlocked, 1, "cvsetup: no converter of a supported model answered",
         "      netsh advfirewall firewall add rule name=\"Converter Setup\" dir=in action=allow "
         "program=\"C:\\Tools\\ConverterSetup.exe\" protocol=UDP profile=any enable=yes"},
        {"diagnose", kNoRules, 1, "cvsetup: no converter of a supported model answered",
         "      netsh advfirewall firewall add rule name=\"Converter Setup (console)\" dir=in action=allow "
         "program=\"C:\\Tools\\cvsetup.exe\" protocol=UDP profile=any enable=yes"},
        {"diagnose", kOutOfMemory, 3, "cvsetup: out of memory", ""},
        {"frobnicate", kNothing, 2, "cvsetup: 不明なコマンド 'frobnicate'", "", nullptr, win::kJapanese},
        {"list", kConverter, 0, "", "ZTL-BR720-A   192.168.0.50  00:1a:2b:3c:4d:5e  Ethernet 2  192.168.0.2       同じ",
         nullptr, win::kJapanese},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        World world;
        world.port.interfaces = {{0x13, Ip(192, 168, 0, 2), net::InetAddr(row.netmask)}};
        world.port.hostAddress = Ip(192, 168, 0, 2);
        world.port.connects = {net::fake::Accepts(1)};  // the page answers at once; a device holds .1
        world.neighbours.entries = {{Ip(192, 168, 0, 1), net::kNeighbourReachable, {2}}};
        row.network(world);
        net::SetActivePort(&world.port);
        win::SetLanguage(row.language);
        std::vector<std::string> arguments;
        std::istringstream words(row.line);
        for (std::string word; words >> word;) arguments.push_back(word);
        Capture out, err;
        cli::Environment environment{out, err, world.browser, world.windows, kCvsetup, world.neighbours,
                                     [&world](std::uint32_t ms) { world.port.nowMs += ms; }};
        EXPECT_EQ(cli::Run(arguments, environment), row.status);
        net::SetActivePort(nullptr);

        EXPECT_EQ(err.FirstLine(), row.error);
        // The hint closes every usage error, and only those.
        EXPECT_EQ(err.text_.find("'cvsetup --help'") != std::string::npos, row.status == 2) << err.text_;
        EXPECT_TRUE(row.output.empty() ? out.text_.empty() : out.HasLine(row.output)) << out.text_;
        if (row.sentAddress) {
            ASSERT_FALSE(world.port.sent.empty());
            std::uint32_t sent;
            std::memcpy(&sent, world.port.sent.back().bytes.data() + net::kAddressOffset, 4);
            EXPECT_EQ(net::fake::Dotted(sent), row.sentAddress);
        }
        EXPECT_TRUE(world.port.Balanced()) << world.port.Report();
    }
}

// A pair whose first half would end a chunk starts the next one.
TEST(Cvsetup, ConsoleChunksNeverSplitASurrogatePair) {
    for (const std::size_t before : {8190u, 8191u, 8192u}) {
        const std::wstring text = std::wstring(before, L'a') + L"\U0001F600" + std::wstring(9000, L'b');
        EXPECT_EQ(cli::ConsoleChunkEnd(text, 0), before == 8191 ? 8191u : 8192u) << before;
    }
}

}  // namespace
