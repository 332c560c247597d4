// The dialog framework as the windows use it: the modal run, a flow's close
// request from its own thread, every window's command filter, the tool tips.
#include "tests/win/support.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "app/converter_setup_app.h"
#include "flow/ip_setup_dialog.h"
#include "ui/scan_flow.h"

namespace {

using namespace cstest;

class ObservedResultWindow : public ui::ResultWindow {
public:
    using ui::ResultWindow::ResultWindow;
    bool PreTranslateMessage(MSG* message) override {
        if (message->message == WM_APP && message->hwnd == deviceList()) g_events.push_back("pretranslated");
        return ui::ResultWindow::PreTranslateMessage(message);
    }
};

// Stands in for the initial flow: looks at the window from its own thread,
// closes the progress window as a flow does, then leaves through Close.
unsigned ObserveThenClose(void* raw) {
    const auto* context = static_cast<ui::WorkerContext*>(raw);
    HWND window = context->resultWindow->hwnd(), progress = context->progressWindow->hwnd();
    for (int i = 0; i < 500 && !IsWindowVisible(window); ++i) Sleep(10);  // against a hang only
    RECT rect{};
    GetWindowRect(window, &rect);
    g_events.push_back(IsWindowVisible(window) && IsRectEmpty(&rect) ? "shown without size" : "not so");
    SendMessageW(progress, WM_CLOSE, 0, 0);
    g_events.push_back(IsWindowVisible(progress) ? "progress still shown" : "progress closed");
    PostMessageW(context->deviceList, WM_APP, 0, 0);
    PostMessageW(window, WM_COMMAND, IDC_CLOSE, 0);
    return 0;
}

TEST_F(WinTest, ModalRunShowsTheHiddenWindowWhenIdleAndPreTranslatesForItsControls) {
    ObservedResultWindow window({&ObserveThenClose, nullptr, nullptr});
    window.DoModal(nullptr);
    EXPECT_EQ(g_events, (std::vector<std::string>{"shown without size", "progress closed", "pretranslated"}));
    EXPECT_EQ(window.hwnd(), nullptr);
}

// Enter and Esc arrive as the commands 1 and 2, a plain close request turns
// into 2; a window that takes one of them hides (a modeless window's end).
TEST_F(WinTest, EveryWindowDropsItsCommandsAndAnswersContextHelp) {
    const struct {
        const char* name;
        std::unique_ptr<win::Dialog> dialog;
        bool stays[3];  // after command 1, command 2, WM_CLOSE
        WORD defaultId;  // what Enter presses, where it matters
        const char* helpTopic;
    } windows[] = {
        {"ResultWindow", std::make_unique<ui::ResultWindow>(ui::ResultWindowEntryPoints{}),
         {true, true, true}, IDOK, "topic_result_window"},
        {"IpSetupDialog", std::make_unique<flow::IpSetupDialog>(), {true, true, true}, IDC_EXECUTE_SETUP,
         "topic_ip_setup"},
        {"LaunchingWindow", std::make_unique<ui::LaunchingWindow>(), {true, true, true}, 0, nullptr},
        {"SettingAddress", std::make_unique<ui::SettingAddressWindow>(), {true, true, true}, 0, nullptr},
        {"ProgressWindow", std::make_unique<ui::ProgressWindow>(), {true, false, false}, 0, nullptr},
        {"NoticeDialog", std::make_unique<ui::NoticeDialog>(), {false, false, false}, IDOK, nullptr},
    };
    const std::pair<UINT, WPARAM> requests[] = {{WM_COMMAND, IDOK}, {WM_COMMAND, IDCANCEL}, {WM_CLOSE, 0}};
    for (const auto& window : windows) {
        SCOPED_TRACE(window.name);
        if (auto* result = dynamic_cast<ui::ResultWindow*>(window.dialog.get())) {
            Open(*result);
        } else {
            ASSERT_TRUE(window.dialog->Create(nullptr));
        }
        HWND hwnd = window.dialog->hwnd();
        for (int i = 0; i < 3; ++i) {
            ShowWindow(hwnd, SW_SHOWNA);
            SendMessageW(hwnd, requests[i].first, requests[i].second, 0);
            EXPECT_EQ(IsWindowVisible(hwnd) != FALSE, window.stays[i]) << "request " << i;
        }
        if (window.defaultId) {
            EXPECT_EQ(LOWORD(SendMessageW(hwnd, DM_GETDEFID, 0, 0)), window.defaultId);
        }
        if (!window.helpTopic) continue;
        g_events.clear();
        SendMessageW(hwnd, WM_SYSCOMMAND, SC_CONTEXTHELP | 0xF, 0);
        EXPECT_EQ(g_events, std::vector<std::string>{Help(window.helpTopic)});
        EXPECT_EQ(GetCapture(), nullptr);  // no help mode
    }
}

// Where a control of the notice stands in its client area.
RECT Placed(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

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

// Notices 1, 4, 5 and 6 show their findings, selectable, below their text;
// the notice grows by the box, which shows up to 12 lines and scrolls beyond.
TEST_F(WinTest, NoticesThatSayWhyShowTheirFindingsInABoxThatGrowsToTwelveLines) {
    std::wstring twenty = L"No network adapter is connected.";
    for (int i = 0; i < 19; ++i) twenty += L"\r\nNothing answered.";
    const struct {
        int code;
        LANGID language;
        std::wstring findings;
        bool box, scrolls;
    } rows[] = {
        {5, win::kEnglish, L"", false, false},
        {3, win::kEnglish, L"Nothing answered.", false, false},
        {5, win::kEnglish, L"No network adapter is connected.\r\nNothing answered.", true, false},
        {1, win::kJapanese,
         L"コンバータは IP アドレス 192.168.0.3 を受け付けませんでした。ほかの機器が使っていないアドレスを"
         L"指定して、もう一度実行してください。",
         true, false},
        {6, win::kEnglish, twenty, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        win::SetLanguage(row.language);
        ui::NoticeDialog plain, notice;
        plain.code = notice.code = row.code;
        notice.findings = row.findings;
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
        plain.DestroyWindow();
        notice.DestroyWindow();
    }
    win::SetLanguage(win::kEnglish);
}

std::vector<UINT> g_relayed;

LRESULT CALLBACK RelaySpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == TTM_RELAYEVENT) g_relayed.push_back(reinterpret_cast<const MSG*>(lParam)->message);
    return DefSubclassProc(window, message, wParam, lParam);
}

TEST_F(WinTest, EveryButtonHasItsTextAndTipAndTheTipsHearOnlyTheMouse) {
    ui::ResultWindow result({});
    flow::IpSetupDialog setup;
    ASSERT_TRUE(result.Create(nullptr) && setup.Create(nullptr));
    const struct {
        win::Dialog& dialog;
        HWND toolTip;
        std::vector<std::array<int, 3>> buttons;  // id, text, tip
    } windows[] = {
        {result, TipOf(result.hwnd()),
         {{IDC_SCAN, 111, 140}, {IDC_CLOSE, 115, 137}, {IDC_SETUP_PAGE, 113, 136},
          {IDC_IP_ADDRESS_SETUP, 114, 138}}},
        {setup, TipOf(setup.hwnd()), {{IDC_EXECUTE_SETUP, 117, 141}, {IDC_CANCEL_SETUP, 118, 142}}},
    };
    for (const auto& window : windows) {
        for (const auto& [id, text, tipText] : window.buttons) {
            EXPECT_EQ(TextOf(window.dialog.Item(id)), Text(text));
            wchar_t tip[256] = {};
            HWND button = window.dialog.Item(id);
            TTTOOLINFOW tool{sizeof tool, 0, window.dialog.hwnd(), reinterpret_cast<UINT_PTR>(button),
                             {}, nullptr, tip, 0, nullptr};
            SendMessageW(window.toolTip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
            EXPECT_EQ(win::ToUtf8(tip), Text(tipText));
        }
        g_relayed.clear();
        SetWindowSubclass(window.toolTip, RelaySpy, 1, 0);
        for (UINT message = WM_MOUSEFIRST; message <= WM_MBUTTONDBLCLK + 1; ++message) {
            MSG msg{window.dialog.hwnd(), message, 0, 0, 0, {}};
            window.dialog.PreTranslateMessage(&msg);
        }
        RemoveWindowSubclass(window.toolTip, RelaySpy, 1);
        EXPECT_EQ(g_relayed, (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN,
                                                WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP}));
    }
}

}  // namespace

