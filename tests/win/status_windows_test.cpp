// The progress window's animation and close, and the two status windows
// shown during blocking calls: texts, command filters, size and centring.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "res/resource.h"
#include "tests/win/test_support.h"
#include "ui/status_windows.h"
#include "win/handles.h"
#include "win/window_util.h"

namespace {

using cstest::Expected;
using cstest::ItemTextOf;
using cstest::LanguageScope;

int Position(const ui::ProgressWindow& window) {
    return static_cast<int>(SendMessageW(window.progressBar(), PBM_GETPOS, 0, 0));
}

void Tick(const ui::ProgressWindow& window) { SendMessageW(window.hwnd(), WM_TIMER, 1, 0); }

bool PressKey(win::Dialog& dialog, UINT key) {
    MSG message{dialog.hwnd(), WM_KEYDOWN, key, 1, 0, {}};
    if (dialog.PreTranslateMessage(&message)) return true;
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return false;
}

// A timer that still exists can be killed; one that was stopped cannot.
bool TimerRunning(const ui::ProgressWindow& window) {
    if (!KillTimer(window.hwnd(), window.timerId())) return false;
    SetTimer(window.hwnd(), window.timerId(), ui::ProgressWindow::kTimerPeriodMs, nullptr);
    return true;
}

class ProgressWindowTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(progress_.Open(nullptr)); }
    ui::ProgressWindow progress_;
};

