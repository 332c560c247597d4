// cs-drive: drives another program's windows from outside, for end-to-end
// tests under wine. It runs in the same prefix as the program under test.
//
// There is no window manager and the program's main window has the size
// 0 x 0, so nothing here goes through X: windows are found by enumeration,
// and buttons, keys and clicks arrive as posted window messages. Posting
// (never sending) keeps this tool from blocking when the target opens a
// modal dialog in response.
//
// Output is UTF-8, one record a line, with texts quoted and escaped (see
// Quote) so that Japanese texts and embedded line feeds compare exactly.
// Exit status: 0 done, 1 not found / timed out / refused, 2 usage error.

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr UINT kSendTimeoutMs = 3000;

// ---- text ------------------------------------------------------------------

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                              nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

// A text argument may carry \uXXXX escapes (and \n, \t, \\), so a test can
// name a Japanese title whatever code page wine maps the command line with.
std::wstring Unescape(const std::wstring& in) {
  std::wstring out;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != L'\\' || i + 1 >= in.size()) {
      out += in[i];
      continue;
    }
    wchar_t c = in[i + 1];
    if (c == L'n') {
      out += L'\n';
      ++i;
    } else if (c == L't') {
      out += L'\t';
      ++i;
    } else if (c == L'\\') {
      out += L'\\';
      ++i;
    } else if (c == L'u' && i + 5 < in.size()) {
      std::wstring hex = in.substr(i + 2, 4);
      wchar_t* end = nullptr;
      unsigned long v = std::wcstoul(hex.c_str(), &end, 16);
      if (end && *end == L'\0' && hex.size() == 4) {
        out += static_cast<wchar_t>(v);
        i += 5;
      } else {
        out += in[i];
      }
    } else {
      out += in[i];
    }
  }
  return out;
}

// "text" with \\, \", \n, \r, \t escaped and other control characters as
// \xNN; everything else (blanks included) verbatim in UTF-8.
std::string Quote(const std::wstring& text) {
  std::string out = "\"";
  for (char c : Utf8(text)) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned char>(c));
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

void Print(const std::string& line) {
  std::string l = line + "\n";
  std::fwrite(l.data(), 1, l.size(), stdout);
  std::fflush(stdout);
}

void Error(const std::string& line) {
  std::string l = "cs-drive: " + line + "\n";
  std::fwrite(l.data(), 1, l.size(), stderr);
  std::fflush(stderr);
}

std::string Hex(const void* p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
  return buf;
}

std::string Num(long long v) { return std::to_string(v); }

bool ParseInt(const std::wstring& s, long long* out) {
  if (s.empty()) return false;
  wchar_t* end = nullptr;
  long long v = std::wcstoll(s.c_str(), &end, 0);
  if (!end || *end != L'\0') return false;
  *out = v;
  return true;
}

// ---- windows ---------------------------------------------------------------

std::wstring ClassOf(HWND w) {
  wchar_t buf[256] = {};
  GetClassNameW(w, buf, 256);
  return buf;
}

// WM_GETTEXT is marshalled across processes; a hung target only costs the
// timeout, after which the text the window manager keeps is used.
std::wstring TextOf(HWND w) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &len)) {
    wchar_t buf[1024] = {};
    GetWindowTextW(w, buf, 1024);
    return buf;
  }
  std::vector<wchar_t> buf(len + 2, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                      SMTO_ABORTIFHUNG, kSendTimeoutMs, &got);
  return std::wstring(buf.data(), got < buf.size() ? got : buf.size() - 1);
}

std::string RectText(const RECT& r) {
  return Num(r.left) + "," + Num(r.top) + "," + Num(r.right) + "," + Num(r.bottom);
}

