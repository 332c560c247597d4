// What the initial flow and the rescan share: the scan itself as a flow runs
// it.
#pragma once

#include <cstdint>

#include "net/discovery_client.h"
#include "ui/result_window.h"

namespace flow {

// ScanPoll's answers that the flows tell apart.
enum ScanPollResult : int {
    kScanRunning = 1,
    kScanDone = 0,
    kScanFailed = -1,
    kScanHostUnreachable = 10065,
};

// The pause between two polls of a running scan.
constexpr unsigned kScanPollPauseMs = 100;

// Empties the list and disables Scan and Setup Page, starts the scan, polls
// at once and then every kScanPollPauseMs until the worker has finished.
// Returns ScanPoll's last answer; *count is the number of records to list,
// set only for kScanDone (as net::RecordsToRead reads it).
int ScanForConverters(const ui::WorkerContext& context, net::DiscoveryClient& client,
                      std::int32_t* count);

}  // namespace flow
