// The dialog framework as the windows use it: every window's command filter,
// context help and tool tips, and the start-up's modal run with a flow thread
// at work beside it.
#include "tests/win/support.h"

#include <imm.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "app/converter_setup_app.h"
#include "flow/ip_setup_dialog.h"
#include "win/system_library.h"

namespace {

using namespace cstest;

// Lines of the box it shows whole without scrolling.
int VisibleLines(HWND box) {
    RECT client{};
    GetClientRect(box, &client);
    HDC dc = GetDC(box);
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(box, WM_GETFONT, 0, 0)));
    TEXTMETRICW font{};
    GetTextMetricsW(dc, &font);
    ReleaseDC(box, dc);
    int shown = 0;
    for (int line = 0; line < SendMessageW(box, EM_GETLINECOUNT, 0, 0); ++line) {
        const LRESULT at = SendMessageW(box, EM_POSFROMCHAR, SendMessageW(box, EM_LINEINDEX, line, 0), 0);
        const int top = static_cast<short>(HIWORD(at));
        shown += top >= 0 && top + font.tmHeight <= client.bottom;
    }
    return shown;
}

// Notices 1, 3, 4, 5 and 6 show their findings, selectable, below their text;
// the notice grows by the box, which shows up to 12 lines and scrolls beyond.
// Notices 4 and 5 offer Scan Again left of Yes, and with the firewall's finding Allow in Firewall with the
// shield left of it. A notice with either is 350 units wide, its text where the template has it, its
// buttons centred in one row inside it.
TEST_F(WinTest, NoticesThatSayWhyShowTheirFindingsInABoxThatGrowsToTwelveLines) {
    std::wstring twenty = L"No network adapter is connected.";
    for (int i = 0; i < 19; ++i) twenty += L"\r\nNothing answered.";
    const struct {
        ui::Notice code;
        LANGID language;
        std::wstring findings;
        bool box, scrolls, scanAgain, firewall = false;
    } rows[] = {
        {ui::Notice::kNotFound, win::kEnglish, L"", false, false, true},
        {ui::Notice::kIncompleteAddress, win::kEnglish, L"Nothing answered.", false, false, false},
        {ui::Notice::kOpenFailed, win::kEnglish, L"No network adapter is connected.\r\nNothing answered.", true, false,
         false},
        {ui::Notice::kAssignFailed, win::kJapanese,
         L"コンバータは IP アドレス 192.168.0.3 を受け付けませんでした。ほかの機器が使っていないアドレスを"
         L"指定して、もう一度実行してください。",
         true, false, false},
        {ui::Notice::kSeveral, win::kEnglish, twenty, true, true, false},
        {ui::Notice::kRescanNotFound, win::kJapanese, L"", false, false, true},
        {ui::Notice::kIncompleteAddress, win::kJapanese, L"", false, false, false},
        {ui::Notice::kNotFound, win::kEnglish, L"Windows Firewall is on.", true, false, true, true},
        {ui::Notice::kRescanNotFound, win::kJapanese, twenty, true, true, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.code));
        win::SetLanguage(row.language);
        ui::NoticeDialog plain, notice;
        plain.code = notice.code = row.code;
        notice.findings = {row.findings, row.firewall};
        g_events.clear();
        ASSERT_TRUE(plain.Create(nullptr) && notice.Create(nullptr));
        HWND box = notice.Item(IDC_NOTICE_FINDINGS);
        const RECT text = Placed(notice.Item(IDC_NOTICE_TEXT)), yes = Placed(notice.Item(IDOK));
        const RECT plainYes = Placed(plain.Item(IDOK)), boxRect = Placed(box);
        RECT size{}, plainSize{};
        GetWindowRect(notice.hwnd(), &size);
        GetWindowRect(plain.hwnd(), &plainSize);
        const int grown = (size.bottom - size.top) - (plainSize.bottom - plainSize.top);
        EXPECT_EQ(box != nullptr, row.box);
        if (!box) {
            EXPECT_EQ(grown, 0);
        } else {
            EXPECT_EQ(win::FromUtf8(TextOf(box)), row.findings);
            EXPECT_TRUE(GetWindowLongW(box, GWL_STYLE) & ES_READONLY);
            const int held = static_cast<int>(SendMessageW(box, EM_GETLINECOUNT, 0, 0));
            EXPECT_EQ((GetWindowLongW(box, GWL_STYLE) & WS_VSCROLL) != 0, row.scrolls);
            EXPECT_EQ(held > ui::kFindingsLines, row.scrolls);
            EXPECT_EQ(VisibleLines(box), std::min(held, ui::kFindingsLines));
            EXPECT_GT(boxRect.top, text.bottom);
            EXPECT_EQ(yes.top - boxRect.bottom, plainYes.top - text.bottom);  // the buttons keep their gap
            EXPECT_EQ(grown, yes.top - plainYes.top);
        }
        const bool wide = row.box || row.scanAgain;  // 350 units, else the template's 175; one row of buttons
        RECT width{0, 0, wide ? ui::kWideNoticeWidth : 175, 0}, client{};
        MapDialogRect(notice.hwnd(), &width);
        GetClientRect(notice.hwnd(), &client);
        EXPECT_EQ(client.right, width.right);
        HWND scanAgain = notice.Item(IDC_SCAN_AGAIN), allow = notice.Item(IDC_ALLOW_IN_FIREWALL);
        const RECT no = Placed(notice.Item(IDCANCEL)), first = allow ? Placed(allow) : scanAgain ? Placed(scanAgain) : yes;
        const RECT plainNo = Placed(plain.Item(IDCANCEL));
        EXPECT_EQ(no.left - yes.right, plainNo.left - plainYes.right);
        EXPECT_EQ(first.top, yes.top);
        EXPECT_EQ(scanAgain ? yes.left - Placed(scanAgain).right : 0, scanAgain ? no.left - yes.right : 0);
        EXPECT_LE(wide ? std::abs(first.left - (client.right - no.right)) : 0, 1);  // centred
        EXPECT_EQ(scanAgain ? TextOf(scanAgain) : "", row.scanAgain ? Text(IDS_SCAN_AGAIN, row.language) : "");
        EXPECT_EQ(allow ? TextOf(allow) : "", row.firewall ? Text(IDS_ALLOW_IN_FIREWALL, row.language) : "");
        EXPECT_EQ(std::count(g_events.begin(), g_events.end(), "shield 1032: 1"), row.firewall ? 1 : 0);
        if (allow) {  // in the row, inside the notice, wide enough for its text
            const RECT shown = Placed(allow);
            EXPECT_EQ(std::tuple(Placed(scanAgain).left - shown.right, shown.top, shown.left >= 0, no.right <= client.right,
                                 Fits(allow)),
                      std::tuple(no.left - yes.right, yes.top, true, true, true));
        }
        plain.DestroyWindow();
        notice.DestroyWindow();
    }
    win::SetLanguage(win::kEnglish);
}

