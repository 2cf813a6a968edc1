#include "watcher/player_identification.h"

#include <cstring>

#include "common/product_keys.h"
#include "common/string_util.h"
#include "common/unique_resource.h"
#include "watcher/exec_scsi_interface.h"

namespace
{
const wchar_t kMountedDevicesKey[] = L"SYSTEM\\MountedDevices";
const wchar_t kUsbStorEnumKey[] = L"SYSTEM\\CurrentControlSet\\Enum\\USBSTOR";
const wchar_t kUsbEnumKey[] = L"SYSTEM\\CurrentControlSet\\Enum\\USB";
const wchar_t kSupportedIdsKey[] = ZEP_PRODUCT_KEY L"\\PD";
const char kVendor[] = "Orvo    ";
const char* const kPlayerIds[] = {"KOVRAHD1", "KOVRAAD1", "KOVRAAD2"};
// "Vid_xxxx&Pid_yyyy" plus the terminator: a longer name ends the list.
const DWORD kSupportedIdChars = 18;
const DWORD kSubkeyNameChars = 1024;

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsAsciiNoCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
    {
        if (AsciiLower(*a) != AsciiLower(*b))
            return false;
    }
    return *a == *b;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() &&
           ::CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                  static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// Reads a value of one of the accepted types; the data must hold a terminating NUL.
// The result is the text up to the first NUL (the first string of a multi-string).
bool ReadFirstString(HKEY hKey, const wchar_t* pszName, DWORD dwType1, DWORD dwType2, std::wstring& value)
{
    value.clear();
    DWORD dwType = REG_NONE;
    DWORD cb = 0;
    if (::RegQueryValueExW(hKey, pszName, nullptr, &dwType, nullptr, &cb) != ERROR_SUCCESS)
        return false;
    if ((dwType != dwType1 && dwType != dwType2) || cb < sizeof(wchar_t))
        return false;
    std::vector<wchar_t> data(cb / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(data.data()), &cb) !=
        ERROR_SUCCESS)
        return false;
    const size_t cch = cb / sizeof(wchar_t);
    size_t nul = 0;
    while (nul < cch && data[nul] != L'\0')
        ++nul;
    if (nul == cch)
        return false;  // not terminated inside the stored data
    value.assign(data.data(), nul);
    return true;
}

