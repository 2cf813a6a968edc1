#include "watcher/pirro_app.h"

#include <commctrl.h>

#include "common/com_init.h"
#include "common/module_path.h"
#include "common/unique_resource.h"
#include "watcher/pirro_dlg.h"
#include "watcher/scsi_executor_factory.h"

std::wstring CPirroApp::MutexName()
{
    std::wstring name = ModuleFilePath();
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name = name.substr(slash + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos)
        name = name.substr(0, dot);
    return L"Global\\" + name;
}

int CPirroApp::InitInstance()
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), 0xFF};
    ::InitCommonControlsEx(&icc);

    // Held until the process ends.
    UniqueHandle mutex(::CreateMutexW(nullptr, TRUE, MutexName().c_str()));
    if (!mutex || ::GetLastError() == ERROR_ALREADY_EXISTS)
        return 0;

    CComInitScope com(COINIT_APARTMENTTHREADED);
    std::unique_ptr<CExecScsiInterface> pScsi;
    try
    {
        pScsi = CreateScsiExecutor();
    }
    catch (...)
    {
    }
    {
        CPirroDlg dlg(std::move(pScsi));
        dlg.DoModal(nullptr);
    }
    return 0;
}
