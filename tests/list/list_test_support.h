// The result window as the list tests need it: created on the test's thread
// with no initial flow (the Scan button is handed to the test ready), the
// protocol on a scripted socket port, and the windows the flows open on
// other threads answered from here.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/device_table.h"
#include "tests/host/net/scripted_port.h"
#include "ui/result_window.h"
#include "win/dialog.h"

namespace cstest {

struct NoticeRecord {
    int code;
    std::string text;
    bool progressShown;  // the rescan's progress window was visible meanwhile
};

struct MessageBoxRecord {
    std::string caption;
    std::string text;
    bool hasOk, hasCancel, hasYes;
    bool hasIcon;
    HWND owner;
    bool launchingShown;  // a LaunchingWindow was on screen meanwhile
    std::string launchingText;
};

// Records every message box that this thread opens and presses its OK (or
// first) button once it has initialised. One at a time per process.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer();
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    std::vector<MessageBoxRecord> seen;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook_ = nullptr;
};

// One row of a list, its three texts as the list holds them.
struct Row {
    std::string name, address, mac;
    bool selected = false, focused = false;
};

std::vector<Row> RowsOf(HWND list);

// The dialog object of a top-level window of this process; null for any
// other window (another process's property is no pointer of ours).
win::Dialog* OwnDialog(HWND window);

int SelectionMark(HWND list);

// A header item's arrow: -1 when it shows none, else its image index.
int ArrowOf(HWND list, int column);
int HeaderFormatOf(HWND list, int column);

// A discovery reply of a converter named `name` at `address`, MAC ending `macLast`.
std::vector<std::uint8_t> ConverterReply(const std::string& name, std::uint8_t a, std::uint8_t b,
                                         std::uint8_t c, std::uint8_t d, std::uint8_t macLast);
// The same as a table record.
net::DeviceRecord ConverterRecord(const std::string& name, std::uint8_t a, std::uint8_t b,
                                  std::uint8_t c, std::uint8_t d, std::uint8_t macLast);

class ListWindowFixture {
public:
    enum class Sockets { kScripted, kPlatform };
    // The scripted port unless the test runs inside a namespace of its own
    // on the platform's sockets.
    explicit ListWindowFixture(Sockets sockets = Sockets::kScripted);
    ~ListWindowFixture();

    // A fresh result window on this thread, its Scan button enabled and its
    // initial progress window closed, as an initial flow would leave it.
    bool Open(const ui::ResultWindowEntryPoints& entryPoints);

    // Presses Scan (or delivers `presses` Scan commands back to back) and
    // serves this thread until the rescan has enabled Scan again, answering
    // every notice with `answer`. false when it did not end within a bound.
    bool Rescan(int answer, int presses = 1);

    HWND hwnd() const { return window->hwnd(); }
    HWND list() const { return window->deviceList(); }

    net::fake::ScriptedPort port;
    std::unique_ptr<ui::ResultWindow> window;
    std::vector<NoticeRecord> notices;
};

// A PC with one Ethernet interface 192.168.0.2/24 (and the loopback entry).
void OneEthernetPc(net::fake::ScriptedPort& port);
// Inbound for three discovery cycles, each answered by `replies`.
void AnswerEveryCycle(net::fake::ScriptedPort& port,
                      const std::vector<std::vector<std::uint8_t>>& replies);

}  // namespace cstest
