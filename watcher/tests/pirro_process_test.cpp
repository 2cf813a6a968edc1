// The watcher program end to end: PirroEmu (Pirro with an emulated SCSI executor) runs in its
// own process against the prefix's registry, drives, process list and running object table.
// Drives are defined through Wine's mount manager; the launcher is a stand-in that records
// each start. Everything written to the prefix is removed or restored afterwards.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/com_init.h"
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "watcher/jukebox_detector.h"
#include "watcher/testing/pirro_control.h"

namespace
{
const wchar_t kUserKey[] = L"Software\\Orvo Corporation\\Velomar Launcher";
const wchar_t kTolvikKey[] = L"SOFTWARE\\Orvo Corporation\\Velomar Launcher\\TOLVIK";
const wchar_t kVid[] = L"7e57";
const wchar_t kPid[] = L"0001";
const DWORD kWaitMs = 10000;
// Long enough for a posted arrival to be handled, when nothing is expected to happen.
const DWORD kQuietMs = 1500;

// A registry value as it was before the test, put back afterwards.
class CSavedValue
{
public:
    CSavedValue(HKEY hRoot, const wchar_t* pszKey, const wchar_t* pszName)
        : m_hRoot(hRoot), m_key(pszKey), m_name(pszName)
    {
        UniqueHKey key;
        if (::RegOpenKeyExW(hRoot, pszKey, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
            return;
        DWORD cb = 0;
        if (::RegQueryValueExW(key.Get(), pszName, nullptr, &m_dwType, nullptr, &cb) != ERROR_SUCCESS)
            return;
        m_data.resize(cb);
        m_bExisted = ::RegQueryValueExW(key.Get(), pszName, nullptr, &m_dwType, m_data.data(), &cb) == ERROR_SUCCESS;
    }
    ~CSavedValue()
    {
        UniqueHKey key;
        if (::RegCreateKeyExW(m_hRoot, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(),
                              nullptr) != ERROR_SUCCESS)
            return;
        if (m_bExisted)
            ::RegSetValueExW(key.Get(), m_name.c_str(), 0, m_dwType, m_data.data(), static_cast<DWORD>(m_data.size()));
        else
            ::RegDeleteValueW(key.Get(), m_name.c_str());
    }
    void Set(DWORD dwType, const void* pData, DWORD cb)
    {
        UniqueHKey key;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(m_hRoot, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                                   key.Receive(), nullptr));
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegSetValueExW(key.Get(), m_name.c_str(), 0, dwType, static_cast<const BYTE*>(pData), cb));
    }
    void Delete()
    {
        UniqueHKey key;
        if (::RegOpenKeyExW(m_hRoot, m_key.c_str(), 0, KEY_SET_VALUE, key.Receive()) == ERROR_SUCCESS)
            ::RegDeleteValueW(key.Get(), m_name.c_str());
    }

private:
    HKEY m_hRoot;
    std::wstring m_key;
    std::wstring m_name;
    bool m_bExisted = false;
    DWORD m_dwType = REG_NONE;
    std::vector<BYTE> m_data;
};

struct LaunchRecord
{
    unsigned long long creation;
    int nArguments;
    std::string arguments;
};

class CChildProcess
{
public:
    bool Start(const std::wstring& commandLine) { return zeptest::StartProcess(commandLine, m_process, &m_dwId); }
    // True when it ended within the time.
    bool WaitForExit(DWORD dwMs) const { return ::WaitForSingleObject(m_process.Get(), dwMs) == WAIT_OBJECT_0; }
    DWORD ExitCode() const
    {
        DWORD dwCode = STILL_ACTIVE;
        ::GetExitCodeProcess(m_process.Get(), &dwCode);
        return dwCode;
    }
    void Kill()
    {
        if (m_process && !WaitForExit(0))
        {
            ::TerminateProcess(m_process.Get(), 1);
            WaitForExit(5000);
        }
    }
    DWORD Id() const { return m_dwId; }
    bool IsValid() const { return m_process.IsValid(); }

private:
    UniqueHandle m_process;
    DWORD m_dwId = 0;
};

class PirroProcess : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pRealRegistry.reset(new zeptest::CRegistrySandboxSuspension());
        m_pAutoLaunch.reset(new CSavedValue(HKEY_CURRENT_USER, kUserKey, L"AutoLaunch"));
        m_pAutoLaunch->Delete();
        m_pInstalledPath.reset(new CSavedValue(HKEY_LOCAL_MACHINE, kTolvikKey, L"InstalledPath"));

