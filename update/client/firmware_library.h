#pragma once
// The player maker's firmware-update library, bound by name at run time. Every call answers
// E_HANDLE while the library is not bound.
#include <windows.h>

#include <cstddef>
#include <string>

#include "common/unique_resource.h"

// Results of the update client's own player checks.
#define ZEP_E_NO_PLAYER ((HRESULT)0x80040200L)
#define ZEP_E_PLAYER_UNUSABLE ((HRESULT)0x80040201L)
#define ZEP_E_MANY_PLAYERS ((HRESULT)0x80040202L)
#define ZEP_E_PLAYER_NOT_BACK ((HRESULT)0x80041211L)
#define ZEP_E_PLAYER_UNCHANGED ((HRESULT)0x80041212L)

// GetDevices' answers besides errors and success.
#define ZEP_DEVICES_NONE 0x40001
#define ZEP_DEVICES_UNUSABLE 0x40002

// The file name the image has on the player's storage.
#define ZEP_FIRMWARE_TARGET_NAME L"\\QX_VL_FW.UPG"

// The library's device record; its layout is the library's, byte for byte.
struct ZEP_DEVICE_INFO
{
    DWORD dwWord0;
    DWORD dwWord1;
    wchar_t szDeviceId[98];
    wchar_t szServiceId[129];
    wchar_t szFirmwareVersion[10];
    wchar_t szModelName[67];
};
static_assert(sizeof(ZEP_DEVICE_INFO) == 616, "the firmware library's record is 616 bytes");
static_assert(offsetof(ZEP_DEVICE_INFO, szServiceId) == 204, "service identifier at byte 204");
static_assert(offsetof(ZEP_DEVICE_INFO, szFirmwareVersion) == 462, "firmware version at byte 462");
static_assert(offsetof(ZEP_DEVICE_INFO, szModelName) == 482, "model name at byte 482");

// A text field of the record, never read beyond its array even when the library left it
// without a terminator.
template <size_t N>
std::wstring DeviceField(const wchar_t (&field)[N])
{
    size_t n = 0;
    while (n < N && field[n])
        ++n;
    return std::wstring(field, n);
}

typedef int(__cdecl* PFN_ZEP_GET_DEVICES)();
typedef int(__cdecl* PFN_ZEP_GET_DEVICE_COUNT)(int* pnCount);
typedef int(__cdecl* PFN_ZEP_GET_DEVICE_INFO)(ZEP_DEVICE_INFO* pInfo, int nDevice);
typedef int(__cdecl* PFN_ZEP_COPY_FIRMWARE_BINARY)(DWORD dwWord0, DWORD dwWord1, const wchar_t* pszDeviceId,
                                                   const wchar_t* pszImagePath, const wchar_t* pszTargetName,
                                                   int nReserved);
typedef int(__cdecl* PFN_ZEP_SEND_UPDATE_COMMAND)(DWORD dwWord0, DWORD dwWord1, const wchar_t* pszDeviceId);
typedef int(__cdecl* PFN_ZEP_DELETE_FIRMWARE_BINARY)(DWORD dwWord0, DWORD dwWord1, const wchar_t* pszDeviceId,
                                                     const wchar_t* pszTargetName);
typedef int(__cdecl* PFN_ZEP_CHECK_VERSION)(const wchar_t* pszFirst, const wchar_t* pszSecond);

class CFirmwareLibrary
{
public:
    // Loads the library (a bare name from the program's own folder, never through the search
    // order) and resolves the seven entry points; a missing one unloads it again and gives E_FAIL.
    HRESULT Bind(const wchar_t* pszLibrary);
    void Unbind() noexcept;
    bool IsBound() const noexcept { return m_module.IsValid(); }

    // The one connected player: enumerate, count, fetch its record (zeroed first).
    HRESULT QueryDevice(ZEP_DEVICE_INFO& info) const;
    // Puts the image on the player; 1 from the library means the player is gone.
    HRESULT CopyFirmware(const ZEP_DEVICE_INFO& info, const wchar_t* pszImagePath) const;
    HRESULT SendUpdateCommand(const ZEP_DEVICE_INFO& info) const;
    void DeleteFirmware(const ZEP_DEVICE_INFO& info) const;
    // Three-way comparison: plOrder < 0 first is lower, 0 equal, > 0 first is higher.
    HRESULT CompareVersions(const wchar_t* pszFirst, const wchar_t* pszSecond, int& nOrder) const;

private:
    UniqueHModule m_module;
    PFN_ZEP_GET_DEVICES m_pfnGetDevices = nullptr;
    PFN_ZEP_GET_DEVICE_COUNT m_pfnGetDeviceCount = nullptr;
    PFN_ZEP_GET_DEVICE_INFO m_pfnGetDeviceInfo = nullptr;
    PFN_ZEP_COPY_FIRMWARE_BINARY m_pfnCopyFirmwareBinary = nullptr;
    PFN_ZEP_SEND_UPDATE_COMMAND m_pfnSendUpdateCommand = nullptr;
    PFN_ZEP_DELETE_FIRMWARE_BINARY m_pfnDeleteFirmwareBinary = nullptr;
    PFN_ZEP_CHECK_VERSION m_pfnCheckVersion = nullptr;
};
