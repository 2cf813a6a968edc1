// Halvent: keeps the operating system's automatic updates out of the installation's way, as
// plain functions (1 or 0) and as custom actions (installer status codes).
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "common/custom_action.h"
#include "installer/updatepause/installation_check.h"
#include "installer/updatepause/update_agent.h"

namespace
{
const wchar_t kLogName[] = L"Halvent";

// COM for the calling thread for one call; the thread's own initialisation is left as it was.
class CComForCall
{
public:
    CComForCall() noexcept : m_hr(::CoInitialize(nullptr)) {}
    CComForCall(const CComForCall&) = delete;
    CComForCall& operator=(const CComForCall&) = delete;
    ~CComForCall()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    HRESULT Result() const noexcept { return m_hr; }

private:
    HRESULT m_hr;
};

template <class Fn>
int AskWithCom(Fn fn) noexcept
{
    try
    {
        CComForCall com;
        if (FAILED(com.Result()))
            return 0;
        return fn() ? 1 : 0;
    }
    catch (...)
    {
        return 0;
    }
}

typedef HRESULT (*PFN_SWITCH)();

UINT RunSwitchAction(MSIHANDLE hInstall, const wchar_t* pszActionName, PFN_SWITCH pfnSwitch,
                     const wchar_t* pszWhat) noexcept
{
    try
    {
        CCustomAction action;
        if (action.Initialize(hInstall, kLogName) != ERROR_SUCCESS)
        {
            action.Log(std::wstring(pszActionName) + L" failed to initialize");
            return ERROR_INSTALL_FAILURE;
        }
        CComForCall com;
        if (FAILED(com.Result()))
        {
            action.Log(L"Failed to COM initialize");
            return action.Finish(ERROR_INSTALL_FAILURE);
        }
        // Updates that cannot be paused or resumed are no reason to stop the installation.
        const HRESULT hr = pfnSwitch();
        action.Log(std::wstring(SUCCEEDED(hr) ? L"Succeeded : " : L"Failed : ") + pszWhat);
        return action.Finish(ERROR_SUCCESS);
    }
    catch (...)
    {
        return ERROR_INSTALL_FAILURE;
    }
}
}  // namespace

extern "C" {
int WINAPI WUIsExecute()
{
    return AskWithCom([] {
        bool bBusy = false;
        return SUCCEEDED(IsUpdateInstallerBusy(bBusy)) && bBusy;
    });
}

int WINAPI WUNeedReboot()
{
    return AskWithCom([] {
        bool bRequired = false;
        return SUCCEEDED(IsRestartRequired(bRequired)) && bRequired;
    });
}

int WINAPI WUPause()
{
    return AskWithCom([] { return SUCCEEDED(PauseAutomaticUpdates()); });
}

int WINAPI WUResume()
{
    return AskWithCom([] { return SUCCEEDED(ResumeAutomaticUpdates()); });
}

UINT WINAPI WUCheckCA(MSIHANDLE hInstall)
{
    try
    {
        CCustomAction action;
        if (action.Initialize(hInstall, kLogName) != ERROR_SUCCESS)
        {
            action.Log(L"WUCheckCA failed to initialize");
            return ERROR_INSTALL_FAILURE;
        }
        CComForCall com;
        if (FAILED(com.Result()))
        {
            action.Log(L"Failed to COM initialize");
            return action.Finish(ERROR_INSTALL_FAILURE);
        }
        // COM already initialised on this thread (S_FALSE) is no failure of the installation.
        return action.Finish(CheckUpdateAgentIdle(action, SystemUpdateAgent()));
    }
    catch (...)
    {
        return ERROR_INSTALL_FAILURE;
    }
}

UINT WINAPI WUPauseCA(MSIHANDLE hInstall)
{
    return RunSwitchAction(hInstall, L"WUPauseCA", PauseAutomaticUpdates, L"Pauses automatic updating");
}

UINT WINAPI WUResumeCA(MSIHANDLE hInstall)
{
    return RunSwitchAction(hInstall, L"WUResumeCA", ResumeAutomaticUpdates, L"Resumes automatic updating");
}
}  // extern "C"
