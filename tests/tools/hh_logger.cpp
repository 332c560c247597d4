// Stands in for the HTML help viewer hh.exe in a test prefix: it records the
// parameter string it was started with, one line per start, and shows
// nothing. Copied over C:\windows\hh.exe, it lets an end-to-end test see
// exactly which help file and topic the program asked for.
//
// The log is the file named by CS_HHLOG (a Windows path, or a Unix path,
// which is reached through wine's Z: drive), else C:\hhlog.txt. The line is
// the command line after the program's own name, verbatim (blanks and quotes
// kept), in UTF-8, ended by "\n".

#include <windows.h>

#include <string>

namespace {

// The part of the command line after the program name, as the parent passed
// it: a quoted name ends at its closing quote, a bare one at the first blank.
std::wstring ParameterPart(const wchar_t* line) {
  const wchar_t* p = line;
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

std::wstring LogPath() {
  wchar_t buf[MAX_PATH * 2] = {};
  DWORD n = GetEnvironmentVariableW(L"CS_HHLOG", buf, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2) return L"C:\\hhlog.txt";
  std::wstring path = buf;
  if (path[0] == L'/') {
    for (auto& c : path)
      if (c == L'/') c = L'\\';
    path = L"Z:" + path;
  }
  return path;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  std::string line = Utf8(ParameterPart(GetCommandLineW())) + "\n";
  // Append mode makes each line one atomic write, even when two viewers
  // start at once.
  HANDLE f = CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  BOOL ok = WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == line.size() ? 0 : 1;
}
