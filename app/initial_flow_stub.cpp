#include "app/initial_flow_stub.h"

#include "ui/result_window.h"
#include "ui/status_windows.h"

namespace app {

unsigned InitialScanFlowPlaceholder(void* raw) {
    auto* context = static_cast<ui::WorkerContext*>(raw);
    if (!context) return 0;
    if (context->progressWindow && context->progressWindow->hwnd()) {
        SendMessageW(context->progressWindow->hwnd(), WM_CLOSE, 0, 0);
    }
    EnableWindow(context->scanButton, TRUE);
    return 0;
}

}  // namespace app
