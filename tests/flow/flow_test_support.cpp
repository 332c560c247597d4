#include "tests/flow/flow_test_support.h"

#include <cstring>

#include "res/resource.h"
#include "tests/win/test_support.h"
#include "ui/notice_dialog.h"

namespace cstest {
namespace {

NoticeAnswerer* g_answerer = nullptr;

}  // namespace

NoticeAnswerer::NoticeAnswerer(int answer) : answer_(answer) {
    g_answerer = this;
    hook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, &NoticeAnswerer::Hook, nullptr,
                              GetCurrentThreadId());
}

NoticeAnswerer::~NoticeAnswerer() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (g_answerer == this) g_answerer = nullptr;
}

LRESULT CALLBACK NoticeAnswerer::Hook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && g_answerer && call->message == WM_INITDIALOG) {
        if (auto* notice = dynamic_cast<ui::NoticeDialog*>(win::Dialog::FromHandle(call->hwnd))) {
            g_answerer->seen.push_back({notice->code, TextOf(call->hwnd),
                                        ItemTextOf(call->hwnd, IDC_NOTICE_TEXT),
                                        GetWindow(call->hwnd, GW_OWNER)});
            const int button = g_answerer->answer_ == 1 ? IDOK : IDCANCEL;
            PostMessageW(call->hwnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::uint16_t NetworkPort(std::uint16_t port) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(port >> 8),
                                   static_cast<std::uint8_t>(port)};
    std::uint16_t value;
    std::memcpy(&value, bytes, 2);
    return value;
}

}  // namespace cstest
