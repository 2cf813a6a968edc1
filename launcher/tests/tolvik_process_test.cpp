// Tolvik.exe itself: one copy per machine, and the hand-over to the copy that runs. These tests
// start the real program, which reads the prefix's real registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "launcher/single_instance.h"
#include "launcher/tolvik_constants.h"

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
