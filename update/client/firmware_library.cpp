#include "update/client/firmware_library.h"

#include "common/error_macros.h"
#include "common/module_path.h"

namespace
{
template <class T>
bool Resolve(HMODULE hModule, const char* pszName, T& pfn)
{
    pfn = reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(hModule, pszName)));
    return pfn != nullptr;
}

// The library sends firmware to the player: a file of that name in the working folder or on the
// PATH must never be the one bound.
std::wstring LibraryPath(const wchar_t* pszLibrary)
{
    const std::wstring strLibrary = pszLibrary ? pszLibrary : L"";
    if (strLibrary.find_first_of(L"\\/:") != std::wstring::npos)
        return strLibrary;
    const std::wstring strFolder = ModuleFolder(nullptr);
    return strFolder.empty() ? std::wstring() : strFolder + strLibrary;
}
}  // namespace

HRESULT CFirmwareLibrary::Bind(const wchar_t* pszLibrary)
{
    Unbind();
    const std::wstring strPath = LibraryPath(pszLibrary);
    RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), strPath.empty());
    UniqueHModule module(::LoadLibraryW(strPath.c_str()));
    RETURN_LAST_ERROR_IF(!module);
    const HMODULE h = module.Get();
    const bool bAll = Resolve(h, "GetDevices", m_pfnGetDevices) && Resolve(h, "GetDeviceCount", m_pfnGetDeviceCount) &&
                      Resolve(h, "GetDeviceInfo", m_pfnGetDeviceInfo) &&
                      Resolve(h, "CopyFirmwareBinary", m_pfnCopyFirmwareBinary) &&
                      Resolve(h, "SendUpdateCommand", m_pfnSendUpdateCommand) &&
                      Resolve(h, "DeleteFirmwareBinary", m_pfnDeleteFirmwareBinary) &&
                      Resolve(h, "CheckVersion", m_pfnCheckVersion);
    if (!bAll)
    {
        Unbind();
        RETURN_HR_IF(E_FAIL, !bAll);
    }
    m_module = std::move(module);
    return S_OK;
}

void CFirmwareLibrary::Unbind() noexcept
{
    m_pfnGetDevices = nullptr;
    m_pfnGetDeviceCount = nullptr;
    m_pfnGetDeviceInfo = nullptr;
    m_pfnCopyFirmwareBinary = nullptr;
    m_pfnSendUpdateCommand = nullptr;
    m_pfnDeleteFirmwareBinary = nullptr;
    m_pfnCheckVersion = nullptr;
    m_module.Reset();
}

HRESULT CFirmwareLibrary::QueryDevice(ZEP_DEVICE_INFO& info) const
{
    ::ZeroMemory(&info, sizeof(info));
    if (!IsBound())
        return E_HANDLE;
    const int nDevices = m_pfnGetDevices();
    if (nDevices < 0)
        return nDevices;
    if (nDevices == ZEP_DEVICES_NONE)
        return ZEP_E_NO_PLAYER;
    if (nDevices == ZEP_DEVICES_UNUSABLE)
        return ZEP_E_PLAYER_UNUSABLE;
    int nCount = 0;
    const int nCountResult = m_pfnGetDeviceCount(&nCount);
    if (nCountResult < 0)
        return nCountResult;
    if (nCount <= 0)
        return ZEP_E_NO_PLAYER;
    if (nCount > 1)
        return ZEP_E_MANY_PLAYERS;
    const int nInfoResult = m_pfnGetDeviceInfo(&info, 1);
    return nInfoResult < 0 ? static_cast<HRESULT>(nInfoResult) : S_OK;
}

HRESULT CFirmwareLibrary::CopyFirmware(const ZEP_DEVICE_INFO& info, const wchar_t* pszImagePath) const
{
    if (!IsBound())
        return E_HANDLE;
    const int nResult =
        m_pfnCopyFirmwareBinary(info.dwWord0, info.dwWord1, info.szDeviceId, pszImagePath, ZEP_FIRMWARE_TARGET_NAME, 0);
    if (nResult == 1)
        return ZEP_E_NO_PLAYER;
    return nResult < 0 ? static_cast<HRESULT>(nResult) : S_OK;
}

HRESULT CFirmwareLibrary::SendUpdateCommand(const ZEP_DEVICE_INFO& info) const
{
    if (!IsBound())
        return E_HANDLE;
    const int nResult = m_pfnSendUpdateCommand(info.dwWord0, info.dwWord1, info.szDeviceId);
    return nResult < 0 ? static_cast<HRESULT>(nResult) : S_OK;
}

void CFirmwareLibrary::DeleteFirmware(const ZEP_DEVICE_INFO& info) const
{
    if (IsBound())
        m_pfnDeleteFirmwareBinary(info.dwWord0, info.dwWord1, info.szDeviceId, ZEP_FIRMWARE_TARGET_NAME);
}

HRESULT CFirmwareLibrary::CompareVersions(const wchar_t* pszFirst, const wchar_t* pszSecond, int& nOrder) const
{
    nOrder = 0;
    if (!IsBound())
        return E_HANDLE;
    if (!pszFirst || !pszSecond)
        return E_INVALIDARG;
    const int nResult = m_pfnCheckVersion(pszFirst, pszSecond);
    if (nResult == static_cast<int>(E_INVALIDARG))
        return E_INVALIDARG;
    nOrder = nResult < 1 ? -1 : (nResult == 1 ? 0 : 1);
    return S_OK;
}