namespace flowthreads {

bool RefuseToStart(win::WorkerProc, void*) { return false; }
unsigned NeverRuns(void*) {
    ADD_FAILURE() << "a flow ran whose thread could not start";
    return 0;
}

HANDLE modalEnded = nullptr;
HANDLE flowDone = nullptr;

// Presses Close as a user does during the scan, then goes on working with the
// window and its progress display once the modal run has ended.
unsigned CloseThenWorkOn(void* raw) {
    auto* context = static_cast<ui::WorkerContext*>(raw);
    SendMessageW(context->resultWindow->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED), 0);
    WaitForSingleObject(modalEnded, 30000);
    context->resultWindow->SetAssignedAddress("192.168.0.3");
    ui::CloseProgressWindow(*context);
    SetEvent(flowDone);
    return 0;
}

}  // namespace flowthreads

TEST_F(WinTest, AFlowThreadThatCannotStartGivesScanBackAtStartAndOnRescan) {
    ui::ResultWindow window({&flowthreads::NeverRuns, nullptr, nullptr, &flowthreads::RefuseToStart});
    ASSERT_TRUE(window.Create(nullptr));
    for (const char* when : {"at start", "after Scan"}) {
        EXPECT_TRUE(IsWindowEnabled(window.Item(IDC_SCAN))) << when;
        EXPECT_EQ(Shown<ui::ProgressWindow>(), nullptr) << when;
        SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SCAN, BN_CLICKED), 0);
    }
}

// Run alone (CMakeLists.txt): the single-instance rule looks at every window
// of the desktop, and other cases show result windows.
TEST_F(WinTest, TheResultWindowOutlivesItsModalRunForAFlowStillAtWork) {
    if (!std::getenv("CS_RUN_ALONE")) GTEST_SKIP() << "only when run alone";
    flowthreads::modalEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    flowthreads::flowDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    app::ConverterSetupApp application;
    EXPECT_FALSE(application.InitInstance({&flowthreads::CloseThenWorkOn}));
    SetEvent(flowthreads::modalEnded);
    ASSERT_EQ(WaitForSingleObject(flowthreads::flowDone, 30000), WAIT_OBJECT_0);
    ASSERT_NE(application.mainWindow(), nullptr);
    EXPECT_EQ(application.mainWindow()->AssignedAddress(), "192.168.0.3");
}
