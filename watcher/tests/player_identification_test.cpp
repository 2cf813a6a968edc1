// Identification of a player from its INQUIRY answer and the USB ids registered for its
// drive. The registry here is the test's sandboxed HKLM.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/unique_resource.h"
#include "watcher/exec_scsi_emulated.h"
#include "watcher/player_identification.h"
#include "watcher/testing/pirro_control.h"

namespace
{
const wchar_t kPd[] = L"SOFTWARE\\Orvo Corporation\\Velomar Launcher\\PD\\";
const wchar_t kUsbStor[] = L"SYSTEM\\CurrentControlSet\\Enum\\USBSTOR";
const wchar_t kUsb[] = L"SYSTEM\\CurrentControlSet\\Enum\\USB";

void CreateKey(const std::wstring& path)
{
    UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                               nullptr, key.Receive(), nullptr));
}

void SetValue(const std::wstring& path, const wchar_t* pszName, DWORD dwType, const void* pData, size_t cb)
{
    UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                               nullptr, key.Receive(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key.Get(), pszName, 0, dwType, static_cast<const BYTE*>(pData),
                                              static_cast<DWORD>(cb)));
}

void SetString(const std::wstring& path, const wchar_t* pszName, const std::wstring& value, DWORD dwType = REG_SZ)
{
    SetValue(path, pszName, dwType, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
}

void SetMulti(const std::wstring& path, const wchar_t* pszName, const std::wstring& first)
{
    std::wstring data = first + L'\0' + L"second" + L'\0' + L'\0';
    SetValue(path, pszName, REG_MULTI_SZ, data.c_str(), data.size() * sizeof(wchar_t));
}

std::vector<BYTE> Inquiry(const char* pszVendor8, const char* pszPlayer8)
{
    std::vector<BYTE> response = PirroControl::InquiryResponse("", "");
    memcpy(response.data() + 8, pszVendor8, 8);
    memcpy(response.data() + 36, pszPlayer8, 8);
    return response;
}

bool InquiryAccepted(const std::vector<BYTE>& response)
{
    BYTE bytes[CPlayerIdentification::kInquiryLength];
    memcpy(bytes, response.data(), sizeof(bytes));
    return CPlayerIdentification::IsSupportedInquiry(bytes);
}

TEST(PlayerIdentification, InquiryVendorAndPlayerIdentifier)
{
    struct Case
    {
        const char* pszLabel;
        const char* pszVendor;  // 8 bytes
        const char* pszPlayer;  // 8 bytes
        bool bAccepted;
    } const cases[] = {
        {"vendor space padded", "Orvo    ", "KOVRAHD1", true},
        {"vendor zero padded, capitals", "ORVO\0\0\0\0", "KOVRAHD1", true},
        {"vendor mixed zero and space padding", "orvo \0 \0", "KOVRAHD1", true},
        {"second player id", "Orvo    ", "KOVRAAD1", true},
        {"third player id", "Orvo    ", "KOVRAAD2", true},
        {"player id in lower case", "Orvo    ", "kovraad2", true},
        {"other vendor", "Orvon   ", "KOVRAHD1", false},
        {"vendor prefix only", "Orv\0    ", "KOVRAHD1", false},
        {"unknown player", "Orvo    ", "KOVRAAD3", false},
        {"player id cut short by a zero", "Orvo    ", "KOVRAHD\0", false},
        {"no player id", "Orvo    ", "\0\0\0\0\0\0\0\0", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.bAccepted, InquiryAccepted(Inquiry(c.pszVendor, c.pszPlayer))) << c.pszLabel;
}

TEST(PlayerIdentification, OnlyBytes36To43IdentifyThePlayer)
{
    std::vector<BYTE> response = Inquiry("Orvo    ", "KOVRAHD1");
    memset(response.data() + 44, 'X', 12);  // whatever follows does not matter
    EXPECT_TRUE(InquiryAccepted(response));

    // The id in the product identification or revision fields does not count.
    std::vector<BYTE> elsewhere = Inquiry("Orvo    ", "NOTAPLAY");
    memcpy(elsewhere.data() + 16, "KOVRAHD1", 8);
    memcpy(elsewhere.data() + 28, "KOVRAHD1", 8);
    EXPECT_FALSE(InquiryAccepted(elsewhere));
}

class PlayerIdentificationRegistry : public ::testing::Test
{
protected:
    // Drive E: answers as a player; the fixture ties it to Vid_1a2b&Pid_3c4d.
    void SetUp() override
    {
        m_scsi.SetInquiryResponse(4, PirroControl::InquiryResponse("Orvo", "KOVRAHD1"));
        ASSERT_TRUE(PirroControl::WritePlayerFixture(L'E', L"1a2b", L"3c4d", L"SERIAL0001"));
    }

    CExecScsiEmulated m_scsi;
};

TEST_F(PlayerIdentificationRegistry, PlayerWithListedIdsIsSupported)
{
    EXPECT_TRUE(CPlayerIdentification::IsSupportedPlayer(m_scsi, 4));
    EXPECT_EQ(4, m_scsi.GetDriveIndex());
    ASSERT_EQ(1u, m_scsi.Commands().size());
    const std::vector<BYTE>& cdb = m_scsi.Commands()[0].second;
    ASSERT_EQ(12u, cdb.size());
    EXPECT_EQ(0x12, cdb[0]);
    EXPECT_EQ(0x38, cdb[4]);
    for (size_t i : {1u, 2u, 3u, 5u, 6u, 7u, 8u, 9u, 10u, 11u})
        EXPECT_EQ(0, cdb[i]) << "CDB byte " << i;
}

TEST_F(PlayerIdentificationRegistry, EitherTestFailingRejectsTheDrive)
{
    // Right ids, another device's answer.
    m_scsi.SetInquiryResponse(4, PirroControl::InquiryResponse("Other", "KOVRAHD1"));
    EXPECT_FALSE(CPlayerIdentification::IsSupportedPlayer(m_scsi, 4));

    // Right answer, ids not listed as supported.
    m_scsi.SetInquiryResponse(4, PirroControl::InquiryResponse("Orvo", "KOVRAHD1"));
    ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kPd) + L"Vid_1a2b&Pid_3c4d").c_str()));
    CreateKey(std::wstring(kPd) + L"Vid_1a2b&Pid_3c4e");
    EXPECT_FALSE(CPlayerIdentification::IsSupportedPlayer(m_scsi, 4));
}

