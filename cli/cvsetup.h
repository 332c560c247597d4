// cvsetup: the program's search, address assignment, page launch and
// findings for administrators and scripts, without a window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli/output.h"
#include "findings/facts.h"
#include "net/idle.h"
#include "net/neighbour_table.h"

namespace cli {

// The same for every command; --help lists them.
enum ExitStatus {
    kExitOk = 0,             // found; taken; opened; help and version
    kExitNotFound = 1,       // no converter of a supported model (with that MAC or address)
    kExitUsage = 2,
    kExitNetworkFailed = 3,  // the search or the exchange failed on the network
    kExitNotTaken = 4,       // the converter refused the address or did not answer
    kExitBrowserFailed = 5,
    kExitPageNotAnswering = 6,  // the converter's page did not answer: no browser was started
};

// The shell's "open" of the setup page; tests put a recorder in.
class Browser {
public:
    virtual ~Browser() = default;
    // 0, or the system's error number why the browser could not be started.
    virtual DWORD Open(const std::wstring& url) = 0;
};

// ShellExecuteExW with SEE_MASK_NOASYNC (the process ends right after) and
// SEE_MASK_FLAG_NO_UI (a console program shows no error box).
class ShellBrowser final : public Browser {
public:
    DWORD Open(const std::wstring& url) override;
};

struct Environment {
    TextStream& out;
    TextStream& err;
    Browser& browser;
    // What Windows says of the adapters: their names, and the findings.
    findings::FactsSource& windows;
    // cvsetup's own file, full path (UTF-8): the findings speak of the
    // firewall's rules for ConverterSetup.exe beside it and for itself.
    std::string program;
    // Who answers ARP for an address on the converter's link (Windows'
    // neighbour table), and what the program does while it waits for the
    // network (it sleeps).
    net::NeighbourTable& neighbours;
    net::Idle idle;
};

// Runs one command line (the arguments after the program's name, UTF-8) and
// returns its exit status. Never throws: out of memory, it says so on
// standard error and exits as a failure.
int Run(const std::vector<std::string>& arguments, Environment& environment);

// "cvsetup: out of memory" on err, and the exit status that goes with it.
int OutOfMemory(TextStream& err);

}  // namespace cli
