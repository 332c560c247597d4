#include "win/tool_tip.h"

#include <commctrl.h>

#include <string>

#include "win/language.h"

namespace win {
namespace {

constexpr int kMaxTipWidth = 250;

bool IsRelayedMouseMessage(UINT message) {
    return message >= WM_MOUSEMOVE && message <= WM_MBUTTONUP && message != WM_LBUTTONDBLCLK &&
           message != WM_RBUTTONDBLCLK;
}

}  // namespace

void ToolTip::Create(HWND owner) {
    owner_ = owner;
    window_.reset(CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                  ResourceModule(), nullptr));
    SendMessageW(window_.get(), TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
}

void ToolTip::Add(HWND button, UINT tipId) {
    std::wstring tip = LoadText(tipId);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;  // no TTF_SUBCLASS: the relay feeds the mouse
    tool.hwnd = owner_;
    tool.uId = reinterpret_cast<UINT_PTR>(button);
    tool.lpszText = &tip[0];
    SendMessageW(window_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void ToolTip::Relay(MSG* message) const {
    if (window_.get() && IsRelayedMouseMessage(message->message)) {
        SendMessageW(window_.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(message));
    }
}

}  // namespace win
