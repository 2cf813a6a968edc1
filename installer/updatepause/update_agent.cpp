#include "installer/updatepause/update_agent.h"

#include <initguid.h>
#include <ole2.h>
#include <wuapi.h>
#include <wrl/client.h>

#include "common/error_macros.h"

using Microsoft::WRL::ComPtr;

namespace
{
// Created in whatever server the class is registered with, put into its running state, then
// asked for the interface.
template <class T>
HRESULT CreateRunning(REFCLSID clsid, REFIID iid, ComPtr<T>& object)
{
    object.Reset();
    ComPtr<IUnknown> pUnknown;
    RETURN_IF_FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown,
                                        reinterpret_cast<void**>(pUnknown.GetAddressOf())));
    RETURN_IF_FAILED(::OleRun(pUnknown.Get()));
    RETURN_IF_FAILED(pUnknown->QueryInterface(iid, reinterpret_cast<void**>(object.GetAddressOf())));
    RETURN_HR_IF_NULL(E_NOINTERFACE, object.Get());
    return S_OK;
}
}  // namespace

HRESULT IsUpdateInstallerBusy(bool& bBusy)
{
    bBusy = false;
    ComPtr<IUpdateInstaller> pInstaller;
    RETURN_IF_FAILED(CreateRunning(CLSID_UpdateInstaller, IID_IUpdateInstaller, pInstaller));
    VARIANT_BOOL vbBusy = VARIANT_FALSE;
    RETURN_IF_FAILED(pInstaller->get_IsBusy(&vbBusy));
    bBusy = vbBusy != VARIANT_FALSE;
    return S_OK;
}

HRESULT IsRestartRequired(bool& bRequired)
{
    bRequired = false;
    ComPtr<ISystemInformation> pInformation;
    RETURN_IF_FAILED(CreateRunning(CLSID_SystemInformation, IID_ISystemInformation, pInformation));
    VARIANT_BOOL vbRequired = VARIANT_FALSE;
    RETURN_IF_FAILED(pInformation->get_RebootRequired(&vbRequired));
    bRequired = vbRequired != VARIANT_FALSE;
    return S_OK;
}

HRESULT PauseAutomaticUpdates()
{
    ComPtr<IAutomaticUpdates> pUpdates;
    RETURN_IF_FAILED(CreateRunning(CLSID_AutomaticUpdates, IID_IAutomaticUpdates, pUpdates));
    RETURN_IF_FAILED(pUpdates->Pause());
    return S_OK;
}

HRESULT ResumeAutomaticUpdates()
{
    ComPtr<IAutomaticUpdates> pUpdates;
    RETURN_IF_FAILED(CreateRunning(CLSID_AutomaticUpdates, IID_IAutomaticUpdates, pUpdates));
    RETURN_IF_FAILED(pUpdates->Resume());
    return S_OK;
}