TEST_F(PlayerIdentificationRegistry, DriveThatCannotBeQueriedIsRejected)
{
    // F: has a registry entry of its own but no device answers.
    ASSERT_TRUE(PirroControl::WritePlayerFixture(L'F', L"1a2b", L"3c4d", L"SERIAL0002"));
    EXPECT_FALSE(CPlayerIdentification::IsSupportedPlayer(m_scsi, 5));
    // Past Z: nothing is sent at all.
    EXPECT_FALSE(CPlayerIdentification::IsSupportedPlayer(m_scsi, 26));
    EXPECT_FALSE(CPlayerIdentification::IsSupportedPlayer(m_scsi, -2));
    EXPECT_EQ(1u, m_scsi.Commands().size());
}

TEST_F(PlayerIdentificationRegistry, SupportedIdMatchIgnoresCase)
{
    // PD in lower case, the device's hardware id in capitals.
    ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kPd) + L"Vid_1a2b&Pid_3c4d").c_str()));
    CreateKey(std::wstring(kPd) + L"vid_1a2b&pid_3c4d");
    SetMulti(std::wstring(kUsb) + L"\\Vid_1a2b&Pid_3c4d\\SERIAL0001", L"HardwareId", L"USB\\VID_1A2B&PID_3C4D&REV_0100");
    EXPECT_EQ(std::vector<std::wstring>{L"Vid_1A2B&Pid_3C4D"}, CPlayerIdentification::GetUsbIdsForDrive(L'E'));
    EXPECT_TRUE(CPlayerIdentification::IsSupportedPlayer(m_scsi, 4));
}

