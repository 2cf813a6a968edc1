#include <windows.h>

#include "watcher/pirro_app.h"
#include "watcher/pirro_dlg.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CPirroDlg::RegisterMessages();
    CPirroApp app;
    return app.InitInstance();
}
