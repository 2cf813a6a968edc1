// From a device-change notification to the launcher start, with drives, shell and device
// answers under the test's control and the registry sandboxed.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/registry.h"
#include "watcher/device_arrival_handler.h"
#include "watcher/drive_type_query.h"
#include "watcher/exec_scsi_emulated.h"
#include "watcher/jukebox_detector.h"
#include "watcher/shell_starter.h"
#include "watcher/testing/pirro_control.h"

namespace
{
const wchar_t kTolvikKey[] = L"SOFTWARE\\Orvo Corporation\\Velomar Launcher\\TOLVIK";
const wchar_t kLauncher[] = L"C:\\Program Files\\Orvo\\Tolvik.exe";

class CFakeDriveTypes : public IDriveTypeQuery
{
public:
    UINT GetDriveType(const wchar_t* pszRoot) override
    {
        m_asked.push_back(pszRoot);
        auto found = m_types.find(pszRoot[0]);
        return found == m_types.end() ? DRIVE_NO_ROOT_DIR : found->second;
    }
    std::map<wchar_t, UINT> m_types;
    std::vector<std::wstring> m_asked;
};

class CRecordingShell : public IShellStarter
{
public:
    void Start(const std::wstring& file, const std::wstring& parameters) override
    {
        m_starts.emplace_back(file, parameters);
    }
    std::vector<std::pair<std::wstring, std::wstring>> m_starts;
};

class CFakeJukebox : public IJukeboxDetector
{
public:
    bool IsRunning() override
    {
        ++m_nAsked;
        return m_bRunning;
    }
    bool m_bRunning = false;
    int m_nAsked = 0;
};

DEV_BROADCAST_VOLUME Volume(const wchar_t* pszLetters)
{
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = PirroControl::UnitMaskFromLetters(pszLetters);
    return volume;
}

class DeviceArrivalHandler : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, kTolvikKey, L"InstalledPath", kLauncher));
    }

    // A drive of the given type; as a player it answers INQUIRY and is registered.
    void AddDrive(wchar_t chLetter, UINT uType, bool bPlayer)
    {
        m_drives.m_types[chLetter] = uType;
        if (!bPlayer)
            return;
        m_scsi.SetInquiryResponse(chLetter - L'A', PirroControl::InquiryResponse("Orvo", "KOVRAAD1"));
        ASSERT_TRUE(PirroControl::WritePlayerFixture(chLetter, L"1a2b", L"3c4d", std::wstring(L"SER") + chLetter));
    }

    // The notification, then the deferred message as the message loop would deliver it.
    void Deliver(WPARAM nEvent, const void* pRecord)
    {
        const LPARAM copy = m_handler.Defer(nEvent, reinterpret_cast<LPARAM>(pRecord));
        m_handler.HandleDeferred(nEvent, copy);
    }

    std::vector<std::wstring> StartedLetters() const
    {
        std::vector<std::wstring> letters;
        for (const auto& start : m_shell.m_starts)
            letters.push_back(start.second);
        return letters;
    }

    std::vector<int> QueriedDrives() const
    {
        std::vector<int> drives;
        for (const auto& command : m_scsi.Commands())
            drives.push_back(command.first);
        return drives;
    }

    CFakeDriveTypes m_drives;
    CRecordingShell m_shell;
    CExecScsiEmulated m_scsi;
    CTvkLauncher::CCustomQueryCancelAutoPlay m_autoPlay;
    CFakeJukebox m_jukebox;
    CDeviceArrivalHandler m_handler{&m_scsi, m_drives, m_shell, &m_autoPlay, m_jukebox};
};

