#include "flow/scan_flow.h"

#include <commctrl.h>

#include <new>

#include "findings/address_wait.h"
#include "findings/windows_facts.h"
#include "flow/network_wait.h"
#include "res/resource.h"

namespace flow {
namespace {

int ScanOnce(const ui::WorkerContext& context, net::DiscoveryClient& client, std::int32_t* count) {
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

bool FoundSupported(int polled, net::DiscoveryClient& client, std::int32_t count) {
    if (polled != kScanDone) return false;
    const net::DeviceRecord* table = &client.DeviceTable();
    for (std::int32_t i = 0; i < count; ++i) {
        char name[net::kNameTextSize];
        net::ReadConverterName(table[i], name);
        if (ui::ResultWindow::ModelFilter(name)) return true;
    }
    return false;
}

}  // namespace

int ScanForConverters(const ui::WorkerContext& context, net::DiscoveryClient& client,
                      std::int32_t* count, AddressWaitOnce* wait) {
    const int polled = ScanOnce(context, client, count);
    if (!wait || FoundSupported(polled, client, *count)) return polled;
    // On the flows' one way of waiting for the network.
    const NetworkWait network = ActiveNetworkWait();
    findings::AddressWait waited;
    // Out of memory reading the adapters, the flow goes on as without a wait.
    try {
        waited = findings::WaitForAddress(
            findings::ActiveFactsSource(), network.port, network.port.NowMs(), network.idle,
            [&context] { ui::ShowProgressText(context, IDS_WAITING_FOR_ADDRESS); });
    } catch (const std::bad_alloc&) {
    }
    wait->waitedSeconds = findings::WaitedSeconds(waited);
    if (!waited.appeared) return polled;
    ui::ShowProgressText(context, IDS_SCANNING);
    return ScanOnce(context, client, count);
}

}  // namespace flow
