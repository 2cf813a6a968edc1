// Stand-in for the player maker's firmware-update library: a simulated player whose state
// lives in an INI file, so that tests, the demo and a person at the keyboard can plug, unplug
// and swap players. Not the maker's library; only its calls are the same.
//
// State file: %DRENLOX_PLAYER_STATE%, else "%ProgramData%\Drenlox Simulator\player.ini".
//   [Bus]    Players=0|1|2 (players on the bus), Unusable=0|1
//   [Player] Word0, Word1, DeviceId, ServiceId, FirmwareVersion, Model, Storage (folder of the
//            player's storage), ReturnDelayMs (how long an update takes; -1: never returns),
//            ReturnAt, PendingVersion (kept by the library while the player is away)
// A firmware image is text whose first line is "VELOMAR-FIRMWARE <version>".
#include <windows.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

#include "update/client/drenlox/drenlox_state.h"

namespace
{
const wchar_t kBus[] = L"Bus";
const wchar_t kPlayer[] = L"Player";

struct DeviceRecord
{
    DWORD dwWord0;
    DWORD dwWord1;
    wchar_t szDeviceId[98];
    wchar_t szServiceId[129];
    wchar_t szFirmwareVersion[10];
    wchar_t szModelName[67];
};
static_assert(sizeof(DeviceRecord) == 616, "the record is 616 bytes");

std::wstring StatePath()
{
    return DrenloxStatePath();
}

std::wstring ReadText(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszDefault = L"")
{
    wchar_t szValue[1024] = {};
    ::GetPrivateProfileStringW(pszSection, pszKey, pszDefault, szValue, _countof(szValue), StatePath().c_str());
    return szValue;
}

long long ReadNumber(const wchar_t* pszSection, const wchar_t* pszKey, long long llDefault)
{
    const std::wstring strValue = ReadText(pszSection, pszKey);
    return strValue.empty() ? llDefault : _wtoi64(strValue.c_str());
}

void WriteText(const wchar_t* pszSection, const wchar_t* pszKey, const std::wstring& strValue)
{
    ::WritePrivateProfileStringW(pszSection, pszKey, strValue.c_str(), StatePath().c_str());
}

long long NowMs()
{
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    return static_cast<long long>((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10000;
}

// A player that finished its update comes back with the image's version.
void SettleReturn()
{
    const long long llReturnAt = ReadNumber(kPlayer, L"ReturnAt", 0);
    if (llReturnAt <= 0 || NowMs() < llReturnAt)
        return;
    const std::wstring strPending = ReadText(kPlayer, L"PendingVersion");
    if (!strPending.empty())
        WriteText(kPlayer, L"FirmwareVersion", strPending);
    WriteText(kPlayer, L"PendingVersion", L"");
    WriteText(kPlayer, L"ReturnAt", L"0");
    WriteText(kBus, L"Players", L"1");
}

bool IsThePlayer(DWORD dwWord0, DWORD dwWord1, const wchar_t* pszDeviceId)
{
    return ReadNumber(kBus, L"Players", 0) == 1 && ReadNumber(kPlayer, L"Word0", 0) == dwWord0 &&
           ReadNumber(kPlayer, L"Word1", 0) == dwWord1 && pszDeviceId &&
           ReadText(kPlayer, L"DeviceId") == pszDeviceId;
}

std::wstring StorageFile(const wchar_t* pszTargetName)
{
    return ReadText(kPlayer, L"Storage") + (pszTargetName ? pszTargetName : L"");
}

void CopyField(wchar_t* pszTo, size_t cch, const std::wstring& str)
{
    wcsncpy(pszTo, str.c_str(), cch - 1);
    pszTo[cch - 1] = L'\0';
}

// The version in an image's first line; empty when the image carries none.
std::wstring ImageVersion(const std::wstring& strPath)
{
    HANDLE hFile = ::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return std::wstring();
    char szHead[128] = {};
    DWORD cbRead = 0;
    ::ReadFile(hFile, szHead, sizeof(szHead) - 1, &cbRead, nullptr);
    ::CloseHandle(hFile);
    const char kMagic[] = "VELOMAR-FIRMWARE ";
    if (strncmp(szHead, kMagic, sizeof(kMagic) - 1) != 0)
        return std::wstring();
    std::wstring strVersion;
    for (const char* p = szHead + sizeof(kMagic) - 1; *p && *p != '\r' && *p != '\n' && strVersion.size() < 9; ++p)
        strVersion += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return strVersion;
}

// Dot-separated decimal parts, any number of them; false for anything else.
bool ParseParts(const wchar_t* psz, unsigned long long (&parts)[8], int& nParts)
{
    nParts = 0;
    if (!psz || !*psz)
        return false;
    while (true)
    {
        if (nParts == 8 || *psz < L'0' || *psz > L'9')
            return false;
        unsigned long long ull = 0;
        for (; *psz >= L'0' && *psz <= L'9'; ++psz)
        {
            if (ull > 100000000ULL)
                return false;
            ull = ull * 10 + (*psz - L'0');
        }
        parts[nParts++] = ull;
        if (*psz == L'\0')
            return true;
        if (*psz != L'.')
            return false;
        ++psz;
    }
}
}  // namespace

extern "C" {

__declspec(dllexport) int __cdecl GetDevices()
{
    SettleReturn();
    if (ReadNumber(kBus, L"Players", 0) <= 0)
        return 0x40001;
    if (ReadNumber(kBus, L"Unusable", 0) != 0)
        return 0x40002;
    return 0;
}

__declspec(dllexport) int __cdecl GetDeviceCount(int* pnCount)
{
    if (!pnCount)
        return E_POINTER;
    const long long llPlayers = ReadNumber(kBus, L"Players", 0);
    *pnCount = llPlayers < 0 ? 0 : static_cast<int>(llPlayers);
    return 0;
}

__declspec(dllexport) int __cdecl GetDeviceInfo(DeviceRecord* pRecord, int nDevice)
{
    if (!pRecord || nDevice < 1)
        return E_INVALIDARG;
    if (ReadNumber(kBus, L"Players", 0) < nDevice)
        return E_INVALIDARG;
    ::ZeroMemory(pRecord, sizeof(*pRecord));
    pRecord->dwWord0 = static_cast<DWORD>(ReadNumber(kPlayer, L"Word0", 0));
    pRecord->dwWord1 = static_cast<DWORD>(ReadNumber(kPlayer, L"Word1", 0));
    CopyField(pRecord->szDeviceId, _countof(pRecord->szDeviceId), ReadText(kPlayer, L"DeviceId"));
    CopyField(pRecord->szServiceId, _countof(pRecord->szServiceId), ReadText(kPlayer, L"ServiceId"));
    CopyField(pRecord->szFirmwareVersion, _countof(pRecord->szFirmwareVersion), ReadText(kPlayer, L"FirmwareVersion"));
    CopyField(pRecord->szModelName, _countof(pRecord->szModelName), ReadText(kPlayer, L"Model"));
    return 0;
}

__declspec(dllexport) int __cdecl CopyFirmwareBinary(DWORD dwWord0, DWORD dwWord1, const wchar_t* pszDeviceId,
                                                     const wchar_t* pszImagePath, const wchar_t* pszTargetName, int)
{
    if (!IsThePlayer(dwWord0, dwWord1, pszDeviceId))
        return 1;
    if (!pszImagePath || !pszTargetName)
        return E_INVALIDARG;
    if (!::CopyFileW(pszImagePath, StorageFile(pszTargetName).c_str(), FALSE))
        return HRESULT_FROM_WIN32(::GetLastError());
    return 0;
}

__declspec(dllexport) int __cdecl SendUpdateCommand(DWORD dwWord0, DWORD dwWord1, const wchar_t* pszDeviceId)
{
    if (!IsThePlayer(dwWord0, dwWord1, pszDeviceId))
        return static_cast<int>(0x80040200L);
    WriteText(kPlayer, L"PendingVersion", ImageVersion(StorageFile(L"\\QX_VL_FW.UPG")));
    const long long llDelay = ReadNumber(kPlayer, L"ReturnDelayMs", 3000);
    WriteText(kPlayer, L"ReturnAt", llDelay < 0 ? L"0" : std::to_wstring(NowMs() + llDelay));
    WriteText(kBus, L"Players", L"0");
    return 0;
}

__declspec(dllexport) int __cdecl DeleteFirmwareBinary(DWORD, DWORD, const wchar_t*, const wchar_t* pszTargetName)
{
    if (!pszTargetName)
        return E_INVALIDARG;
    ::DeleteFileW(StorageFile(pszTargetName).c_str());
    return 0;
}

__declspec(dllexport) int __cdecl CheckVersion(const wchar_t* pszFirst, const wchar_t* pszSecond)
{
    unsigned long long first[8], second[8];
    int nFirst = 0, nSecond = 0;
    if (!ParseParts(pszFirst, first, nFirst) || !ParseParts(pszSecond, second, nSecond))
        return E_INVALIDARG;
    for (int i = 0; i < 8; ++i)
    {
        const unsigned long long a = i < nFirst ? first[i] : 0;
        const unsigned long long b = i < nSecond ? second[i] : 0;
        if (a != b)
            return a < b ? 0 : 2;
    }
    return 1;
}
}