// A child's rectangle in its parent's client coordinates, which stay the same
// wherever the window is placed.
RECT ChildRect(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

struct TopMatch {
  std::wstring title;
  std::wstring cls;
  bool has_class = false;
  std::wstring text;
  bool has_text = false;
  std::vector<HWND> found;
};

struct ChildText {
  const std::wstring* text;
  bool hit;
};

BOOL CALLBACK FindChildText(HWND child, LPARAM lp) {
  auto* c = reinterpret_cast<ChildText*>(lp);
  if (TextOf(child) != *c->text) return TRUE;
  c->hit = true;
  return FALSE;
}

BOOL CALLBACK CollectTop(HWND w, LPARAM lp) {
  auto* m = reinterpret_cast<TopMatch*>(lp);
  if (TextOf(w) != m->title) return TRUE;
  if (m->has_class && ClassOf(w) != m->cls) return TRUE;
  if (m->has_text) {
    ChildText c{&m->text, false};
    EnumChildWindows(w, FindChildText, reinterpret_cast<LPARAM>(&c));
    if (!c.hit) return TRUE;
  }
  m->found.push_back(w);
  return TRUE;
}

// The visible match first: a program may keep hidden windows of the same
// title (a hidden progress window, say).
HWND FindTop(TopMatch& m) {
  m.found.clear();
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&m));
  for (HWND w : m.found)
    if (IsWindowVisible(w)) return w;
  return m.found.empty() ? nullptr : m.found.front();
}

// "0x..." is a window handle, anything else a top-level window's exact title.
HWND Resolve(const std::wstring& which) {
  if (which.size() > 2 && which[0] == L'0' && (which[1] == L'x' || which[1] == L'X')) {
    long long v = 0;
    if (!ParseInt(which, &v)) return nullptr;
    HWND w = reinterpret_cast<HWND>(static_cast<intptr_t>(v));
    return IsWindow(w) ? w : nullptr;
  }
  TopMatch m;
  m.title = Unescape(which);
  return FindTop(m);
}

HWND ResolveOrReport(const std::wstring& which) {
  HWND w = Resolve(which);
  if (!w) Error("no window " + Quote(which));
  return w;
}

