// Allow in Firewall: the elevated copy's rules, against a stand-in of
// Windows' rules (wine's firewall stores nothing that is added and cannot
// list its rules); the copy started through "runas", which wine starts
// without asking, against the shell's stand-in; and the start-up's switch.
#include "tests/win/support.h"

#include <netfw.h>

#include <algorithm>
#include <sstream>
#include <tuple>

#include "ui/allow_in_firewall.h"
#include "win/system_library.h"

namespace {

using namespace cstest;

// The folder of a built file, as Windows spells it.
std::wstring FolderOf(const char* file) {
    std::wstring path = win::FromUtf8(file);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path.substr(0, path.rfind(L'\\') + 1);
}

// Windows' rules, each written "NAME|APPLICATION|in|PROTOCOL|PROFILES|allow|on"
// (every profile "all"; the program files in `folder` as P and C). Each
// change is logged and answered with the next of `results` (then S_OK).
struct Firewall : win::FirewallRules {
    std::wstring folder;
    std::vector<win::FirewallRule> rules;
    HRESULT listed = S_OK;
    std::vector<HRESULT> results;
    std::vector<std::string> calls;

    std::string Described(const win::FirewallRule& r) const {
        const std::string application = r.application == folder + L"ConverterSetup.exe" ? "P"
                                        : r.application == folder + L"cvsetup.exe"       ? "C"
                                                                                        : win::ToUtf8(r.application);
        return win::ToUtf8(r.name) + "|" + application + (r.inbound ? "|in|" : "|out|") + std::to_string(r.protocol) +
               "|" + (r.profiles == NET_FW_PROFILE2_ALL ? "all" : std::to_string(r.profiles)) +
               (r.allows ? "|allow|" : "|block|") + (r.enabled ? "on" : "off");
    }
    void Hold(const std::string& text) {
        std::istringstream fields(text);
        std::string f[7];
        for (std::string& field : f) std::getline(fields, field, '|');
        const std::wstring application = f[1] == "P" ? folder + L"ConverterSetup.exe"
                                         : f[1] == "C" ? folder + L"cvsetup.exe"
                                                       : win::FromUtf8(f[1]);
        rules.push_back({win::FromUtf8(f[0]), application, f[2] == "in", std::stol(f[3]),
                         f[4] == "all" ? long{NET_FW_PROFILE2_ALL} : std::stol(f[4]), f[5] == "allow", f[6] == "on"});
    }
    HRESULT List(std::vector<win::FirewallRule>* out) override {
        *out = rules;
        return listed;
    }
    HRESULT Add(const win::FirewallRule& rule) override {
        return Logged("add " + Described(rule), [&] { rules.push_back(rule); });
    }
    HRESULT Disable(std::size_t index) override {
        return Logged("disable " + Described(rules.at(index)), [&] { rules[index].enabled = false; });
    }
    HRESULT Logged(const std::string& call, const std::function<void()>& done) {
        calls.push_back(call);
        const HRESULT result = calls.size() <= results.size() ? results[calls.size() - 1] : S_OK;
        if (SUCCEEDED(result)) done();
        return result;
    }
};

// A second run changes nothing of what the first one did.
TEST(AllowInFirewall, EachProgramFileGetsOneUdpAllowRuleAndLosesItsInboundBlockRules) {
    const std::wstring console = FolderOf(CS_CVSETUP_PATH), alone = FolderOf(CS_PROGRAM_PATH);
    SetEnvironmentVariableW(L"CS_TOOLS", console.substr(0, console.size() - 1).c_str());
    const std::string allow = "Converter Setup|P|in|17|all|allow|on";
    const std::string allowConsole = "Converter Setup (console)|C|in|17|all|allow|on";
    const struct {
        const char* name;
        std::wstring folder;  // empty: no program path
        std::vector<std::string> rules;
        HRESULT listed;
        std::vector<HRESULT> results;
        std::vector<std::string> calls;
        HRESULT result;
    } rows[] = {
        {"no rules", console, {}, S_OK, {}, {"add " + allow, "add " + allowConsole}, S_OK},
        {"no cvsetup.exe beside the program", alone, {}, S_OK, {}, {"add " + allow}, S_OK},
        {"both there, one spelled with a variable and in capitals", console,
         {"Converter Setup|%CS_TOOLS%\\CONVERTERSETUP.EXE|in|17|all|allow|on", allowConsole}, S_OK, {}, {}, S_OK},
        {"near misses: TCP, one profile, switched off, outbound, another name", alone,
         {"Converter Setup|P|in|6|all|allow|on", "Converter Setup|P|in|17|4|allow|on",
          "Converter Setup|P|in|17|all|allow|off", "Converter Setup|P|out|17|all|allow|on",
          "Converter Setup (console)|P|in|17|all|allow|on"},
         S_OK, {}, {"add " + allow}, S_OK},
        {"block rules: the enabled inbound ones of the two files go", console,
         {"ConverterSetup.exe|P|in|17|all|block|on", allow, "cvsetup|%CS_TOOLS%\\CvSetup.exe|in|6|2|block|on",
          "ConverterSetup.exe|P|out|17|all|block|on", "ConverterSetup.exe|P|in|17|all|block|off",
          "ConverterSetup.exe|C:\\Other\\ConverterSetup.exe|in|17|all|block|on", allowConsole},
         S_OK, {},
         {"disable ConverterSetup.exe|P|in|17|all|block|on",
          "disable cvsetup|%CS_TOOLS%\\CvSetup.exe|in|6|2|block|on"},
         S_OK},
        {"every step tried, the first failure kept", console, {"ConverterSetup.exe|P|in|17|all|block|on"}, S_OK,
         {E_ACCESSDENIED, S_OK, E_FAIL},
         {"disable ConverterSetup.exe|P|in|17|all|block|on", "add " + allow, "add " + allowConsole},
         E_ACCESSDENIED},
        {"the rules cannot be listed", console, {}, E_NOTIMPL, {}, {}, E_NOTIMPL},
        {"no program path: a rule would let every program in", L"", {}, S_OK, {}, {}, E_INVALIDARG},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Firewall firewall;
        firewall.folder = row.folder;
        for (const std::string& rule : row.rules) firewall.Hold(rule);
        firewall.listed = row.listed;
        firewall.results = row.results;
        const std::wstring program = row.folder.empty() ? L"" : row.folder + L"ConverterSetup.exe";
        EXPECT_EQ(ui::AllowInFirewall(firewall, program), row.result);
        EXPECT_EQ(firewall.calls, row.calls);
        if (row.result != S_OK) continue;
        firewall.calls.clear();
        EXPECT_EQ(ui::AllowInFirewall(firewall, program), S_OK);
        EXPECT_EQ(firewall.calls, std::vector<std::string>{});
    }
}

HANDLE g_copy = nullptr;
HWND g_owner = nullptr;

// Runs only from a dispatched WM_TIMER: the wait handles this thread's
// messages while the copy runs, its owner meanwhile disabled.
void CALLBACK EndCopy(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    Log(std::string("during the wait: owner ") + (IsWindowEnabled(g_owner) ? "enabled" : "disabled") +
        (WaitForSingleObject(g_copy, 0) == WAIT_TIMEOUT ? ", copy running" : ", copy gone"));
    TerminateProcess(g_copy, static_cast<UINT>(E_ACCESSDENIED));
}

struct Started {
    win::UniqueKernelHandle process, thread;
};
Started Start(const std::wstring& program, std::wstring commandLine, DWORD flags) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION copy{};
    EXPECT_TRUE(CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                               &startup, &copy));
    return {win::UniqueKernelHandle(copy.hProcess), win::UniqueKernelHandle(copy.hThread)};
}

