// scan-bench: how long a scan takes against the three silent seconds that
// bound it from below, seen by the worker and by a flow that polls.
//
//   scan-bench [RUNS] [EXPECTED]
//
// For each run it prints one line:
//   run N worker_ms=W flow_ms=F result=R status=S count=C lost=L
// worker_ms: ScanStart until the running flag clears, watched every 1 ms;
// flow_ms: the same scan as the flows see it, ScanPoll at once and then
// every 100 ms; lost: EXPECTED minus the records found.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "net/device_table.h"
#include "net/discovery_client.h"

#ifndef _WIN32
#include "tools/common/netns_guard.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
    std::string why;
    if (tools::RefuseToSend(&why)) {
        std::fprintf(stderr, "scan-bench: refusing to send from this network namespace (%s)\n",
                     why.c_str());
        return 2;
    }
#endif
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    const int expected = argc > 2 ? std::atoi(argv[2]) : 0;
    net::DiscoveryClient client;
    for (int run = 0; run < runs; ++run) {
        std::int32_t status = 0;
        std::int32_t count = 0;

        Clock::time_point start = Clock::now();
        client.ScanStart(&status);
        while (net::g_scanState.running.load(std::memory_order_acquire) != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const double workerMs = MsSince(start);

        start = Clock::now();
        client.ScanStart(&status);
        int result = client.ScanPoll(&status, &count);
        while (result == 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            result = client.ScanPoll(&status, &count);
        }
        const double flowMs = MsSince(start);
        if (result != 0) count = 0;
        std::printf("run %d worker_ms=%.1f flow_ms=%.1f result=%d status=%d count=%d lost=%d\n", run,
                    workerMs, flowMs, result, static_cast<int>(status), static_cast<int>(count),
                    expected - static_cast<int>(count));
        std::fflush(stdout);
    }
    return 0;
}
