// The Scan button's flow: a new scan whose outcome refills the result
// window's list. It never ends the process.
#pragma once

namespace flow {

// Worker-thread procedure; its argument is the rescan ui::WorkerContext.
// Returns 0.
unsigned RescanFlow(void* context);

}  // namespace flow
