// Tolvik.exe entry point.
#include <windows.h>

#include "common/dll_search_path.h"
#include "launcher/tolvik_app.h"

namespace
{
CTolvikApp theApp;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    RestrictDllSearchPath();
    theApp.InitInstance();
    return theApp.ExitInstance();
}
