// The program's main window: the converter list with the Scan, IP Address
// Setup, Converter Setup Page and Close buttons. It hides itself with no size
// while it initialises; the scan flows fill and drive it from their threads.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/device_table.h"
#include "win/dialog.h"
#include "win/thread.h"
#include "win/handles.h"
#include "win/tool_tip.h"

namespace ui {

class ProgressWindow;
class ResultWindow;

// What a scan flow receives: non-owning references, filled completely on the
// window thread before the flow's thread starts and only read afterwards.
struct WorkerContext {
    HWND deviceList = nullptr;
    ResultWindow* resultWindow = nullptr;
    ProgressWindow* progressWindow = nullptr;
    HWND setupPageButton = nullptr;
    HWND scanButton = nullptr;
};

// What the window starts or calls without owning it (a flow left out is not
// started, as where tests run it themselves);
// the application fills this, tests fill it with their own.
struct ResultWindowEntryPoints {
    // Worker-thread procedures of the initial scan and of the Scan button;
    // the argument is the initial or the rescan WorkerContext.
    win::WorkerProc initialScanFlow = nullptr;
    win::WorkerProc rescanFlow = nullptr;
    // Opens the setup page of the marked row (button 3, double-click).
    void (*launchSelected)(ResultWindow& window) = nullptr;
    // Ends the process with a status; flows reach it through the window.
    void (*endProcess)(int status) = nullptr;
    // Starts a scan flow's thread; false when it could not be started.
    bool (*startFlowThread)(win::WorkerProc procedure, void* context) = &win::StartWorkerThread;
};

// What a column sort hands to every comparison: the direction as it was when
// the click came (1 = descending) and the clicked column.
struct SortParameters {
    int sortFlag;
    int column;
};

// The address and MAC texts of the last row a ListFill inserted, and the
// link that heard that converter.
struct ListedRow {
    char address[net::kAddressTextSize] = {};
    char mac[net::kMacTextSize] = {};
    net::Link link;
};

// The list styles added by the first click in the list or by a rescan that
// found exactly one converter: rows inserted later are placed by name,
// descending.
constexpr LONG kListStylesAfterClick = LVS_SHOWSELALWAYS | LVS_SORTDESCENDING | LVS_NOLABELWRAP;

// The single-instance marker that start-up looks for.
constexpr char kInstanceProperty[] = "5VOdAzuzivizi";

// Closes (hides) a flow's progress window, if it has one.
void CloseProgressWindow(const WorkerContext& context);
// Shows the string `textId` in a flow's progress window, if it has one; any
// thread.
void ShowProgressText(const WorkerContext& context, UINT textId);

class ResultWindow : public win::Dialog {
public:
    explicit ResultWindow(const ResultWindowEntryPoints& entryPoints);
    ~ResultWindow() override;

    // Removes the marker, destroys the owner if any, then the window itself,
    // which ends its modal run.
    void CloseResultWindow();

    void SetAssignedAddress(const std::string& address);
    std::string AssignedAddress() const;

    int mode() const { return mode_; }
    HWND deviceList() const { return deviceList_; }
    const ResultWindowEntryPoints& entryPoints() const { return entryPoints_; }

    // The records handed to the initial flow and to the rescan flow.
    static WorkerContext& InitialContext();
    static WorkerContext& RescanContext();

    // 1 when a reply's name marks a supported converter: it holds
    // "ZTL-BR720" or "ZTL-BR710", case-sensitive.
    static int ModelFilter(const char* name);
    // Inserts a row for every record among the first `count` that passes the
    // filter, in table order (the list places them by name once it sorts
    // descending). Any thread: the list is reached by synchronous messages.
    // Returns the number of rows inserted; `last` receives the texts of the
    // last one.
    int ListFill(net::DeviceRecord* table, int count, ListedRow* last = nullptr);
    // The list's comparison: item data are DeviceRecord pointers, the
    // parameter a SortParameters pointer.
    static int CALLBACK SortCompare(LPARAM item1, LPARAM item2, LPARAM parameters);
    // Clears the arrow of the column that carries one; the arrow's column
    // and the direction are kept. Any thread.
    void RemoveSortArrow();
    // A new progress window for the flow of `context` (Scan Again on the
    // start-up's notice), made on the window thread as the first was; the
    // context's old one must be closed. Any thread.
    void ReopenProgressWindow(WorkerContext& context);
    // Where a flow hands the window to the user instead of ending the
    // process: the window takes its designed size, centred in the work area,
    // and shows, so that it can be seen, rescanned and closed. Any thread.
    void ShowToUser();

    // ToolTipRelay: mouse input reaches the tips only through here.
    bool PreTranslateMessage(MSG* message) override;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    bool DispatchTable(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void OnScan();
    void OnIpAddressSetup();
    void LaunchSelected();
    void OnListClick(NMHDR* header, LRESULT* result);
    void OnListDoubleClick(NMHDR* header, LRESULT* result);
    void ColumnSort(NMHDR* header, LRESULT* result);
    bool OnSysCommand(WPARAM wParam, LPARAM lParam, LRESULT* result);
    bool OnDestroy(WPARAM wParam, LPARAM lParam, LRESULT* result);
    bool OnGetDefaultId(WPARAM wParam, LPARAM lParam, LRESULT* result);
    bool OnReopenProgress(WPARAM wParam, LPARAM lParam, LRESULT* result);

    ProgressWindow* OpenProgressWindow();
    // Fills a flow's context with this window's controls and `progress`.
    WorkerContext& FillContext(WorkerContext& context, ProgressWindow* progress);
    // Starts `procedure` on a flow thread; false when it could not start,
    // with the flow's progress display closed and Scan given back.
    bool StartFlow(win::WorkerProc procedure, WorkerContext& context);

    HWND setupPageButton_ = nullptr;
    HWND ipAddressButton_ = nullptr;
    HWND scanButton_ = nullptr;
    HWND deviceList_ = nullptr;
    win::UniqueIcon windowIcon_;
    mutable std::mutex assignedAddressLock_;
    std::string assignedAddress_;
    win::ToolTip toolTip_;
    std::atomic<int> sortFlag_{0};
    win::UniqueImageList sortArrows_;
    std::atomic<int> sortColumn_{-1};
    int mode_ = 0;

    ResultWindowEntryPoints entryPoints_;
    // Closed progress windows stay until the window goes: a flow may still be
    // sending its close request to one.
    std::vector<std::unique_ptr<ProgressWindow>> progressWindows_;
};

}  // namespace ui
