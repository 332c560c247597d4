// cvsetup.exe: the console companion of ConverterSetup.exe.
#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "cli/cvsetup.h"
#include "findings/windows_facts.h"
#include "win/com.h"
#include "win/language.h"
#include "win/system_library.h"

int wmain(int argc, wchar_t** argv) {
    win::RestrictLibrarySearchToSystem();
    cli::StdStream out(STD_OUTPUT_HANDLE);
    cli::StdStream err(STD_ERROR_HANDLE);
    try {
        win::ChooseLanguageAtStart();
        // The shell's "open" may hand the page to a COM server.
        const win::ComApartment apartment;
        std::vector<std::string> arguments;
        for (int i = 1; i < argc; ++i) arguments.push_back(win::ToUtf8(argv[i]));
        cli::ShellBrowser browser;
        findings::WindowsFactsSource windows;
        cli::Environment environment{out, err, browser, windows, findings::RunningProgramPath()};
        return cli::Run(arguments, environment);
    } catch (const std::bad_alloc&) {
        // The command's own memory is Run's to answer for, and the scan's
        // thread makes its own a failed scan; what runs out here is what the
        // start needs (the language, the arguments, the program's path).
        return cli::OutOfMemory(err);
    }
}
