#include "win/system_library.h"

#include <atomic>

namespace win {
namespace {

class PlatformLoader final : public LibraryLoader {
public:
    HMODULE LoadEx(const wchar_t* file, DWORD flags) override { return LoadLibraryExW(file, nullptr, flags); }
};

PlatformLoader g_platformLoader;
std::atomic<LibraryLoader*> g_loader{nullptr};

LibraryLoader& ActiveLoader() {
    LibraryLoader* loader = g_loader.load(std::memory_order_acquire);
    return loader ? *loader : g_platformLoader;
}

std::wstring InFolder(UINT(WINAPI* folderOf)(LPWSTR, UINT), const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = folderOf(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    std::wstring path(folder, length);
    if (path.back() != L'\\') path += L'\\';
    return path + name;
}

}  // namespace

void SetLibraryLoader(LibraryLoader* loader) { g_loader.store(loader, std::memory_order_release); }

HMODULE LoadSystemLibrary(const wchar_t* name) {
    LibraryLoader& loader = ActiveLoader();
    if (const HMODULE module = loader.LoadEx(name, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
    if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
    // A Windows without the flag: the full path, and the library's own
    // imports looked for beside it, in the system folder, first.
    const std::wstring path = InFolder(&GetSystemDirectoryW, name);
    return path.empty() ? nullptr : loader.LoadEx(path.c_str(), LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::wstring InWindowsFolder(const wchar_t* name) { return InFolder(&GetWindowsDirectoryW, name); }

bool RestrictLibrarySearchToSystem() {
    using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
    // kernel32 is in every process: asking for its handle loads nothing.
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const FARPROC found = kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    const auto restrict =
        reinterpret_cast<SetDefaultDllDirectoriesCall>(reinterpret_cast<void (*)()>(found));
    return restrict && restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace win
