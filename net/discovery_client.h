// The one entry point to the converter discovery protocol. DiscoveryClient
// holds no data: every instance sees the process-wide DeviceTable, ScanState
// and probe result, so callers create one on their stack when they need it.
#pragma once

#include <cstdint>

#include "net/device_table.h"
#include "net/scan_report.h"

namespace net {

class DiscoveryClient {
public:
    virtual ~DiscoveryClient() = default;

    // Resets ScanState and the scan report and starts the ScanWorker; always
    // returns 1. A worker that cannot start, or runs out of memory, ends the
    // scan as failed with kErrNoBuffers.
    int ScanStart(std::int32_t* status);
    // 1 running; 0 done with records; -1 failed or nothing answered;
    // 10065 host unreachable. Never blocks.
    int ScanPoll(std::int32_t* status, std::int32_t* count);
    // The first of the 64 records; never fails, ignores the count.
    DeviceRecord& DeviceTable();
    // 1 when the converter took the address, 0 otherwise. Sent through link,
    // the one that heard the converter; an unknown link leaves the way out to
    // the routes. How it ended (taken, refused, no answer, failed) goes to
    // *report when one is given.
    int AssignExchange(const char* newAddress, const char* macText, const Link& link,
                       AssignReport* report = nullptr);
    // 1 target in the subnet, 0 not (or no target), -1 socket failure.
    // address and netmask receive dotted quads (room for 20 bytes): those of
    // link when it is known, else of the interface whose subnet holds the
    // target, else of the last one tested.
    int SubnetTest(char* address, char* netmask, const char* target, const Link& link);
};

}  // namespace net