// Allow in Firewall starts the program elevated, owned by the notice; the copy's S_OK ends the notice as Scan
// Again does. Otherwise it stays, a line between findings and buttons saying why (the No after the press ends it).
TEST_F(WinTest, AllowInFirewallScansAgainOnceTheRulesAreThereElseTheNoticeSaysWhy) {
    const std::string runas = "runas " + win::ToUtf8(win::ProgramFilePath()) + " /cs-allow-firewall mask 1344 owner notice";
    const auto line = [](UINT id, LANGID language, const char* value = "", UINT meaning = 0) {
        std::string text = Text(id, language);
        return "line: " + (*value ? text.replace(text.find("%1"), 2, value) : text) + (meaning ? Text(meaning, language) : "");
    };
    const LANGID en = win::kEnglish, ja = win::kJapanese;
    const struct { const char* name; LANGID language; BOOL started; DWORD error, exitCode; INT_PTR result; std::string line; } rows[] = {
        {"the rules added", en, TRUE, 0, S_OK, ui::kNoticeScanAgain, ""},
        {"declined at Windows' prompt", en, FALSE, ERROR_CANCELLED, 0, 2, line(IDS_FIREWALL_DECLINED, en)},
        {"not started", en, FALSE, ERROR_FILE_NOT_FOUND, 0, 2, line(IDS_FIREWALL_NOT_STARTED, en, "2")},
        {"access denied", en, TRUE, 0, DWORD(E_ACCESSDENIED), 2,
         line(IDS_FIREWALL_FAILED, en, "0x80070005", IDS_FIREWALL_ACCESS_DENIED)},
        {"the firewall's service stopped, in Japanese", ja, TRUE, 0, 0x800706D9, 2,
         line(IDS_FIREWALL_FAILED, ja, "0x800706D9", IDS_FIREWALL_SERVICE_STOPPED)},
        {"S_FALSE is no success, and has no meaning of its own", en, TRUE, 0, DWORD(S_FALSE), 2, line(IDS_FIREWALL_FAILED, en, "0x00000001")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        g_events.clear();
        win::SetLanguage(row.language);
        std::tie(shell.result, shell.error) = std::tie(row.started, row.error);
        shell.process = row.started ? EndedCopy(row.exitCode) : nullptr;
        Answerer::answer = 4;
        ui::NoticeDialog notice;
        notice.code = ui::Notice::kNotFound;
        notice.findings = {L"Windows Firewall is on.", true};
        EXPECT_EQ(notice.DoModal(nullptr), row.result);
        std::vector<std::string> events{"shield 1032: 1", "notice 5: " + Text(IDS_NOTICE_NOT_DETECTED, row.language) + " +unowned", runas};
        if (!row.line.empty()) events.push_back(row.line);
        EXPECT_EQ(g_events, events);
    }
    win::SetLanguage(win::kEnglish);
}

std::vector<UINT> g_relayed;

LRESULT CALLBACK RelaySpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == TTM_RELAYEVENT) g_relayed.push_back(reinterpret_cast<const MSG*>(lParam)->message);
    return DefSubclassProc(window, message, wParam, lParam);
}

