// Windows Firewall's rules (INetFwPolicy2) behind a seam: listed, one added,
// one disabled. Wine's policy stores nothing that is added and cannot list
// its rules, so the rules' logic is tested against a stand-in of this seam.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace win {

// The names Allow in Firewall gives its rules, and the console companion's
// file beside the program; cvsetup's advice for an administrator names them
// too.
constexpr wchar_t kProgramRuleName[] = L"Converter Setup";
constexpr wchar_t kConsoleRuleName[] = L"Converter Setup (console)";
constexpr wchar_t kConsoleFileName[] = L"cvsetup.exe";

// Whether a firewall rule's application is `file` (a full path), as Windows
// decides it: a rule names its program as typed, often with environment
// variables (%ProgramFiles%\...), and paths are compared without case.
bool RuleApplicationIs(const wchar_t* ruleApplication, const std::wstring& file);

// The fields of a rule that decide whether it lets a program's UDP in.
struct FirewallRule {
    std::wstring name;
    std::wstring application;  // as the rule spells it
    bool inbound = true;
    long protocol = 0;  // NET_FW_IP_PROTOCOL_*: 6 TCP, 17 UDP, 256 any
    long profiles = 0;  // NET_FW_PROFILE2_* bits
    bool allows = true;  // else it blocks
    bool enabled = true;
};

class FirewallRules {
public:
    virtual ~FirewallRules() = default;
    // Every rule, in Windows' order.
    virtual HRESULT List(std::vector<FirewallRule>* rules) = 0;
    virtual HRESULT Add(const FirewallRule& rule) = 0;
    // The rule at `index` of the last List.
    virtual HRESULT Disable(std::size_t index) = 0;
};

// Windows' own rules, through COM (initialised by the caller). Changes need
// the caller to be elevated: otherwise they fail with E_ACCESSDENIED.
class WindowsFirewallRules final : public FirewallRules {
public:
    WindowsFirewallRules();
    ~WindowsFirewallRules() override;
    HRESULT List(std::vector<FirewallRule>* rules) override;
    HRESULT Add(const FirewallRule& rule) override;
    HRESULT Disable(std::size_t index) override;

private:
    struct Listed;
    std::unique_ptr<Listed> listed_;
};

}  // namespace win
