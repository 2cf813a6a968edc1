// Quenta.exe entry point.
#include <windows.h>

#include "common/dll_search_path.h"
#include "update/client/zep_mini_application_app.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR pszArguments, int)
{
    RestrictDllSearchPath();
    CZepMini_ApplicationApp app;
    app.InitInstance(hInstance, pszArguments);
    return app.ExitInstance();
}
