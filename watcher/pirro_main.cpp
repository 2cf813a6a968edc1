#include <windows.h>

#include "common/dll_search_path.h"
#include "watcher/pirro_app.h"
#include "watcher/pirro_dlg.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RestrictDllSearchPath();
    CPirroDlg::RegisterMessages();
    CPirroApp app;
    return app.InitInstance();
}