// A control by its identifier among the window's descendants; "self" (or an
// empty id) is the window itself.
HWND Control(HWND top, const std::wstring& id) {
  if (id == L"self") return top;
  long long v = 0;
  if (!ParseInt(id, &v)) return nullptr;
  struct Find {
    long long id;
    HWND hit;
  } f{v, nullptr};
  EnumChildWindows(
      top,
      [](HWND child, LPARAM lp) -> BOOL {
        auto* f = reinterpret_cast<Find*>(lp);
        long long cid = static_cast<long long>(GetWindowLongPtrW(child, GWLP_ID));
        // Dialog templates store -1 as 0xFFFF.
        if (cid == f->id || (f->id == -1 && cid == 0xFFFF)) {
          f->hit = child;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&f));
  return f.hit;
}

HWND ControlOrReport(HWND top, const std::wstring& id) {
  HWND c = Control(top, id);
  if (!c) Error("no control " + Utf8(id) + " in " + Hex(top));
  return c;
}

// ---- memory in the target process (list view and header queries) ----------

class RemoteBuffer {
 public:
  RemoteBuffer(HWND owner, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_)
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool ok() const { return address_ != nullptr; }
  void* address() const { return address_; }
  char* at(size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t n) {
    SIZE_T done = 0;
    return offset + n <= size_ && WriteProcessMemory(process_, at(offset), data, n, &done) &&
           done == n;
  }
  bool Read(size_t offset, void* data, size_t n) {
    SIZE_T done = 0;
    return offset + n <= size_ && ReadProcessMemory(process_, at(offset), data, n, &done) &&
           done == n;
  }

 private:
  size_t size_;
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
};

LRESULT Send(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(w, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) return -1;
  return static_cast<LRESULT>(result);
}

constexpr size_t kTextChars = 512;

std::wstring ListItemText(HWND list, RemoteBuffer& mem, int row, int col) {
  LVITEMW item{};
  item.iSubItem = col;
  item.cchTextMax = kTextChars;
  item.pszText = reinterpret_cast<LPWSTR>(mem.at(sizeof item));
  if (!mem.Write(0, &item, sizeof item)) return L"";
  LRESULT n = Send(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(mem.address()));
  std::vector<wchar_t> buf(kTextChars + 1, L'\0');
  if (n <= 0 || !mem.Read(sizeof item, buf.data(), kTextChars * sizeof(wchar_t))) return L"";
  buf[kTextChars] = L'\0';
  return buf.data();
}

bool ItemRect(HWND list, RemoteBuffer& mem, int row, RECT* out) {
  RECT r{};
  r.left = LVIR_BOUNDS;
  if (!mem.Write(0, &r, sizeof r)) return false;
  if (Send(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(mem.address())) <= 0) return false;
  return mem.Read(0, out, sizeof *out);
}

bool HeaderItem(HWND header, RemoteBuffer& mem, int col, HDITEMW* out, std::wstring* text) {
  HDITEMW item{};
  item.mask = HDI_FORMAT | HDI_IMAGE | HDI_WIDTH | HDI_TEXT;
  item.cchTextMax = kTextChars;
  item.pszText = reinterpret_cast<LPWSTR>(mem.at(sizeof item));
  std::vector<wchar_t> buf(kTextChars + 1, L'\0');
  if (!mem.Write(0, &item, sizeof item) || !mem.Write(sizeof item, buf.data(), 2)) return false;
  if (Send(header, HDM_GETITEMW, col, reinterpret_cast<LPARAM>(mem.address())) <= 0) return false;
  if (!mem.Read(0, out, sizeof *out) ||
      !mem.Read(sizeof item, buf.data(), kTextChars * sizeof(wchar_t)))
    return false;
  *text = buf.data();
  return true;
}

bool HeaderItemRect(HWND header, RemoteBuffer& mem, int col, RECT* out) {
  if (Send(header, HDM_GETITEMRECT, col, reinterpret_cast<LPARAM>(mem.address())) <= 0)
    return false;
  return mem.Read(0, out, sizeof *out);
}

// A click as the control's own window procedure sees it: button down and up
// (and a double-click when asked) at a point of its client area. Controls
// that track the mouse find the button-up already queued.
void PostClick(HWND w, int x, int y, bool twice) {
  LPARAM at = MAKELPARAM(x, y);
  PostMessageW(w, WM_MOUSEMOVE, 0, at);
  PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(w, WM_LBUTTONUP, 0, at);
  if (twice) {
    PostMessageW(w, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(w, WM_LBUTTONUP, 0, at);
  }
}

// ---- commands ----------------------------------------------------------------

struct Args {
  std::vector<std::wstring> positional;
  std::vector<std::pair<std::wstring, std::wstring>> options;  // --name value
  std::vector<std::wstring> flags;                             // --name

  const std::wstring* Option(const wchar_t* name) const {
    for (auto& o : options)
      if (o.first == name) return &o.second;
    return nullptr;
  }
  bool Flag(const wchar_t* name) const {
    for (auto& f : flags)
      if (f == name) return true;
    return false;
  }
};

// Options that take a value; every other --word is a flag.
bool TakesValue(const std::wstring& name) {
  static const wchar_t* const kValued[] = {
      L"--title", L"--class",   L"--text",  L"--timeout-ms", L"--code",
      L"--to",    L"--enabled", L"--shown", L"--rows"};
  for (auto* v : kValued)
    if (name == v) return true;
  return false;
}

bool ParseArgs(int argc, wchar_t** argv, int first, Args* out) {
  for (int i = first; i < argc; ++i) {
    std::wstring a = argv[i];
    if (a.size() > 2 && a.compare(0, 2, L"--") == 0) {
      if (TakesValue(a)) {
        if (i + 1 >= argc) {
          Error("option " + Utf8(a) + " needs a value");
          return false;
        }
        out->options.emplace_back(a, argv[++i]);
      } else {
        out->flags.push_back(a);
      }
    } else {
      out->positional.push_back(a);
    }
  }
  return true;
}

DWORD TimeoutOf(const Args& a, DWORD fallback) {
  long long v = 0;
  if (const std::wstring* t = a.Option(L"--timeout-ms"))
    if (ParseInt(*t, &v) && v >= 0) return static_cast<DWORD>(v);
  return fallback;
}

// The waits poll: the target runs in another process, and enumeration is the
// only view of it that needs no hook inside it.
int CmdWait(const Args& a) {
  const std::wstring* title = a.Option(L"--title");
  if (!title) {
    Error("wait needs --title");
    return kUsage;
  }
  TopMatch m;
  m.title = Unescape(*title);
  if (const std::wstring* c = a.Option(L"--class")) {
    m.cls = Unescape(*c);
    m.has_class = true;
  }
  if (const std::wstring* t = a.Option(L"--text")) {
    m.text = Unescape(*t);
    m.has_text = true;
  }
  bool visible = a.Flag(L"--visible");
  DWORD limit = TimeoutOf(a, 10000);
  DWORD start = GetTickCount();
  for (;;) {
    HWND w = FindTop(m);
    if (w && (!visible || IsWindowVisible(w))) {
      Print(Hex(w));
      return kOk;
    }
    if (GetTickCount() - start >= limit) {
      Error("timed out waiting for " + Quote(m.title));
      return kFailed;
    }
    Sleep(50);
  }
}

int CmdWaitGone(const Args& a) {
  if (a.positional.empty()) {
    Error("wait-gone needs a window");
    return kUsage;
  }
  const std::wstring& which = a.positional[0];
  bool by_handle = which.size() > 2 && which[0] == L'0' && (which[1] == L'x' || which[1] == L'X');
  long long v = 0;
  if (by_handle && !ParseInt(which, &v)) return kUsage;
  DWORD limit = TimeoutOf(a, 10000);
  DWORD start = GetTickCount();
  for (;;) {
    bool present = by_handle ? IsWindow(reinterpret_cast<HWND>(static_cast<intptr_t>(v))) != FALSE
                             : Resolve(which) != nullptr;
    if (!present) {
      Print("gone");
      return kOk;
    }
    if (GetTickCount() - start >= limit) {
      Error("timed out: still there: " + Quote(which));
      return kFailed;
    }
    Sleep(50);
  }
}

std::string WindowLine(HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  return "window " + Hex(w) + " class=" + Quote(ClassOf(w)) + " title=" + Quote(TextOf(w)) +
         " rect=" + RectText(r) + " visible=" + Num(IsWindowVisible(w) ? 1 : 0) +
         " enabled=" + Num(IsWindowEnabled(w) ? 1 : 0) + " pid=" + Num(pid);
}

std::string ControlLine(HWND c) {
  long long id = static_cast<long long>(GetWindowLongPtrW(c, GWLP_ID));
  if (id == 0xFFFF) id = -1;
  return "control id=" + Num(id) + " hwnd=" + Hex(c) + " class=" + Quote(ClassOf(c)) +
         " text=" + Quote(TextOf(c)) + " rect=" + RectText(ChildRect(c)) +
         " visible=" + Num(IsWindowVisible(c) ? 1 : 0) +
         " enabled=" + Num(IsWindowEnabled(c) ? 1 : 0);
}

// Waits until a control is in the state asked for: its text, enabled state,
// visibility, or a list view's row count. A flow on another thread changes
// these in its own time, so a test waits for the state, not for a delay.
int CmdWaitControl(const Args& a) {
  if (a.positional.size() < 2) return kUsage;
  const std::wstring* text = a.Option(L"--text");
  long long enabled = -1, shown = -1, rows = -1;
  if (const std::wstring* v = a.Option(L"--enabled"))
    if (!ParseInt(*v, &enabled)) return kUsage;
  if (const std::wstring* v = a.Option(L"--shown"))
    if (!ParseInt(*v, &shown)) return kUsage;
  if (const std::wstring* v = a.Option(L"--rows"))
    if (!ParseInt(*v, &rows)) return kUsage;
  std::wstring want_text = text ? Unescape(*text) : L"";
  DWORD limit = TimeoutOf(a, 10000);
  DWORD start = GetTickCount();
  for (;;) {
    HWND w = Resolve(a.positional[0]);
    HWND c = w ? Control(w, a.positional[1]) : nullptr;
    if (c && (!text || TextOf(c) == want_text) &&
        (enabled < 0 || (IsWindowEnabled(c) ? 1 : 0) == enabled) &&
        (shown < 0 || (IsWindowVisible(c) ? 1 : 0) == shown) &&
        (rows < 0 || Send(c, LVM_GETITEMCOUNT, 0, 0) == rows)) {
      Print(ControlLine(c));
      return kOk;
    }
    if (GetTickCount() - start >= limit) {
      Error("timed out waiting for control " + Utf8(a.positional[1]) +
            (c ? ": now " + ControlLine(c) : ": not there"));
      return kFailed;
    }
    Sleep(50);
  }
}

// The window, then its direct children in Z order, which for a dialog is
// its template order.
int CmdList(const Args& a) {
  if (a.positional.empty()) return kUsage;
  HWND w = ResolveOrReport(a.positional[0]);
  if (!w) return kFailed;
  Print(WindowLine(w));
  for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) Print(ControlLine(c));
  return kOk;
}

// Every top-level window of the desktop, for "what else is on screen" checks.
int CmdTop(const Args& a) {
  bool visible_only = a.Flag(L"--visible");
  struct Ctx {
    bool visible_only;
  } ctx{visible_only};
  EnumWindows(
      [](HWND w, LPARAM lp) -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(lp);
        if (!c->visible_only || IsWindowVisible(w)) Print(WindowLine(w));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return kOk;
}

// Columns (with the header's sort-arrow image) and rows of a list view.
int CmdRows(const Args& a) {
  if (a.positional.size() < 2) return kUsage;
  HWND w = ResolveOrReport(a.positional[0]);
  if (!w) return kFailed;
  HWND list = ControlOrReport(w, a.positional[1]);
  if (!list) return kFailed;
  RemoteBuffer mem(list, 4096);
  if (!mem.ok()) {
    Error("cannot reach the memory of the list's process");
    return kFailed;
  }
  HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER, 0, 0));
  int columns = header ? static_cast<int>(Send(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  for (int col = 0; col < columns; ++col) {
    HDITEMW item{};
    std::wstring text;
    if (!HeaderItem(header, mem, col, &item, &text)) continue;
    bool has_image = (item.fmt & HDF_IMAGE) != 0;
    Print("column " + Num(col) + " text=" + Quote(text) + " width=" + Num(item.cxy) +
          " image=" + Num(has_image ? item.iImage : -1));
  }
  int rows = static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0));
  int mark = static_cast<int>(Send(list, LVM_GETSELECTIONMARK, 0, 0));
  Print("rows " + Num(rows) + " mark=" + Num(mark));
  for (int row = 0; row < rows; ++row) {
    std::string line = "row " + Num(row);
    for (int col = 0; col < (columns ? columns : 1); ++col)
      line += " " + Quote(ListItemText(list, mem, row, col));
    LRESULT state = Send(list, LVM_GETITEMSTATE, row, LVIS_SELECTED | LVIS_FOCUSED);
    line += " selected=" + Num((state & LVIS_SELECTED) ? 1 : 0);
    Print(line);
  }
  return kOk;
}

