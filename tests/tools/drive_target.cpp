// A small window that the self-test of cs-drive drives: it has one control of
// each kind the program's windows use, and writes a line to its log for
// every command, system command and list notification it receives, so the
// test can see what each cs-drive command caused.
//
// drive-target.exe TITLE LOGFILE [--zero]
//   --zero  take the size 0 x 0 after creation, as the program's main window
//           does, to show that driving does not depend on screen area.
// Button 12 asks the shell to open the help viewer and button 13 a web
// address, as the program does, for the hh.exe and xdg-open stand-ins.
// Button 14 asks a question in a message box on a thread of its own, as the
// program's flows do.

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kPress = 10;
constexpr int kDisabled = 11;
constexpr int kHelp = 12;
constexpr int kBrowse = 13;
constexpr int kAsk = 14;
constexpr int kEdit = 20;
constexpr int kAddress = 30;
constexpr int kList = 40;
constexpr int kLabel = 50;

FILE* g_log = nullptr;
HWND g_list = nullptr;

void Log(const char* fmt, unsigned long long a, unsigned long long b = 0) {
  if (!g_log) return;
  std::fprintf(g_log, fmt, a, b);
  std::fputc('\n', g_log);
  std::fflush(g_log);
}

DWORD WINAPI Ask(void* owner) {
  int answer = MessageBoxW(static_cast<HWND>(owner),
                           L"First line.\n\u691c\u7d22\u3057\u307e\u3059\u304b\uff1f",
                           L"Error", MB_YESNO | MB_ICONINFORMATION);
  Log("msgbox %llu", static_cast<unsigned long long>(answer));
  return 0;
}

void AddColumn(int index, const wchar_t* text, int width) {
  LVCOLUMNW c{};
  c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  c.pszText = const_cast<wchar_t*>(text);
  c.cx = width;
  c.iSubItem = index;
  SendMessageW(g_list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&c));
}

void AddRow(int row, const wchar_t* a, const wchar_t* b, const wchar_t* c) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = const_cast<wchar_t*>(a);
  SendMessageW(g_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  const wchar_t* rest[] = {b, c};
  for (int i = 0; i < 2; ++i) {
    item.iSubItem = i + 1;
    item.pszText = const_cast<wchar_t*>(rest[i]);
    SendMessageW(g_list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  }
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y,
           int w, int h) {
  return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

void Create(HWND w) {
  Child(w, L"BUTTON", L"Press me", BS_PUSHBUTTON | WS_TABSTOP, kPress, 10, 10, 90, 24);
  HWND off = Child(w, L"BUTTON", L"Disabled", BS_PUSHBUTTON | WS_TABSTOP, kDisabled, 110, 10, 90, 24);
  EnableWindow(off, FALSE);
  Child(w, L"BUTTON", L"Help", BS_PUSHBUTTON | WS_TABSTOP, kHelp, 210, 10, 60, 24);
  Child(w, L"BUTTON", L"Browse", BS_PUSHBUTTON | WS_TABSTOP, kBrowse, 280, 10, 60, 24);
  Child(w, L"BUTTON", L"Ask", BS_PUSHBUTTON | WS_TABSTOP, kAsk, 210, 44 + 30, 60, 20);
  Child(w, L"EDIT", L"", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, kEdit, 10, 44, 160, 22);
  Child(w, WC_IPADDRESSW, L"", WS_TABSTOP, kAddress, 180, 44, 160, 22);
  // The ideographic space is the kind of character a texts test must keep.
  Child(w, L"STATIC", L"\u30b3\u30f3\u30d0\u30fc\u30bf\u3000\u30ea\u30b9\u30c8", 0, kLabel, 10, 76,
        200, 18);
  g_list = Child(w, WC_LISTVIEWW, L"", LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER,
                 kList, 10, 100, 330, 120);
  AddColumn(0, L"Converter Name", 120);
  AddColumn(1, L"IP Address", 100);
  AddColumn(2, L"MAC Address", 110);
  AddRow(0, L"ZTL-BR720 one", L"192.168.0.50", L"00:11:22:33:44:55");
  AddRow(1, L"\u691c\u7d22 \"two\"", L"10.0.0.7", L"00:11:22:33:44:66");
  SetPropW(w, L"CsDriveProbe", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x1234)));
}

LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      Create(w);
      return 0;
    case WM_COMMAND:
      Log("command %llu %llu", LOWORD(wp), HIWORD(wp));
      if (LOWORD(wp) == kHelp && HIWORD(wp) == BN_CLICKED)
        ShellExecuteW(nullptr, L"open", L"hh.exe",
                      L"C:\\Tools dir\\Help.chm::/HTML/T040IP.html", nullptr, SW_SHOW);
      if (LOWORD(wp) == kPress && HIWORD(wp) == BN_CLICKED)
        SetWindowTextW(GetDlgItem(w, kEdit), L"pressed");
      if (LOWORD(wp) == kAsk && HIWORD(wp) == BN_CLICKED) {
        HANDLE t = CreateThread(nullptr, 0, Ask, w, 0, nullptr);
        if (t) CloseHandle(t);
      }
      if (LOWORD(wp) == kBrowse && HIWORD(wp) == BN_CLICKED) {
        auto rc = reinterpret_cast<INT_PTR>(
            ShellExecuteW(w, L"open", L"http://192.0.2.10", nullptr, nullptr, SW_SHOW));
        Log("shell %llu", static_cast<unsigned long long>(rc));
      }
      return 0;
    case WM_SYSCOMMAND:
      Log("syscommand 0x%llx", wp & 0xFFF0);
      if ((wp & 0xFFF0) == SC_CONTEXTHELP) return 0;
      if ((wp & 0xFFF0) == SC_CLOSE) {
        DestroyWindow(w);
        return 0;
      }
      break;
    case WM_NOTIFY: {
      auto* n = reinterpret_cast<NMHDR*>(lp);
      if (n->idFrom != kList) break;
      if (n->code == NM_CLICK) Log("notify %llu click", n->idFrom);
      if (n->code == NM_DBLCLK) Log("notify %llu dblclk", n->idFrom);
      if (n->code == LVN_COLUMNCLICK) {
        int col = reinterpret_cast<NMLISTVIEW*>(lp)->iSubItem;
        Log("columnclick %llu", col);
        // Mark the clicked column the way a sort arrow is shown.
        HWND header = reinterpret_cast<HWND>(SendMessageW(g_list, LVM_GETHEADER, 0, 0));
        HDITEMW item{};
        item.mask = HDI_FORMAT | HDI_IMAGE;
        SendMessageW(header, HDM_GETITEMW, col, reinterpret_cast<LPARAM>(&item));
        item.fmt |= HDF_IMAGE;
        item.iImage = 1;
        SendMessageW(header, HDM_SETITEMW, col, reinterpret_cast<LPARAM>(&item));
      }
      return 0;
    }
    case WM_DESTROY:
      RemovePropW(w, L"CsDriveProbe");
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(w, msg, wp, lp);
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 3) {
    std::fputs("usage: drive-target TITLE LOGFILE [--zero]\n", stderr);
    return 2;
  }
  g_log = _wfopen(argv[2], L"ab");
  if (!g_log) return 2;
  bool zero = argc > 3 && std::wstring(argv[3]) == L"--zero";

  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_INTERNET_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"CsDriveTarget";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_CONTEXTHELP, L"CsDriveTarget", argv[1],
                           WS_POPUP | WS_CAPTION | WS_SYSMENU, 40, 40, 360, 270, nullptr, nullptr,
                           wc.hInstance, nullptr);
  if (!w) return 1;
  ShowWindow(w, SW_SHOW);
  if (zero) SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER);
  SetFocus(GetDlgItem(w, kPress));
  Log("ready %llu", zero ? 1 : 0);

  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(w, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  Log("exit %llu", 0);
  std::fclose(g_log);
  LocalFree(argv);
  return 0;
}
