// The small modeless windows that keep the user informed: the progress bar of
// a scan, and the notices shown while the browser is asked to open a setup
// page and while a converter takes its new address.
#pragma once

#include <windows.h>

#include "win/dialog.h"

namespace ui {

// Shown while a scan runs. Its flow closes it with a synchronous WM_CLOSE,
// which stops the timer and hides it; it is never shown again.
class ProgressWindow : public win::Dialog {
public:
    ProgressWindow();

    // Creates it with `resultWindow` as parent, centres it over that window,
    // shows it and paints it at once. false when it could not be created.
    bool Open(HWND resultWindow);

    HWND progressBar() const { return progressBar_; }
    UINT_PTR timerId() const { return timerId_; }

    // Puts the string `textId` into the text, growing the text and the
    // window where it would not fit (the template's text holds
    // "Scanning..." alone), and centres the window again. On its own thread.
    void ShowText(UINT textId);
    // The same from any thread: a synchronous request to the window's thread.
    static constexpr UINT kShowTextMessage = WM_APP + 1;

    static constexpr UINT kTimerPeriodMs = 100;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    bool DispatchTable(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    bool OnClose(WPARAM wParam, LPARAM lParam, LRESULT* result);
    bool OnTimer(WPARAM wParam, LPARAM lParam, LRESULT* result);
    bool OnShowText(WPARAM wParam, LPARAM lParam, LRESULT* result);

    HWND progressBar_ = nullptr;
    UINT_PTR timerId_ = 0;
    int counter_ = 0;
};

// The status windows shown during a blocking call are sized to 260 x 80
// pixels whatever their template says, and centred over a window of the
// caller's choice. They ignore Enter and Esc: only their creator removes them.
constexpr int kStatusWindowWidth = 260;
constexpr int kStatusWindowHeight = 80;

// Creates `window` modelessly with `parent` (may be null), moves it to 0, 0
// at 260 x 80 pixels, centres it over `centreOver`, shows it and paints it at
// once, so its text is visible while the caller then blocks.
bool ShowStatusWindow(win::Dialog& window, HWND parent, HWND centreOver);

// "Launching Converter Setup Page..." while the shell opens a setup page.
class LaunchingWindow : public win::Dialog {
public:
    LaunchingWindow();

    // Set by the creator before the window is created; 1 is the converter.
    int kind = 0;

protected:
    BOOL OnInitDialog() override;
};

// "Setting IP Address..." while a converter takes its new address.
class SettingAddressWindow : public win::Dialog {
public:
    SettingAddressWindow();

protected:
    BOOL OnInitDialog() override;
};

}  // namespace ui