// Press a button the way a click does: WM_COMMAND with BN_CLICKED to its
// parent. A disabled or hidden button is refused, as a user could not press
// it either; --force posts anyway and --bm-click sends BM_CLICK instead.
int CmdPress(const Args& a) {
  if (a.positional.size() < 2) return kUsage;
  HWND w = ResolveOrReport(a.positional[0]);
  if (!w) return kFailed;
  HWND b = ControlOrReport(w, a.positional[1]);
  if (!b) return kFailed;
  if (!a.Flag(L"--force")) {
    if (!IsWindowEnabled(b)) {
      Error("control " + Utf8(a.positional[1]) + " is disabled");
      return kFailed;
    }
    if (!IsWindowVisible(b)) {
      Error("control " + Utf8(a.positional[1]) + " is hidden");
      return kFailed;
    }
  }
  if (a.Flag(L"--bm-click")) {
    PostMessageW(b, BM_CLICK, 0, 0);
  } else {
    WORD id = static_cast<WORD>(GetWindowLongPtrW(b, GWLP_ID));
    PostMessageW(GetParent(b), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(b));
  }
  Print("pressed " + Hex(b));
  return kOk;
}

// A bare command, as menus, accelerators and the dialog manager issue them
// (IDOK for Enter, IDCANCEL for Esc and WM_CLOSE).
int CmdCommand(const Args& a) {
  if (a.positional.size() < 2) return kUsage;
  HWND w = ResolveOrReport(a.positional[0]);
  if (!w) return kFailed;
  long long id = 0, code = 0;
  if (!ParseInt(a.positional[1], &id)) return kUsage;
  if (const std::wstring* c = a.Option(L"--code"))
    if (!ParseInt(*c, &code)) return kUsage;
  PostMessageW(w, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), static_cast<WORD>(code)), 0);
  Print("posted");
  return kOk;
}