// Enter and Esc arrive as the commands 1 and 2, a plain close request turns
// into 2; a window that takes one of them hides (a modeless window's end).
// The tips hear of the pointer only through the window's pre-translation.
// (The notices take all three: the end-to-end rows answer them with Enter and
// Esc.)
TEST_F(WinTest, EveryWindowDropsItsCommandsAndHasItsHelpTextsAndTips) {
    const struct {
        const char* name;
        std::unique_ptr<win::Dialog> dialog;
        bool stays[3];  // after command 1, command 2, WM_CLOSE
        WORD defaultId;  // what Enter presses, where it matters
        const char* helpTopic;
        std::vector<std::array<int, 3>> buttons;  // id, text, tip
    } windows[] = {
        {"ResultWindow", std::make_unique<ui::ResultWindow>(ui::ResultWindowEntryPoints{}),
         {true, true, true}, IDOK, "topic_result_window",
         {{IDC_SCAN, 111, 140}, {IDC_CLOSE, 115, 137}, {IDC_SETUP_PAGE, 113, 136},
          {IDC_IP_ADDRESS_SETUP, 114, 138}}},
        {"IpSetupDialog", std::make_unique<flow::IpSetupDialog>(), {true, true, true}, IDC_EXECUTE_SETUP,
         "topic_ip_setup", {{IDC_EXECUTE_SETUP, 117, 141}, {IDC_CANCEL_SETUP, 118, 142}}},
        {"LaunchingWindow", std::make_unique<ui::LaunchingWindow>(), {true, true, true}, 0, nullptr, {}},
        {"SettingAddress", std::make_unique<ui::SettingAddressWindow>(), {true, true, true}, 0, nullptr, {}},
        {"ProgressWindow", std::make_unique<ui::ProgressWindow>(), {true, false, false}, 0, nullptr, {}},
        {"NoticeDialog", std::make_unique<ui::NoticeDialog>(), {false, false, false}, IDOK, nullptr,
         {{IDC_SCAN_AGAIN, IDS_SCAN_AGAIN, IDS_TIP_SCAN_AGAIN}}},
    };
    const std::pair<UINT, WPARAM> requests[] = {{WM_COMMAND, IDOK}, {WM_COMMAND, IDCANCEL}, {WM_CLOSE, 0}};
    for (const auto& window : windows) {
        SCOPED_TRACE(window.name);
        if (auto* notice = dynamic_cast<ui::NoticeDialog*>(window.dialog.get())) notice->code = ui::Notice::kNotFound;  // Scan Again
        Open(*window.dialog);
        HWND hwnd = window.dialog->hwnd();
        HWND toolTip = nullptr;  // the one this window made for its buttons
        while ((toolTip = FindWindowExW(nullptr, toolTip, TOOLTIPS_CLASSW, nullptr)) &&
               GetWindow(toolTip, GW_OWNER) != hwnd) {}
        for (const auto& [id, text, tipText] : window.buttons) {
            EXPECT_EQ(TextOf(window.dialog->Item(id)), Text(text));
            wchar_t tip[256] = {};
            TTTOOLINFOW tool{sizeof tool, 0, hwnd, reinterpret_cast<UINT_PTR>(window.dialog->Item(id)),
                             {}, nullptr, tip, 0, nullptr};
            SendMessageW(toolTip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
            EXPECT_EQ(win::ToUtf8(tip), Text(tipText));
        }
        if (!window.buttons.empty()) {
            g_relayed.clear();
            SetWindowSubclass(toolTip, RelaySpy, 1, 0);
            for (MSG msg{hwnd, WM_MOUSEFIRST, 0, 0, 0, {}}; msg.message <= WM_MBUTTONDBLCLK + 1; ++msg.message) {
                window.dialog->PreTranslateMessage(&msg);
            }
            RemoveWindowSubclass(toolTip, RelaySpy, 1);
            EXPECT_EQ(g_relayed, (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN,
                                                    WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP}));
        }
        for (int i = 0; i < 3; ++i) {
            ShowWindow(hwnd, SW_SHOWNA);
            SendMessageW(hwnd, requests[i].first, requests[i].second, 0);
            EXPECT_EQ(IsWindowVisible(hwnd) != FALSE, window.stays[i]) << "request " << i;
        }
        EXPECT_EQ(window.defaultId ? LOWORD(SendMessageW(hwnd, DM_GETDEFID, 0, 0)) : 0, window.defaultId);
        if (!window.helpTopic) continue;
        g_events.clear();
        SendMessageW(hwnd, WM_SYSCOMMAND, SC_CONTEXTHELP | 0xF, 0);
        EXPECT_EQ(g_events, std::vector<std::string>{Help(window.helpTopic)});
        EXPECT_EQ(GetCapture(), nullptr);  // no help mode
    }
}

