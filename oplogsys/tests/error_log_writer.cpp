// Helper program for the error log tests: writes error lines from its own process.
//   oplogsys_error_writer <error log path> <count> <tag>
#include <windows.h>
#include <cstdlib>
#include <string>
#include "oplogsys/oplogsys.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 2;
    const int nCount = _wtoi(argv[2]);
    opLogSys::CLogSysInfo* pInfo = new opLogSys::CLogSysInfo;
    {
        opLogSys::COutputLogSystem system(L"Writer", pInfo, argv[1], 1 << 30, opLogSys::kErrorLogTrim);
        for (int i = 0; i < nCount; ++i)
            system.ErrorPrintf(L"%s line %05d", argv[3], i);
    }
    pInfo->Release();
    return 0;
}
