#include "win/dialog.h"

#include "win/language.h"
#include "win/window_util.h"

namespace win {
namespace {

// Marks our dialog windows and points back to their objects.
const wchar_t kDialogProperty[] = L"ConverterSetup.Dialog";

}  // namespace

Dialog::Dialog(UINT templateId, Ignores ignores) : templateId_(templateId), ignores_(ignores) {}

Dialog::~Dialog() {
    if (!hwnd_) return;
    if (GetWindowThreadProcessId(hwnd_, nullptr) == GetCurrentThreadId()) {
        ::DestroyWindow(hwnd_);
    } else {
        // Another thread's window cannot be destroyed from here: at least make
        // sure it never calls into this object again.
        RemovePropW(hwnd_, kDialogProperty);
    }
    hwnd_ = nullptr;
}

Dialog* Dialog::FromHandle(HWND window) {
    return window ? static_cast<Dialog*>(GetPropW(window, kDialogProperty)) : nullptr;
}

bool Dialog::Create(HWND parent) {
    const DLGTEMPLATE* dialogTemplate = FindDialogTemplate(templateId_);
    if (!dialogTemplate || hwnd_) return false;
    modal_ = false;
    HWND created = CreateDialogIndirectParamW(ResourceModule(), dialogTemplate, parent,
                                              &Dialog::StaticProc, reinterpret_cast<LPARAM>(this));
    return created != nullptr;
}

INT_PTR Dialog::DoModal(HWND owner) {
    const DLGTEMPLATE* dialogTemplate = FindDialogTemplate(templateId_);
    if (!dialogTemplate || hwnd_) return -1;

    bool ownerDisabled = false;
    if (owner && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        ownerDisabled = true;
    }
    modal_ = true;
    continueModal_ = true;
    modalResult_ = -1;
    modalThread_ = GetCurrentThreadId();

    HWND created = CreateDialogIndirectParamW(ResourceModule(), dialogTemplate, owner,
                                              &Dialog::StaticProc, reinterpret_cast<LPARAM>(this));
    if (created && hwnd_) RunModalLoop();
    continueModal_ = false;

    if (hwnd_) {
        SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // Give the owner its input back before the window goes, so activation
    // returns to it rather than to some other program.
    if (ownerDisabled) EnableWindow(owner, TRUE);
    if (owner && hwnd_ && GetActiveWindow() == hwnd_) SetActiveWindow(owner);
    if (hwnd_) ::DestroyWindow(hwnd_);
    modal_ = false;
    return modalResult_;
}

void Dialog::RunModalLoop() {
    // As the dialog manager does: a dialog that is still hidden after its
    // initialisation is shown once the queue is first idle.
    bool showWhenIdle = (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) == 0;
    MSG message;
    while (continueModal_ && hwnd_) {
        if (showWhenIdle && !PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            showWhenIdle = false;
            if (!continueModal_ || !hwnd_) break;
            ShowWindow(hwnd_, SW_SHOWNORMAL);
            UpdateWindow(hwnd_);
        }
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // Someone asked the thread to quit: end here and leave the request
            // for the loop outside us.
            PostQuitMessage(static_cast<int>(message.wParam));
            modalResult_ = -1;
            break;
        }
        if (got == -1) break;
        if (!PreTranslateTree(&message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

bool Dialog::PreTranslateTree(MSG* message) {
    // From the message's window up through its parents (a popup's parent is
    // its owner), every dialog of ours gets the message first; the walk stops
    // at the dialog that runs this loop.
    for (HWND window = message->hwnd; window; window = GetParent(window)) {
        if (Dialog* dialog = FromHandle(window)) {
            if (dialog->PreTranslateMessage(message)) return true;
        }
        if (window == hwnd_) break;
    }
    return false;
}

bool Dialog::PreTranslateMessage(MSG* message) {
    if (!hwnd_) return false;
    const bool keyboard = message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST;
    const bool mouse = message->message >= WM_MOUSEFIRST && message->message <= WM_MOUSELAST;
    if (!keyboard && !mouse) return false;
    return IsDialogMessageW(hwnd_, message) != FALSE;
}

void Dialog::EndDialog(INT_PTR result) {
    if (modal_) {
        modalResult_ = result;
        continueModal_ = false;
        // Wake the loop if it is waiting (the call may come from a message
        // sent by another thread, which GetMessage handles without returning).
        if (modalThread_) PostThreadMessageW(modalThread_, WM_NULL, 0, 0);
    } else if (hwnd_) {
        ShowWindow(hwnd_, SW_HIDE);
    }
}

void Dialog::DestroyWindow() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

void Dialog::SetItemText(int id, const std::wstring& text) const {
    SetDlgItemTextW(hwnd_, id, text.c_str());
}

void Dialog::SetTitle(const std::wstring& text) const { SetWindowTextW(hwnd_, text.c_str()); }

BOOL Dialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

bool Dialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (DispatchTable(WM_COMMAND, wParam, lParam, &result)) return true;
    if (HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return true;
        }
    }
    return false;
}

bool Dialog::DispatchTable(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

void Dialog::DefaultClose() {
    // Synchronous, unlike the dialog manager's posted command, so that a close
    // request sent from another thread has fully taken effect when it returns.
    SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hwnd_, IDCANCEL)));
}

void Dialog::Detach() {
    RemovePropW(hwnd_, kDialogProperty);
    hwnd_ = nullptr;
    if (modal_ && continueModal_) {
        continueModal_ = false;
        modalResult_ = -1;
        if (modalThread_) PostThreadMessageW(modalThread_, WM_NULL, 0, 0);
    }
}

INT_PTR CALLBACK Dialog::StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        if (!self) return FALSE;
        self->hwnd_ = window;
        SetPropW(window, kDialogProperty, self);
    } else {
        self = FromHandle(window);
    }
    if (!self) return FALSE;
    // Nothing may unwind through the window system's frames.
    INT_PTR handled = FALSE;
    try {
        handled = self->Proc(message, wParam, lParam);
    } catch (...) {
        handled = FALSE;
    }
    if (message == WM_NCDESTROY) self->Detach();
    return handled;
}

INT_PTR Dialog::Proc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            RECT before{};
            GetWindowRect(hwnd_, &before);
            const BOOL setFocus = OnInitDialog();
            if (!hwnd_) return FALSE;
            // A window that initialisation did not place is centred over its
            // owner, as the framework does for templates without a position.
            RECT after{};
            GetWindowRect(hwnd_, &after);
            if (EqualRect(&before, &after) && !(GetWindowLongW(hwnd_, GWL_STYLE) & WS_CHILD)) {
                CenterWindow(hwnd_, GetWindow(hwnd_, GW_OWNER));
            }
            return setFocus;
        }
        case WM_COMMAND:
            // The whole parameter: the dialog manager's own commands for
            // Enter and Esc, not a notification of a control that has 1 or 2
            // as its identifier.
            if ((wParam == IDOK && ignores_ != kIgnoresNothing) ||
                (wParam == IDCANCEL && ignores_ == kIgnoresEnterAndEsc)) {
                return TRUE;
            }
            return OnCommand(wParam, lParam) ? TRUE : FALSE;
        default:
            break;
    }

    LRESULT result = 0;
    if (DispatchTable(message, wParam, lParam, &result)) {
        SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
        return TRUE;
    }
    if (message == WM_CLOSE) {
        DefaultClose();
        return TRUE;
    }
    return FALSE;
}

}  // namespace win