TEST_F(DeviceArrivalHandler, EachRemovablePlayerOfTheMaskStartsTheLauncherLowestFirst)
{
    AddDrive(L'D', DRIVE_REMOVABLE, true);
    AddDrive(L'E', DRIVE_FIXED, true);      // fixed: not even asked
    AddDrive(L'F', DRIVE_REMOVABLE, false);  // removable but no player
    AddDrive(L'G', DRIVE_REMOTE, true);
    AddDrive(L'H', DRIVE_REMOVABLE, true);
    const DEV_BROADCAST_VOLUME volume = Volume(L"HGFED");

    Deliver(DBT_DEVICEARRIVAL, &volume);

    EXPECT_EQ((std::vector<std::wstring>{L"D:\\", L"E:\\", L"F:\\", L"G:\\", L"H:\\"}), m_drives.m_asked);
    EXPECT_EQ((std::vector<int>{3, 5, 7}), QueriedDrives());
    ASSERT_EQ(2u, m_shell.m_starts.size());
    EXPECT_EQ(kLauncher, m_shell.m_starts[0].first);
    EXPECT_EQ((std::vector<std::wstring>{L"D", L"H"}), StartedLetters());
    EXPECT_EQ(L"H:\\", m_autoPlay.GetDriveRoot());
    EXPECT_EQ(0u, m_handler.PendingCount());
}

TEST_F(DeviceArrivalHandler, AllDriveLettersAreReachable)
{
    AddDrive(L'A', DRIVE_REMOVABLE, true);
    AddDrive(L'Z', DRIVE_REMOVABLE, true);
    DEV_BROADCAST_VOLUME volume = Volume(L"AZ");
    volume.dbcv_unitmask |= 0xFC000000;  // bits past Z are not drives
    Deliver(DBT_DEVICEARRIVAL, &volume);
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"Z"}), StartedLetters());
    EXPECT_EQ((std::vector<std::wstring>{L"A:\\", L"Z:\\"}), m_drives.m_asked);
}

TEST_F(DeviceArrivalHandler, OtherEventsAndRecordsStartNothing)
{
    AddDrive(L'E', DRIVE_REMOVABLE, true);
    const DEV_BROADCAST_VOLUME volume = Volume(L"E");

    // Removal and other events post no copy.
    for (WPARAM nEvent : {static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE), static_cast<WPARAM>(DBT_DEVNODES_CHANGED),
                          static_cast<WPARAM>(DBT_DEVICEQUERYREMOVE)})
    {
        EXPECT_EQ(0, m_handler.Defer(nEvent, reinterpret_cast<LPARAM>(&volume)));
        m_handler.HandleDeferred(nEvent, 0);
    }

    // An arrival that is not a volume is copied, then dropped.
    struct
    {
        DEV_BROADCAST_DEVICEINTERFACE_W header;
        wchar_t szMore[32];
    } deviceInterface = {};
    deviceInterface.header.dbcc_size = sizeof(deviceInterface);
    deviceInterface.header.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    const LPARAM copy = m_handler.Defer(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&deviceInterface));
    EXPECT_NE(0, copy);
    EXPECT_EQ(1u, m_handler.PendingCount());
    m_handler.HandleDeferred(DBT_DEVICEARRIVAL, copy);
    EXPECT_EQ(0u, m_handler.PendingCount());

    // Arrival without a record.
    m_handler.HandleDeferred(DBT_DEVICEARRIVAL, m_handler.Defer(DBT_DEVICEARRIVAL, 0));

    EXPECT_TRUE(m_shell.m_starts.empty());
    EXPECT_TRUE(m_drives.m_asked.empty());
}

