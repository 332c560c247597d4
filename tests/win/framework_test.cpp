// The dialog framework: message tables, the default close and cancel, the
// modal run of our own (pre-translation, show when idle, ending), centring,
// the worker-thread start and the shell seam.
#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "res/resource.h"
#include "tests/win/test_support.h"
#include "win/dialog.h"
#include "win/handles.h"
#include "win/shell.h"
#include "win/thread.h"
#include "win/window_util.h"

namespace {

constexpr UINT kPing = WM_APP + 1;
constexpr UINT kThrow = WM_APP + 2;
constexpr UINT kEndWith = WM_APP + 3;

// Built on the notice template: buttons IDOK and IDCANCEL, static 1007.
class ProbeDialog : public win::Dialog {
public:
    ProbeDialog() : win::Dialog(IDD_NOTICE) {}

    std::vector<UINT> pretranslated;
    int commands = 0;
    int notifications = 0;
    int pings = 0;
    int okCount = 0;
    int cancelCount = 0;
    bool visibleAtFirstPing = true;
    bool consumePings = false;
    bool endWhenShown = false;
    UINT postAtInit = 0;

    bool PreTranslateMessage(MSG* message) override {
        if (message->message >= WM_APP) pretranslated.push_back(message->message);
        if (consumePings && message->message == kPing) return true;
        return win::Dialog::PreTranslateMessage(message);
    }

protected:
    BOOL OnInitDialog() override {
        win::Dialog::OnInitDialog();
        if (postAtInit) PostMessageW(hwnd(), postAtInit, 0, 0);
        return TRUE;
    }
    void OnOK() override {
        ++okCount;
        win::Dialog::OnOK();
    }
    void OnCancel() override {
        ++cancelCount;
        win::Dialog::OnCancel();
    }
    bool DispatchTable(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        static const win::MessageEntry<ProbeDialog> kTable[] = {
            win::OnCommandFrom(IDC_NOTICE_TEXT, &ProbeDialog::OnStaticCommand, STN_CLICKED),
            win::OnNotifyFrom(IDC_NOTICE_TEXT, NM_CLICK, &ProbeDialog::OnNotify),
            win::OnMessage(kPing, &ProbeDialog::OnPing),
            win::OnMessage(kThrow, &ProbeDialog::OnThrow),
            win::OnMessage(kEndWith, &ProbeDialog::OnEndWith),
            win::OnMessage(WM_SHOWWINDOW, &ProbeDialog::OnShow),
        };
        return Dispatch(this, kTable, message, wParam, lParam, result);
    }

private:
    void OnStaticCommand() { ++commands; }
    void OnNotify(NMHDR*, LRESULT* result) {
        ++notifications;
        *result = 77;
    }
    bool OnPing(WPARAM, LPARAM, LRESULT* result) {
        if (pings++ == 0) visibleAtFirstPing = IsWindowVisible(hwnd()) != FALSE;
        *result = 5;
        return true;
    }
    bool OnThrow(WPARAM, LPARAM, LRESULT*) { throw std::runtime_error("must not escape"); }
    bool OnEndWith(WPARAM wParam, LPARAM, LRESULT*) {
        EndDialog(static_cast<INT_PTR>(wParam));
        return true;
    }
    bool OnShow(WPARAM shown, LPARAM, LRESULT*) {
        if (shown && endWhenShown) PostMessageW(hwnd(), kEndWith, 33, 0);
        return false;
    }
};

TEST(MessageTable, DispatchesCommandsByIdentifierAndNotificationCode) {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    SendMessageW(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_NOTICE_TEXT, STN_CLICKED), 0);
    SendMessageW(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_NOTICE_TEXT, STN_DBLCLK), 0);
    EXPECT_EQ(dialog.commands, 1);
}

