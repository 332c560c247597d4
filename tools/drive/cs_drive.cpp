// cs-drive: operates another program's windows from outside as a user would,
// for the end-to-end tests and the demo under wine. It runs in the same
// prefix as the program.
//
// There is no window manager and the program's main window has no size, so
// nothing here goes through X: windows are found by enumeration, and buttons
// and keys arrive as posted messages. Posting (never sending) keeps this tool
// from blocking when the program opens a modal dialog in response.
//
//   cs-drive wait TITLE TEXT       the visible top-level window of that title
//                                  holding a control of that text: 0xHANDLE
//   cs-drive gone WINDOW           waits until the window is gone
//   cs-drive top                   a line per visible top-level window
//   cs-drive press WINDOW ID       clicks a button (refused when disabled or hidden)
//   cs-drive key WINDOW RETURN|ESCAPE   a key, typed where the focus is
//   cs-drive help WINDOW           the caption's "?" (wine draws none)
//   cs-drive address WINDOW ID [A.B.C.D]   sets (a blank field stays blank)
//                                  and prints an IP address control's fields
//   cs-drive foreground [desktop]  the foreground window (after giving it to
//                                  the desktop)
//   cs-drive move WINDOW X Y       moves a window, as a user drags it
//   cs-drive where WINDOW ID       a control's centre on the screen: "X Y",
//                                  for a real pointer click (xdotool)
//
// WINDOW is a handle as printed. Texts take \uXXXX and \n, so a test can name
// a Japanese title whatever code page wine reads the command line in.
// Output is UTF-8; exit status 0 done, 1 not found or timed out, 2 usage.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>

#include "tools/common/win_text.h"

namespace {

using cstools::ClassOf;
using cstools::Quote;
using cstools::TextOf;
using cstools::Utf8;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
// A bound against a program that never shows what is awaited; a wine start
// on a loaded machine takes seconds.
constexpr DWORD kWaitMs = 30000;

using Args = std::vector<std::wstring>;

int Say(const std::string& line, int status = kOk) {
    std::fputs((line + "\n").c_str(), status == kOk ? stdout : stderr);
    return status;
}

std::string Hex(const void* p) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    return buffer;
}

bool Number(const std::wstring& text, long long* value) {
    wchar_t* end = nullptr;
    *value = std::wcstoll(text.c_str(), &end, 0);
    return !text.empty() && end && *end == L'\0';
}

std::wstring Unescape(const std::wstring& in) {
    std::wstring out;
    for (size_t i = 0; i < in.size(); ++i) {
        long long code = 0;
        if (in.compare(i, 2, L"\\n") == 0) {
            out += L'\n';
            ++i;
        } else if (in.compare(i, 2, L"\\u") == 0 && Number(L"0x" + in.substr(i + 2, 4), &code)) {
            out += static_cast<wchar_t>(code);
            i += 5;
        } else {
            out += in[i];
        }
    }
    return out;
}

HWND Window(const std::wstring& handle) {
    long long value = 0;
    if (!Number(handle, &value)) return nullptr;
    HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(value));
    return IsWindow(window) ? window : nullptr;
}

HWND Control(HWND window, const std::wstring& id) {
    long long value = 0;
    return Number(id, &value) ? GetDlgItem(window, static_cast<int>(value)) : nullptr;
}

// Polls: the program runs in another process, and enumeration is the only
// view of it that needs nothing inside it.
template <typename Done>
bool Poll(Done done) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(50)) {
        if (GetTickCount() - start >= kWaitMs) return false;
    }
    return true;
}

struct Wanted {
    std::wstring title;
    std::wstring text;
    bool hasText = false;
    HWND found = nullptr;
};

BOOL CALLBACK HasText(HWND child, LPARAM raw) {
    auto* wanted = reinterpret_cast<Wanted*>(raw);
    wanted->hasText = TextOf(child) == wanted->text;
    return !wanted->hasText;
}

BOOL CALLBACK Match(HWND window, LPARAM raw) {
    auto* wanted = reinterpret_cast<Wanted*>(raw);
    if (!IsWindowVisible(window) || TextOf(window) != wanted->title) return TRUE;
    EnumChildWindows(window, HasText, raw);
    if (wanted->hasText) wanted->found = window;
    return !wanted->found;
}

int Wait(const Args& a) {
    Wanted wanted{Unescape(a[0]), Unescape(a[1])};
    const auto found = [&] {
        EnumWindows(Match, reinterpret_cast<LPARAM>(&wanted));
        return wanted.found != nullptr;
    };
    if (!Poll(found))
        return Say("cs-drive: no window " + Quote(wanted.title), kFailed);
    return Say(Hex(wanted.found));
}

int Gone(const Args& a) {
    HWND window = Window(a[0]);
    return Poll([&] { return !IsWindow(window); }) ? Say("gone") : Say("cs-drive: still there", kFailed);
}

