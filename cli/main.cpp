// cvsetup.exe: the console companion of ConverterSetup.exe.
#include <windows.h>
#include <objbase.h>

#include <new>
#include <string>
#include <vector>

#include "cli/cvsetup.h"
#include "findings/windows_facts.h"
#include "findings/windows_neighbours.h"
#include "win/language.h"
#include "win/system_library.h"

namespace {

// The shell's "open" may hand the page to a COM server: the thread that asks
// for it lives in an apartment for as long as the program runs.
class ComApartment {
public:
    ComApartment()
        : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED |
                                                             COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (initialised_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    win::RestrictLibrarySearchToSystem();
    cli::StdStream out(STD_OUTPUT_HANDLE);
    cli::StdStream err(STD_ERROR_HANDLE);
    try {
        win::ChooseLanguageAtStart();
        ComApartment apartment;
        std::vector<std::string> arguments;
        for (int i = 1; i < argc; ++i) arguments.push_back(win::ToUtf8(argv[i]));
        cli::ShellBrowser browser;
        findings::WindowsFactsSource windows;
        findings::WindowsNeighbourTable neighbours;
        cli::Environment environment{out, err, browser, windows, findings::RunningProgramPath(), neighbours,
                                     [](std::uint32_t ms) { Sleep(ms); }};
        return cli::Run(arguments, environment);
    } catch (const std::bad_alloc&) {
        // The command's own memory is Run's to answer for, and the scan's
        // thread makes its own a failed scan; what runs out here is what the
        // start needs (the language, the arguments, the program's path).
        return cli::OutOfMemory(err);
    }
}
