#include <windows.h>
#include <commctrl.h>

#include "app/converter_setup_app.h"
#include "win/language.h"
#include "win/system_library.h"

namespace {

// Constructed before the start-up step runs; holds no window or thread, so
// its end with the process touches nothing.
app::ConverterSetupApp g_application;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    win::RestrictLibrarySearchToSystem();
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&controls);
    win::ChooseLanguageAtStart();

    g_application.InitInstance();
    return 0;
}
