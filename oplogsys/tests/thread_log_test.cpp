#include <gtest/gtest.h>

#include <map>
#include <thread>
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "oplogsys/oplogsys.h"
#include "oplogsys/tests/capture_output.h"

using namespace opLogSys;

namespace
{
void Traced(COutputLogSystem& system, const wchar_t* pszSubject, int nDepth, int nLines)
{
    long hr = S_OK;
    Fmt::CMethodLog<long> log(system, pszSubject, 1, L"CWorker::Step", &hr);
    if (nDepth > 1)
    {
        Traced(system, pszSubject, nDepth - 1, nLines);
        return;
    }
    for (int i = 0; i < nLines; ++i)
        log.Printf(L"line %d of a long enough text to make interleaving likely %s", i, L"..........");
}
}  // namespace

TEST(ThreadLogTest, EachThreadHasItsOwnLogOverOneOutput)
{
    oplogtest::CCaptureInfo* pInfo = new oplogtest::CCaptureInfo;
    const std::wstring strSubject = oplogtest::UniqueSubject(L"Threads");
    COutputLogSystem system(strSubject.c_str(), pInfo, L"", kErrorLogMaxSize, kErrorLogTrim);
    ILog* pMine = system.GetThreadLog();
    ILog* pMineAgain = system.GetThreadLog();
    EXPECT_EQ(pMine, pMineAgain);
    EXPECT_EQ(::GetCurrentThreadId(), pMine->GetId());
    ILog* pOther = nullptr;
    std::thread([&] { pOther = system.GetThreadLog(); }).join();
    ASSERT_NE(nullptr, pOther);
    EXPECT_NE(pMine, pOther);
    EXPECT_NE(pMine->GetId(), pOther->GetId());
    // One output for the subject, shared by both.
    EXPECT_NE(nullptr, pInfo->Factory()->IO());
    pOther->Release();
    pMineAgain->Release();
    pMine->Release();
    pInfo->Release();
}

TEST(ThreadLogTest, TwoThreadsWriteWholeLinesIntoOneFile)
{
    const std::wstring strDir = zeptest::TestTempDir();
    const std::wstring strSubject = oplogtest::UniqueSubject(L"TwoThreads");
    CLogSysInfo* pInfo = new CLogSysInfo;
    File::COutputLogSystemFactory* pFactory = new File::COutputLogSystemFactory(false, strDir);
    pInfo->SetFactory(pFactory);
    pFactory->Release();
    pInfo->GetState()->AddFilter(strSubject.c_str(), 0, 9);
    const int nLines = 2000;
    DWORD dwIds[2] = {};
    {
        COutputLogSystem system(strSubject.c_str(), pInfo, L"", kErrorLogMaxSize, kErrorLogTrim);
        // Different depths: each thread's indent is its own.
        std::thread first([&] {
            dwIds[0] = ::GetCurrentThreadId();
            Traced(system, strSubject.c_str(), 1, nLines);
        });
        std::thread second([&] {
            dwIds[1] = ::GetCurrentThreadId();
            Traced(system, strSubject.c_str(), 3, nLines);
        });
        first.join();
        second.join();
    }
    pInfo->Release();

    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW((strDir + strSubject + L"-*.log").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFind);
    ::FindClose(hFind);
    // Without autoflush the output writes the lines a moment later.
    const std::string strText = oplogtest::WaitForFileLines(strDir + fd.cFileName, 2 * nLines + 8);

    // Whatever the code page made of the bars, each line must be one thread's line, whole.
    std::map<DWORD, int> lineCounts;
    std::map<DWORD, int> nextLine;
    size_t nStart = 0;
    for (size_t nEnd = strText.find("\r\n"); nEnd != std::string::npos; nEnd = strText.find("\r\n", nStart))
    {
        const std::wstring strLine = oplogtest::FromAnsi(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 2;
        DWORD dwId = 0;
        std::wstring strRest;
        ASSERT_TRUE(oplogtest::SplitStamp(strLine, dwId, strRest)) << WideToUtf8(strLine);
        ASSERT_TRUE(dwId == dwIds[0] || dwId == dwIds[1]);
        ++lineCounts[dwId];
        const size_t nAt = strRest.find(L" line ");
        if (nAt == std::wstring::npos)
            continue;
        // The text line sits at the thread's own depth: one bar per level beyond the first,
        // then the "│ " of the method log.
        const size_t nBars = dwId == dwIds[0] ? 1 : 3;
        EXPECT_EQ(nBars, nAt) << WideToUtf8(strRest);
        EXPECT_EQ(nextLine[dwId]++, _wtoi(strRest.c_str() + nAt + 6));
        EXPECT_EQ(L"likely ..........", strRest.substr(strRest.size() - 17));
    }
    EXPECT_EQ(strText.size(), nStart);
    EXPECT_EQ(nLines + 2, lineCounts[dwIds[0]]);
    EXPECT_EQ(nLines + 6, lineCounts[dwIds[1]]);
}
