// PLACEHOLDER until the initial scan and decision flow lands: it scans
// nothing and only hands the result window back to the user.
#pragma once

namespace app {

// Worker-thread procedure; its argument is the initial ui::WorkerContext.
// Closes the progress window (synchronously), enables the Scan button and
// returns 0, leaving the result window open and usable.
unsigned InitialScanFlowPlaceholder(void* context);

}  // namespace app
