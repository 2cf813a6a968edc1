#include "watcher/testing/pirro_control.h"

#include <dbt.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/unique_resource.h"
#include "common/watcher_close_message.h"
#include "watcher/custom_query_cancel_auto_play.h"

namespace PirroControl
{
namespace
{
struct FindContext
{
    DWORD dwProcessId;
    HWND hwnd;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM lParam)
{
    FindContext* pContext = reinterpret_cast<FindContext*>(lParam);
    wchar_t szClass[16] = {};
    wchar_t szTitle[16] = {};
    ::GetClassNameW(hwnd, szClass, 16);
    ::GetWindowTextW(hwnd, szTitle, 16);
    if (wcscmp(szClass, L"#32770") != 0 || wcscmp(szTitle, L"Pirro") != 0)
        return TRUE;
    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hwnd, &dwProcessId);
    if (pContext->dwProcessId != 0 && dwProcessId != pContext->dwProcessId)
        return TRUE;
    pContext->hwnd = hwnd;
    return FALSE;
}

// Wine's mount manager interface (wine/mountmgr.h); not part of the Windows headers.
const DWORD kIoctlDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
struct MountmgrUnixDrive
{
    ULONG size;
    ULONG type;
    ULONG fs_type;
    DWORD serial;
    ULONGLONG unix_dev;
    WCHAR letter;
    USHORT mount_point_offset;
    USHORT device_offset;
    USHORT label_offset;
};

bool SendDefineUnixDrive(wchar_t chLetter, const char* pszUnixPath, UINT uDriveType)
{
    UniqueHandle manager(::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!manager)
        return false;
    const size_t cbPath = pszUnixPath ? strlen(pszUnixPath) + 1 : 0;
    std::vector<BYTE> buffer(sizeof(MountmgrUnixDrive) + cbPath, 0);
    MountmgrUnixDrive* pDrive = reinterpret_cast<MountmgrUnixDrive*>(buffer.data());
    pDrive->size = static_cast<ULONG>(buffer.size());
    pDrive->type = uDriveType;
    pDrive->letter = static_cast<WCHAR>(towlower(chLetter));
    if (pszUnixPath)
    {
        pDrive->mount_point_offset = sizeof(MountmgrUnixDrive);
        memcpy(buffer.data() + sizeof(MountmgrUnixDrive), pszUnixPath, cbPath);
    }
    DWORD cbReturned = 0;
    return ::DeviceIoControl(manager.Get(), kIoctlDefineUnixDrive, buffer.data(), static_cast<DWORD>(buffer.size()),
                             nullptr, 0, &cbReturned, nullptr) != FALSE;
}
}  // namespace

HWND FindPirroWindow(DWORD dwProcessId)
{
    FindContext context = {dwProcessId, nullptr};
    ::EnumWindows(FindProc, reinterpret_cast<LPARAM>(&context));
    return context.hwnd;
}

bool WaitForPirroWindow(DWORD dwProcessId, DWORD dwTimeoutMs, HWND& hwnd)
{
    const ULONGLONG start = ::GetTickCount64();
    for (;;)
    {
        hwnd = FindPirroWindow(dwProcessId);
        if (hwnd)
            return true;
        if (::GetTickCount64() - start > dwTimeoutMs)
            return false;
        ::Sleep(20);
    }
}

DWORD UnitMaskFromLetters(const std::wstring& letters)
{
    DWORD dwMask = 0;
    for (wchar_t c : letters)
    {
        const wchar_t upper = static_cast<wchar_t>(towupper(c));
        if (upper >= L'A' && upper <= L'Z')
            dwMask |= 1u << (upper - L'A');
    }
    return dwMask;
}

bool SendDeviceChange(HWND hwnd, WPARAM nEvent, const void* pRecord)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(hwnd, WM_DEVICECHANGE, nEvent, reinterpret_cast<LPARAM>(pRecord), SMTO_NORMAL,
                                 10000, &result) != 0;
}

