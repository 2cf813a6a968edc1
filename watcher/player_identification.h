#pragma once
// Decides whether a removable drive is a supported player: the drive must answer INQUIRY as
// one of the maker's players, and the USB ids of the device behind the letter must be listed
// in the product key's "PD" subkey. Both tests must pass.
#include <windows.h>
#include <string>
#include <utility>
#include <vector>

class CExecScsiInterface;

class CPlayerIdentification
{
public:
    static constexpr DWORD kInquiryLength = 56;

    // (instance subkey name, first string of its HardwareId)
    typedef std::pair<std::wstring, std::wstring> InstanceMatch;

    static bool IsSupportedPlayer(CExecScsiInterface& scsi, int nDrive);

    // The vendor and player-identifier tests on a 56-byte INQUIRY response.
    static bool IsSupportedInquiry(const BYTE (&response)[kInquiryLength]);

    // "Vid_xxxx&Pid_yyyy" for each USB device behind the drive letter, as registered.
    static std::vector<std::wstring> GetUsbIdsForDrive(wchar_t chDrive);

    // Instances under an HKLM enumeration key that belong to the device instance text.
    static std::vector<InstanceMatch> MatchInstances(const wchar_t* pszEnumKey, const std::wstring& strKey);

    // Names of the "PD" subkeys, in enumeration order, up to the first one that cannot be read.
    static std::vector<std::wstring> ReadSupportedIds();

    // The third '#'-separated piece of the drive's "\DosDevices\X:" value; empty when absent.
    static std::wstring StorageInstanceForDrive(wchar_t chDrive);
};
