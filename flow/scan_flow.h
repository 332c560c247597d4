// What the initial flow and the rescan share: the scan itself as a flow runs
// it, with its one wait for an adapter's address.
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

// How long a scan flow waited for an address: for the adapter-without-address
// finding.
struct AddressWaitOnce {
    int waitedSeconds = 0;
};

// Empties the list and disables Scan and Setup Page, starts the scan, polls
// at once and then every kScanPollPauseMs until the worker has finished.
// Returns ScanPoll's last answer; *count is the number of records to list,
// set only for kScanDone (as net::RecordsToRead reads it).
//
// With `wait` (one per start and per press of Scan or Scan Again), a scan that
// ends without a converter of a supported model (failed, host unreachable
// included) while Windows says an address may be on its way waits: the
// progress window says so, for at most 15 s from the scan's end, and as soon
// as a connected adapter has a new usable address the scan runs again, once,
// whose answer is returned. A scan that found a converter never reads the
// adapters.
int ScanForConverters(const ui::WorkerContext& context, net::DiscoveryClient& client,
                      std::int32_t* count, AddressWaitOnce* wait = nullptr);

}  // namespace flow