bool EnumSubkey(HKEY hKey, DWORD dwIndex, std::wstring& name)
{
    wchar_t szName[kSubkeyNameChars];
    DWORD cch = kSubkeyNameChars;
    if (::RegEnumKeyExW(hKey, dwIndex, szName, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    name.assign(szName, cch);
    return true;
}

bool InstanceMatches(HKEY hInstance, const std::wstring& strInstance, const std::wstring& strKey)
{
    std::wstring prefix;
    // An empty prefix would claim every device: treat it like a missing one.
    if (ReadFirstString(hInstance, L"ParentIdPrefix", REG_SZ, REG_EXPAND_SZ, prefix) && !prefix.empty())
        return StartsWithNoCase(strKey, prefix);
    if (!StartsWithNoCase(strKey, strInstance))
        return false;
    return strKey.size() == strInstance.size() || strKey[strInstance.size()] == L'&';
}
}  // namespace

bool CPlayerIdentification::IsSupportedInquiry(const BYTE (&response)[kInquiryLength])
{
    char szVendor[9] = {};
    for (int i = 0; i < 8; ++i)
        szVendor[i] = response[8 + i] == 0 ? ' ' : static_cast<char>(response[8 + i]);
    if (!EqualsAsciiNoCase(szVendor, kVendor))
        return false;

    char szPlayer[9] = {};
    memcpy(szPlayer, response + 36, 8);
    for (const char* pszId : kPlayerIds)
    {
        if (EqualsAsciiNoCase(szPlayer, pszId))
            return true;
    }
    return false;
}

bool CPlayerIdentification::IsSupportedPlayer(CExecScsiInterface& scsi, int nDrive)
{
    if (nDrive != scsi.GetDriveIndex())
    {
        if (nDrive < 0 || nDrive > 25)
            return false;
        scsi.SetDriveIndex(nDrive);
    }

    BYTE cdb[12] = {};
    cdb[0] = 0x12;  // INQUIRY
    cdb[4] = static_cast<BYTE>(kInquiryLength);
    BYTE response[kInquiryLength] = {};
    DWORD dwSense = 0;
    if (!scsi.ExecDataIn(cdb, sizeof(cdb), response, sizeof(response), &dwSense))
        return false;
    if (!IsSupportedInquiry(response))
        return false;

    const std::vector<std::wstring> usbIds = GetUsbIdsForDrive(static_cast<wchar_t>(L'A' + nDrive));
    const std::vector<std::wstring> supported = ReadSupportedIds();
    for (const std::wstring& id : supported)
    {
        for (const std::wstring& usbId : usbIds)
        {
            if (EqualsNoCase(id, usbId))
                return true;
        }
    }
    return false;
}

std::wstring CPlayerIdentification::StorageInstanceForDrive(wchar_t chDrive)
{
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMountedDevicesKey, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t szName[] = L"\\DosDevices\\A:";
    szName[12] = chDrive;
    DWORD dwType = REG_NONE;
    DWORD cb = 0;
    if (::RegQueryValueExW(key.Get(), szName, nullptr, &dwType, nullptr, &cb) != ERROR_SUCCESS ||
        dwType != REG_BINARY)
        return std::wstring();
    // Whole characters, with room for a zero half after an odd last byte: the text is read as the
    // data's characters up to the first zero one, and never beyond them.
    const DWORD cbCapacity = cb;
    std::vector<wchar_t> data(cbCapacity / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key.Get(), szName, nullptr, &dwType, reinterpret_cast<BYTE*>(data.data()), &cb) !=
            ERROR_SUCCESS ||
        dwType != REG_BINARY || cb > cbCapacity)
        return std::wstring();
    const size_t cchData = (cb + 1) / sizeof(wchar_t);
    size_t cch = 0;
    while (cch < cchData && data[cch] != L'\0')
        ++cch;
    std::wstring text(data.data(), cch);

    size_t start = 0;
    for (int piece = 0; piece < 2; ++piece)
    {
        const size_t hash = text.find(L'#', start);
        if (hash == std::wstring::npos)
            return std::wstring();
        start = hash + 1;
    }
    const size_t end = text.find(L'#', start);
    return text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

std::vector<CPlayerIdentification::InstanceMatch> CPlayerIdentification::MatchInstances(const wchar_t* pszEnumKey,
                                                                                      const std::wstring& strKey)
{
    std::vector<InstanceMatch> matches;
    UniqueHKey enumKey;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, pszEnumKey, 0, KEY_READ, enumKey.Receive()) != ERROR_SUCCESS)
        return matches;

    std::wstring device;
    for (DWORD d = 0; EnumSubkey(enumKey.Get(), d, device); ++d)
    {
        UniqueHKey deviceKey;
        if (::RegOpenKeyExW(enumKey.Get(), device.c_str(), 0, KEY_READ, deviceKey.Receive()) != ERROR_SUCCESS)
            continue;
        std::wstring instance;
        for (DWORD n = 0; EnumSubkey(deviceKey.Get(), n, instance); ++n)
        {
            UniqueHKey instanceKey;
            if (::RegOpenKeyExW(deviceKey.Get(), instance.c_str(), 0, KEY_READ, instanceKey.Receive()) !=
                ERROR_SUCCESS)
                continue;
            if (!InstanceMatches(instanceKey.Get(), instance, strKey))
                continue;
            std::wstring hardwareId;
            ReadFirstString(instanceKey.Get(), L"HardwareId", REG_MULTI_SZ, REG_MULTI_SZ, hardwareId);
            matches.emplace_back(instance, hardwareId);
        }
    }
    return matches;
}

std::vector<std::wstring> CPlayerIdentification::GetUsbIdsForDrive(wchar_t chDrive)
{
    std::vector<std::wstring> ids;
    const std::wstring storageInstance = StorageInstanceForDrive(chDrive);
    // Without a storage instance nothing can belong to the drive: an empty text would make
    // every prefix test pass.
    if (storageInstance.empty())
        return ids;
    for (const InstanceMatch& storage : MatchInstances(kUsbStorEnumKey, storageInstance))
    {
        for (const InstanceMatch& usb : MatchInstances(kUsbEnumKey, storage.first))
        {
            const std::wstring& hwid = usb.second;
            // USB\Vid_1a2b&Pid_3c4d...: the digits sit at 8-11 and 17-20.
            if (hwid.size() < 21)
                continue;
            ids.push_back(L"Vid_" + hwid.substr(8, 4) + L"&Pid_" + hwid.substr(17, 4));
        }
    }
    return ids;
}

std::vector<std::wstring> CPlayerIdentification::ReadSupportedIds()
{
    std::vector<std::wstring> ids;
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSupportedIdsKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return ids;
    for (DWORD i = 0;; ++i)
    {
        wchar_t szName[kSupportedIdChars];
        DWORD cch = kSupportedIdChars;
        if (::RegEnumKeyExW(key.Get(), i, szName, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        ids.emplace_back(szName, cch);
    }
    return ids;
}
