// Tolvik.exe itself: one copy per machine, and the hand-over to the copy that runs. These tests
// start the real program, which reads the prefix's real registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/registry.h"
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "launcher/single_instance.h"
#include "launcher/tolvik_constants.h"
#include "launcher/update_client.h"
#include "launcher/settings/app_entry.h"
#include "launcher/settings/settings_registry.h"

namespace
{
struct CChild
{
    UniqueHandle process;
    DWORD dwPid = 0;
};

bool Start(const std::wstring& arguments, CChild& child)
{
    std::wstring cmd = L"\"" + zeptest::ExeDir() + L"Tolvik.exe\"";
    if (!arguments.empty())
        cmd += L" " + arguments;
    return zeptest::StartProcess(cmd, child.process, &child.dwPid);
}

void PumpFor(DWORD dwMs)
{
    const ULONGLONG ullEnd = ::GetTickCount64() + dwMs;
    while (::GetTickCount64() < ullEnd)
    {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

// Waits for the process while this thread keeps answering the messages it is sent.
bool WaitForExit(const CChild& child, DWORD dwTimeoutMs, DWORD& dwExitCode)
{
    const ULONGLONG ullEnd = ::GetTickCount64() + dwTimeoutMs;
    HANDLE h = child.process.Get();
    for (;;)
    {
        const ULONGLONG ullNow = ::GetTickCount64();
        if (ullNow >= ullEnd)
            break;
        const DWORD dw = ::MsgWaitForMultipleObjects(1, &h, FALSE, static_cast<DWORD>(ullEnd - ullNow), QS_ALLINPUT);
        if (dw == WAIT_OBJECT_0)
        {
            ::GetExitCodeProcess(h, &dwExitCode);
            return true;
        }
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    ::TerminateProcess(h, 0xDEAD);
    ::WaitForSingleObject(h, 5000);
    return false;
}

HWND MakeTopLevel(const wchar_t* pszTitle, HWND hwndOwner = nullptr)
{
    HWND hwnd = ::CreateWindowExW(0, L"STATIC", pszTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200,
                                  hwndOwner, nullptr, nullptr, nullptr);
    EXPECT_NE(nullptr, hwnd);
    return hwnd;
}

// Values of the prefix's real machine registry, put back as they were (or removed) on
// destruction. Only for tests that hold the prefix to themselves.
class CRealValueBackup
{
public:
    void Save(const std::wstring& key, const wchar_t* pszName)
    {
        zeptest::CRegistrySandboxSuspension real;
        Saved saved{key, pszName ? pszName : L"", pszName == nullptr, {}, REG_NONE, false};
        saved.bExisted =
            SUCCEEDED(Registry::ReadValue(HKEY_LOCAL_MACHINE, key.c_str(), pszName, saved.data, saved.dwType));
        m_saved.push_back(saved);
    }
    ~CRealValueBackup()
    {
        zeptest::CRegistrySandboxSuspension real;
        for (const Saved& saved : m_saved)
        {
            const wchar_t* pszName = saved.bDefault ? nullptr : saved.name.c_str();
            if (saved.bExisted)
                Registry::WriteValue(HKEY_LOCAL_MACHINE, saved.key.c_str(), pszName, saved.dwType, saved.data.data(),
                                     static_cast<DWORD>(saved.data.size()));
            else
                ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, saved.key.c_str(), pszName);
        }
    }

private:
    struct Saved
    {
        std::wstring key;
        std::wstring name;
        bool bDefault;
        std::vector<BYTE> data;
        DWORD dwType;
        bool bExisted;
    };
    std::vector<Saved> m_saved;
};

LONGLONG UnixNow()
{
    FILETIME ft = {};
    ::GetSystemTimeAsFileTime(&ft);
    const ULONGLONG ull = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<LONGLONG>(ull / 10000000ULL) - 11644473600LL;
}

// This process plays the running launcher: it holds the name.
class CRunningCopy
{
public:
    CRunningCopy() : m_mutex(::CreateMutexW(nullptr, TRUE, TOLVIK_MUTEX_NAME)), m_dwError(::GetLastError()) {}
    bool IsFirst() const { return m_mutex.IsValid() && m_dwError != ERROR_ALREADY_EXISTS; }

private:
    UniqueHandle m_mutex;
    DWORD m_dwError;
};
}  // namespace

TEST(TolvikProcess, SecondCopyRestoresTheMinimisedWindowAndEnds)
{
    CRunningCopy running;
    ASSERT_TRUE(running.IsFirst());
    HWND hwnd = MakeTopLevel(L"running launcher");
    ::SetPropW(hwnd, TOLVIK_APP_NAME, reinterpret_cast<HANDLE>(1));
    ::ShowWindow(hwnd, SW_MINIMIZE);
    PumpFor(200);
    ASSERT_TRUE(::IsIconic(hwnd));

    CChild second;
    ASSERT_TRUE(Start(L"F:", second));
    DWORD dwExit = 1;
    ASSERT_TRUE(WaitForExit(second, 20000, dwExit)) << "the second copy must end by itself";
    EXPECT_EQ(0u, dwExit);
    PumpFor(200);
    EXPECT_FALSE(::IsIconic(hwnd));
    ::DestroyWindow(hwnd);
}

TEST(TolvikProcess, SecondCopyActivatesTheLastActivePopup)
{
    CRunningCopy running;
    ASSERT_TRUE(running.IsFirst());
    HWND hwnd = MakeTopLevel(L"running launcher");
    ::SetPropW(hwnd, TOLVIK_APP_NAME, reinterpret_cast<HANDLE>(1));
    HWND hwndPopup = MakeTopLevel(L"its settings dialog", hwnd);
    ::SetForegroundWindow(hwndPopup);
    PumpFor(200);
    HWND hwndOther = MakeTopLevel(L"something else");
    ::SetForegroundWindow(hwndOther);
    PumpFor(300);
    ASSERT_EQ(hwndPopup, ::GetLastActivePopup(hwnd));
    ASSERT_NE(hwndPopup, ::GetForegroundWindow());

    CChild second;
    ASSERT_TRUE(Start(L"", second));
    DWORD dwExit = 1;
    ASSERT_TRUE(WaitForExit(second, 20000, dwExit));
    PumpFor(300);
    EXPECT_EQ(hwndPopup, ::GetForegroundWindow());
    ::DestroyWindow(hwndOther);
    ::DestroyWindow(hwndPopup);
    ::DestroyWindow(hwnd);
}

TEST(TolvikProcess, SecondCopyWithoutAWindowToActivateEndsSilently)
{
    // The first copy is still starting: it holds the name but has not marked its window.
    CRunningCopy running;
    ASSERT_TRUE(running.IsFirst());
    CChild second;
    ASSERT_TRUE(Start(L"F:", second));
    DWORD dwExit = 1;
    ASSERT_TRUE(WaitForExit(second, 20000, dwExit));
    EXPECT_EQ(0u, dwExit);
    EXPECT_EQ(nullptr, CSingleInstance::FindMarkedWindow(TOLVIK_APP_NAME));
}

TEST(TolvikProcess, FirstCopyShowsItsWindowKeepsOthersOutAndClosesCleanly)
{
    // The program writes its window placement into the real user profile: put it back after.
    std::vector<BYTE> saved;
    DWORD dwSavedType = 0;
    bool bHadPlacement = false;
    {
        zeptest::CRegistrySandboxSuspension real;
        DWORD cb = 0;
        if (::RegGetValueW(HKEY_CURRENT_USER, TOLVIK_PROFILE_KEY, L"102", RRF_RT_ANY, &dwSavedType, nullptr, &cb) ==
            ERROR_SUCCESS)
        {
            saved.resize(cb);
            bHadPlacement = ::RegGetValueW(HKEY_CURRENT_USER, TOLVIK_PROFILE_KEY, L"102", RRF_RT_ANY, &dwSavedType,
                                           saved.data(), &cb) == ERROR_SUCCESS;
        }
    }

    CChild first;
    ASSERT_TRUE(Start(L"F:", first));
    HWND hwnd = nullptr;
    for (int i = 0; i < 200 && hwnd == nullptr; ++i)
    {
        PumpFor(100);
        HWND hwndFound = CSingleInstance::FindMarkedWindow(TOLVIK_APP_NAME);
        DWORD dwPid = 0;
        if (hwndFound != nullptr)
            ::GetWindowThreadProcessId(hwndFound, &dwPid);
        if (dwPid == first.dwPid && ::IsWindowVisible(hwndFound))
            hwnd = hwndFound;
    }
    ASSERT_NE(nullptr, hwnd) << "the launcher window did not appear";
    wchar_t szTitle[64] = {};
    ::GetWindowTextW(hwnd, szTitle, 64);
    EXPECT_STREQ(TOLVIK_APP_NAME, szTitle);
    RECT rcClient = {};
    ::GetClientRect(hwnd, &rcClient);
    EXPECT_EQ(600, rcClient.right);
    EXPECT_EQ(290, rcClient.bottom);

    CChild second;
    ASSERT_TRUE(Start(L"F:", second));
    DWORD dwExit = 1;
    ASSERT_TRUE(WaitForExit(second, 20000, dwExit));
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(first.process.Get(), 0)) << "the first copy keeps running";

    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitForExit(first, 20000, dwExit)) << "the launcher did not close";
    EXPECT_EQ(0u, dwExit);
    EXPECT_EQ(nullptr, CSingleInstance::FindMarkedWindow(TOLVIK_APP_NAME));

