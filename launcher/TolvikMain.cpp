// Tolvik.exe entry point.
#include <windows.h>

#include "launcher/TolvikApp.h"

namespace
{
CTolvikApp theApp;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    theApp.InitInstance();
    return theApp.ExitInstance();
}
