#include "ui/allow_in_firewall.h"

#include <shellapi.h>
#include <netfw.h>

#include <cwchar>
#include <memory>
#include <vector>

#include "res/resource.h"
#include "win/com.h"
#include "win/language.h"
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
    std::vector<Program> programs{{programPath, win::kProgramRuleName}};
    const std::wstring console = programPath.substr(0, programPath.find_last_of(L"\\/") + 1) + win::kConsoleFileName;
    const DWORD attributes = GetFileAttributesW(console.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        programs.push_back({console, win::kConsoleRuleName});
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

bool AllowedInFirewall(const win::ElevatedRun& run) {
    return run.outcome == win::ElevatedRun::kEnded && static_cast<HRESULT>(run.exitCode) == S_OK;
}

namespace {

std::wstring WithValue(UINT id, const std::wstring& value) {
    std::wstring text = win::LoadText(id);
    const std::size_t at = text.find(L"%1");
    return at == std::wstring::npos ? text : text.replace(at, 2, value);
}

// What the failures that the copy meets in practice mean, a sentence that
// follows the failure's own (its blank, where the language has one, its
// own); 0 for any other.
UINT MeaningOf(HRESULT result) {
    switch (result) {
        case E_ACCESSDENIED: return IDS_FIREWALL_ACCESS_DENIED;
        // The firewall's service is stopped: its endpoint is not there, or
        // the service says it is not running.
        case HRESULT_FROM_WIN32(EPT_S_NOT_REGISTERED):
        case HRESULT_FROM_WIN32(ERROR_SERVICE_NOT_ACTIVE): return IDS_FIREWALL_SERVICE_STOPPED;
        case REGDB_E_CLASSNOTREG: return IDS_FIREWALL_NOT_REGISTERED;
        default: return 0;
    }
}

}  // namespace

std::wstring AllowInFirewallFailure(const win::ElevatedRun& run) {
    if (AllowedInFirewall(run)) return std::wstring();
    switch (run.outcome) {
        case win::ElevatedRun::kDeclined: return win::LoadText(IDS_FIREWALL_DECLINED);
        case win::ElevatedRun::kNotStarted: return WithValue(IDS_FIREWALL_NOT_STARTED, std::to_wstring(run.error));
        case win::ElevatedRun::kEnded: break;
    }
    wchar_t hex[11];
    swprintf(hex, 11, L"0x%08lX", static_cast<unsigned long>(run.exitCode));
    std::wstring text = WithValue(IDS_FIREWALL_FAILED, hex);
    if (const UINT meaning = MeaningOf(static_cast<HRESULT>(run.exitCode))) text += win::LoadText(meaning);
    return text;
}

}  // namespace ui
