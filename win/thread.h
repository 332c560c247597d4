// The worker-thread start of the scan flows: normal priority, default stack,
// running at once, never joined, with COM apartment-threaded on the thread.
#pragma once

namespace win {

using WorkerProc = unsigned (*)(void* argument);

// false when the thread could not be started (the procedure then never runs).
bool StartWorkerThread(WorkerProc procedure, void* argument);

}  // namespace win
