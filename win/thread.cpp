#include "win/thread.h"

#include <process.h>
#include <windows.h>

#include <new>

#include "win/handles.h"
#include "win/com.h"

namespace win {
namespace {

struct StartRecord {
    WorkerProc procedure;
    void* argument;
};

unsigned __stdcall Trampoline(void* raw) {
    StartRecord record = *static_cast<StartRecord*>(raw);
    delete static_cast<StartRecord*>(raw);
    // Flows open pages and help from here.
    const ComApartment com;
    return record.procedure(record.argument);
}

}  // namespace

bool StartWorkerThread(WorkerProc procedure, void* argument) {
    auto* record = new (std::nothrow) StartRecord{procedure, argument};
    if (!record) return false;
    // The thread runs on by itself; only our reference to it is released here.
    UniqueKernelHandle thread(reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, &Trampoline, record, 0, nullptr)));
    if (!thread) {
        delete record;
        return false;
    }
    return true;
}

}  // namespace win
