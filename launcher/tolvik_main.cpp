// Tolvik.exe entry point.
#include <windows.h>

#include "launcher/tolvik_app.h"

namespace
{
CTolvikApp theApp;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    theApp.InitInstance();
    return theApp.ExitInstance();
}
