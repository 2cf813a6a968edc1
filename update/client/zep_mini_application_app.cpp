#include "update/client/zep_mini_application_app.h"

#include <commctrl.h>

#include <string>

#include "common/com_init.h"
#include "common/module_path.h"
#include "update/client/res/client_res_ids.h"
#include "update/client/resource.h"
#include "update/client/service_status.h"
#include "update/client/zep_command_line_info.h"
#include "update/client/zep_service_manager.h"

namespace
{
std::wstring LoadText(HINSTANCE hModule, UINT uId)
{
    const wchar_t* psz = nullptr;
    const int cch = ::LoadStringW(hModule, uId, reinterpret_cast<wchar_t*>(&psz), 0);
    return cch > 0 && psz ? std::wstring(psz, cch) : std::wstring();
}
}  // namespace

bool CZepMini_ApplicationApp::InitInstance(HINSTANCE hInstance, const wchar_t* pszArguments)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), 0xFF};
    ::InitCommonControlsEx(&icc);

    // Only from the program's own folder: a library of that name elsewhere on the search path
    // must not supply this program's resources.
    const std::wstring strLibrary = LoadText(hInstance, IDS_QUENTA_RESOURCE_LIBRARY);
    if (strLibrary.empty())
        return false;
    m_hResources = ::LoadLibraryExW((ModuleFolder(hInstance) + strLibrary).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!m_hResources)
        return false;

    if (!AcquireSingleInstance(QUENTA_MUTEX_NAME, m_mutex))
        return false;

    CZepCommandLineInfo commandLine;
    commandLine.ParseCommandLine(pszArguments);
    CComInitScope com(COINIT_APARTMENTTHREADED);

    CZepServiceManager manager(m_hResources);
    if (FAILED(manager.Init()))
    {
        const std::wstring strText = LoadText(m_hResources, IDS_ZEPHELPER_INIT_FAILED);
        const std::wstring strCaption = LoadText(m_hResources, IDS_ZEPHELPER_CAPTION);
        ::MessageBoxW(nullptr, strText.c_str(), strCaption.c_str(), MB_OK);
        manager.Terminate();
        return false;
    }
    manager.SetCommandLine(&commandLine);
    const int nCount = commandLine.ServiceCount();
    for (int i = 0; i < nCount; ++i)
        manager.Execute(i, nCount);
    if (nCount == 0 && _wcsicmp(commandLine.Value(0, L'M'), L"MANUAL") == 0)
        manager.Gui()->ShowErrorMessage(ZEP_E_INVALID_ARGUMENTS);
    manager.Terminate();
    return false;
}

bool CZepMini_ApplicationApp::AcquireSingleInstance(const wchar_t* pszName, UniqueHandle& mutex)
{
    mutex.Reset(::CreateMutexW(nullptr, FALSE, pszName));
    const DWORD dwError = ::GetLastError();
    if (!mutex)
        return dwError != ERROR_ACCESS_DENIED;
    if (dwError == ERROR_ALREADY_EXISTS)
    {
        mutex.Reset();
        return false;
    }
    return true;
}

int CZepMini_ApplicationApp::ExitInstance()
{
    if (m_hResources)
        ::FreeLibrary(m_hResources);
    m_hResources = nullptr;
    // The mutex goes with the process.
    return 0;
}
