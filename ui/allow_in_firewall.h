// Allow in Firewall: the program starts a copy of itself elevated, with a
// switch of its own, and that copy lets the converter's answers in to both
// program files of its folder. It never changes the network's category nor
// turns the firewall off.
#pragma once

#include <windows.h>

#include <string>

#include "win/firewall_rules.h"
#include "win/shell.h"

namespace ui {

// The elevated copy's command line: the program's name and this alone. No
// user types it by accident; the program has no other option.
constexpr wchar_t kAllowInFirewallSwitch[] = L"/cs-allow-firewall";

bool IsAllowInFirewallCommand(const wchar_t* commandLine);

// For `programPath` and cvsetup.exe beside it (where it is there): disables
// each enabled inbound rule that blocks the file (Windows makes one when the
// user cancels its own question about the program, and a block wins over any
// allow), and adds one enabled inbound rule that allows it UDP in every
// profile, unless one with the same name and fields is there. Every step is
// tried; S_OK, or the first step's failure.
HRESULT AllowInFirewall(win::FirewallRules& rules, const std::wstring& programPath);

// The elevated copy's whole run, on a thread without COM: the work above for
// the running program with Windows' rules. Its result is the copy's exit code.
HRESULT AllowThisProgramInFirewall();

// Starts the running program's file elevated with the switch and waits for
// it (win::RunElevated): kEnded with the copy's HRESULT as its exit code,
// kDeclined, or kNotStarted. The caller's own windows other than `owner`
// stay as they are.
win::ElevatedRun StartAllowInFirewall(HWND owner);

// Whether the rules are there after the run: the copy ended with S_OK.
bool AllowedInFirewall(const win::ElevatedRun& run);

// Why the rules are not there, as the notice says it in the program's
// language: the consent declined, the copy not started (with the error), or
// its HRESULT in hex with what it means where that is known. Empty after
// success.
std::wstring AllowInFirewallFailure(const win::ElevatedRun& run);

}  // namespace ui