int Top(const Args&) {
    EnumWindows(
        [](HWND w, LPARAM) -> BOOL {
            RECT r{};
            GetWindowRect(w, &r);
            if (IsWindowVisible(w))
                Say("window " + Hex(w) + " class=" + Quote(ClassOf(w)) + " title=" + Quote(TextOf(w)) +
                    " size=" + std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
            return TRUE;
        },
        0);
    return kOk;
}

// WM_COMMAND with BN_CLICKED to the parent, as a click gives; a button the
// user could not press is refused.
int Press(const Args& a) {
    HWND button = Control(Window(a[0]), a[1]);
    if (!button || !IsWindowEnabled(button) || !IsWindowVisible(button))
        return Say("cs-drive: no button " + Utf8(a[1]) + " to press", kFailed);
    PostMessageW(GetParent(button), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return Say("pressed");
}

// Posted to the focus of the window's thread, so that the dialog manager
// sees it as typed.
int Key(const Args& a) {
    HWND window = Window(a[0]);
    const UINT key = a[1] == L"RETURN" ? VK_RETURN : a[1] == L"ESCAPE" ? VK_ESCAPE : 0;
    if (!window || !key) return Say("cs-drive: no such window or key", kFailed);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    HWND target = window;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus &&
        IsChild(window, info.hwndFocus))
        target = info.hwndFocus;
    const LPARAM down = 1 | (static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16);
    PostMessageW(target, WM_KEYDOWN, key, down);
    PostMessageW(target, WM_KEYUP, key, down | (LPARAM{3} << 30));
    return Say("key");
}

int Help(const Args& a) {
    HWND window = Window(a[0]);
    if (!window) return Say("cs-drive: no such window", kFailed);
    PostMessageW(window, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
    return Say("help");
}

// The fields are the control's edits, left to right; a blank one stays blank,
// which IPM_SETADDRESS cannot express.
void SetAddress(HWND control, const std::wstring& text) {
    std::vector<std::pair<LONG, HWND>> fields;
    for (HWND c = GetWindow(control, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r{};
        GetWindowRect(c, &r);
        fields.emplace_back(r.left, c);
    }
    std::sort(fields.begin(), fields.end());
    SendMessageW(control, IPM_CLEARADDRESS, 0, 0);
    size_t start = 0;
    for (const auto& field : fields) {
        const size_t dot = text.find(L'.', start);
        const std::wstring part = text.substr(start, dot - start);
        SendMessageW(field.second, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(part.c_str()));
        start = dot == std::wstring::npos ? text.size() : dot + 1;
    }
}

// IPM_GETADDRESS writes into the control's own process.
int Address(const Args& a) {
    HWND control = Control(Window(a[0]), a[1]);
    if (!control || ClassOf(control) != WC_IPADDRESSW) return Say("cs-drive: no address field", kFailed);
    if (a.size() > 2) SetAddress(control, a[2]);
    DWORD pid = 0, value = 0;
    GetWindowThreadProcessId(control, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, pid);
    void* remote = process ? VirtualAllocEx(process, nullptr, sizeof value, MEM_COMMIT, PAGE_READWRITE) : nullptr;
    if (!remote) return Say("cs-drive: cannot reach the program's memory", kFailed);
    const LRESULT filled = SendMessageW(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process, remote, &value, sizeof value, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return Say("address filled=" + std::to_string(filled) + " value=" +
               std::to_string(FIRST_IPADDRESS(value)) + "." + std::to_string(SECOND_IPADDRESS(value)) +
               "." + std::to_string(THIRD_IPADDRESS(value)) + "." + std::to_string(FOURTH_IPADDRESS(value)));
}

// "desktop" first gives the foreground to the desktop, as a user turning to
// another program does.
int Foreground(const Args& a) {
    if (!a.empty() && a[0] == L"desktop") SetForegroundWindow(GetDesktopWindow());
    HWND w = GetForegroundWindow();
    return Say("foreground " + Hex(w) + " title=" + Quote(w ? TextOf(w) : L""));
}

int Move(const Args& a) {
    HWND window = Window(a[0]);
    long long x = 0, y = 0;
    if (!window || !Number(a[1], &x) || !Number(a[2], &y)) return Say("cs-drive: no such window", kFailed);
    SetWindowPos(window, nullptr, static_cast<int>(x), static_cast<int>(y), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return Say("moved");
}

int Where(const Args& a) {
    HWND control = Control(Window(a[0]), a[1]);
    RECT r{};
    if (!control || !GetWindowRect(control, &r)) return Say("cs-drive: no such control", kFailed);
    return Say(std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2));
}

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    static const struct {
        const wchar_t* name;
        int arguments;  // at least
        int (*run)(const Args&);
    } kCommands[] = {{L"wait", 2, Wait},       {L"gone", 1, Gone},
                     {L"top", 0, Top},         {L"press", 2, Press},
                     {L"key", 2, Key},         {L"help", 1, Help},
                     {L"address", 2, Address}, {L"foreground", 0, Foreground},
                     {L"move", 3, Move},       {L"where", 2, Where}};
    for (const auto& command : kCommands) {
        if (argc >= 2 + command.arguments && command.name == std::wstring(argv[1]))
            return command.run(Args(argv + 2, argv + argc));
    }
    return Say("usage: cs-drive wait|gone|top|press|key|help|address|foreground ... (see the source)",
               kUsage);
}
