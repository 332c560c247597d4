// Libraries come from the system folder only. Users unzip the program into
// their Downloads folder and start it there, where a drive-by download can
// plant a DLL of any name: a library looked for by its bare name would be
// taken from the program's folder first and run with the user's rights.
#pragma once

#include <windows.h>

#include <string>

namespace win {

// The loader call that LoadSystemLibrary rests on; tests put a recorder in.
class LibraryLoader {
public:
    virtual ~LibraryLoader() = default;
    // As LoadLibraryExW, the last error set where it fails.
    virtual HMODULE LoadEx(const wchar_t* file, DWORD flags) = 0;
};
// nullptr restores the platform's loader.
void SetLibraryLoader(LibraryLoader* loader);

// `name` (L"iphlpapi.dll") from the system folder alone: with
// LOAD_LIBRARY_SEARCH_SYSTEM32 where Windows knows the flag, and by its full
// path in the folder GetSystemDirectoryW names where it does not (Windows 7
// without KB2533623 rejects the flag with error 87). nullptr when the
// library is not there.
HMODULE LoadSystemLibrary(const wchar_t* name);

// An export of a system library as a `Function`; nullptr when the library or
// the export is missing. The library stays loaded.
template <class Function>
Function SystemEntry(const wchar_t* library, const char* name) {
    const HMODULE module = LoadSystemLibrary(library);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                  : nullptr;
}

// `name` in the folder that GetWindowsDirectoryW names (L"C:\\Windows\\hh.exe");
// empty when Windows does not name it. A program started by its bare name
// would be looked for in the current folder first.
std::wstring InWindowsFolder(const wchar_t* name);

// First thing in both programs: what Windows' own libraries load on the
// program's behalf comes from the system folder too. SetDefaultDllDirectories
// is looked up, never imported: an import would keep the program from
// starting on a Windows 7 without it. false where Windows lacks it.
bool RestrictLibrarySearchToSystem();

}  // namespace win
