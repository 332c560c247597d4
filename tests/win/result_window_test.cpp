// The result window as its initialisation leaves it, its message table, its
// command filter, the tool-tip relay, context help and the ways it closes.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "res/resource.h"
#include "tests/win/test_support.h"
#include "ui/help_launcher.h"
#include "ui/result_window.h"
#include "ui/status_windows.h"
#include "win/handles.h"
#include "win/window_util.h"

namespace {

using cstest::Expected;
using cstest::ItemTextOf;
using cstest::TextOf;

// What the test's initial flow saw when it started.
struct FlowRecord {
    std::atomic<int> starts{0};
    std::atomic<ui::WorkerContext*> context{nullptr};
    std::atomic<bool> scanEnabledAtStart{true};
    win::UniqueKernelHandle started{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};
FlowRecord* g_flow = nullptr;
std::atomic<int> g_launches{0};

unsigned RecordingFlow(void* raw) {
    auto* context = static_cast<ui::WorkerContext*>(raw);
    g_flow->scanEnabledAtStart = IsWindowEnabled(context->scanButton) != FALSE;
    g_flow->context = context;
    ++g_flow->starts;
    SetEvent(g_flow->started.get());
    return 0;
}

void RecordingLaunch(ui::ResultWindow&) { ++g_launches; }

// Records every command that reaches the filter.
class ObservedResultWindow : public ui::ResultWindow {
public:
    using ui::ResultWindow::ResultWindow;
    std::vector<WPARAM> commands;

protected:
    bool OnCommand(WPARAM wParam, LPARAM lParam) override {
        commands.push_back(wParam);
        return ui::ResultWindow::OnCommand(wParam, lParam);
    }
};

ui::ResultWindowEntryPoints TestEntryPoints() {
    ui::ResultWindowEntryPoints entryPoints;
    entryPoints.initialScanFlow = &RecordingFlow;
    entryPoints.launchSelected = &RecordingLaunch;
    return entryPoints;
}

class ResultWindowTest : public testing::Test {
protected:
    void SetUp() override {
        g_flow = &flow_;
        g_launches = 0;
        window_ = std::make_unique<ObservedResultWindow>(TestEntryPoints());
        ASSERT_TRUE(window_->Create(nullptr));
        hwnd_ = window_->hwnd();
        ASSERT_EQ(WaitForSingleObject(flow_.started.get(), 10000), WAIT_OBJECT_0);
    }
    void TearDown() override {
        window_.reset();
        g_flow = nullptr;
    }

