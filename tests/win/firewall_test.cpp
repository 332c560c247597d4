// Allow in Firewall: the rules against a stand-in of Windows' (wine's stores nothing that is added
// and cannot list its rules), and "runas", which wine starts without asking, against the shell's.
#include "tests/win/support.h"

#include <tuple>

#include "ui/allow_in_firewall.h"
#include "win/system_library.h"

namespace {

using namespace cstest;

std::string Text(const win::FirewallRule& r) {
    return win::ToUtf8(r.name + L"|" + r.application) + (r.inbound ? "|in|" : "|out|") + std::to_string(r.protocol) +
           "|" + std::to_string(r.profiles) + (r.allows ? "|allow|" : "|block|") + (r.enabled ? "on" : "off");
}

// Windows' rules: each change logged ("+" added, "-" disabled) and kept, even
// one refused with `added` or `disabled` (a refusal ends a row).
struct Firewall : win::FirewallRules {
    Firewall(std::vector<win::FirewallRule> held, HRESULT add, HRESULT disable)
        : rules(std::move(held)), added(add), disabled(disable) {}
    std::vector<win::FirewallRule> rules;
    HRESULT added, disabled;
    std::vector<std::string> log;
    HRESULT List(std::vector<win::FirewallRule>* out) override { *out = rules; return S_OK; }
    HRESULT Add(const win::FirewallRule& r) override { log.push_back("+" + Text(r)); rules.push_back(r); return added; }
    HRESULT Disable(std::size_t i) override {
        log.push_back("-" + Text(rules[i]));
        rules[i].enabled = false;
        return disabled;
    }
};

// C:\cs holds both program files, C:\ the program alone. A second run changes nothing.
TEST(AllowInFirewall, EachProgramFileGetsOneUdpAllowRuleAndLosesItsInboundBlockRules) {
    CreateDirectoryW(L"C:\\cs", nullptr);
    CloseHandle(CreateFileW(L"C:\\cs\\cvsetup.exe", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const wchar_t *both = L"C:\\cs\\ConverterSetup.exe", *alone = L"C:\\ConverterSetup.exe";
    const long all = 0x7fffffff;  // every profile
    const win::FirewallRule allow{L"Converter Setup", both, true, 17, all, true, true},
        allowConsole{L"Converter Setup (console)", L"C:\\cs\\cvsetup.exe", true, 17, all, true, true},
        block{L"x", both, true, 17, all, false, true},
        blockConsole{L"x", L"%SystemDrive%\\CS\\CvSetup.exe", true, 6, 2, false, true};
    const struct {
        const char* name;
        const wchar_t* program;
        std::vector<win::FirewallRule> rules;
        std::vector<std::string> calls;
        HRESULT result, added = S_OK, disabled = S_OK;
    } rows[] = {
        {"no rules", both, {}, {"+" + Text(allow), "+" + Text(allowConsole)}, S_OK},
        {"no cvsetup.exe", alone, {}, {"+Converter Setup|C:\\ConverterSetup.exe|in|17|2147483647|allow|on"}, S_OK},
        {"inbound block rules go, others stay; the allow rules are there, one as %VAR% in capitals", both,
         {block, allow, blockConsole, {L"x", both, false, 17, all, false, true},
          {L"x", both, true, 17, all, false, false}, {L"x", L"C:\\x\\ConverterSetup.exe", true, 17, all, false, true},
          {L"Converter Setup (console)", L"%SystemDrive%\\CS\\CVSETUP.EXE", true, 17, all, true, true}},
         {"-" + Text(block), "-" + Text(blockConsole)}, S_OK},
        {"every step tried, the first failure kept", both, {block},
         {"-" + Text(block), "+" + Text(allow), "+" + Text(allowConsole)}, E_ACCESSDENIED, E_FAIL, E_ACCESSDENIED},
        {"no program path: a rule would let every program in", L"", {}, {}, E_INVALIDARG},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Firewall firewall(row.rules, row.added, row.disabled);
        EXPECT_EQ(ui::AllowInFirewall(firewall, row.program), row.result);
        EXPECT_EQ(firewall.log, row.calls);
        firewall.log.clear();
        EXPECT_TRUE(row.result != S_OK || (ui::AllowInFirewall(firewall, row.program) == S_OK && firewall.log.empty()));
    }
}

HWND g_owner = nullptr;
win::UniqueKernelHandle g_copyThread;

// The shell's stand-in hands back the program started with the switch alone, held until the wait handles a
// timer's message; it exits with its firewall work's result (wine's cannot list rules: E_NOTIMPL). Declined
// and not started: the notice's rows.
TEST_F(WinTest, AllowInFirewallWaitsForTheElevatedCopyWhichDoesItsFirewallWorkAlone) {
    EXPECT_FALSE(ui::IsAllowInFirewallCommand(L"ConverterSetup.exe /cs-allow-firewall /cs-allow-firewall"));
    const win::UniqueWindow owner(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, {}, {}, {}, {}));
    g_owner = owner.get();
    SetPropA(g_owner, ui::kInstanceProperty, reinterpret_cast<HANDLE>(1));
    std::wstring program = win::FromUtf8(CS_PROGRAM_PATH), command = L"\"" + program + L"\" /cs-allow-firewall";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION copy{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), &command[0], {}, {}, FALSE, CREATE_SUSPENDED, {}, {}, &startup, &copy));
    g_copyThread.reset(copy.hThread);
    shell.process = copy.hProcess;  // the launcher's to close
    const std::string runas = "runas " + win::ToUtf8(win::ProgramFilePath()) + " /cs-allow-firewall mask 1344 owner " +
                              std::to_string(reinterpret_cast<UINT_PTR>(g_owner));  // NOCLOSEPROCESS|NOASYNC|NO_UI
    SetTimer(nullptr, 0, USER_TIMER_MINIMUM, [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        Log(std::string("during the wait: owner ") + (IsWindowEnabled(g_owner) ? "enabled" : "disabled"));
        ResumeThread(g_copyThread.get());
    });
    const win::ElevatedRun run = ui::StartAllowInFirewall(g_owner);
    EXPECT_EQ(std::tuple(run.outcome, run.error, run.exitCode), std::tuple(win::ElevatedRun::kEnded, DWORD(0), DWORD(E_NOTIMPL)));
    EXPECT_EQ(g_events, (std::vector<std::string>{runas, "during the wait: owner disabled"}));
    EXPECT_TRUE(IsWindowEnabled(g_owner));
}

}  // namespace