        m_dir = zeptest::TestTempDir();
        const std::wstring launcher = m_dir + L"Tolvik Stand In.exe";
        ASSERT_TRUE(::CopyFileW((zeptest::ExeDir() + L"RecordArgs.exe").c_str(), launcher.c_str(), FALSE));
        m_record = m_dir + L"Tolvik Stand In.record.txt";
        m_pInstalledPath->Set(REG_SZ, launcher.c_str(), static_cast<DWORD>((launcher.size() + 1) * sizeof(wchar_t)));

        m_inquiryMap = m_dir + L"inquiry.txt";
        ASSERT_TRUE(zeptest::WriteFileBytes(m_inquiryMap, "", 0));
        ::SetEnvironmentVariableW(L"PIRRO_EMU_INQUIRY", m_inquiryMap.c_str());
    }

    void TearDown() override
    {
        StopPirro(m_pirro);
        StopPirro(m_second);
        m_jukebox.Kill();
        for (wchar_t chLetter : m_drives)
        {
            PirroControl::RemovePlayerFixture(chLetter, kVid, kPid, Serial(chLetter));
            PirroControl::RemoveWineDrive(chLetter);
        }
        ::SetEnvironmentVariableW(L"PIRRO_EMU_INQUIRY", nullptr);
        m_pInstalledPath.reset();
        m_pAutoLaunch.reset();
        m_pRealRegistry.reset();
    }

    static std::wstring Serial(wchar_t chLetter) { return std::wstring(L"PIRROTEST") + chLetter; }

    // A drive of the given type; it may answer INQUIRY as a player and may be registered as
    // a supported USB device.
    void AddDrive(wchar_t chLetter, UINT uType, const char* pszVendor, bool bRegistered)
    {
        const std::wstring folder = m_dir + L"drive_" + chLetter;
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        m_drives.push_back(chLetter);
        ASSERT_TRUE(PirroControl::DefineWineDrive(chLetter, folder, uType));
        const wchar_t szRoot[] = {chLetter, L':', L'\\', L'\0'};
        ASSERT_EQ(uType, ::GetDriveTypeW(szRoot)) << "drive " << static_cast<char>(chLetter);
        if (bRegistered)
        {
            ASSERT_TRUE(PirroControl::WritePlayerFixture(chLetter, kVid, kPid, Serial(chLetter)));
        }
        if (pszVendor)
        {
            std::string map;
            zeptest::ReadFileBytes(m_inquiryMap, map);
            map += PirroControl::InquiryMapLine(chLetter, PirroControl::InquiryResponse(pszVendor, "KOVRAHD1")) + "\n";
            ASSERT_TRUE(zeptest::WriteFileBytes(m_inquiryMap, map.data(), map.size()));
        }
    }
    void AddPlayer(wchar_t chLetter) { AddDrive(chLetter, DRIVE_REMOVABLE, "Orvo", true); }

    void StartPirro(CChildProcess& process, const wchar_t* pszProgram = L"PirroEmu.exe")
    {
        ASSERT_TRUE(process.Start(L"\"" + zeptest::ExeDir() + pszProgram + L"\""));
    }
    // Starts the watcher and waits for its hidden window.
    void StartRunningPirro(const wchar_t* pszProgram = L"PirroEmu.exe")
    {
        StartPirro(m_pirro, pszProgram);
        ASSERT_TRUE(PirroControl::WaitForPirroWindow(m_pirro.Id(), kWaitMs, m_hwnd));
    }
    void StopPirro(CChildProcess& process)
    {
        if (!process.IsValid() || process.WaitForExit(0))
            return;
        if (HWND hwnd = PirroControl::FindPirroWindow(process.Id()))
            ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
        if (!process.WaitForExit(kWaitMs))
            process.Kill();
    }

    void Arrive(const wchar_t* pszLetters, WPARAM nEvent = DBT_DEVICEARRIVAL)
    {
        ASSERT_TRUE(PirroControl::SendVolumeEvent(m_hwnd, nEvent, PirroControl::UnitMaskFromLetters(pszLetters)));
    }

    // The stand-in's starts, oldest process first.
    std::vector<LaunchRecord> Records() const
    {
        std::vector<LaunchRecord> records;
        std::string text;
        zeptest::ReadFileBytes(m_record, text);
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line))
        {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            LaunchRecord record = {};
            const size_t tab1 = line.find('\t');
            const size_t tab2 = line.find('\t', tab1 + 1);
            if (tab1 == std::string::npos || tab2 == std::string::npos)
                continue;
            record.creation = std::stoull(line.substr(0, tab1));
            record.nArguments = std::stoi(line.substr(tab1 + 1, tab2 - tab1 - 1));
            record.arguments = line.substr(tab2 + 1);
            records.push_back(record);
        }
        std::stable_sort(records.begin(), records.end(),
                         [](const LaunchRecord& a, const LaunchRecord& b) { return a.creation < b.creation; });
        return records;
    }
    std::vector<std::string> LaunchedArguments() const
    {
        std::vector<std::string> arguments;
        for (const LaunchRecord& record : Records())
        {
            EXPECT_EQ(1, record.nArguments) << "launcher command tail: " << record.arguments;
            arguments.push_back(record.arguments);
        }
        return arguments;
    }
    // Waits for at least count starts, then a little longer for any unexpected extra one.
    std::vector<std::string> WaitForLaunches(size_t count)
    {
        const ULONGLONG start = ::GetTickCount64();
        while (Records().size() < count && ::GetTickCount64() - start < kWaitMs)
            ::Sleep(50);
        ::Sleep(500);
        return LaunchedArguments();
    }

    HRESULT AskAutoPlay(const wchar_t* pszPath)
    {
        CComInitScope com;
        HRESULT hrAnswer = E_FAIL;
        const HRESULT hr = PirroControl::AskAllowAutoPlay(pszPath, hrAnswer);
        return FAILED(hr) ? hr : hrAnswer;
    }

    std::unique_ptr<zeptest::CRegistrySandboxSuspension> m_pRealRegistry;
    std::unique_ptr<CSavedValue> m_pAutoLaunch;
    std::unique_ptr<CSavedValue> m_pInstalledPath;
    std::wstring m_dir;
    std::wstring m_record;
    std::wstring m_inquiryMap;
    std::vector<wchar_t> m_drives;
    CChildProcess m_pirro;
    CChildProcess m_second;
    CChildProcess m_jukebox;
    HWND m_hwnd = nullptr;
};

