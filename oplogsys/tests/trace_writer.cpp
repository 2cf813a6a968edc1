// Helper program for the crash test: traces lines into a file output without autoflush, then
// signals the named event and waits to be killed.
//   oplogsys_trace_writer <log folder> <count> <event name>
#include <windows.h>
#include <cstdlib>
#include "oplogsys/oplogsys.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 2;
    const int nCount = _wtoi(argv[2]);
    HANDLE hReady = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    if (hReady == nullptr)
        return 3;
    opLogSys::CLogSysInfo* pInfo = new opLogSys::CLogSysInfo;
    opLogSys::File::COutputLogSystemFactory* pFactory = new opLogSys::File::COutputLogSystemFactory(false, argv[1]);
    pInfo->SetFactory(pFactory);
    pFactory->Release();
    pInfo->GetState()->AddFilter(L"Crash", 0, 10);
    // Left alive on purpose: the process is killed, nothing is torn down.
    opLogSys::COutputLogSystem* pSystem =
        new opLogSys::COutputLogSystem(L"Crash", pInfo, L"", opLogSys::kErrorLogMaxSize, opLogSys::kErrorLogTrim);
    {
        long hr = S_OK;
        opLogSys::Fmt::CMethodLog<long> log(*pSystem, L"Crash", 1, L"CWriter::Run", &hr);
        for (int i = 0; i < nCount; ++i)
            log.Printf(L"line %05d", i);
        log.BeginBlock();
        log.Printf(L"block line");
        log.EndBlock();
    }
    ::SetEvent(hReady);
    ::Sleep(INFINITE);
    return 0;
}