    zeptest::CRegistrySandboxSuspension real;
    DWORD cb = 0;
    EXPECT_EQ(ERROR_SUCCESS,
              ::RegGetValueW(HKEY_CURRENT_USER, TOLVIK_PROFILE_KEY, L"102", RRF_RT_REG_BINARY, nullptr, nullptr, &cb));
    EXPECT_EQ(sizeof(WINDOWPLACEMENT), cb);
    if (bHadPlacement)
        ::RegSetKeyValueW(HKEY_CURRENT_USER, TOLVIK_PROFILE_KEY, L"102", dwSavedType, saved.data(),
                          static_cast<DWORD>(saved.size()));
    else
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, TOLVIK_PROFILE_KEY, L"102");
}

TEST(TolvikProcess, DueCheckStartsTheUpdateClientHiddenWithItsArguments)
{
    // The update client stands beside the "installed" launcher: a recorder that writes its
    // command line to Quenta.exe.txt.
    const std::wstring folder = zeptest::TestTempDir() + L"Velomar";
    const std::wstring clientFolder = folder + L"\\UpdateChecker";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(clientFolder.c_str(), nullptr));
    const std::wstring client = clientFolder + L"\\Quenta.exe";
    ASSERT_TRUE(::CopyFileW((zeptest::ExeDir() + L"tolvik_arg_recorder.exe").c_str(), client.c_str(), FALSE));

    CRealValueBackup backup;
    backup.Save(TOLVIK_KEY, ZEP_INSTALLED_PATH_VALUE);
    backup.Save(TOLVIK_VERSION_KEY, nullptr);
    for (const wchar_t* pszName : {L"UpdateStart", L"UpdateFrequency", L"UpdateTime"})
        backup.Save(LAUNCHER_UPDATE_KEY, pszName);
    bool bJukeboxDone = false;
    {
        zeptest::CRegistrySandboxSuspension real;
        ASSERT_HRESULT_SUCCEEDED(Registry::WriteString(HKEY_LOCAL_MACHINE, TOLVIK_KEY, ZEP_INSTALLED_PATH_VALUE,
                                                       folder + L"\\Tolvik.exe"));
        ASSERT_HRESULT_SUCCEEDED(Registry::WriteString(HKEY_LOCAL_MACHINE, TOLVIK_VERSION_KEY, nullptr, L"2.1.0.00300"));
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, LAUNCHER_UPDATE_KEY, L"UpdateStart");
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, LAUNCHER_UPDATE_KEY, L"UpdateTime");
        ASSERT_HRESULT_SUCCEEDED(Registry::WriteDword(HKEY_LOCAL_MACHINE, LAUNCHER_UPDATE_KEY, L"UpdateFrequency", 0));
        bJukeboxDone = RegistryKeyExists(TOLVIK_JUKEBOX_DONE_KEY);
    }

    const LONGLONG llBefore = UnixNow();
    CChild tolvik;
    ASSERT_TRUE(Start(L"F:", tolvik));
    std::string recorded;
    for (int i = 0; i < 300 && recorded.empty(); ++i)
    {
        PumpFor(100);
        zeptest::ReadFileBytes(client + L".txt", recorded);
    }
    const LONGLONG llAfter = UnixNow();
    ASSERT_FALSE(recorded.empty()) << "the update client was not started";

    // The whole command line: the client's path as the shell quotes it, then our text unchanged.
    const std::wstring commandLine = Utf8ToWide(recorded.substr(0, recorded.find('\n')));
    const std::wstring expected = CUpdateClient::BuildArguments(true, !bJukeboxDone, L"2.1.0.00300");
    EXPECT_EQ(L"\"" + client + L"\" " + expected, commandLine);
    EXPECT_EQ(0u, expected.find(L" /M AUTO  /C PA001 /S VLFW /N \"QX-B417\" /E 0.00 /F UPDATE /C PP001 /S "));

    HWND hwnd = nullptr;
    for (int i = 0; i < 100 && hwnd == nullptr; ++i)
    {
        hwnd = CSingleInstance::FindMarkedWindow(TOLVIK_APP_NAME);
        if (hwnd == nullptr)
            PumpFor(100);
    }
    ASSERT_NE(nullptr, hwnd);
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    DWORD dwExit = 1;
    ASSERT_TRUE(WaitForExit(tolvik, 20000, dwExit)) << "the launcher did not close";

    zeptest::CRegistrySandboxSuspension real;
    std::vector<BYTE> data;
    DWORD dwType = REG_NONE;
    ASSERT_HRESULT_SUCCEEDED(Registry::ReadValue(HKEY_LOCAL_MACHINE, LAUNCHER_UPDATE_KEY, L"UpdateTime", data, dwType));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), dwType);
    ASSERT_EQ(8u, data.size());
    LONGLONG llStored = 0;
    memcpy(&llStored, data.data(), sizeof(llStored));
    EXPECT_GE(llStored, llBefore);
    EXPECT_LE(llStored, llAfter);
}