TEST_F(PirroProcess, ArrivalStartsTheLauncherForEachPlayerDriveLowestLetterFirst)
{
    AddPlayer(L'P');
    AddDrive(L'Q', DRIVE_REMOVABLE, "Other", true);  // registered ids, another device's answer
    AddPlayer(L'R');
    AddDrive(L'S', DRIVE_FIXED, "Orvo", true);        // a player's answer on a fixed drive
    AddDrive(L'U', DRIVE_REMOVABLE, "Orvo", false);   // a player's answer, ids not registered
    StartRunningPirro();
    EXPECT_FALSE(::IsWindowVisible(m_hwnd));

    Arrive(L"UTSRQP");  // T: does not exist

    EXPECT_EQ((std::vector<std::string>{"P", "R"}), WaitForLaunches(2));
    // Only the latest player's AutoPlay is refused, and only once.
    EXPECT_EQ(S_OK, AskAutoPlay(L"P:\\"));
    EXPECT_EQ(S_FALSE, AskAutoPlay(L"R:\\"));
    EXPECT_EQ(S_OK, AskAutoPlay(L"R:\\"));
    EXPECT_FALSE(::IsWindowVisible(m_hwnd));
}

TEST_F(PirroProcess, RunningJukeboxLeavesArrivalsAlone)
{
    AddPlayer(L'P');
    StartRunningPirro();

    // The jukebox under another folder and in capitals is still the jukebox.
    const std::wstring folder = m_dir + L"Jukebox\\";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW((zeptest::ExeDir() + L"RecordArgs.exe").c_str(), (folder + L"TREMBOX.EXE").c_str(), FALSE));
    ASSERT_TRUE(m_jukebox.Start(L"\"" + folder + L"TREMBOX.EXE\" --stay"));
    const ULONGLONG start = ::GetTickCount64();
    while (!CJukeboxDetector::IsJukeboxRunning() && ::GetTickCount64() - start < kWaitMs)
        ::Sleep(50);
    ASSERT_TRUE(CJukeboxDetector::IsJukeboxRunning());

    Arrive(L"P");
    ::Sleep(kQuietMs);
    EXPECT_TRUE(Records().empty());
    EXPECT_EQ(S_OK, AskAutoPlay(L"P:\\"));

    m_jukebox.Kill();
    EXPECT_FALSE(CJukeboxDetector::IsJukeboxRunning());
    Arrive(L"P");
    EXPECT_EQ(std::vector<std::string>{"P"}, WaitForLaunches(1));
}