TEST_F(DeviceArrivalHandler, TheJukeboxIsLookedForOnlyOnArrivals)
{
    AddDrive(L'E', DRIVE_REMOVABLE, true);
    const DEV_BROADCAST_VOLUME volume = Volume(L"E");
    m_jukebox.m_bRunning = true;

    // The system broadcasts many other events; each would walk every process.
    for (WPARAM nEvent : {static_cast<WPARAM>(DBT_DEVNODES_CHANGED), static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE),
                          static_cast<WPARAM>(DBT_DEVICEQUERYREMOVE), static_cast<WPARAM>(DBT_CONFIGCHANGED)})
    {
        LPARAM lPost = 1;
        EXPECT_TRUE(m_handler.Notify(nEvent, reinterpret_cast<LPARAM>(&volume), lPost)) << nEvent;
        EXPECT_EQ(0, lPost);
    }
    EXPECT_EQ(0, m_jukebox.m_nAsked);

    // An arrival while the jukebox runs is left to it: nothing to post, nothing copied.
    LPARAM lPost = 1;
    EXPECT_FALSE(m_handler.Notify(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume), lPost));
    EXPECT_EQ(0, lPost);
    EXPECT_EQ(1, m_jukebox.m_nAsked);
    EXPECT_EQ(0u, m_handler.PendingCount());

    m_jukebox.m_bRunning = false;
    ASSERT_TRUE(m_handler.Notify(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume), lPost));
    EXPECT_EQ(2, m_jukebox.m_nAsked);
    ASSERT_NE(0, lPost);
    m_handler.HandleDeferred(DBT_DEVICEARRIVAL, lPost);
    EXPECT_EQ(std::vector<std::wstring>{L"E"}, StartedLetters());
}

TEST_F(DeviceArrivalHandler, RecordSizeFieldIsCheckedBeforeCopying)
{
    AddDrive(L'E', DRIVE_REMOVABLE, true);
    DEV_BROADCAST_VOLUME volume = Volume(L"E");

    // Sizes that would read past the record, or not even cover its header.
    const DWORD claimed[] = {0, 4, 11, CDeviceArrivalHandler::kMaxRecordSize + 1, 0x7FFFFFFF, 0xFFFFFFFF};
    for (DWORD cbClaimed : claimed)
    {
        volume.dbcv_size = cbClaimed;
        EXPECT_EQ(0, m_handler.Defer(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume))) << cbClaimed;
    }
    // A volume record too short to hold its unit mask is copied as claimed, but no drive is read.
    volume.dbcv_size = sizeof(DEV_BROADCAST_HDR) + 2;
    Deliver(DBT_DEVICEARRIVAL, &volume);
    EXPECT_EQ(0u, m_handler.PendingCount());
    EXPECT_TRUE(m_shell.m_starts.empty());

    volume.dbcv_size = sizeof(volume);
    Deliver(DBT_DEVICEARRIVAL, &volume);
    EXPECT_EQ(std::vector<std::wstring>{L"E"}, StartedLetters());
}