int CmdSysCommand(const Args& a) {
  if (a.positional.size() < 2) return kUsage;
  HWND w = ResolveOrReport(a.positional[0]);
  if (!w) return kFailed;
  static const struct {
    const wchar_t* name;
    WPARAM code;
  } kNames[] = {{L"CONTEXTHELP", SC_CONTEXTHELP}, {L"CLOSE", SC_CLOSE},
                {L"MOVE", SC_MOVE},               {L"SIZE", SC_SIZE},
                {L"MINIMIZE", SC_MINIMIZE},       {L"MAXIMIZE", SC_MAXIMIZE},
                {L"RESTORE", SC_RESTORE},         {L"KEYMENU", SC_KEYMENU}};
  WPARAM code = 0;
  bool known = false;
  for (auto& n : kNames)
    if (a.positional[1] == n.name) {
      code = n.code;
      known = true;
    }
  long long v = 0;
  if (!known) {
    if (!ParseInt(a.positional[1], &v)) {
      Error("unknown system command " + Utf8(a.positional[1]));
      return kUsage;
    }
    code = static_cast<WPARAM>(v);
  }
  PostMessageW(w, WM_SYSCOMMAND, code, 0);
  Print("posted");
  return kOk;
}

UINT VirtualKey(const std::wstring& name) {
  static const struct {
    const wchar_t* name;
    UINT vk;
  } kKeys[] = {{L"RETURN", VK_RETURN}, {L"ENTER", VK_RETURN}, {L"ESCAPE", VK_ESCAPE},
               {L"ESC", VK_ESCAPE},    {L"TAB", VK_TAB},      {L"SPACE", VK_SPACE},
               {L"UP", VK_UP},         {L"DOWN", VK_DOWN},    {L"LEFT", VK_LEFT},
               {L"RIGHT", VK_RIGHT},   {L"F1", VK_F1},        {L"F4", VK_F4},
               {L"HOME", VK_HOME},     {L"END", VK_END},      {L"DELETE", VK_DELETE},
               {L"BACK", VK_BACK}};
  for (auto& k : kKeys)
    if (name == k.name) return k.vk;
  if (name.size() == 1 && ((name[0] >= L'A' && name[0] <= L'Z') || (name[0] >= L'0' && name[0] <= L'9')))
    return name[0];
  long long v = 0;
  if (ParseInt(name, &v) && v > 0 && v < 256) return static_cast<UINT>(v);
  return 0;
}