    LRESULT Notify(UINT code) {
        NMITEMACTIVATE note{};
        note.hdr = {window_->deviceList(), IDC_DEVICE_LIST, code};
        note.iItem = -1;
        return SendMessageW(hwnd_, WM_NOTIFY, IDC_DEVICE_LIST, reinterpret_cast<LPARAM>(&note));
    }
    void InsertRow(const wchar_t* name) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.pszText = const_cast<wchar_t*>(name);
        SendMessageW(window_->deviceList(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    bool PreTranslateKey(UINT key) {
        MSG message{window_->deviceList(), WM_KEYDOWN, key, 1, 0, {}};
        return window_->PreTranslateMessage(&message);
    }

    FlowRecord flow_;
    std::unique_ptr<ObservedResultWindow> window_;
    HWND hwnd_ = nullptr;
};

TEST_F(ResultWindowTest, InitialisationLeavesItHiddenAtTheOriginWithNoSize) {
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    const RECT rect = cstest::WindowRect(hwnd_);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 0);
    EXPECT_EQ(rect.bottom, 0);
    EXPECT_FALSE(GetWindowLongW(hwnd_, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(GetPropA(hwnd_, "5VOdAzuzivizi"), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(window_->mode(), 1);
    EXPECT_EQ(window_->sortFlag(), 1);
    EXPECT_EQ(window_->sortColumn(), -1);
    EXPECT_NE(SendMessageW(hwnd_, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_TRUE(window_->AssignedAddress().empty());
}

TEST_F(ResultWindowTest, StartsTheInitialFlowOnceWithAFullContextAndScanAlreadyDisabled) {
    EXPECT_EQ(flow_.starts.load(), 1);
    ui::WorkerContext* context = flow_.context.load();
    ASSERT_EQ(context, &ui::ResultWindow::InitialContext());
    EXPECT_EQ(context->deviceList, GetDlgItem(hwnd_, IDC_DEVICE_LIST));
    EXPECT_EQ(context->resultWindow, window_.get());
    ASSERT_NE(context->progressWindow, nullptr);
    EXPECT_EQ(context->setupPageButton, GetDlgItem(hwnd_, IDC_SETUP_PAGE));
    EXPECT_EQ(context->scanButton, GetDlgItem(hwnd_, IDC_SCAN));
    EXPECT_FALSE(flow_.scanEnabledAtStart.load());
}

TEST_F(ResultWindowTest, TheProgressWindowIsShownCentredOnTheScreen) {
    HWND progress = flow_.context.load()->progressWindow->hwnd();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(IsWindowVisible(progress));
    EXPECT_EQ(GetWindow(progress, GW_OWNER), hwnd_);
    const RECT area = win::WorkArea(nullptr);
    const RECT rect = cstest::WindowRect(progress);
    EXPECT_EQ(rect.left, (area.left + area.right) / 2 - (rect.right - rect.left) / 2);
    EXPECT_EQ(rect.top, (area.top + area.bottom) / 2 - (rect.bottom - rect.top) / 2);
}

TEST_F(ResultWindowTest, TheListHasThreeColumnsOfAThirdOfItsWidthAndExactlyTheExtendedStylesA0) {
    HWND list = window_->deviceList();
    EXPECT_EQ(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0xA0);
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);
    RECT client{};
    GetClientRect(list, &client);
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0), client.right / 3) << column;
        LVCOLUMNW info{};
        info.mask = LVCF_FMT;
        SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(info.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
    }
}

TEST_F(ResultWindowTest, TheSortArrowsAreTwoImagesOfSixteenPixels) {
    ASSERT_NE(window_->sortArrows(), nullptr);
    EXPECT_EQ(ImageList_GetImageCount(window_->sortArrows()), 2);
    int width = 0, height = 0;
    ImageList_GetIconSize(window_->sortArrows(), &width, &height);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 16);
}

TEST_F(ResultWindowTest, EnterEscAndThePlainCloseRequestAreDropped) {
    SetFocus(window_->deviceList());
    PreTranslateKey(VK_RETURN);
    PreTranslateKey(VK_ESCAPE);
    SendMessageW(hwnd_, WM_COMMAND, IDOK, 0);
    SendMessageW(hwnd_, WM_COMMAND, IDCANCEL, 0);
    SendMessageW(hwnd_, WM_CLOSE, 0, 0);
    ASSERT_TRUE(IsWindow(hwnd_));
    EXPECT_EQ(GetPropA(hwnd_, "5VOdAzuzivizi"), reinterpret_cast<HANDLE>(1));
    // Enter arrives as the OK command, never as one of the default-styled buttons.
    ASSERT_FALSE(window_->commands.empty());
    EXPECT_EQ(window_->commands.front(), static_cast<WPARAM>(IDOK));
    for (WPARAM command : window_->commands) {
        EXPECT_TRUE(command == IDOK || command == IDCANCEL) << command;
    }
    EXPECT_EQ(g_launches.load(), 0);
}

TEST_F(ResultWindowTest, TheIpAddressSetupButtonDoesNothing) {
    cstest::RecordingShell shell;
    SendMessageW(GetDlgItem(hwnd_, IDC_IP_ADDRESS_SETUP), BM_CLICK, 0, 0);
    SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDC_IP_ADDRESS_SETUP, BN_CLICKED),
                 reinterpret_cast<LPARAM>(window_->ipAddressButton()));
    EXPECT_TRUE(IsWindow(hwnd_));
    EXPECT_TRUE(IsWindowEnabled(window_->ipAddressButton()));
    EXPECT_TRUE(shell.Calls().empty());
    EXPECT_EQ(g_launches.load(), 0);
}

TEST_F(ResultWindowTest, AListClickAddsStylesA8AndEnablesSetupPageOnlyWithASelectionMark) {
    EnableWindow(window_->setupPageButton(), FALSE);
    const LONG before = GetWindowLongW(window_->deviceList(), GWL_STYLE);
    EXPECT_EQ(before & 0xA8, 0);
    EXPECT_EQ(Notify(NM_CLICK), 0);
    EXPECT_FALSE(IsWindowEnabled(window_->setupPageButton()));
    EXPECT_EQ(GetWindowLongW(window_->deviceList(), GWL_STYLE), before | 0xA8);

    InsertRow(L"ZTL-BR720");
    SendMessageW(window_->deviceList(), LVM_SETSELECTIONMARK, 0, 0);
    Notify(NM_CLICK);
    EXPECT_TRUE(IsWindowEnabled(window_->setupPageButton()));
}

TEST_F(ResultWindowTest, TheSetupPageButtonAndADoubleClickBothLaunchFromTheList) {
    SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDC_SETUP_PAGE, BN_CLICKED), 0);
    EXPECT_EQ(Notify(NM_DBLCLK), 0);
    EXPECT_EQ(g_launches.load(), 2);
}