TEST_F(PlayerIdentificationRegistry, OverlongSupportedIdEndsTheList)
{
    // Subkeys enumerate in name order: the 18-character name comes before the player's id.
    CreateKey(std::wstring(kPd) + L"Vid_0000&Pid_0000");
    CreateKey(std::wstring(kPd) + L"Vid_0001&Pid_00001");
    EXPECT_EQ(std::vector<std::wstring>{L"Vid_0000&Pid_0000"}, CPlayerIdentification::ReadSupportedIds());
    EXPECT_FALSE(CPlayerIdentification::IsSupportedPlayer(m_scsi, 4));
}

TEST(PlayerIdentificationIds, NoProductKeyMeansNoSupportedIds)
{
    EXPECT_TRUE(CPlayerIdentification::ReadSupportedIds().empty());
}

TEST(PlayerIdentificationIds, MatchInstancesByParentIdPrefixOrInstanceName)
{
    const std::wstring disk = std::wstring(kUsbStor) + L"\\Disk&Ven_Orvo&Prod_Velomar&Rev_1.00\\";
    const std::wstring cdrom = std::wstring(kUsbStor) + L"\\CdRom&Ven_Orvo&Prod_Velomar&Rev_1.00\\";
    SetString(disk + L"ABC&0", L"ParentIdPrefix", L"7&1111&0");
    SetMulti(disk + L"ABC&0", L"HardwareId", L"USBSTOR\\DiskOne");
    SetString(disk + L"DEF&0", L"ParentIdPrefix", L"7&2222&0", REG_EXPAND_SZ);
    SetMulti(disk + L"DEF&0", L"HardwareId", L"USBSTOR\\DiskTwo");
    DWORD dwNotAString = 5;
    SetValue(cdrom + L"SERIAL9", L"ParentIdPrefix", REG_DWORD, &dwNotAString, sizeof(dwNotAString));
    SetString(cdrom + L"SERIAL9", L"HardwareId", L"not a multi-string");
    CreateKey(cdrom + L"SERIAL");

    struct Case
    {
        const wchar_t* pszKey;
        std::vector<CPlayerIdentification::InstanceMatch> expected;
    } const cases[] = {
        {L"7&1111&0&RM", {{L"ABC&0", L"USBSTOR\\DiskOne"}}},
        {L"7&2222&0&RM", {{L"DEF&0", L"USBSTOR\\DiskTwo"}}},
        {L"7&3333&0&RM", {}},
        // Without a usable prefix the name must be followed by '&' or the end.
        {L"SERIAL9&0", {{L"SERIAL9", L""}}},
        {L"SERIAL9", {{L"SERIAL9", L""}}},
        {L"SERIAL&0", {{L"SERIAL", L""}}},
        {L"SERIAL99&0", {}},
        {L"ABC&0", {}},  // has a prefix: its name does not count
        {L"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, CPlayerIdentification::MatchInstances(kUsbStor, c.pszKey)) << c.pszKey;
    EXPECT_TRUE(CPlayerIdentification::MatchInstances(L"SYSTEM\\NoSuchKey", L"ABC").empty());
}

TEST(PlayerIdentificationIds, UsbIdsForSerialAndParentPrefixDevices)
{
    // A player with a serial number: the USB instance is the serial, the storage instance
    // is the serial plus "&0" and carries the prefix of the volume.
    ASSERT_TRUE(PirroControl::WritePlayerFixture(L'E', L"1a2b", L"3c4d", L"SERIAL0001"));
    EXPECT_EQ(std::vector<std::wstring>{L"Vid_1a2b&Pid_3c4d"}, CPlayerIdentification::GetUsbIdsForDrive(L'E'));

    // A player without one: the USB instance has a parent-id prefix that names the storage
    // instance.
    const std::wstring volume = L"\\??\\STORAGE#RemovableMedia#8&aaaa&0&RM#{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}";
    SetValue(L"SYSTEM\\MountedDevices", L"\\DosDevices\\G:", REG_BINARY, volume.c_str(), volume.size() * 2);
    const std::wstring storage = std::wstring(kUsbStor) + L"\\Disk&Ven_Orvo&Prod_Mini&Rev_1.00\\6&bbbb&0&0";
    SetString(storage, L"ParentIdPrefix", L"8&aaaa&0");
    const std::wstring usb = std::wstring(kUsb) + L"\\Vid_5e6f&Pid_7a8b\\5&cccc&0&2";
    SetString(usb, L"ParentIdPrefix", L"6&bbbb&0");
    SetMulti(usb, L"HardwareId", L"USB\\Vid_5e6f&Pid_7a8b&Rev_0001");
    EXPECT_EQ(std::vector<std::wstring>{L"Vid_5e6f&Pid_7a8b"}, CPlayerIdentification::GetUsbIdsForDrive(L'G'));

    // A hardware id too short to hold the digits is passed over.
    SetMulti(usb, L"HardwareId", L"USB\\ROOT_HUB");
    EXPECT_TRUE(CPlayerIdentification::GetUsbIdsForDrive(L'G').empty());
}

TEST(PlayerIdentificationIds, MountedDeviceValueMustBeBinaryWithThreePieces)
{
    ASSERT_TRUE(PirroControl::WritePlayerFixture(L'E', L"1a2b", L"3c4d", L"SERIAL0001"));
    const std::wstring good = CPlayerIdentification::StorageInstanceForDrive(L'E');
    EXPECT_FALSE(good.empty());
    EXPECT_EQ(std::wstring::npos, good.find(L'#'));

    SetString(L"SYSTEM\\MountedDevices", L"\\DosDevices\\E:", L"\\??\\STORAGE#RemovableMedia#" + good + L"#{x}");
    EXPECT_TRUE(CPlayerIdentification::StorageInstanceForDrive(L'E').empty());
    EXPECT_TRUE(CPlayerIdentification::GetUsbIdsForDrive(L'E').empty());

    const std::wstring twoPieces = L"\\??\\STORAGE#RemovableMedia";
    SetValue(L"SYSTEM\\MountedDevices", L"\\DosDevices\\E:", REG_BINARY, twoPieces.c_str(), twoPieces.size() * 2);
    EXPECT_TRUE(CPlayerIdentification::StorageInstanceForDrive(L'E').empty());

    // An odd length whose last byte is not zero and no terminator: that byte is the low half of a
    // last character, and the text still ends inside the read buffer. Blocks of the sizes the
    // read allocates are left dirty on the heap first, so a read past the buffer's end shows as
    // characters after the instance (16 lengths cover every place of the end in a heap block).
    for (size_t cchPad = 0; cchPad < 16; ++cchPad)
    {
        const std::wstring value = std::wstring(cchPad + 1, L'a') + L"#b#" + good + L"X";
        const size_t cbValue = value.size() * 2 - 1;
        SetValue(L"SYSTEM\\MountedDevices", L"\\DosDevices\\E:", REG_BINARY, value.c_str(), cbValue);
        std::vector<void*> dirty;
        for (int i = 0; i < 64; ++i)
        {
            const size_t cbBlock = (cbValue + 2 + 15) / 16 * 16 + (i % 2) * 16;
            dirty.push_back(malloc(cbBlock));
            memset(dirty.back(), 0xFF, cbBlock);
        }
        for (void* pv : dirty)
            free(pv);
        EXPECT_EQ(good + L"X", CPlayerIdentification::StorageInstanceForDrive(L'E')) << cchPad;
    }
    EXPECT_TRUE(CPlayerIdentification::StorageInstanceForDrive(L'Q').empty());
}
}  // namespace