// A key press, posted where the keyboard focus of the window's thread is (so
// the dialog manager's IsDialogMessage sees it as typed), or to the control
// named by --to. --alt makes it a system key (Alt+F4).
int CmdKey(const Args& a) {
  if (a.positional.size() < 2) return kUsage;
  HWND w = ResolveOrReport(a.positional[0]);
  if (!w) return kFailed;
  UINT vk = VirtualKey(a.positional[1]);
  if (!vk) {
    Error("unknown key " + Utf8(a.positional[1]));
    return kUsage;
  }
  HWND target = w;
  if (const std::wstring* to = a.Option(L"--to")) {
    target = ControlOrReport(w, *to);
    if (!target) return kFailed;
  } else {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(w, nullptr);
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
        (info.hwndFocus == w || IsChild(w, info.hwndFocus)))
      target = info.hwndFocus;
  }
  bool alt = a.Flag(L"--alt");
  UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16) | (alt ? (1 << 29) : 0);
  LPARAM up = down | (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
  PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, down);
  PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, vk, up);
  Print("key " + Num(vk) + " to " + Hex(target));
  return kOk;
}

// Click a list row (selects it, sets the selection mark, and sends the
// parent NM_CLICK or, with --double, NM_DBLCLK as a mouse click does).
int CmdClickRow(const Args& a) {
  if (a.positional.size() < 3) return kUsage;
  HWND w = ResolveOrReport(a.positional[0]);
  if (!w) return kFailed;
  HWND list = ControlOrReport(w, a.positional[1]);
  if (!list) return kFailed;
  long long row = 0;
  if (!ParseInt(a.positional[2], &row)) return kUsage;
  RemoteBuffer mem(list, 256);
  RECT r{};
  if (!mem.ok() || !ItemRect(list, mem, static_cast<int>(row), &r)) {
    Error("no row " + Num(row));
    return kFailed;
  }
  int x = r.left + 4, y = (r.top + r.bottom) / 2;
  PostClick(list, x, y, a.Flag(L"--double"));
  Print("clicked " + Num(x) + "," + Num(y));
  return kOk;
}