TEST_F(ProgressWindowTest, StartsAtZeroOverZeroToHundredWithItsTimerRunning) {
    EXPECT_TRUE(IsWindowVisible(progress_.hwnd()));
    EXPECT_EQ(Position(progress_), 0);
    PBRANGE range{};
    SendMessageW(progress_.progressBar(), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    EXPECT_EQ(progress_.timerId(), 1u);
    EXPECT_TRUE(TimerRunning(progress_));
}

TEST_F(ProgressWindowTest, TicksShowOneFourToNinetySevenThenStartAgain) {
    std::vector<int> shown;
    for (int tick = 0; tick < 35; ++tick) {
        Tick(progress_);
        shown.push_back(Position(progress_));
    }
    for (int i = 0; i < 33; ++i) EXPECT_EQ(shown[i], 1 + 3 * i) << i;
    EXPECT_EQ(shown[32], 97);
    EXPECT_EQ(shown[33], 1);
    EXPECT_EQ(shown[34], 4);
}

TEST_F(ProgressWindowTest, EnterChangesNothingEscHidesItWhileItsTimerKeepsRunning) {
    PressKey(progress_, VK_RETURN);
    SendMessageW(progress_.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(IsWindowVisible(progress_.hwnd()));
    EXPECT_TRUE(TimerRunning(progress_));

    PressKey(progress_, VK_ESCAPE);
    EXPECT_FALSE(IsWindowVisible(progress_.hwnd()));
    EXPECT_TRUE(IsWindow(progress_.hwnd()));
    EXPECT_TRUE(TimerRunning(progress_));
    // The flow's later close request still stops it.
    SendMessageW(progress_.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(TimerRunning(progress_));
}

TEST_F(ProgressWindowTest, ACloseRequestFromAnotherThreadStopsTheTimerAndHidesItBeforeReturning) {
    bool hiddenWhenReturned = false;
    bool stoppedWhenReturned = false;
    win::UniqueKernelHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HWND window = progress_.hwnd();
    std::thread flow([&] {
        SendMessageW(window, WM_CLOSE, 0, 0);
        hiddenWhenReturned = !IsWindowVisible(window);
        stoppedWhenReturned = !KillTimer(window, 1);  // fails from a foreign thread or when stopped
        SetEvent(done.get());
    });
    EXPECT_TRUE(cstest::PumpUntilSignalled(done.get()));
    flow.join();
    EXPECT_TRUE(hiddenWhenReturned);
    EXPECT_TRUE(stoppedWhenReturned);
    EXPECT_FALSE(TimerRunning(progress_));
    EXPECT_TRUE(IsWindow(progress_.hwnd()));
}

TEST(ProgressWindowPlacement, IsCentredOnTheWorkAreaOverAHiddenResultWindow) {
    win::UniqueWindow hiddenOwner(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                                  nullptr, nullptr, nullptr));
    ui::ProgressWindow progress;
    ASSERT_TRUE(progress.Open(hiddenOwner.get()));
    EXPECT_EQ(GetWindow(progress.hwnd(), GW_OWNER), hiddenOwner.get());
    const RECT area = win::WorkArea(nullptr);
    const RECT rect = cstest::WindowRect(progress.hwnd());
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    EXPECT_EQ(rect.left, (area.left + area.right) / 2 - width / 2);
    EXPECT_EQ(rect.top, (area.top + area.bottom) / 2 - height / 2);
}

class StatusTexts : public testing::TestWithParam<LANGID> {};

TEST_P(StatusTexts, EachWindowShowsItsString) {
    LanguageScope language(GetParam());
    ui::ProgressWindow progress;
    ASSERT_TRUE(progress.Open(nullptr));
    EXPECT_EQ(ItemTextOf(progress.hwnd(), IDC_STATUS_TEXT), Expected(121, GetParam()));

    ui::LaunchingWindow launching;
    launching.kind = 1;
    ASSERT_TRUE(ui::ShowStatusWindow(launching, nullptr, nullptr));
    EXPECT_EQ(ItemTextOf(launching.hwnd(), IDC_STATUS_TEXT), Expected(123, GetParam()));

    ui::SettingAddressWindow setting;
    ASSERT_TRUE(ui::ShowStatusWindow(setting, nullptr, nullptr));
    EXPECT_EQ(ItemTextOf(setting.hwnd(), IDC_STATUS_TEXT), Expected(149, GetParam()));
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, StatusTexts, cstest::BothLanguages(), cstest::LanguageName);

TEST(LaunchingWindowKinds, AKindOtherThanTheConverterShowsNoText) {
    ui::LaunchingWindow launching;
    launching.kind = 2;
    ASSERT_TRUE(ui::ShowStatusWindow(launching, nullptr, nullptr));
    EXPECT_EQ(ItemTextOf(launching.hwnd(), IDC_STATUS_TEXT), "");
}

// Both status windows: sized and centred the same way, deaf to Enter, Esc and
// the close request.
template <class Window>
class BlockingStatusWindow : public testing::Test {
protected:
    void SetUp() override {
        reference_.reset(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 300, 200, 400, 300, nullptr,
                                         nullptr, nullptr, nullptr));
        ShowWindow(reference_.get(), SW_SHOWNOACTIVATE);
        ASSERT_TRUE(ui::ShowStatusWindow(window_, reference_.get(), reference_.get()));
    }
    win::UniqueWindow reference_;
    Window window_;
};

using StatusWindowTypes = testing::Types<ui::LaunchingWindow, ui::SettingAddressWindow>;
TYPED_TEST_SUITE(BlockingStatusWindow, StatusWindowTypes);

TYPED_TEST(BlockingStatusWindow, Is260By80PixelsCentredOverItsReference) {
    const RECT rect = cstest::WindowRect(this->window_.hwnd());
    EXPECT_EQ(rect.right - rect.left, 260);
    EXPECT_EQ(rect.bottom - rect.top, 80);
    EXPECT_EQ(rect.left, 300 + 200 - 130);
    EXPECT_EQ(rect.top, 200 + 150 - 40);
    EXPECT_TRUE(IsWindowVisible(this->window_.hwnd()));
    EXPECT_EQ(GetWindow(this->window_.hwnd(), GW_OWNER), this->reference_.get());
}

TYPED_TEST(BlockingStatusWindow, EnterEscAndTheCloseRequestChangeNothing) {
    HWND window = this->window_.hwnd();
    PressKey(this->window_, VK_RETURN);
    PressKey(this->window_, VK_ESCAPE);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));
}

TYPED_TEST(BlockingStatusWindow, GoesWhenItsCreatorDestroysIt) {
    HWND window = this->window_.hwnd();
    this->window_.DestroyWindow();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(this->window_.hwnd(), nullptr);
}

}  // namespace