TEST(MessageTable, NotificationHandlersSetTheResult) {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    NMHDR header{dialog.Item(IDC_NOTICE_TEXT), IDC_NOTICE_TEXT, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(SendMessageW(dialog.hwnd(), WM_NOTIFY, IDC_NOTICE_TEXT,
                           reinterpret_cast<LPARAM>(&header)),
              77);
    header.code = static_cast<UINT>(NM_DBLCLK);
    SendMessageW(dialog.hwnd(), WM_NOTIFY, IDC_NOTICE_TEXT, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(dialog.notifications, 1);
    EXPECT_EQ(SendMessageW(dialog.hwnd(), kPing, 0, 0), 5);
}

TEST(MessageTable, AnExceptionInAHandlerDoesNotLeaveTheWindowProcedure) {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    SendMessageW(dialog.hwnd(), kThrow, 0, 0);
    EXPECT_TRUE(IsWindow(dialog.hwnd()));
    EXPECT_EQ(SendMessageW(dialog.hwnd(), kPing, 0, 0), 5);
}

TEST(DefaultHandling, OkAndCancelCommandsReachTheirHooksAndCloseIssuesCancel) {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    ShowWindow(dialog.hwnd(), SW_SHOW);
    SendMessageW(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(dialog.okCount, 1);
    ShowWindow(dialog.hwnd(), SW_SHOW);
    // The close request takes full effect before SendMessage returns.
    SendMessageW(dialog.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(dialog.cancelCount, 1);
    // A modeless dialog ended by its default cancel is hidden, not destroyed.
    EXPECT_TRUE(IsWindow(dialog.hwnd()));
    EXPECT_FALSE(IsWindowVisible(dialog.hwnd()));
}

TEST(DefaultHandling, AMissingTemplateCreatesNothing) {
    class Orphan : public win::Dialog {
    public:
        Orphan() : win::Dialog(999) {}
    } orphan;
    EXPECT_FALSE(orphan.Create(nullptr));
    EXPECT_EQ(orphan.DoModal(nullptr), -1);
    EXPECT_EQ(orphan.hwnd(), nullptr);
}

TEST(DefaultHandling, TheObjectForgetsItsWindowWhenTheWindowIsDestroyed) {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    HWND window = dialog.hwnd();
    EXPECT_EQ(win::Dialog::FromHandle(window), &dialog);
    DestroyWindow(window);
    EXPECT_EQ(dialog.hwnd(), nullptr);
    EXPECT_EQ(win::Dialog::FromHandle(window), nullptr);
}

TEST(ModalRun, ReturnsTheValueTheDialogEndedWith) {
    ProbeDialog dialog;
    dialog.postAtInit = kEndWith;
    // kEndWith carries 0 here: a posted message handled inside our loop.
    EXPECT_EQ(dialog.DoModal(nullptr), 0);
    EXPECT_EQ(dialog.hwnd(), nullptr);
}

TEST(ModalRun, ShowsAHiddenDialogOnlyOnceTheQueueIsIdle) {
    ProbeDialog dialog;
    dialog.postAtInit = kPing;
    dialog.endWhenShown = true;
    EXPECT_EQ(dialog.DoModal(nullptr), 33);
    EXPECT_EQ(dialog.pings, 1);
    EXPECT_FALSE(dialog.visibleAtFirstPing);
}

TEST(ModalRun, EveryMessagePassesThePreTranslationFirst) {
    ProbeDialog dialog;
    dialog.postAtInit = kPing;
    dialog.consumePings = true;
    dialog.endWhenShown = true;
    EXPECT_EQ(dialog.DoModal(nullptr), 33);
    // Seen by the pre-translation and consumed there: never dispatched.
    ASSERT_GE(dialog.pretranslated.size(), 2u);
    EXPECT_EQ(dialog.pretranslated[0], kPing);
    EXPECT_EQ(dialog.pings, 0);
}

TEST(ModalRun, MessagesForAControlAreOfferedToItsDialog) {
    class ChildProbe : public ProbeDialog {
    protected:
        BOOL OnInitDialog() override {
            BOOL result = ProbeDialog::OnInitDialog();
            PostMessageW(Item(IDOK), kPing, 0, 0);
            PostMessageW(hwnd(), kEndWith, 8, 0);
            return result;
        }
    } dialog;
    dialog.consumePings = true;
    EXPECT_EQ(dialog.DoModal(nullptr), 8);
    ASSERT_FALSE(dialog.pretranslated.empty());
    EXPECT_EQ(dialog.pretranslated[0], kPing);
}

TEST(ModalRun, DisablesTheOwnerWhileItRunsAndGivesItBack) {
    ProbeDialog owner;
    ASSERT_TRUE(owner.Create(nullptr));
    class Checker : public ProbeDialog {
    public:
        HWND ownerWindow = nullptr;
        bool ownerEnabledInside = true;

    protected:
        BOOL OnInitDialog() override {
            ownerEnabledInside = IsWindowEnabled(ownerWindow) != FALSE;
            PostMessageW(hwnd(), kEndWith, 1, 0);
            return ProbeDialog::OnInitDialog();
        }
    } dialog;
    dialog.ownerWindow = owner.hwnd();
    EXPECT_EQ(dialog.DoModal(owner.hwnd()), 1);
    EXPECT_FALSE(dialog.ownerEnabledInside);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
}

TEST(ModalRun, EndsWhenItsWindowIsDestroyedFromAnotherThread) {
    class Waiting : public ProbeDialog {
    public:
        std::thread closer;

    protected:
        BOOL OnInitDialog() override {
            HWND window = hwnd();
            closer = std::thread([window] {
                // A synchronous request served inside GetMessage: the loop
                // must notice that its window went.
                SendMessageW(window, kEndWith, 12, 0);
            });
            return ProbeDialog::OnInitDialog();
        }
    } dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), 12);
    dialog.closer.join();
}

TEST(ModalRun, EndsWithMinusOneWhenTheWindowIsDestroyed) {
    class SelfDestroying : public ProbeDialog {
    protected:
        BOOL OnInitDialog() override {
            PostMessageW(hwnd(), WM_APP + 9, 0, 0);
            return ProbeDialog::OnInitDialog();
        }
        bool DispatchTable(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
            if (message == WM_APP + 9) {
                DestroyWindow();
                return true;
            }
            return ProbeDialog::DispatchTable(message, wParam, lParam, result);
        }
    } dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), -1);
}