TEST_F(DeviceArrivalHandler, CopyIsOwnedUntilHandledAndForeignValuesAreRefused)
{
    AddDrive(L'E', DRIVE_REMOVABLE, true);
    AddDrive(L'F', DRIVE_REMOVABLE, true);
    DEV_BROADCAST_VOLUME volume = Volume(L"E");
    const LPARAM copy = m_handler.Defer(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
    ASSERT_NE(0, copy);
    ASSERT_NE(reinterpret_cast<LPARAM>(&volume), copy);
    volume.dbcv_unitmask = PirroControl::UnitMaskFromLetters(L"F");  // the sender's buffer is reused

    // Anyone can post the registered message: a value the handler did not hand out is not
    // read, nor freed.
    m_handler.HandleDeferred(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
    EXPECT_TRUE(m_shell.m_starts.empty());

    m_handler.HandleDeferred(DBT_DEVICEARRIVAL, copy);
    EXPECT_EQ(std::vector<std::wstring>{L"E"}, StartedLetters());
    // Handled once: the same value again is stale.
    m_handler.HandleDeferred(DBT_DEVICEARRIVAL, copy);
    EXPECT_EQ(1u, m_shell.m_starts.size());

    // A copy whose message could not be posted is given up.
    const LPARAM lost = m_handler.Defer(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
    m_handler.Discard(lost);
    EXPECT_EQ(0u, m_handler.PendingCount());
    m_handler.HandleDeferred(DBT_DEVICEARRIVAL, lost);
    EXPECT_EQ(1u, m_shell.m_starts.size());
}

TEST_F(DeviceArrivalHandler, ALauncherPathThatIsNotWholeStartsNothing)
{
    AddDrive(L'E', DRIVE_REMOVABLE, true);
    const DEV_BROADCAST_VOLUME volume = Volume(L"E");
    const std::wstring longest = L"C:\\" + std::wstring(252, L'a') + L".exe";
    ASSERT_EQ(259u, longest.size());
    const std::wstring tooLong = longest + L"x";
    const struct
    {
        const char* pszLabel;
        DWORD dwType;
        std::wstring data;  // stored with its terminator unless bCut
        bool bCut;
        bool bStarted;
    } cases[] = {
        {"longest", REG_SZ, longest, false, true},
        {"missing", REG_NONE, L"", false, false},
        {"empty", REG_SZ, L"", false, false},
        {"REG_EXPAND_SZ", REG_EXPAND_SZ, kLauncher, false, false},
        {"one character too long", REG_SZ, tooLong, false, false},
        {"too long, fills the buffer without a terminator", REG_SZ, tooLong, true, false},
        {"longer than the read buffer", REG_SZ, std::wstring(600, L'b'), false, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszLabel);
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kTolvikKey, L"InstalledPath");
        if (c.dwType != REG_NONE)
        {
            const DWORD cb = static_cast<DWORD>((c.data.size() + (c.bCut ? 0 : 1)) * sizeof(wchar_t));
            ASSERT_EQ(S_OK, Registry::WriteValue(HKEY_LOCAL_MACHINE, kTolvikKey, L"InstalledPath", c.dwType,
                                                 c.data.c_str(), cb));
        }
        m_shell.m_starts.clear();
        m_autoPlay.SetDriveRoot(25);
        Deliver(DBT_DEVICEARRIVAL, &volume);
        if (c.bStarted)
        {
            ASSERT_EQ(1u, m_shell.m_starts.size());
            EXPECT_EQ(c.data, m_shell.m_starts[0].first);
            EXPECT_EQ(L"E", m_shell.m_starts[0].second);
        }
        else
        {
            EXPECT_TRUE(m_shell.m_starts.empty());
        }
        // The player is recognised all the same: AutoPlay is refused for it.
        EXPECT_EQ(L"E:\\", m_autoPlay.GetDriveRoot());
    }
}

TEST(DeviceArrivalHandlerMembers, MissingExecutorOrAutoPlayObject)
{
    CFakeDriveTypes drives;
    drives.m_types[L'E'] = DRIVE_REMOVABLE;
    CRecordingShell shell;
    ASSERT_TRUE(PirroControl::WritePlayerFixture(L'E', L"1a2b", L"3c4d", L"SERE"));
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, kTolvikKey, L"InstalledPath", kLauncher));
    const DEV_BROADCAST_VOLUME volume = Volume(L"E");

    CFakeJukebox jukebox;
    CDeviceArrivalHandler noScsi(nullptr, drives, shell, nullptr, jukebox);
    noScsi.HandleDeferred(DBT_DEVICEARRIVAL, noScsi.Defer(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume)));
    EXPECT_TRUE(shell.m_starts.empty());

    CExecScsiEmulated scsi;
    scsi.SetInquiryResponse(4, PirroControl::InquiryResponse("Orvo", "KOVRAHD1"));
    CDeviceArrivalHandler noAutoPlay(&scsi, drives, shell, nullptr, jukebox);
    noAutoPlay.HandleDeferred(DBT_DEVICEARRIVAL,
                              noAutoPlay.Defer(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume)));
    ASSERT_EQ(1u, shell.m_starts.size());
    EXPECT_EQ(L"E", shell.m_starts[0].second);
}
}  // namespace
