// The demo's driver for the update client's windows. It either starts Quenta.exe with the given
// arguments, or waits for a copy that somebody else starts (the launcher, on its schedule) and
// prints that copy's command line. Each confirmation or message window is answered with OK after
// the demo has photographed it: for window N the driver writes "left top right bottom KIND" to
// READY_PREFIX.N and waits (up to 30 s) for DONE_PREFIX.N. A progress window is announced the
// same way (KIND "progress") and waited for at most 5 s; it is never pressed.
// Usage: quenta_demo_driver READY_PREFIX DONE_PREFIX QUENTA_EXE [ARGUMENTS]
//        quenta_demo_driver READY_PREFIX DONE_PREFIX --attach PROGRAM_NAME SECONDS
#include <windows.h>
#include <winternl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/unique_resource.h"
#include "update/client/tests/dialog_answerer.h"

namespace
{
// The first process whose program file name is strName (no folder), 0 when there is none.
DWORD FindProcessByName(const std::wstring& strName)
{
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || snapshot.Get() == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32W entry = {sizeof(entry)};
    for (BOOL bMore = ::Process32FirstW(snapshot.Get(), &entry); bMore; bMore = ::Process32NextW(snapshot.Get(), &entry))
    {
        if (_wcsicmp(entry.szExeFile, strName.c_str()) == 0)
            return entry.th32ProcessID;
    }
    return 0;
}

// Another process's command line, read from its process parameters.
std::wstring ReadCommandLine(HANDLE hProcess)
{
    typedef NTSTATUS(NTAPI * QueryFn)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const QueryFn pfnQuery =
        reinterpret_cast<QueryFn>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess"));
    PROCESS_BASIC_INFORMATION info = {};
    if (!pfnQuery || pfnQuery(hProcess, ProcessBasicInformation, &info, sizeof(info), nullptr) != 0)
        return std::wstring();
    PEB peb = {};
    RTL_USER_PROCESS_PARAMETERS parameters = {};
    if (!::ReadProcessMemory(hProcess, info.PebBaseAddress, &peb, sizeof(peb), nullptr) ||
        !::ReadProcessMemory(hProcess, peb.ProcessParameters, &parameters, sizeof(parameters), nullptr))
        return std::wstring();
    std::wstring strLine(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
    if (strLine.empty() ||
        !::ReadProcessMemory(hProcess, parameters.CommandLine.Buffer, &strLine[0], parameters.CommandLine.Length, nullptr))
        return std::wstring();
    return strLine;
}

std::wstring JoinCommand(int argc, wchar_t** argv, int nFirst)
{
    std::wstring strCommand = L"\"" + std::wstring(argv[nFirst]) + L"\"";
    for (int i = nFirst + 1; i < argc; ++i)
    {
        const std::wstring strArg = argv[i];
        strCommand += strArg.find(L' ') != std::wstring::npos ? L" \"" + strArg + L"\"" : L" " + strArg;
    }
    return strCommand;
}

class CWindowReporter
{
public:
    CWindowReporter(std::wstring strReady, std::wstring strDone)
        : m_strReady(std::move(strReady)), m_strDone(std::move(strDone))
    {
    }

    void Report(HWND hwnd, const char* pszKind, int nWaitTenths)
    {
        const int nWindow = ++m_nWindows;
        RECT rc = {};
        ::GetWindowRect(hwnd, &rc);
        const std::wstring strReadyFile = m_strReady + L"." + std::to_wstring(nWindow);
        const std::wstring strDoneFile = m_strDone + L"." + std::to_wstring(nWindow);
        // Written under another name and renamed, so the demo never reads half a line.
        const std::wstring strPartFile = strReadyFile + L".part";
        FILE* pFile = _wfopen(strPartFile.c_str(), L"w");
        if (pFile)
        {
            fprintf(pFile, "%ld %ld %ld %ld %s\n", rc.left, rc.top, rc.right, rc.bottom, pszKind);
            fclose(pFile);
            ::MoveFileExW(strPartFile.c_str(), strReadyFile.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
        for (int i = 0; i < nWaitTenths && ::GetFileAttributesW(strDoneFile.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
            ::Sleep(100);
    }

    int Windows() const { return m_nWindows; }

private:
    std::wstring m_strReady;
    std::wstring m_strDone;
    int m_nWindows = 0;
};
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const bool bAttach = argc == 6 && wcscmp(argv[3], L"--attach") == 0;
    if (argc < 4 || (wcscmp(argv[3], L"--attach") == 0 && !bAttach))
    {
        fwprintf(stderr, L"usage: quenta_demo_driver READY_PREFIX DONE_PREFIX QUENTA_EXE [ARGUMENTS]\n"
                         L"       quenta_demo_driver READY_PREFIX DONE_PREFIX --attach PROGRAM_NAME SECONDS\n");
        return 2;
    }
    CWindowReporter reporter(argv[1], argv[2]);
    UniqueHandle process;
    DWORD dwProcessId = 0;
    if (bAttach)
    {
        const DWORD dwDeadline = ::GetTickCount() + static_cast<DWORD>(_wtoi(argv[5])) * 1000;
        while ((dwProcessId = FindProcessByName(argv[4])) == 0 && static_cast<LONG>(::GetTickCount() - dwDeadline) < 0)
            ::Sleep(100);
        if (dwProcessId != 0)
            process.Reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, dwProcessId));
        if (!process)
        {
            fwprintf(stderr, L"quenta_demo_driver: %ls did not start within %ls s\n", argv[4], argv[5]);
            return 1;
        }
        wprintf(L"command line: %ls\n", ReadCommandLine(process.Get()).c_str());
        fflush(stdout);
    }
    else
    {
        std::wstring strCommand = JoinCommand(argc, argv, 3);
        std::vector<wchar_t> cmd(strCommand.begin(), strCommand.end());
        cmd.push_back(L'\0');
        STARTUPINFOW si = {sizeof(si)};
        PROCESS_INFORMATION pi = {};
        if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        {
            fwprintf(stderr, L"quenta_demo_driver: cannot start %ls\n", argv[3]);
            return 1;
        }
        ::CloseHandle(pi.hThread);
        process.Reset(pi.hProcess);
        dwProcessId = pi.dwProcessId;
    }
    {
        CDialogAnswerer answerer(
            dwProcessId, IDOK,
            [&](HWND hwnd, const CDialogAnswerer::SSeen& seen) {
                reporter.Report(hwnd, seen.bConfirmation ? "confirmation" : "message", 300);
            },
            [&](HWND hwnd) { reporter.Report(hwnd, "progress", 50); });
        if (::WaitForSingleObject(process.Get(), 300000) != WAIT_OBJECT_0)
        {
            if (!bAttach)
                ::TerminateProcess(process.Get(), 1);
            fwprintf(stderr, L"quenta_demo_driver: Quenta did not end\n");
            return 1;
        }
    }
    DWORD dwExit = 0;
    ::GetExitCodeProcess(process.Get(), &dwExit);
    wprintf(L"windows seen: %d; exit code %lu\n", reporter.Windows(), dwExit);
    return 0;
}
