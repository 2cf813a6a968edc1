// Measures the two costs that matter for the components: a traced method call when nothing is
// configured (every call of the update components pays it) and lines per second into a log file
// when tracing is on. Each is printed next to a baseline measured in the same run.
//   oplogsys_bench <work folder>
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "oplogsys/oplogsys.h"

namespace
{
double Now()
{
    static LARGE_INTEGER s_frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(s_frequency.QuadPart);
}

__attribute__((noinline)) long EmptyCall(long* pResult)
{
    asm volatile("" ::: "memory");
    return *pResult;
}

__attribute__((noinline)) long TracedCall(opLogSys::COutputLogSystem& system)
{
    long hr = S_OK;
    opLogSys::Fmt::CMethodLog<long> log(system, L"HttpDownloader", 1, L"CXHttpDownloader::Bench", &hr);
    asm volatile("" ::: "memory");
    return hr;
}

__attribute__((noinline)) long TracedCallBySubject()
{
    long hr = S_OK;
    opLogSys::Fmt::CMethodLog<long> log(L"BenchNoConfig", 1, L"CXHttpDownloader::Bench", &hr);
    asm volatile("" ::: "memory");
    return hr;
}

const int kLinesPerCall = 8;

__attribute__((noinline)) long TracedCallWithLines(opLogSys::COutputLogSystem& system, const wchar_t* pszSubject,
                                                    int nCall)
{
    long hr = S_OK;
    opLogSys::Fmt::CMethodLog<long> log(system, pszSubject, 1, L"CXHttpDownloader::Transfer", &hr);
    for (int i = 0; i < kLinesPerCall; ++i)
        log.Printf(L"received %d bytes of block %d from %s", 4096 + i, nCall, L"http://127.0.0.1/pkg.bin");
    return hr;
}

std::wstring FindLogFile(const std::wstring& strDir, const std::wstring& strSubject)
{
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW((strDir + strSubject + L"-*.log").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return std::wstring();
    ::FindClose(hFind);
    return strDir + fd.cFileName;
}

bool ReadAll(const std::wstring& strPath, std::string& data)
{
    // The subject's output keeps its file open until the program ends.
    HANDLE h = ::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    ::GetFileSizeEx(h, &size);
    data.resize(static_cast<size_t>(size.QuadPart));
    DWORD cbRead = 0;
    const BOOL bOk = ::ReadFile(h, &data[0], static_cast<DWORD>(data.size()), &cbRead, nullptr);
    ::CloseHandle(h);
    return bOk && cbRead == data.size();
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
    {
        fprintf(stderr, "usage: oplogsys_bench <work folder>\n");
        return 2;
    }
    std::wstring strDir = argv[1];
    if (strDir.back() != L'\\')
        strDir += L'\\';

    // 1. A traced call with no configuration against an empty call.
    const int nCalls = 20000000;
    opLogSys::COutputLogSystem& unconfigured = opLogSys::GetSubjectLogSystem(L"BenchNoConfig");
    long nSink = 0;
    double dBest[3] = {1e9, 1e9, 1e9};
    for (int nRound = 0; nRound < 3; ++nRound)
    {
        long hr = 0;
        double t0 = Now();
        for (int i = 0; i < nCalls; ++i)
            nSink += EmptyCall(&hr);
        double t1 = Now();
        for (int i = 0; i < nCalls; ++i)
            nSink += TracedCall(unconfigured);
        double t2 = Now();
        for (int i = 0; i < nCalls; ++i)
            nSink += TracedCallBySubject();
        double t3 = Now();
        dBest[0] = std::min(dBest[0], (t1 - t0) / nCalls * 1e9);
        dBest[1] = std::min(dBest[1], (t2 - t1) / nCalls * 1e9);
        dBest[2] = std::min(dBest[2], (t3 - t2) / nCalls * 1e9);
    }
    printf("empty call (baseline)                 : %7.2f ns\n", dBest[0]);
    printf("traced call, no configuration         : %7.2f ns  (%.1fx baseline, goal < 50 ns)\n", dBest[1],
           dBest[1] / dBest[0]);
    printf("traced call by subject, no config     : %7.2f ns  (%.1fx baseline)\n", dBest[2], dBest[2] / dBest[0]);

    // 2. Lines per second into a file output with tracing on, against WriteFile of the same lines
    //    (one call per line, the least any output that hands each line to the system can do).
    //    Rounds of the two alternate, so a busy machine slows both alike; the best round of each
    //    is compared, and the median of the per-round ratios is printed beside it.
    const int nRounds = 25;
    const int nCallsPerRound = 2000;
    const size_t nLinesPerRound = static_cast<size_t>(nCallsPerRound) * (kLinesPerCall + 2);
    // Process ids repeat under Wine: the tick count keeps an older run's file out of the way.
    const std::wstring strSubject =
        L"BenchFile" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(::GetTickCount());
    std::string strLog;
    std::wstring strLogPath;
    std::vector<double> logSeconds, rawSeconds;
    double dBytesPerLine = 0;
    const std::wstring strRawPath = strDir + L"raw_writefile.txt";
    for (const bool bAutoFlush : {false, true})
    {
        const std::wstring strRunSubject = strSubject + (bAutoFlush ? L"Sync" : L"");
        opLogSys::CLogSysInfo* pInfo = new opLogSys::CLogSysInfo;
        opLogSys::File::COutputLogSystemFactory* pFactory =
            new opLogSys::File::COutputLogSystemFactory(bAutoFlush, strDir);
        pInfo->SetFactory(pFactory);
        pFactory->Release();
        pInfo->GetState()->AddFilter(strRunSubject.c_str(), 0, 10);
        {
            opLogSys::COutputLogSystem system(strRunSubject.c_str(), pInfo, L"", opLogSys::kErrorLogMaxSize,
                                              opLogSys::kErrorLogTrim);
            // The first round's lines, read back, are what the baseline writes.
            for (int i = 0; i < nCallsPerRound; ++i)
                nSink += TracedCallWithLines(system, strRunSubject.c_str(), i);
            strLogPath = FindLogFile(strDir, strRunSubject);
            if (strLogPath.empty() || !ReadAll(strLogPath, strLog))
            {
                fprintf(stderr, "log file missing\n");
                return 1;
            }
            std::vector<std::pair<size_t, size_t>> lines;
            size_t nStart = 0;
            for (size_t nEnd = strLog.find("\r\n"); nEnd != std::string::npos; nEnd = strLog.find("\r\n", nStart))
            {
                lines.emplace_back(nStart, nEnd + 2 - nStart);
                nStart = nEnd + 2;
            }
            if (lines.size() != nLinesPerRound)
            {
                fprintf(stderr, "%zu lines in the log after the first round, %zu expected\n", lines.size(),
                        nLinesPerRound);
                return 1;
            }
            if (!bAutoFlush)
                dBytesPerLine = static_cast<double>(strLog.size()) / lines.size();
            HANDLE hRaw = ::CreateFileW(strRawPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            for (int nRound = 0; nRound < nRounds; ++nRound)
            {
                const double t0 = Now();
                for (int i = 0; i < nCallsPerRound; ++i)
                    nSink += TracedCallWithLines(system, strRunSubject.c_str(), i);
                const double t1 = Now();
                for (const auto& line : lines)
                {
                    DWORD cbWritten = 0;
                    ::WriteFile(hRaw, strLog.data() + line.first, static_cast<DWORD>(line.second), &cbWritten,
                                nullptr);
                }
                const double t2 = Now();
                if (!bAutoFlush)
                {
                    logSeconds.push_back(t1 - t0);
                    rawSeconds.push_back(t2 - t1);
                }
                else if (nRound == 0)
                {
                    printf("file output with autoflush (reference): %9.0f lines/s\n", nLinesPerRound / (t1 - t0));
                    break;
                }
            }
            ::CloseHandle(hRaw);
            ::DeleteFileW(strRawPath.c_str());
        }
        pInfo->Release();
        // Nothing is lost: every line of every round is in the file once the output is gone.
        ReadAll(strLogPath, strLog);
        size_t nLinesInFile = 0;
        for (size_t nPos = strLog.find("\r\n"); nPos != std::string::npos; nPos = strLog.find("\r\n", nPos + 2))
            ++nLinesInFile;
        const size_t nExpected = nLinesPerRound * (bAutoFlush ? 2 : nRounds + 1);
        if (nLinesInFile != nExpected)
        {
            fprintf(stderr, "%zu lines in the log, %zu expected\n", nLinesInFile, nExpected);
            return 1;
        }
        ::DeleteFileW(strLogPath.c_str());
    }

    std::vector<double> ratios;
    for (size_t i = 0; i < logSeconds.size(); ++i)
        ratios.push_back(rawSeconds[i] / logSeconds[i]);
    std::sort(ratios.begin(), ratios.end());
    const double dLogRate = nLinesPerRound / *std::min_element(logSeconds.begin(), logSeconds.end());
    const double dRawRate = nLinesPerRound / *std::min_element(rawSeconds.begin(), rawSeconds.end());
    printf("lines per round                       : %zu, %.1f bytes each, %d rounds\n", nLinesPerRound,
           dBytesPerLine, nRounds);
    printf("file output, tracing on               : %9.0f lines/s  (goal >= 200000)\n", dLogRate);
    printf("WriteFile of the same lines (baseline): %9.0f lines/s\n", dRawRate);
    printf("file output / WriteFile               : %7.2f  (best rounds; goal >= 0.80)\n", dLogRate / dRawRate);
    printf("file output / WriteFile, per round    : %7.2f  median, %.2f .. %.2f\n", ratios[ratios.size() / 2],
           ratios.front(), ratios.back());
    return nSink == 42 ? 3 : 0;
}
