// The demo's driver: starts Quenta.exe with the given arguments, and answers each window it
// shows with OK after the demo has photographed it. For window N it writes
// "left top right bottom" to READY_PREFIX.N and waits (up to 30 s) for DONE_PREFIX.N.
// Usage: quenta_demo_driver READY_PREFIX DONE_PREFIX QUENTA_EXE [ARGUMENTS]
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/unique_resource.h"
#include "update/client/tests/dialog_answerer.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
    {
        fwprintf(stderr, L"usage: quenta_demo_driver READY_PREFIX DONE_PREFIX QUENTA_EXE [ARGUMENTS]\n");
        return 2;
    }
    const std::wstring strReady = argv[1];
    const std::wstring strDone = argv[2];
    std::wstring strCommand = L"\"" + std::wstring(argv[3]) + L"\"";
    for (int i = 4; i < argc; ++i)
    {
        const std::wstring strArg = argv[i];
        strCommand += strArg.find(L' ') != std::wstring::npos ? L" \"" + strArg + L"\"" : L" " + strArg;
    }
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
    UniqueHandle process(pi.hProcess);
    int nWindow = 0;
    {
        CDialogAnswerer answerer(pi.dwProcessId, IDOK, [&](HWND hwnd, const CDialogAnswerer::SSeen& seen) {
            ++nWindow;
            RECT rc = {};
            ::GetWindowRect(hwnd, &rc);
            const std::wstring strReadyFile = strReady + L"." + std::to_wstring(nWindow);
            const std::wstring strDoneFile = strDone + L"." + std::to_wstring(nWindow);
            FILE* pFile = _wfopen(strReadyFile.c_str(), L"w");
            if (pFile)
            {
                fprintf(pFile, "%ld %ld %ld %ld %s\n", rc.left, rc.top, rc.right, rc.bottom,
                        seen.bConfirmation ? "confirmation" : "message");
                fclose(pFile);
            }
            for (int i = 0; i < 300 && ::GetFileAttributesW(strDoneFile.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
                ::Sleep(100);
        });
        if (::WaitForSingleObject(process.Get(), 300000) != WAIT_OBJECT_0)
        {
            ::TerminateProcess(process.Get(), 1);
            fwprintf(stderr, L"quenta_demo_driver: Quenta did not end\n");
            return 1;
        }
    }
    wprintf(L"windows answered: %d\n", nWindow);
    return 0;
}