// Click a list view's column heading (the header sends the column click).
int CmdClickColumn(const Args& a) {
  if (a.positional.size() < 3) return kUsage;
  HWND w = ResolveOrReport(a.positional[0]);
  if (!w) return kFailed;
  HWND list = ControlOrReport(w, a.positional[1]);
  if (!list) return kFailed;
  long long col = 0;
  if (!ParseInt(a.positional[2], &col)) return kUsage;
  HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER, 0, 0));
  RemoteBuffer mem(list, 256);
  RECT r{};
  if (!header || !mem.ok() || !HeaderItemRect(header, mem, static_cast<int>(col), &r)) {
    Error("no column " + Num(col));
    return kFailed;
  }
  int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  PostClick(header, x, y, false);
  Print("clicked " + Num(x) + "," + Num(y));
  return kOk;
}

int CmdForeground(const Args&) {
  HWND w = GetForegroundWindow();
  if (!w) {
    Print("foreground none");
    return kOk;
  }
  Print("foreground " + Hex(w) + " class=" + Quote(ClassOf(w)) + " title=" + Quote(TextOf(w)));
  return kOk;
}

int CmdProp(const Args& a) {
  if (a.positional.size() < 2) return kUsage;
  HWND w = ResolveOrReport(a.positional[0]);
  if (!w) return kFailed;
  HANDLE v = GetPropW(w, Unescape(a.positional[1]).c_str());
  if (!v) {
    Print("prop absent");
    return kFailed;
  }
  Print("prop " + Hex(v));
  return kOk;
}

// Dotted text with blank fields allowed: "192.168..3" leaves field 2 blank.
bool SplitAddress(const std::wstring& text, int fields[4]) {
  int n = 0;
  size_t start = 0;
  for (;;) {
    size_t dot = text.find(L'.', start);
    std::wstring part = text.substr(start, dot == std::wstring::npos ? std::wstring::npos : dot - start);
    if (n >= 4) return false;
    long long v = -1;
    if (!part.empty() && (!ParseInt(part, &v) || v < 0 || v > 255)) return false;
    fields[n++] = static_cast<int>(v);
    if (dot == std::wstring::npos) break;
    start = dot + 1;
  }
  return n == 4;
}

std::string AddressLine(HWND ip) {
  DWORD addr = 0;
  RemoteBuffer mem(ip, sizeof addr);
  LRESULT filled = mem.ok() ? Send(ip, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(mem.address())) : -1;
  if (mem.ok()) mem.Read(0, &addr, sizeof addr);
  return "address filled=" + Num(filled) + " value=" + Num(FIRST_IPADDRESS(addr)) + "." +
         Num(SECOND_IPADDRESS(addr)) + "." + Num(THIRD_IPADDRESS(addr)) + "." +
         Num(FOURTH_IPADDRESS(addr));
}

bool IsIpControl(HWND c) { return ClassOf(c) == WC_IPADDRESSW; }

