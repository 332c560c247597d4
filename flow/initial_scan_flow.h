// What the program does by itself when it starts: one scan, then the way to
// the one converter's setup page, or a notice that says why there is none.
#pragma once

namespace flow {

// Worker-thread procedure; its argument is the initial ui::WorkerContext.
//
// Every outcome but one ends the process through the result window's
// endProcess entry point with status 0. The exception is a subnet test that
// cannot read the PC's interfaces: the Scan button is enabled again, the
// result window shows at its designed size (no notice), and the procedure
// returns 0 with the window left open.
// Should endProcess return (it does only in tests), the procedure returns 1.
unsigned InitialScanFlow(void* context);

}  // namespace flow
