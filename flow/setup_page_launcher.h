// Opening a converter's web setup page in the browser the shell chooses, for
// the initial flow and for the result window's list.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "net/device_table.h"
#include "net/page_check.h"
#include "ui/result_window.h"

namespace flow {

// "http://" followed directly by the address text.
std::string SetupPageAddress(const char* address);

// Run while the LaunchingWindow is still on screen when the page was not
// opened: with the page check when the page did not answer, with nullptr
// when the shell could not open it.
using FailureReport = std::function<void(const net::PageCheck* unanswered)>;

// Shows the LaunchingWindow (owned by `parent`, which may be null, centred
// over the result window) and waits, its thread's messages handled, until
// port 80 of `address` accepts a connection from the PC's address on `link`
// (net::CheckPage); then asks the shell to open the setup page with the
// result window as owner. A `parent` takes no input meanwhile. Runs
// `failureReport` when the page does not answer or the shell fails, then
// removes the window. Returns after all of that, on the caller's thread.
void SetupPageLauncher(const char* address, const net::Link& link, HWND parent,
                       ui::ResultWindow& resultWindow, const FailureReport& failureReport);

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