TEST_F(ResultWindowTest, ContextHelpOpensTheResultTopicWithoutHelpMode) {
    cstest::RecordingShell shell;
    SendMessageW(hwnd_, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
    SendMessageW(hwnd_, WM_SYSCOMMAND, SC_CONTEXTHELP | 0x000F, 0);  // low bits are ignored
    const auto calls = shell.Calls();
    ASSERT_EQ(calls.size(), 2u);
    for (const auto& call : calls) {
        EXPECT_EQ(call.verb, "open");
        EXPECT_EQ(call.file, "hh.exe");
        EXPECT_EQ(call.parameters, ui::HelpLauncher().HelpFilePath() + "::/HTML/T660APRESULT.html");
        EXPECT_EQ(call.show, SW_SHOW);
    }
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(IsWindow(hwnd_));
}

TEST_F(ResultWindowTest, TheToolTipsHearExactlyTheSevenMouseMessages) {
    EXPECT_EQ(cstest::RelayedToToolTip(window_->toolTip(), GetDlgItem(hwnd_, IDC_SCAN),
                                       [&](MSG* msg) { window_->PreTranslateMessage(msg); }),
              cstest::kTipMouseMessages);
}

class ResultWindowTexts : public testing::TestWithParam<LANGID> {};

std::string ColumnText(HWND list, int column) {
    wchar_t buffer[256] = {};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT;
    info.pszText = buffer;
    info.cchTextMax = 256;
    SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
    return win::ToUtf8(buffer);
}

TEST_P(ResultWindowTexts, TitleLabelColumnsButtonsAndTipsComeFromTheTable) {
    const LANGID language = GetParam();
    cstest::LanguageScope scope(language);
    FlowRecord flow;
    g_flow = &flow;
    ui::ResultWindow window(TestEntryPoints());
    ASSERT_TRUE(window.Create(nullptr));
    ASSERT_EQ(WaitForSingleObject(flow.started.get(), 10000), WAIT_OBJECT_0);
    HWND h = window.hwnd();
    EXPECT_EQ(TextOf(h), Expected(110, language));
    EXPECT_EQ(ItemTextOf(h, IDC_LIST_LABEL), Expected(146, language));
    EXPECT_EQ(ColumnText(window.deviceList(), 0), Expected(103, language));
    EXPECT_EQ(ColumnText(window.deviceList(), 1), Expected(104, language));
    EXPECT_EQ(ColumnText(window.deviceList(), 2), Expected(105, language));
    const struct {
        int id;
        UINT text, tip;
    } buttons[] = {{IDC_SCAN, 111, 140},
                   {IDC_CLOSE, 115, 137},
                   {IDC_SETUP_PAGE, 113, 136},
                   {IDC_IP_ADDRESS_SETUP, 114, 138}};
    EXPECT_EQ(SendMessageW(window.toolTip(), TTM_GETTOOLCOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessageW(window.toolTip(), TTM_SETMAXTIPWIDTH, 0, 250), 250);
    for (const auto& button : buttons) {
        EXPECT_EQ(ItemTextOf(h, button.id), Expected(button.text, language)) << button.id;
        EXPECT_EQ(cstest::ToolText(window.toolTip(), h, GetDlgItem(h, button.id)),
                  Expected(button.tip, language))
            << button.id;
    }
    g_flow = nullptr;
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, ResultWindowTexts, cstest::BothLanguages(), cstest::LanguageName);

// ---- closing ----

enum class CloseWay { kSystemClose, kAltF4, kCloseButton, kCloseCommand };

class ResultWindowClosing : public testing::TestWithParam<CloseWay> {};

TEST_P(ResultWindowClosing, RemovesTheMarkerThenDestroysTheOwnerAndTheWindow) {
    FlowRecord flow;
    g_flow = &flow;
    win::UniqueWindow owner(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                            nullptr, nullptr, nullptr));
    ui::ResultWindow window(TestEntryPoints());
    ASSERT_TRUE(window.Create(owner.get()));
    HWND h = window.hwnd();
    ASSERT_EQ(GetWindow(h, GW_OWNER), owner.get());

    static bool markedAtDestroy;
    markedAtDestroy = true;
    auto spy = [](HWND w, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                  DWORD_PTR) -> LRESULT {
        if (message == WM_DESTROY) markedAtDestroy = GetPropA(w, "5VOdAzuzivizi") != nullptr;
        return DefSubclassProc(w, message, wParam, lParam);
    };
    ASSERT_TRUE(SetWindowSubclass(h, spy, 1, 0));

    switch (GetParam()) {
        case CloseWay::kSystemClose:
            SendMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case CloseWay::kAltF4:
            SendMessageW(h, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29));
            cstest::PumpPending();
            break;
        case CloseWay::kCloseButton:
            SendMessageW(GetDlgItem(h, IDC_CLOSE), BM_CLICK, 0, 0);
            break;
        case CloseWay::kCloseCommand:
            SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED), 0);
            break;
    }
    EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(markedAtDestroy);
    EXPECT_FALSE(IsWindow(owner.get()));
    owner.release();
    EXPECT_EQ(window.hwnd(), nullptr);
    ASSERT_EQ(WaitForSingleObject(flow.started.get(), 10000), WAIT_OBJECT_0);
    g_flow = nullptr;
}

