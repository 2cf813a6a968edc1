#include "installer/exec/app_start.h"

#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "common/unique_resource.h"

namespace
{
bool IsVistaOrLater()
{
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&info))
        return false;
#pragma GCC diagnostic pop
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 6;
}

bool IsAdministrator()
{
    return ::IsUserAnAdmin() != FALSE;
}

FARPROC FindCreateProcessWithToken()
{
    HMODULE hAdvapi = ::GetModuleHandleW(L"advapi32.dll");
    return hAdvapi ? ::GetProcAddress(hAdvapi, "CreateProcessWithTokenW") : nullptr;
}

typedef BOOL(WINAPI* PFN_CREATE_PROCESS_WITH_TOKEN)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                                    LPSTARTUPINFOW, LPPROCESS_INFORMATION);

// Program and parameters must be given, and not both be empty.
bool HasCommand(const wchar_t* pszProgram, const wchar_t* pszParameters)
{
    return pszProgram != nullptr && pszParameters != nullptr && (*pszProgram != L'\0' || *pszParameters != L'\0');
}

// CreateProcess may write into the command line.
std::vector<wchar_t> Writable(const std::wstring& text)
{
    std::vector<wchar_t> buffer(text.begin(), text.end());
    buffer.push_back(L'\0');
    return buffer;
}

void CloseProcessHandles(PROCESS_INFORMATION& pi)
{
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
}
}  // namespace

const StartPlatform& SystemStartPlatform()
{
    static const StartPlatform platform = {IsVistaOrLater, IsAdministrator, FindCreateProcessWithToken};
    return platform;
}

bool JoinCommandLine(const wchar_t* pszProgram, const wchar_t* pszParameters, std::wstring& commandLine)
{
    commandLine.clear();
    if (!HasCommand(pszProgram, pszParameters))
        return false;
    const bool bQuote = pszProgram[0] != L'"' && wcschr(pszProgram, L' ') != nullptr;
    commandLine.reserve(wcslen(pszProgram) + wcslen(pszParameters) + 4);
    if (bQuote)
        commandLine.append(L"\"").append(pszProgram).append(L"\"");
    else
        commandLine.append(pszProgram);
    commandLine.append(L" ").append(pszParameters);
    return true;
}

bool StartAsCaller(const wchar_t* pszProgram, const wchar_t* pszParameters)
{
    std::wstring commandLine;
    if (!JoinCommandLine(pszProgram, pszParameters, commandLine))
        return false;
    std::vector<wchar_t> buffer = Writable(commandLine);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseProcessHandles(pi);
    return true;
}

bool StartElevated(const StartPlatform& platform, const wchar_t* pszProgram, const wchar_t* pszParameters)
{
    if (!HasCommand(pszProgram, pszParameters))
        return false;
    if (!platform.pfnIsVistaOrLater())
        return StartAsCaller(pszProgram, pszParameters);
    SHELLEXECUTEINFOW sei = {};
    sei.cbSize = sizeof(sei);
    sei.lpVerb = L"runas";
    sei.lpFile = pszProgram;
    sei.lpParameters = pszParameters;
    sei.nShow = SW_HIDE;
    // The shell would otherwise report a missing program in a message box, which no one answers
    // in an unattended installation.
    sei.fMask = SEE_MASK_FLAG_NO_UI;
    return ::ShellExecuteExW(&sei) != FALSE;
}

bool StartAsDesktopUser(const StartPlatform& platform, const wchar_t* pszProgram, const wchar_t* pszParameters)
{
    if (!HasCommand(pszProgram, pszParameters))
        return false;
    const auto pfnCreateWithToken =
        platform.pfnIsVistaOrLater() && platform.pfnIsAdministrator()
            ? reinterpret_cast<PFN_CREATE_PROCESS_WITH_TOKEN>(platform.pfnFindCreateProcessWithToken())
            : nullptr;
    if (pfnCreateWithToken == nullptr)
        return StartAsCaller(pszProgram, pszParameters);

    // The shell runs as the user at the desktop, at that user's own (not elevated) level.
    HWND hShell = ::GetShellWindow();
    if (hShell == nullptr)
        return false;
    DWORD dwShellPid = 0;
    ::GetWindowThreadProcessId(hShell, &dwShellPid);
    UniqueHandle shellProcess(::OpenProcess(MAXIMUM_ALLOWED, FALSE, dwShellPid));
    if (!shellProcess)
        return false;
    UniqueHandle shellToken;
    if (!::OpenProcessToken(shellProcess.Get(), MAXIMUM_ALLOWED, shellToken.Receive()))
        return false;
    UniqueHandle primaryToken;
    if (!::DuplicateTokenEx(shellToken.Get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary,
                            primaryToken.Receive()))
        return false;

    std::wstring commandLine;
    JoinCommandLine(pszProgram, pszParameters, commandLine);
    std::vector<wchar_t> buffer = Writable(commandLine);
    wchar_t* pEnvironment = ::GetEnvironmentStringsW();
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    const BOOL bCreated = pfnCreateWithToken(primaryToken.Get(), 0, nullptr, buffer.data(),
                                             CREATE_UNICODE_ENVIRONMENT, pEnvironment, nullptr, &si, &pi);
    if (pEnvironment)
        ::FreeEnvironmentStringsW(pEnvironment);
    if (!bCreated)
        return false;
    CloseProcessHandles(pi);
    return true;
}

bool StartAtLowIntegrity(const StartPlatform& platform, const wchar_t* pszProgram, const wchar_t* pszParameters)
{
    if (!HasCommand(pszProgram, pszParameters))
        return false;
    if (!platform.pfnIsVistaOrLater())
        return StartAsCaller(pszProgram, pszParameters);

    UniqueHandle ownToken;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_ADJUST_DEFAULT | TOKEN_QUERY |
                                                       TOKEN_ASSIGN_PRIMARY,
                            ownToken.Receive()))
        return false;
    UniqueHandle lowToken;
    if (!::DuplicateTokenEx(ownToken.Get(), 0, nullptr, SecurityImpersonation, TokenPrimary, lowToken.Receive()))
        return false;
    SID_IDENTIFIER_AUTHORITY mandatoryAuthority = SECURITY_MANDATORY_LABEL_AUTHORITY;
    BYTE lowSid[SECURITY_MAX_SID_SIZE];
    if (!::InitializeSid(lowSid, &mandatoryAuthority, 1))
        return false;
    *::GetSidSubAuthority(lowSid, 0) = SECURITY_MANDATORY_LOW_RID;
    TOKEN_MANDATORY_LABEL label = {};
    label.Label.Attributes = SE_GROUP_INTEGRITY;
    label.Label.Sid = lowSid;
    if (!::SetTokenInformation(lowToken.Get(), TokenIntegrityLevel, &label,
                               sizeof(label) + ::GetLengthSid(lowSid)))
        return false;

    std::wstring commandLine;
    JoinCommandLine(pszProgram, pszParameters, commandLine);
    std::vector<wchar_t> buffer = Writable(commandLine);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessAsUserW(lowToken.Get(), nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &si, &pi))
        return false;
    CloseProcessHandles(pi);
    return true;
}
