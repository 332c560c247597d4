#include "ui/allow_in_firewall.h"

#include <shellapi.h>
#include <netfw.h>

#include <memory>
#include <vector>

#include "win/com.h"
#include "win/system_library.h"

namespace ui {

bool IsAllowInFirewallCommand(const wchar_t* commandLine) {
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> arguments(CommandLineToArgvW(commandLine, &count),
                                                                  &LocalFree);
    return arguments && count == 2 && std::wstring(arguments.get()[1]) == kAllowInFirewallSwitch;
}

HRESULT AllowInFirewall(win::FirewallRules& rules, const std::wstring& programPath) {
    struct Program {
        std::wstring path;
        const wchar_t* ruleName;
    };
    // A rule without an application would let every program in.
    if (programPath.empty()) return E_INVALIDARG;
    std::vector<Program> programs{{programPath, kProgramRuleName}};
    const std::wstring console = programPath.substr(0, programPath.find_last_of(L"\\/") + 1) + kConsoleFileName;
    const DWORD attributes = GetFileAttributesW(console.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        programs.push_back({console, kConsoleRuleName});
    }
    std::vector<win::FirewallRule> listed;
    HRESULT result = rules.List(&listed);
    if (FAILED(result)) return result;
    result = S_OK;
    const auto keepFirstFailure = [&result](HRESULT step) {
        if (SUCCEEDED(result) && FAILED(step)) result = step;
    };
    for (const Program& program : programs) {
        win::FirewallRule wanted;
        wanted.name = program.ruleName;
        wanted.application = program.path;
        wanted.inbound = true;
        wanted.protocol = NET_FW_IP_PROTOCOL_UDP;
        wanted.profiles = NET_FW_PROFILE2_ALL;
        wanted.allows = true;
        wanted.enabled = true;
        bool there = false;
        for (std::size_t i = 0; i < listed.size(); ++i) {
            const win::FirewallRule& rule = listed[i];
            if (!rule.enabled || !rule.inbound || !win::RuleApplicationIs(rule.application.c_str(), program.path)) {
                continue;
            }
            if (!rule.allows) {
                keepFirstFailure(rules.Disable(i));
            } else if (rule.name == wanted.name && rule.protocol == wanted.protocol &&
                       rule.profiles == wanted.profiles) {
                there = true;
            }
        }
        if (!there) keepFirstFailure(rules.Add(wanted));
    }
    return result;
}

HRESULT AllowThisProgramInFirewall() {
    const win::ComApartment com;
    win::WindowsFirewallRules windows;
    return AllowInFirewall(windows, win::ProgramFilePath());
}

win::ElevatedRun StartAllowInFirewall(HWND owner) {
    return win::RunElevated(owner, win::ProgramFilePath(), kAllowInFirewallSwitch);
}

}  // namespace ui