TEST_F(PirroProcess, RemovalOtherRecordsAndForgedMessagesAreIgnored)
{
    AddPlayer(L'P');
    StartRunningPirro();

    Arrive(L"P", DBT_DEVICEREMOVECOMPLETE);
    struct
    {
        DEV_BROADCAST_DEVICEINTERFACE_W header;
        wchar_t szName[64];
    } deviceInterface = {};
    deviceInterface.header.dbcc_size = sizeof(deviceInterface);
    deviceInterface.header.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    wcscpy_s(deviceInterface.szName, L"\\\\?\\USB#VID_7E57&PID_0001#PIRROTESTP#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    ASSERT_TRUE(PirroControl::SendDeviceChange(m_hwnd, DBT_DEVICEARRIVAL, &deviceInterface));
    // Another program posting the watcher's own deferred message with a made-up record.
    const UINT msgDeferred = ::RegisterWindowMessageW(L"CPirroDlg::m_msgCustomDeviceChange");
    ASSERT_TRUE(::PostMessageW(m_hwnd, msgDeferred, DBT_DEVICEARRIVAL, 0x12345678));
    ::Sleep(kQuietMs);
    EXPECT_TRUE(Records().empty());
    ASSERT_FALSE(m_pirro.WaitForExit(0)) << "the watcher ended";

    Arrive(L"P");
    EXPECT_EQ(std::vector<std::string>{"P"}, WaitForLaunches(1));
}

TEST_F(PirroProcess, AutoLaunchDwordZeroEndsItAtOnce)
{
    const DWORD dwZero = 0;
    m_pAutoLaunch->Set(REG_DWORD, &dwZero, sizeof(dwZero));
    StartPirro(m_pirro);
    ASSERT_TRUE(m_pirro.WaitForExit(kWaitMs));
    EXPECT_EQ(0u, m_pirro.ExitCode());
    EXPECT_EQ(MK_E_UNAVAILABLE, AskAutoPlay(L"P:\\"));
}

TEST_F(PirroProcess, AutoLaunchStringZeroKeepsItRunning)
{
    m_pAutoLaunch->Set(REG_SZ, L"0", 2 * sizeof(wchar_t));
    StartRunningPirro();
    EXPECT_FALSE(m_pirro.WaitForExit(kQuietMs));
    EXPECT_FALSE(::IsWindowVisible(m_hwnd));
}

TEST_F(PirroProcess, SecondInstanceEndsAtOnceAndTheFirstKeepsWorking)
{
    AddPlayer(L'P');
    StartRunningPirro();
    StartPirro(m_second);
    ASSERT_TRUE(m_second.WaitForExit(kWaitMs));
    EXPECT_EQ(0u, m_second.ExitCode());
    EXPECT_FALSE(m_pirro.WaitForExit(0));

    Arrive(L"P");
    EXPECT_EQ(std::vector<std::string>{"P"}, WaitForLaunches(1));
}

TEST_F(PirroProcess, CloseMessageEndsItAndRevokesTheAutoPlayHandler)
{
    StartRunningPirro();
    EXPECT_EQ(S_OK, AskAutoPlay(L"P:\\"));
    ASSERT_TRUE(PirroControl::BroadcastWatcherClose());
    ASSERT_TRUE(m_pirro.WaitForExit(kWaitMs));
    EXPECT_EQ(0u, m_pirro.ExitCode());
    EXPECT_EQ(MK_E_UNAVAILABLE, AskAutoPlay(L"P:\\"));
}
TEST_F(PirroProcess, ShippedProgramAsksTheRealDeviceAndFindsNoPlayer)
{
    // Pirro.exe sends a real SCSI pass-through INQUIRY; Wine opens the volume but does not
    // support the request, so the registered drive is not taken for a player.
    AddPlayer(L'P');
    StartRunningPirro(L"Pirro.exe");
    EXPECT_FALSE(::IsWindowVisible(m_hwnd));
    Arrive(L"P");
    ::Sleep(kQuietMs);
    EXPECT_TRUE(Records().empty());
    EXPECT_EQ(S_OK, AskAutoPlay(L"P:\\"));
    ASSERT_TRUE(PirroControl::BroadcastWatcherClose());
    ASSERT_TRUE(m_pirro.WaitForExit(kWaitMs));
    EXPECT_EQ(0u, m_pirro.ExitCode());
}
}  // namespace