HANDLE g_modalEnded = nullptr, g_flowDone = nullptr;

// Stands in for the initial flow: looks at the window from its own thread,
// closes the progress window as a flow does, opens help from its own thread
// and from the window thread (the caption's "?"), presses Close as a user
// does during the scan, then goes on working with the window and its
// progress display once the modal run has ended.
unsigned ObserveCloseThenWorkOn(void* raw) {
    auto* context = static_cast<ui::WorkerContext*>(raw);
    HWND window = context->resultWindow->hwnd();
    for (int i = 0; i < 500 && !IsWindowVisible(window); ++i) Sleep(10);  // against a hang only
    RECT rect{};
    GetWindowRect(window, &rect);
    Log(IsWindowVisible(window) && IsRectEmpty(&rect) ? "shown without size" : "not so");
    ui::CloseProgressWindow(*context);
    Log(IsWindowVisible(context->progressWindow->hwnd()) ? "progress still shown" : "progress closed");
    ui::HelpLauncher().OpenTopic(ui::kTopicNotFound);
    SendMessageW(window, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED), 0);
    WaitForSingleObject(g_modalEnded, 30000);
    context->resultWindow->SetAssignedAddress("192.168.0.3");
    ui::CloseProgressWindow(*context);
    SetEvent(g_flowDone);
    return 0;
}

