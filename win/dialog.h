// Our dialog framework: one class per window, built from a dialog template in
// the program's language, run modally (with a message loop of our own that
// pre-translates every message) or modelessly, with a declarative message
// table per class and the virtual hooks the windows override.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <string>

namespace win {

// One row of a class's message table.
//   Command: WM_COMMAND from control `id` with notification `code`.
//   Notify:  WM_NOTIFY from control `id` with notification `code`; the
//            handler writes the notification's result.
//   Message: any other message; the handler returns false to let the default
//            processing run (as if the message were not in the table).
template <class T>
struct MessageEntry {
    enum Kind { kCommand, kNotify, kMessage };
    Kind kind;
    UINT message;
    UINT id;
    UINT code;
    void (T::*command)();
    void (T::*notify)(NMHDR* header, LRESULT* result);
    bool (T::*handler)(WPARAM wParam, LPARAM lParam, LRESULT* result);
};

template <class T>
constexpr MessageEntry<T> OnCommandFrom(UINT id, void (T::*handler)(), UINT code = BN_CLICKED) {
    return {MessageEntry<T>::kCommand, WM_COMMAND, id, code, handler, nullptr, nullptr};
}

template <class T>
constexpr MessageEntry<T> OnNotifyFrom(UINT id, UINT code, void (T::*handler)(NMHDR*, LRESULT*)) {
    return {MessageEntry<T>::kNotify, WM_NOTIFY, id, code, nullptr, handler, nullptr};
}

template <class T>
constexpr MessageEntry<T> OnMessage(UINT message, bool (T::*handler)(WPARAM, LPARAM, LRESULT*)) {
    return {MessageEntry<T>::kMessage, message, 0, 0, nullptr, nullptr, handler};
}

class Dialog {
public:
    // Which of Enter (command 1) and Esc or a plain close request (command 2)
    // the window ignores: it is dropped before the message table sees it.
    enum Ignores { kIgnoresNothing, kIgnoresEnter, kIgnoresEnterAndEsc };

    explicit Dialog(UINT templateId, Ignores ignores = kIgnoresNothing);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally on the calling thread; `owner` takes no input
    // meanwhile. Returns the value given to EndDialog, or -1 when the window
    // could not be created or was destroyed before it ended.
    INT_PTR DoModal(HWND owner = nullptr);
    // Creates the window modelessly (hidden unless the template says
    // otherwise). false when it could not be created.
    bool Create(HWND parent);
    // Modal: ends the run with `result`. Modeless: hides the window.
    void EndDialog(INT_PTR result);
    void DestroyWindow();

    HWND hwnd() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    void SetItemText(int id, const std::wstring& text) const;
    void SetTitle(const std::wstring& text) const;

    // The dialog object behind a window of ours, else nullptr.
    static Dialog* FromHandle(HWND window);

    // The pre-translation hook: true when the message was consumed. The base
    // gives keyboard and mouse input to the dialog manager (Tab, Enter, Esc).
    virtual bool PreTranslateMessage(MSG* message);

protected:
    // Command filter, for the commands the Ignores flag lets through: true
    // when the command was handled. The base consults the message table,
    // then maps 1 to OnOK and 2 to OnCancel.
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam);
    // Binds controls to fields (run by the base OnInitDialog).
    virtual void DoDataExchange() {}
    // TRUE: the dialog manager sets the focus.
    virtual BOOL OnInitDialog();
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // The class's message table; see Dispatch below.
    virtual bool DispatchTable(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // For DoDataExchange.
    void Bind(int id, HWND& field) const { field = GetDlgItem(hwnd_, id); }
    // The default close handling: issues the cancel command.
    void DefaultClose();

    template <class T, std::size_t N>
    static bool Dispatch(T* self, const MessageEntry<T> (&table)[N], UINT message, WPARAM wParam,
                         LPARAM lParam, LRESULT* result);

private:
    static INT_PTR CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Proc(UINT message, WPARAM wParam, LPARAM lParam);
    void RunModalLoop();
    bool PreTranslateTree(MSG* message);
    void Detach();

    UINT templateId_;
    Ignores ignores_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
    bool continueModal_ = false;  // touched only by the window's own thread
    INT_PTR modalResult_ = -1;
    DWORD modalThread_ = 0;
};

template <class T, std::size_t N>
bool Dialog::Dispatch(T* self, const MessageEntry<T> (&table)[N], UINT message, WPARAM wParam,
                      LPARAM lParam, LRESULT* result) {
    for (const MessageEntry<T>& entry : table) {
        switch (entry.kind) {
            case MessageEntry<T>::kCommand:
                if (message == WM_COMMAND && LOWORD(wParam) == entry.id &&
                    HIWORD(wParam) == entry.code) {
                    (self->*entry.command)();
                    *result = 0;
                    return true;
                }
                break;
            case MessageEntry<T>::kNotify:
                if (message == WM_NOTIFY && lParam) {
                    auto* header = reinterpret_cast<NMHDR*>(lParam);
                    if (header->idFrom == entry.id && header->code == entry.code) {
                        *result = 0;
                        (self->*entry.notify)(header, result);
                        return true;
                    }
                }
                break;
            case MessageEntry<T>::kMessage:
                if (message == entry.message) {
                    *result = 0;
                    return (self->*entry.handler)(wParam, lParam, result);
                }
                break;
        }
    }
    return false;
}

}  // namespace win