// The IP address control's four field edits, left to right.
std::vector<HWND> IpFields(HWND ip) {
  std::vector<HWND> edits;
  for (HWND c = GetWindow(ip, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) edits.push_back(c);
  for (size_t i = 1; i < edits.size(); ++i)
    for (size_t j = i; j > 0 && ChildRect(edits[j]).left < ChildRect(edits[j - 1]).left; --j)
      std::swap(edits[j], edits[j - 1]);
  return edits;
}

// Set an edit's text, or an IP address control's fields (blank fields kept
// blank, which IPM_SETADDRESS cannot express).
int CmdSetText(const Args& a) {
  if (a.positional.size() < 3) return kUsage;
  HWND w = ResolveOrReport(a.positional[0]);
  if (!w) return kFailed;
  HWND c = ControlOrReport(w, a.positional[1]);
  if (!c) return kFailed;
  std::wstring text = Unescape(a.positional[2]);
  if (IsIpControl(c)) {
    int fields[4];
    if (!SplitAddress(text, fields)) {
      Error("not an address with four fields: " + Quote(text));
      return kUsage;
    }
    Send(c, IPM_CLEARADDRESS, 0, 0);
    std::vector<HWND> edits = IpFields(c);
    if (edits.size() != 4) {
      Error("IP address control without four fields");
      return kFailed;
    }
    for (int i = 0; i < 4; ++i) {
      if (fields[i] < 0) continue;
      std::wstring v = std::to_wstring(fields[i]);
      DWORD_PTR r = 0;
      SendMessageTimeoutW(edits[i], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(v.c_str()),
                          SMTO_ABORTIFHUNG, kSendTimeoutMs, &r);
    }
    Print(AddressLine(c));
    return kOk;
  }
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &r)) {
    Error("the control did not answer");
    return kFailed;
  }
  Print("text " + Quote(TextOf(c)));
  return kOk;
}

int CmdAddress(const Args& a) {
  if (a.positional.size() < 2) return kUsage;
  HWND w = ResolveOrReport(a.positional[0]);
  if (!w) return kFailed;
  HWND c = ControlOrReport(w, a.positional[1]);
  if (!c) return kFailed;
  if (!IsIpControl(c)) {
    Error("control " + Utf8(a.positional[1]) + " is not an IP address control");
    return kFailed;
  }
  Print(AddressLine(c));
  return kOk;
}

const char kUsageText[] =
    "usage: cs-drive COMMAND ...   (WINDOW is 0xHANDLE or an exact title; texts take \\uXXXX)\n"
    "  wait --title T [--class C] [--text T] [--visible] [--timeout-ms N]\n"
    "  wait-gone WINDOW [--timeout-ms N]\n"
    "  wait-control WINDOW ID [--text T] [--enabled 0|1] [--shown 0|1] [--rows N] [--timeout-ms N]\n"
    "  list WINDOW                  window and its controls\n"
    "  top [--visible]              every top-level window\n"
    "  rows WINDOW LISTID           columns and rows of a list view\n"
    "  press WINDOW ID [--force] [--bm-click]\n"
    "  command WINDOW ID [--code N]\n"
    "  syscommand WINDOW CONTEXTHELP|CLOSE|...|N\n"
    "  key WINDOW RETURN|ESCAPE|TAB|F4|...|VK [--to ID] [--alt]\n"
    "  click-row WINDOW LISTID ROW [--double]\n"
    "  click-column WINDOW LISTID COLUMN\n"
    "  foreground\n"
    "  prop WINDOW NAME\n"
    "  settext WINDOW ID TEXT       edit text, or IP address \"a.b.c.d\" (fields may be blank)\n"
    "  address WINDOW ID            an IP address control's fields\n";

}  // namespace

int main() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 2) {
    std::fputs(kUsageText, stderr);
    return kUsage;
  }
  std::wstring cmd = argv[1];
  Args a;
  if (!ParseArgs(argc, argv, 2, &a)) return kUsage;
  static const struct {
    const wchar_t* name;
    int (*run)(const Args&);
  } kCommands[] = {{L"wait", CmdWait},
                   {L"wait-gone", CmdWaitGone},
                   {L"wait-control", CmdWaitControl},
                   {L"list", CmdList},
                   {L"top", CmdTop},
                   {L"rows", CmdRows},
                   {L"press", CmdPress},
                   {L"command", CmdCommand},
                   {L"syscommand", CmdSysCommand},
                   {L"key", CmdKey},
                   {L"click-row", CmdClickRow},
                   {L"click-column", CmdClickColumn},
                   {L"foreground", CmdForeground},
                   {L"prop", CmdProp},
                   {L"settext", CmdSetText},
                   {L"address", CmdAddress}};
  for (auto& c : kCommands) {
    if (cmd == c.name) {
      int rc = c.run(a);
      if (rc == kUsage) std::fputs(kUsageText, stderr);
      LocalFree(argv);
      return rc;
    }
  }
  Error("unknown command " + Utf8(cmd));
  std::fputs(kUsageText, stderr);
  LocalFree(argv);
  return kUsage;
}