bool SendVolumeEvent(HWND hwnd, WPARAM nEvent, DWORD dwUnitMask, WORD wFlags)
{
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = dwUnitMask;
    volume.dbcv_flags = wFlags;
    return SendDeviceChange(hwnd, nEvent, &volume);
}

bool BroadcastWatcherClose()
{
    const UINT msg = ::RegisterWindowMessageW(WATCHER_CLOSE_MESSAGE_NAME);
    return msg != 0 && ::PostMessageW(HWND_BROADCAST, msg, 0, 0) != FALSE;
}

HRESULT AskAllowAutoPlay(const wchar_t* pszPath, HRESULT& hrAnswer)
{
    hrAnswer = E_FAIL;
    Microsoft::WRL::ComPtr<IRunningObjectTable> pTable;
    HRESULT hr = ::GetRunningObjectTable(0, &pTable);
    if (FAILED(hr))
        return hr;
    Microsoft::WRL::ComPtr<IMoniker> pMoniker;
    hr = ::CreateClassMoniker(CLSID_PirroQueryCancelAutoPlay, &pMoniker);
    if (FAILED(hr))
        return hr;
    Microsoft::WRL::ComPtr<IUnknown> pUnknown;
    hr = pTable->GetObject(pMoniker.Get(), &pUnknown);
    if (FAILED(hr))
        return hr;
    Microsoft::WRL::ComPtr<IQueryCancelAutoPlay> pQuery;
    hr = pUnknown.As(&pQuery);
    if (FAILED(hr))
        return hr;
    hrAnswer = pQuery->AllowAutoPlay(pszPath, 0, L"", 0);
    return S_OK;
}

bool DefineWineDrive(wchar_t chLetter, const std::wstring& folder, UINT uDriveType)
{
    typedef char*(CDECL * PFN_WINE_GET_UNIX_FILE_NAME)(LPCWSTR);
    HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    PFN_WINE_GET_UNIX_FILE_NAME pfnUnixName =
        reinterpret_cast<PFN_WINE_GET_UNIX_FILE_NAME>(::GetProcAddress(hKernel, "wine_get_unix_file_name"));
    if (!pfnUnixName)
        return false;
    char* pszUnix = pfnUnixName(folder.c_str());
    if (!pszUnix)
        return false;
    const bool bOk = SendDefineUnixDrive(chLetter, pszUnix, uDriveType);
    ::HeapFree(::GetProcessHeap(), 0, pszUnix);
    return bOk;
}

bool RemoveWineDrive(wchar_t chLetter)
{
    return SendDefineUnixDrive(chLetter, nullptr, DRIVE_NO_ROOT_DIR);
}
}  // namespace PirroControl

namespace PirroControl
{
namespace
{
const wchar_t kUsbStorDevice[] = L"SYSTEM\\CurrentControlSet\\Enum\\USBSTOR\\Disk&Ven_Orvo&Prod_Velomar&Rev_1.00";
const wchar_t kUsbEnum[] = L"SYSTEM\\CurrentControlSet\\Enum\\USB\\";
const wchar_t kSupportedIds[] = L"SOFTWARE\\Orvo Corporation\\Velomar Launcher\\PD\\";

// Storage instances without a serial of their own are named after this prefix.
std::wstring ParentIdPrefix(const std::wstring& serial)
{
    DWORD dwHash = 2166136261u;
    for (wchar_t c : serial)
        dwHash = (dwHash ^ static_cast<DWORD>(c)) * 16777619u;
    wchar_t sz[32];
    swprintf(sz, 32, L"7&%08lx&0", static_cast<unsigned long>(dwHash));
    return sz;
}

std::wstring DosDevicesName(wchar_t chLetter)
{
    return std::wstring(L"\\DosDevices\\") + static_cast<wchar_t>(towupper(chLetter)) + L":";
}

bool SetValue(const std::wstring& key, const wchar_t* pszName, DWORD dwType, const void* pData, size_t cb)
{
    UniqueHKey hKey;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, hKey.Receive(),
                          nullptr) != ERROR_SUCCESS)
        return false;
    return ::RegSetValueExW(hKey.Get(), pszName, 0, dwType, static_cast<const BYTE*>(pData),
                            static_cast<DWORD>(cb)) == ERROR_SUCCESS;
}

