#include "flow/scan_flow.h"

#include <commctrl.h>

namespace flow {
int ScanForConverters(const ui::WorkerContext& context, net::DiscoveryClient& client,
                      std::int32_t* count) {
    // The rows point into the table that the scan is about to rewrite.
    SendMessageW(context.deviceList, LVM_DELETEALLITEMS, 0, 0);
    EnableWindow(context.scanButton, FALSE);
    EnableWindow(context.setupPageButton, FALSE);

    std::int32_t status = 0;
    std::int32_t found = 0;
    client.ScanStart(&status);
    int polled = client.ScanPoll(&status, &found);
    while (polled == kScanRunning) {
        Sleep(kScanPollPauseMs);
        polled = client.ScanPoll(&status, &found);
    }
    if (polled == kScanDone) *count = net::RecordsToRead(found);
    return polled;
}

}  // namespace flow
