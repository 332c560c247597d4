// Opening a converter's web setup page in the browser the shell chooses, for
// the initial flow and for the result window's list.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ui/result_window.h"

namespace flow {

// "http://" followed directly by the address text.
std::string SetupPageAddress(const char* address);

// Run while the LaunchingWindow is still on screen when the shell could not
// open the page.
using FailureReport = std::function<void()>;

// Shows the LaunchingWindow (owned by `parent`, which may be null, centred
// over the result window), asks the shell to open the setup page of
// `address` with the result window as owner, runs `failureReport` when the
// shell fails, then removes the window. Returns after all of that, on the
// caller's thread.
void SetupPageLauncher(const char* address, HWND parent, ui::ResultWindow& resultWindow,
                       const FailureReport& failureReport);

// Whether `converter` lies in the PC's subnet as the probe texts give it.
// Without a PC address or netmask there is nothing to hold it against: the
// converter counts as reachable.
bool InPcSubnet(const char* pcAddress, const char* pcNetmask, const char* converter);

// The warning for a converter outside the PC's subnet, in the program's
// language.
std::wstring SubnetWarningText(const char* pcAddress, const char* pcNetmask);

// The program file's name without its directory and extension: the title of
// a message box that has no caption of its own.
std::wstring ApplicationName();

// The Converter Setup Page button and a double-click in the list: opens the
// setup page of the row with the selection mark, then closes the result
// window; or explains why not. Window thread.
void LaunchSelected(ui::ResultWindow& window);

}  // namespace flow