// Run alone (CMakeLists.txt): the single-instance rule looks at every window
// of the desktop, and other cases show result windows. This thread has no COM
// but what the start-up gives it: wine's input method gives a thread whose
// window is activated an apartment of its own, which Windows does not promise.
TEST(StartUp, TheModalRunShowsTheHiddenWindowAndOutlivesItsEndForAFlowStillAtWork) {
    if (!std::getenv("CS_RUN_ALONE")) GTEST_SKIP() << "only when run alone";
    ImmDisableIME(0);
    Shell shell;
    g_modalEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_flowDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    app::ConverterSetupApp application;
    EXPECT_FALSE(application.InitInstance({&ObserveCloseThenWorkOn}));
    SetEvent(g_modalEnded);
    ASSERT_EQ(WaitForSingleObject(g_flowDone, 30000), WAIT_OBJECT_0);
    EXPECT_EQ(application.mainWindow() ? application.mainWindow()->AssignedAddress() : "freed", "192.168.0.3");
    EXPECT_EQ(g_events, (std::vector<std::string>{"shown without size", "progress closed",
                                                  Help("topic_not_found"), Help("topic_result_window")}));
}

// A library asked for by name comes from the system folder alone: by the
// search flag where Windows has it, by its full path there where it does not.
TEST(Libraries, ComeFromTheSystemFolderByTheFlagOrByTheFullPathWhereWindowsLacksIt) {
    struct Loader : win::LibraryLoader {
        std::vector<DWORD> errors;  // each call's in turn; 0 loads
        std::vector<std::string> calls;
        HMODULE LoadEx(const wchar_t* file, DWORD flags) override {
            char hex[16];
            std::snprintf(hex, sizeof hex, " 0x%lx", flags);
            calls.push_back(win::ToUtf8(file) + hex);
            const DWORD error = calls.size() <= errors.size() ? errors[calls.size() - 1] : ERROR_MOD_NOT_FOUND;
            SetLastError(error);
            return error ? nullptr : GetModuleHandleW(nullptr);
        }
    };
    const std::string flag = "iphlpapi.dll 0x800", path = "C:\\windows\\system32\\iphlpapi.dll 0x8";
    const struct {
        const char* name;
        std::vector<DWORD> errors;
        std::vector<std::string> calls;
        bool loads;
    } rows[] = {
        {"Windows knows the flag", {0}, {flag}, true},
        {"Windows 7 without KB2533623 rejects the flag", {ERROR_INVALID_PARAMETER, 0}, {flag, path}, true},
        {"the system folder lacks it", {ERROR_MOD_NOT_FOUND}, {flag}, false},
        {"the flag rejected and the full path missing", {ERROR_INVALID_PARAMETER, ERROR_MOD_NOT_FOUND},
         {flag, path}, false},
    };
    for (const auto& row : rows) {
        Loader loader;
        loader.errors = row.errors;
        win::SetLibraryLoader(&loader);
        EXPECT_EQ(win::LoadSystemLibrary(L"iphlpapi.dll") != nullptr, row.loads) << row.name;
        EXPECT_EQ(loader.calls, row.calls) << row.name;
    }
    win::SetLibraryLoader(nullptr);
    // Wine's own loader: the stand-in planted beside this program is never
    // taken by the helper, and is there for a plain search (once loaded, any
    // later load by its name would answer with it).
    EXPECT_EQ(win::LoadSystemLibrary(L"cs-planted.dll"), nullptr);
    ASSERT_NE(LoadLibraryExW(L"cs-planted.dll", nullptr, 0), nullptr) << "no stand-in beside the tests";
    EXPECT_NE(win::SystemEntry<FARPROC>(L"iphlpapi.dll", "GetAdaptersAddresses"), nullptr);
}

// What Windows' own libraries load on the program's behalf, after the
// start-up's first step: nothing from the program's folder.
TEST(Libraries, AfterTheStartUpsFirstStepNoLibraryComesFromTheProgramsFolder) {
    ASSERT_TRUE(win::RestrictLibrarySearchToSystem());
    EXPECT_EQ(LoadLibraryExW(L"cs-planted.dll", nullptr, 0), nullptr);
    EXPECT_NE(LoadLibraryExW(L"iphlpapi.dll", nullptr, 0), nullptr);
}

}  // namespace