INSTANTIATE_TEST_SUITE_P(EveryWay, ResultWindowClosing,
                         testing::Values(CloseWay::kSystemClose, CloseWay::kAltF4,
                                         CloseWay::kCloseButton, CloseWay::kCloseCommand),
                         [](const testing::TestParamInfo<CloseWay>& info) {
                             switch (info.param) {
                                 case CloseWay::kSystemClose: return std::string("SystemClose");
                                 case CloseWay::kAltF4: return std::string("AltF4");
                                 case CloseWay::kCloseButton: return std::string("CloseButton");
                                 default: return std::string("CloseCommand");
                             }
                         });

// ---- the modal run ----

struct ModalObservation {
    std::atomic<bool> becameVisible{false};
    RECT rectWhenVisible{};
    std::atomic<bool> markedWhenVisible{false};
    std::atomic<bool> progressVisible{false};
};
ModalObservation* g_modal = nullptr;

unsigned ObserveThenClose(void* raw) {
    auto* context = static_cast<ui::WorkerContext*>(raw);
    HWND window = context->resultWindow->hwnd();
    // Bounded wait for the modal run's first idle moment.
    for (int attempt = 0; attempt < 1000 && !IsWindowVisible(window); ++attempt) Sleep(10);
    g_modal->becameVisible = IsWindowVisible(window) != FALSE;
    GetWindowRect(window, &g_modal->rectWhenVisible);
    g_modal->markedWhenVisible = GetPropA(window, "5VOdAzuzivizi") != nullptr;
    g_modal->progressVisible = IsWindowVisible(context->progressWindow->hwnd()) != FALSE;
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED), 0);
    return 0;
}

TEST(ResultWindowModalRun, ShowsTheWindowWithoutSizeWhenIdleAndEndsThroughClose) {
    ModalObservation observation;
    g_modal = &observation;
    ui::ResultWindowEntryPoints entryPoints;
    entryPoints.initialScanFlow = &ObserveThenClose;
    ui::ResultWindow window(entryPoints);
    window.DoModal(nullptr);
    EXPECT_TRUE(observation.becameVisible.load());
    EXPECT_EQ(observation.rectWhenVisible.right - observation.rectWhenVisible.left, 0);
    EXPECT_EQ(observation.rectWhenVisible.bottom - observation.rectWhenVisible.top, 0);
    EXPECT_TRUE(observation.markedWhenVisible.load());
    EXPECT_TRUE(observation.progressVisible.load());
    EXPECT_EQ(window.hwnd(), nullptr);
    g_modal = nullptr;
}

unsigned EscOnProgressThenClose(void* raw) {
    auto* context = static_cast<ui::WorkerContext*>(raw);
    HWND window = context->resultWindow->hwnd();
    HWND progress = context->progressWindow->hwnd();
    for (int attempt = 0; attempt < 1000 && !IsWindowVisible(window); ++attempt) Sleep(10);
    // Queued to the window thread like a real key press.
    PostMessageW(progress, WM_KEYDOWN, VK_ESCAPE, 1);
    for (int attempt = 0; attempt < 1000 && IsWindowVisible(progress); ++attempt) Sleep(10);
    g_modal->progressVisible = IsWindowVisible(progress) != FALSE;
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED), 0);
    return 0;
}

TEST(ResultWindowModalRun, EscForTheProgressWindowReachesItsOwnDialogManager) {
    ModalObservation observation;
    observation.progressVisible = true;
    g_modal = &observation;
    ui::ResultWindowEntryPoints entryPoints;
    entryPoints.initialScanFlow = &EscOnProgressThenClose;
    ui::ResultWindow window(entryPoints);
    window.DoModal(nullptr);
    EXPECT_FALSE(observation.progressVisible.load());
    g_modal = nullptr;
}

}  // namespace