// ---- centring ----

class Centring : public testing::Test {
protected:
    static HWND Popup(int x, int y, int width, int height) {
        return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, x, y, width, height, nullptr, nullptr,
                               nullptr, nullptr);
    }
    RECT area_ = win::WorkArea(nullptr);
};

TEST_F(Centring, CentresOverAVisibleReference) {
    win::UniqueWindow reference(Popup(100, 100, 400, 300));
    ShowWindow(reference.get(), SW_SHOWNOACTIVATE);
    win::UniqueWindow window(Popup(0, 0, 200, 100));
    win::CenterWindow(window.get(), reference.get());
    const RECT rect = cstest::WindowRect(window.get());
    EXPECT_EQ(rect.left, 200);
    EXPECT_EQ(rect.top, 200);
    EXPECT_EQ(rect.right - rect.left, 200);
}

TEST_F(Centring, UsesTheWorkAreaWhenTheReferenceIsHiddenMinimisedOrAbsent) {
    win::UniqueWindow hidden(Popup(10, 10, 50, 50));
    win::UniqueWindow window(Popup(0, 0, 200, 100));
    const LONG expectedLeft = (area_.left + area_.right) / 2 - 100;
    const LONG expectedTop = (area_.top + area_.bottom) / 2 - 50;
    for (HWND reference : {hidden.get(), static_cast<HWND>(nullptr)}) {
        SetWindowPos(window.get(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        win::CenterWindow(window.get(), reference);
        const RECT rect = cstest::WindowRect(window.get());
        EXPECT_EQ(rect.left, expectedLeft);
        EXPECT_EQ(rect.top, expectedTop);
    }
    win::UniqueWindow minimised(CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_MINIMIZE, 10, 10,
                                                300, 300, nullptr, nullptr, nullptr, nullptr));
    ShowWindow(minimised.get(), SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(minimised.get()));
    win::CenterWindow(window.get(), minimised.get());
    EXPECT_EQ(cstest::WindowRect(window.get()).left, expectedLeft);
}

TEST_F(Centring, KeepsTheWindowInsideTheWorkArea) {
    win::UniqueWindow corner(Popup(area_.left, area_.top, 20, 20));
    ShowWindow(corner.get(), SW_SHOWNOACTIVATE);
    win::UniqueWindow window(Popup(0, 0, 260, 80));
    win::CenterWindow(window.get(), corner.get());
    RECT rect = cstest::WindowRect(window.get());
    EXPECT_EQ(rect.left, area_.left);
    EXPECT_EQ(rect.top, area_.top);

    SetWindowPos(corner.get(), nullptr, area_.right - 20, area_.bottom - 20, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    win::CenterWindow(window.get(), corner.get());
    rect = cstest::WindowRect(window.get());
    EXPECT_EQ(rect.right, area_.right);
    EXPECT_EQ(rect.bottom, area_.bottom);
}

// ---- threads and the shell seam ----

TEST(WorkerThread, RunsTheProcedureWithItsArgument) {
    struct Record {
        HANDLE done;
        std::atomic<int> value{0};
    } record{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    win::UniqueKernelHandle done(record.done);
    ASSERT_TRUE(win::StartWorkerThread(
        [](void* raw) -> unsigned {
            auto* r = static_cast<Record*>(raw);
            r->value = 41 + 1;
            SetEvent(r->done);
            return 0;
        },
        &record));
    ASSERT_EQ(WaitForSingleObject(done.get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(record.value.load(), 42);
}

TEST(ShellSeam, ARecordingShellReplacesThePlatformsUntilRemoved) {
    win::Shell* platform = &win::ActiveShell();
    {
        cstest::RecordingShell shell;
        EXPECT_EQ(&win::ActiveShell(), &shell);
        EXPECT_EQ(win::ActiveShell().Execute(nullptr, "open", "x", "y", nullptr, SW_SHOW), 42);
        ASSERT_EQ(shell.Calls().size(), 1u);
        EXPECT_EQ(shell.Calls()[0].file, "x");
    }
    EXPECT_EQ(&win::ActiveShell(), platform);
}

}  // namespace