bool SetMultiString(const std::wstring& key, const wchar_t* pszName, const std::vector<std::wstring>& strings)
{
    std::wstring data;
    for (const std::wstring& s : strings)
        data += s + L'\0';
    data += L'\0';
    return SetValue(key, pszName, REG_MULTI_SZ, data.c_str(), data.size() * sizeof(wchar_t));
}
}  // namespace

std::vector<BYTE> InquiryResponse(const char* pszVendor, const char* pszPlayerId)
{
    std::vector<BYTE> response(56, 0);
    const BYTE header[8] = {0x00, 0x80, 0x05, 0x02, 0x33, 0x00, 0x00, 0x00};
    memcpy(response.data(), header, sizeof(header));
    memset(response.data() + 8, ' ', 8);
    memcpy(response.data() + 8, pszVendor, std::min<size_t>(strlen(pszVendor), 8));
    memcpy(response.data() + 16, "Velomar Player  ", 16);
    memcpy(response.data() + 32, "1.00", 4);
    memcpy(response.data() + 36, pszPlayerId, std::min<size_t>(strlen(pszPlayerId), 8));
    return response;
}

std::string InquiryMapLine(wchar_t chLetter, const std::vector<BYTE>& response)
{
    std::string line(1, static_cast<char>(towupper(chLetter)));
    line += ' ';
    char sz[3];
    for (BYTE b : response)
    {
        snprintf(sz, sizeof(sz), "%02x", b);
        line += sz;
    }
    return line;
}

bool WritePlayerFixture(wchar_t chLetter, const std::wstring& vid, const std::wstring& pid,
                        const std::wstring& serial)
{
    const std::wstring prefix = ParentIdPrefix(serial);
    const std::wstring mounted = L"\\??\\STORAGE#RemovableMedia#" + prefix +
                                 L"&RM#{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}";
    const std::wstring storage = std::wstring(kUsbStorDevice) + L"\\" + serial + L"&0";
    const std::wstring usbDevice = L"Vid_" + vid + L"&Pid_" + pid;
    const std::wstring usb = std::wstring(kUsbEnum) + usbDevice + L"\\" + serial;
    return SetValue(L"SYSTEM\\MountedDevices", DosDevicesName(chLetter).c_str(), REG_BINARY, mounted.c_str(),
                    mounted.size() * sizeof(wchar_t)) &&
           SetValue(storage, L"ParentIdPrefix", REG_SZ, prefix.c_str(), (prefix.size() + 1) * sizeof(wchar_t)) &&
           SetMultiString(storage, L"HardwareId",
                          {L"USBSTOR\\DiskOrvo____Velomar_________1.00", L"USBSTOR\\DiskOrvo____Velomar_________",
                           L"GenDisk"}) &&
           SetMultiString(usb, L"HardwareId", {L"USB\\" + usbDevice + L"&Rev_0100", L"USB\\" + usbDevice}) &&
           SetValue(std::wstring(kSupportedIds) + usbDevice, L"", REG_SZ, L"", sizeof(wchar_t));
}

void RemovePlayerFixture(wchar_t chLetter, const std::wstring& vid, const std::wstring& pid,
                         const std::wstring& serial)
{
    UniqueHKey mounted;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\MountedDevices", 0, KEY_SET_VALUE, mounted.Receive()) ==
        ERROR_SUCCESS)
        ::RegDeleteValueW(mounted.Get(), DosDevicesName(chLetter).c_str());
    const std::wstring usbDevice = L"Vid_" + vid + L"&Pid_" + pid;
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kUsbStorDevice) + L"\\" + serial + L"&0").c_str());
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUsbStorDevice);  // only goes when no other instance is left
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kUsbEnum) + usbDevice + L"\\" + serial).c_str());
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kUsbEnum) + usbDevice).c_str());
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kSupportedIds) + usbDevice).c_str());
}
}  // namespace PirroControl
