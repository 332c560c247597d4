// Start-up: the single-instance rule and the placeholder initial flow that
// hands the window back to the user.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/converter_setup_app.h"
#include "res/resource.h"
#include "tests/win/test_support.h"
#include "ui/result_window.h"
#include "ui/status_windows.h"
#include "win/handles.h"

namespace {

win::UniqueWindow Popup(DWORD style = WS_POPUP) {
    return win::UniqueWindow(CreateWindowExW(0, L"STATIC", L"", style, 0, 0, 50, 50, nullptr,
                                             nullptr, nullptr, nullptr));
}

void Mark(HWND window) { SetPropA(window, "5VOdAzuzivizi", reinterpret_cast<HANDLE>(1)); }

TEST(SingleInstance, NoMarkedWindowMeansNoRunningCopy) {
    win::UniqueWindow plain = Popup();
    EXPECT_EQ(app::FindRunningCopy(), nullptr);
    EXPECT_FALSE(app::ActivateRunningCopy());
}

TEST(SingleInstance, AHiddenMarkedWindowCountsUntilItsMarkerIsRemoved) {
    win::UniqueWindow hidden = Popup();
    Mark(hidden.get());
    EXPECT_EQ(app::FindRunningCopy(), hidden.get());
    RemovePropA(hidden.get(), "5VOdAzuzivizi");
    EXPECT_EQ(app::FindRunningCopy(), nullptr);
}

TEST(SingleInstance, TheFirstMarkedWindowInStackingOrderIsUsed) {
    win::UniqueWindow lower = Popup();
    win::UniqueWindow upper = Popup();
    Mark(lower.get());
    Mark(upper.get());
    SetWindowPos(upper.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(app::FindRunningCopy(), upper.get());
    SetWindowPos(lower.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(app::FindRunningCopy(), lower.get());
}

TEST(SingleInstance, ActivatesTheRunningCopysLastActivePopup) {
    win::UniqueWindow running = Popup(WS_POPUP | WS_VISIBLE);
    Mark(running.get());
    win::UniqueWindow popup(CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                            running.get(), nullptr, nullptr, nullptr));
    SetActiveWindow(popup.get());
    win::UniqueWindow other = Popup(WS_POPUP | WS_VISIBLE);
    SetForegroundWindow(other.get());
    ASSERT_EQ(GetLastActivePopup(running.get()), popup.get());
    EXPECT_TRUE(app::ActivateRunningCopy());
    EXPECT_EQ(GetForegroundWindow(), popup.get());
}

TEST(StartUp, ASecondCopyCreatesNoWindowAndReturnsFalse) {
    win::UniqueWindow running = Popup();
    Mark(running.get());
    app::ConverterSetupApp application;
    EXPECT_FALSE(application.InitInstance());
    EXPECT_EQ(application.mainWindow(), nullptr);
    EXPECT_EQ(FindWindowW(L"#32770", nullptr), nullptr);
}

}  // namespace
