// Stands in for the help viewer hh.exe in a test prefix: it appends the
// parameter string it was started with (the command line after the program's
// name, verbatim, UTF-8) as one line to the file CS_HHLOG names (a Windows
// path, or a Unix one reached through wine's Z: drive), and shows nothing.
#include <windows.h>

#include <string>

#include "tools/common/win_text.h"

namespace {

// A quoted program name ends at its closing quote, a bare one at a blank.
std::wstring ParameterPart(const wchar_t* p) {
    const wchar_t end = *p == L'"' ? *p++ : L' ';
    while (*p && *p != end) ++p;
    if (*p == L'"') ++p;
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    wchar_t path[MAX_PATH] = L"C:\\hhlog.txt";
    GetEnvironmentVariableW(L"CS_HHLOG", path, MAX_PATH);
    std::wstring file = path;
    if (file[0] == L'/') file = L"Z:" + file;
    const std::string line = cstools::Utf8(ParameterPart(GetCommandLineW())) + "\n";
    // Appending makes the line one atomic write, even when two viewers start.
    HANDLE f = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok = f != INVALID_HANDLE_VALUE &&
                    WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    return ok && written == line.size() ? 0 : 1;
}
