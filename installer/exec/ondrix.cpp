// Ondrix: starting programs of the installation, the installation's instance lock and closing the
// running device watcher and launcher, as plain functions (1 or 0) and as custom actions
// (installer status codes).
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cerrno>
#include <cwchar>
#include <string>

#include "common/custom_action.h"
#include "common/string_util.h"
#include "installer/exec/app_start.h"
#include "installer/exec/instance_lock.h"
#include "installer/exec/program_close.h"

namespace
{
const wchar_t kLogName[] = L"Ondrix";
const int kMessageLockHeld = 28000;
const int kMessageCannotSetProperty = 2839;
const wchar_t kMutexHandleProperty[] = L"MUTEX_HANDLE";
const DWORD kProgramCloseTimeoutMs = 10000;

// System code page text to wide; a null pointer stays null.
bool AnsiArgument(const char* psz, std::wstring& wide, const wchar_t*& pszWide)
{
    pszWide = nullptr;
    if (psz == nullptr)
        return true;
    const int cch = ::MultiByteToWideChar(CP_ACP, 0, psz, -1, nullptr, 0);
    if (cch <= 0)
        return false;
    wide.assign(static_cast<size_t>(cch), L'\0');
    if (::MultiByteToWideChar(CP_ACP, 0, psz, -1, &wide[0], cch) != cch)
        return false;
    wide.resize(static_cast<size_t>(cch) - 1);
    pszWide = wide.c_str();
    return true;
}

typedef bool (*PFN_START)(const wchar_t*, const wchar_t*);

template <class Fn>
int Guarded(Fn fn) noexcept
{
    try
    {
        return fn();
    }
    catch (...)
    {
        return 0;
    }
}

int StartWideArgs(PFN_START pfnStart, const wchar_t* pszProgram, const wchar_t* pszParameters) noexcept
{
    return Guarded([&] { return pfnStart(pszProgram, pszParameters) ? 1 : 0; });
}

int StartAnsiArgs(PFN_START pfnStart, const char* pszProgram, const char* pszParameters) noexcept
{
    return Guarded([&] {
        std::wstring program;
        std::wstring parameters;
        const wchar_t* pszWideProgram = nullptr;
        const wchar_t* pszWideParameters = nullptr;
        if (!AnsiArgument(pszProgram, program, pszWideProgram) ||
            !AnsiArgument(pszParameters, parameters, pszWideParameters))
            return 0;
        return pfnStart(pszWideProgram, pszWideParameters) ? 1 : 0;
    });
}

bool StartCaller(const wchar_t* p, const wchar_t* a) { return StartAsCaller(p, a); }
bool StartHigh(const wchar_t* p, const wchar_t* a) { return StartElevated(SystemStartPlatform(), p, a); }
bool StartMedium(const wchar_t* p, const wchar_t* a) { return StartAsDesktopUser(SystemStartPlatform(), p, a); }
bool StartLow(const wchar_t* p, const wchar_t* a) { return StartAtLowIntegrity(SystemStartPlatform(), p, a); }

// The folder and the program name each below MAX_PATH characters and not empty.
bool IsUsablePathPart(const std::wstring& text)
{
    return !text.empty() && text.size() < MAX_PATH;
}

// Reads a property (bTargetPath: the target path of the folder it names); when it cannot,
// logs "Failed to get data for property '<name>'" with the installer's status and returns that.
UINT ReadOrLog(CCustomAction& action, const wchar_t* pszName, std::wstring& value, bool bTargetPath = false) noexcept
{
    const UINT uStatus = bTargetPath ? action.GetTargetPath(pszName, value) : action.GetProperty(pszName, value);
    if (uStatus != ERROR_SUCCESS)
        action.LogError(uStatus, FormatString(L"Failed to get data for property '%s'", pszName));
    return uStatus;
}

UINT RunStartAction(MSIHANDLE hInstall, const wchar_t* pszActionName, PFN_START pfnStart) noexcept
{
    try
    {
        CCustomAction action;
        if (action.Initialize(hInstall, kLogName) != ERROR_SUCCESS)
        {
            // Without a session there is no log to write to; the line goes nowhere then.
            action.LogError(ERROR_INSTALL_FAILURE, FormatString(L"%s failed to initialize", pszActionName));
            return ERROR_INSTALL_FAILURE;
        }
        std::wstring folder;
        std::wstring program;
        UINT uStatus = ReadOrLog(action, L"INSTALLDIR", folder, true);
        if (uStatus == ERROR_SUCCESS)
            uStatus = ReadOrLog(action, L"LAUNCH_APPNAME", program);
        if (uStatus != ERROR_SUCCESS)
            return action.Finish(uStatus);
        if (!IsUsablePathPart(folder))
        {
            action.LogError(ERROR_INVALID_PARAMETER, L"Failed to get string length 'InstallDir'");
            return action.Finish(ERROR_INVALID_PARAMETER);
        }
        if (!IsUsablePathPart(program))
        {
            action.LogError(ERROR_INVALID_PARAMETER, L"Failed to get string length 'Application Name'");
            return action.Finish(ERROR_INVALID_PARAMETER);
        }
        std::wstring fullPath = folder;
        if (fullPath.back() != L'\\' && fullPath.back() != L'/')
            fullPath += L'\\';
        fullPath += program;

        std::wstring parameters;
        uStatus = ReadOrLog(action, L"LAUNCH_COMMAND_LINE", parameters);
        if (uStatus != ERROR_SUCCESS)
            return action.Finish(uStatus);
        // A program that does not start must not fail the installation: it is only logged.
        const bool bStarted = pfnStart(fullPath.c_str(), parameters.c_str());
        action.Log(FormatString(L"%s %s: %s %s", pszActionName, bStarted ? L"started" : L"could not start",
                                fullPath.c_str(), parameters.c_str()));
        return action.Finish(ERROR_SUCCESS);
    }
    catch (...)
    {
        return ERROR_INSTALL_FAILURE;
    }
}

UINT RunLockAction(MSIHANDLE hInstall) noexcept
{
    try
    {
        CCustomAction action;
        if (action.Initialize(hInstall, kLogName) != ERROR_SUCCESS)
        {
            action.LogError(ERROR_INSTALL_FAILURE, L"LockInstanceCA failed to initialize");
            return ERROR_INSTALL_FAILURE;
        }
        std::wstring name;
        const UINT uStatus = ReadOrLog(action, L"MUTEX_NAME", name);
        if (uStatus != ERROR_SUCCESS)
            return action.Finish(uStatus);
        HANDLE hMutex = nullptr;
        bool bHeld = false;
        LockInstance(name.c_str(), hMutex, bHeld);
        const DWORD dwLockError = ::GetLastError();
        if (hMutex == nullptr && !bHeld)
        {
            action.LogError(dwLockError, FormatString(L"Failed to create the instance lock '%s'", name.c_str()));
            return action.Finish(ERROR_INSTALL_FAILURE);
        }
        if (bHeld)
        {
            if (hMutex)
                ::CloseHandle(hMutex);
            action.Log(FormatString(L"The instance lock '%s' is held by another installation", name.c_str()));
            action.ShowError(kMessageLockHeld, ERROR_INSTALL_FAILURE);
            return action.Finish(ERROR_INSTALL_FAILURE);
        }
        if (!RememberInstanceLock(hMutex))
        {
            ::CloseHandle(hMutex);
            action.LogError(ERROR_INSTALL_FAILURE, L"Failed to record the instance lock");
            return action.Finish(ERROR_INSTALL_FAILURE);
        }
        const std::wstring value = FormatString(L"%lld", static_cast<long long>(reinterpret_cast<INT_PTR>(hMutex)));
        if (action.SetProperty(kMutexHandleProperty, value) != ERROR_SUCCESS)
        {
            ReleaseRememberedInstanceLock(hMutex);
            action.ShowError(kMessageCannotSetProperty, ERROR_INSTALL_FAILURE, kMutexHandleProperty);
            return action.Finish(ERROR_INSTALL_FAILURE);
        }
        action.Log(FormatString(L"Took the instance lock '%s'", name.c_str()));
        return action.Finish(ERROR_SUCCESS);
    }
    catch (...)
    {
        return ERROR_INSTALL_FAILURE;
    }
}

// The text of a decimal number as the lock action wrote it; 0 for anything else.
INT_PTR ParseHandleValue(const std::wstring& text)
{
    if (text.empty())
        return 0;
    wchar_t* pEnd = nullptr;
    errno = 0;
    const long long llValue = wcstoll(text.c_str(), &pEnd, 10);
    if (errno != 0 || pEnd == text.c_str() || *pEnd != L'\0')
        return 0;
    return static_cast<INT_PTR>(llValue);
}

UINT RunUnlockAction(MSIHANDLE hInstall) noexcept
{
    try
    {
        CCustomAction action;
        if (action.Initialize(hInstall, kLogName) != ERROR_SUCCESS)
        {
            action.LogError(ERROR_INSTALL_FAILURE, L"LockInstanceCA failed to initialize");
            return ERROR_INSTALL_FAILURE;
        }
        std::wstring text;
        if (action.GetProperty(kMutexHandleProperty, text) != ERROR_SUCCESS)
        {
            action.LogError(ERROR_FUNCTION_NOT_CALLED, L"Failed to get data for property 'MUTEX_HANDLE'");
            return action.Finish(ERROR_FUNCTION_NOT_CALLED);
        }
        const INT_PTR nValue = ParseHandleValue(text);
        if (nValue != 0)
        {
            // The number means something only to the process whose lock action made it; anywhere
            // else it names an unrelated object, which must stay open.
            if (ReleaseRememberedInstanceLock(reinterpret_cast<HANDLE>(nValue)))
            {
                action.SetProperty(kMutexHandleProperty, std::wstring());
                action.Log(L"Released the instance lock");
            }
            else
            {
                action.Log(FormatString(L"MUTEX_HANDLE %s is no lock this process holds; nothing closed",
                                        text.c_str()));
            }
        }
        return action.Finish(ERROR_SUCCESS);
    }
    catch (...)
    {
        return ERROR_INSTALL_FAILURE;
    }
}

typedef ProgramCloseResult (*PFN_CLOSE)(const std::wstring& name, DWORD dwTimeoutMs);

ProgramCloseResult CloseWatcherNamed(const std::wstring& program, DWORD dwTimeoutMs)
{
    return CloseWatcher(WatcherMutexName(program), dwTimeoutMs);
}

// Closes the running program named by pszProperty before its files are removed or replaced. A
// program that stays is only logged: the installer copes with a file in use its own way.
UINT RunCloseAction(MSIHANDLE hInstall, const wchar_t* pszActionName, const wchar_t* pszProperty,
                    PFN_CLOSE pfnClose) noexcept
{
    try
    {
        CCustomAction action;
        if (action.Initialize(hInstall, kLogName) != ERROR_SUCCESS)
        {
            action.LogError(ERROR_INSTALL_FAILURE, FormatString(L"%s failed to initialize", pszActionName));
            return ERROR_INSTALL_FAILURE;
        }
        std::wstring name;
        const UINT uStatus = action.GetProperty(pszProperty, name);
        if (uStatus != ERROR_SUCCESS || !IsUsablePathPart(name))
        {
            action.LogError(uStatus == ERROR_SUCCESS ? ERROR_INVALID_PARAMETER : uStatus,
                            FormatString(L"Failed to get data for property '%s'", pszProperty));
            return action.Finish(ERROR_SUCCESS);
        }
        switch (pfnClose(name, kProgramCloseTimeoutMs))
        {
        case ProgramCloseResult::NotRunning:
            action.Log(FormatString(L"%s: %s is not running", pszActionName, name.c_str()));
            break;
        case ProgramCloseResult::Closed:
            action.Log(FormatString(L"%s: closed %s", pszActionName, name.c_str()));
            break;
        case ProgramCloseResult::TimedOut:
            action.Log(FormatString(L"%s: %s still runs after %lu ms", pszActionName, name.c_str(),
                                    static_cast<unsigned long>(kProgramCloseTimeoutMs)));
            break;
        }
        return action.Finish(ERROR_SUCCESS);
    }
    catch (...)
    {
        return ERROR_INSTALL_FAILURE;
    }
}

int LockWide(const wchar_t* pszName, HANDLE* phMutex, BOOL* pbHeld) noexcept
{
    if (pszName == nullptr || phMutex == nullptr || pbHeld == nullptr)
        return 0;
    return Guarded([&] {
        HANDLE hMutex = nullptr;
        bool bHeld = false;
        if (!LockInstance(pszName, hMutex, bHeld))
            return 0;
        *phMutex = hMutex;
        *pbHeld = bHeld ? TRUE : FALSE;
        return 1;
    });
}
}  // namespace

