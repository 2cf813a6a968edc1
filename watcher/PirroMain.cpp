#include <windows.h>

#include "watcher/PirroApp.h"
#include "watcher/PirroDlg.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CPirroDlg::RegisterMessages();
    CPirroApp app;
    return app.InitInstance();
}