win::UniqueWindow Popup() {
    return win::UniqueWindow(
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(WinTest, AllowInFirewallStartsTheProgramElevatedAndWaitsForItsResultWithMessagesHandled) {
    const win::UniqueWindow owner = Popup();
    g_owner = owner.get();
    // A real process to wait for, held suspended until the timer ends it.
    const Started copy = Start(win::ProgramFilePath(), L"copy", CREATE_SUSPENDED);
    g_copy = shell.process = copy.process.get();
    // The mask: NOCLOSEPROCESS | NOASYNC | FLAG_NO_UI.
    const std::string runas = "runas " + win::ToUtf8(win::ProgramFilePath()) + " /cs-allow-firewall 0x540 owner " +
                              std::to_string(reinterpret_cast<std::uintptr_t>(g_owner));
    const struct {
        const char* name;
        BOOL started;
        DWORD error;
        win::ElevatedRun::Outcome outcome;
        DWORD exitCode;
        std::vector<std::string> events;
    } rows[] = {
        {"the user declines", FALSE, ERROR_CANCELLED, win::ElevatedRun::kDeclined, 0, {runas}},
        {"the shell cannot start it", FALSE, ERROR_FILE_NOT_FOUND, win::ElevatedRun::kNotStarted, 0, {runas}},
        {"the copy ends", TRUE, 0, win::ElevatedRun::kEnded, static_cast<DWORD>(E_ACCESSDENIED),
         {runas, "during the wait: owner disabled, copy running"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        g_events.clear();
        shell.result = row.started;
        shell.error = row.error;
        if (row.started) SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &EndCopy);
        const win::ElevatedRun run = ui::StartAllowInFirewall(g_owner);
        EXPECT_EQ(std::tuple(run.outcome, run.error, run.exitCode), std::tuple(row.outcome, row.error, row.exitCode));
        EXPECT_EQ(g_events, row.events);
        EXPECT_TRUE(IsWindowEnabled(g_owner));
    }
    TerminateProcess(copy.process.get(), 0);  // where the wait never ran
}

// The elevated copy is the program started with the switch alone; started
// so while a copy runs, it does its firewall work, whose result it exits
// with, rather than find that copy and end with 0. (Wine's firewall cannot
// list its rules: E_NOTIMPL; an unelevated Windows refuses to add one.)
TEST(StartUp, TheSwitchAloneMakesTheElevatedCopyWhichNeverLooksForTheRunningCopy) {
    EXPECT_TRUE(ui::IsAllowInFirewallCommand(L"\"C:\\Program Files\\CS\\ConverterSetup.exe\" /cs-allow-firewall"));
    for (const wchar_t* other : {L"ConverterSetup.exe", L"ConverterSetup.exe /cs-allow-firewall /cs-allow-firewall",
                                 L"\"C:\\a /cs-allow-firewall\\ConverterSetup.exe\""}) {
        EXPECT_FALSE(ui::IsAllowInFirewallCommand(other)) << win::ToUtf8(other);
    }
    const win::ComApartment com;
    const win::UniqueWindow running = Popup();
    SetPropA(running.get(), ui::kInstanceProperty, reinterpret_cast<HANDLE>(1));
    const std::wstring program = FolderOf(CS_PROGRAM_PATH) + L"ConverterSetup.exe";
    const Started copy = Start(program, L"\"" + program + L"\" " + ui::kAllowInFirewallSwitch, 0);
    ASSERT_EQ(WaitForSingleObject(copy.process.get(), 30000), WAIT_OBJECT_0);  // against a hang only
    DWORD exitCode = 0;
    GetExitCodeProcess(copy.process.get(), &exitCode);
    win::WindowsFirewallRules windows;
    EXPECT_EQ(static_cast<HRESULT>(exitCode), ui::AllowInFirewall(windows, program));
    EXPECT_TRUE(FAILED(static_cast<HRESULT>(exitCode)));
    RemovePropA(running.get(), ui::kInstanceProperty);
}

}  // namespace