extern "C" {
int WINAPI ExecuteApplicationA(const char* pszProgram, const char* pszParameters)
{
    return StartAnsiArgs(StartCaller, pszProgram, pszParameters);
}
int WINAPI ExecuteApplicationW(const wchar_t* pszProgram, const wchar_t* pszParameters)
{
    return StartWideArgs(StartCaller, pszProgram, pszParameters);
}
int WINAPI ExecuteApplicationWitHighIntegrityLevelA(const char* pszProgram, const char* pszParameters)
{
    return StartAnsiArgs(StartHigh, pszProgram, pszParameters);
}
int WINAPI ExecuteApplicationWitHighIntegrityLevelW(const wchar_t* pszProgram, const wchar_t* pszParameters)
{
    return StartWideArgs(StartHigh, pszProgram, pszParameters);
}
int WINAPI ExecuteApplicationWitMediumIntegrityLevelA(const char* pszProgram, const char* pszParameters)
{
    return StartAnsiArgs(StartMedium, pszProgram, pszParameters);
}
int WINAPI ExecuteApplicationWitMediumIntegrityLevelW(const wchar_t* pszProgram, const wchar_t* pszParameters)
{
    return StartWideArgs(StartMedium, pszProgram, pszParameters);
}
int WINAPI ExecuteApplicationWitLowIntegrityLevelA(const char* pszProgram, const char* pszParameters)
{
    return StartAnsiArgs(StartLow, pszProgram, pszParameters);
}
int WINAPI ExecuteApplicationWitLowIntegrityLevelW(const wchar_t* pszProgram, const wchar_t* pszParameters)
{
    return StartWideArgs(StartLow, pszProgram, pszParameters);
}

int WINAPI LockInstanceA(const char* pszName, HANDLE* phMutex, BOOL* pbHeld)
{
    return Guarded([&] {
        std::wstring name;
        const wchar_t* pszWide = nullptr;
        if (!AnsiArgument(pszName, name, pszWide))
            return 0;
        return LockWide(pszWide, phMutex, pbHeld);
    });
}
int WINAPI LockInstanceW(const wchar_t* pszName, HANDLE* phMutex, BOOL* pbHeld)
{
    return LockWide(pszName, phMutex, pbHeld);
}
int WINAPI UnLockInstance(HANDLE hMutex)
{
    return Guarded([&] { return UnlockInstance(hMutex) ? 1 : 0; });
}

UINT WINAPI ExecuteApplicationCA(MSIHANDLE hInstall)
{
    return RunStartAction(hInstall, L"ExecuteApplicationCA", StartCaller);
}
UINT WINAPI ExecuteApplicationWitHighIntegrityLevelCA(MSIHANDLE hInstall)
{
    return RunStartAction(hInstall, L"ExecuteApplicationWitHighIntegrityLevelCA", StartHigh);
}
UINT WINAPI ExecuteApplicationWitMediumIntegrityLevelCA(MSIHANDLE hInstall)
{
    return RunStartAction(hInstall, L"ExecuteApplicationWitMediumIntegrityLevelCA", StartMedium);
}
UINT WINAPI ExecuteApplicationWitLowIntegrityLevelCA(MSIHANDLE hInstall)
{
    return RunStartAction(hInstall, L"ExecuteApplicationWitLowIntegrityLevelCA", StartLow);
}
UINT WINAPI LockInstanceCA(MSIHANDLE hInstall)
{
    return RunLockAction(hInstall);
}
UINT WINAPI UnLockInstanceCA(MSIHANDLE hInstall)
{
    return RunUnlockAction(hInstall);
}
// LAUNCH_APPNAME: the watcher's program file name, which names its instance mutex.
UINT WINAPI CloseWatcherCA(MSIHANDLE hInstall)
{
    return RunCloseAction(hInstall, L"CloseWatcherCA", L"LAUNCH_APPNAME", CloseWatcherNamed);
}
// LAUNCHER_APPNAME: the launcher's application name, which names both its instance mutex and
// the property marking its main window.
UINT WINAPI CloseLauncherCA(MSIHANDLE hInstall)
{
    return RunCloseAction(hInstall, L"CloseLauncherCA", L"LAUNCHER_APPNAME", CloseLauncher);
}
}  // extern "C"
