// Measures the two costs that matter for the components: a traced method call when nothing is
// configured (every call of the update components pays it) and lines per second into a log file
// when tracing is on. Each is printed next to a baseline measured in the same run.
//   oplogsys_bench <work folder>
#include <windows.h>
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

    // 2. Lines per second into a file output with tracing on, against WriteFile of the same lines.
    const std::wstring strSubject = L"BenchFile" + std::to_wstring(::GetCurrentProcessId());
    opLogSys::CLogSysInfo* pInfo = new opLogSys::CLogSysInfo;
    opLogSys::File::COutputLogSystemFactory* pFactory = new opLogSys::File::COutputLogSystemFactory(false, strDir);
    pInfo->SetFactory(pFactory);
    pFactory->Release();
    pInfo->GetState()->AddFilter(strSubject.c_str(), 0, 10);
    const int nTracedCalls = 50000;
    const double dLines = static_cast<double>(nTracedCalls + 1) * (kLinesPerCall + 2);
    double dLogSeconds = 0;
    {
        opLogSys::COutputLogSystem system(strSubject.c_str(), pInfo, L"", opLogSys::kErrorLogMaxSize,
                                          opLogSys::kErrorLogTrim);
        TracedCallWithLines(system, strSubject.c_str(), -1);  // opens the file
        const double t0 = Now();
        for (int i = 0; i < nTracedCalls; ++i)
            nSink += TracedCallWithLines(system, strSubject.c_str(), i);
        dLogSeconds = Now() - t0;
    }
    pInfo->Release();
    // Without autoflush the last lines reach the file a moment later.
    ::Sleep(500);

    std::string strLog;
    const std::wstring strLogPath = FindLogFile(strDir, strSubject);
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
    const std::wstring strRawPath = strDir + L"raw_writefile.txt";
    HANDLE hRaw = ::CreateFileW(strRawPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    const double t0 = Now();
    for (const auto& line : lines)
    {
        DWORD cbWritten = 0;
        ::WriteFile(hRaw, strLog.data() + line.first, static_cast<DWORD>(line.second), &cbWritten, nullptr);
    }
    const double dRawSeconds = Now() - t0;
    ::CloseHandle(hRaw);
    ::DeleteFileW(strRawPath.c_str());
    ::DeleteFileW(strLogPath.c_str());

    // 3. For reference: with autoflush every line is written through at once.
    const std::wstring strSyncSubject = strSubject + L"Sync";
    opLogSys::CLogSysInfo* pSyncInfo = new opLogSys::CLogSysInfo;
    opLogSys::File::COutputLogSystemFactory* pSyncFactory = new opLogSys::File::COutputLogSystemFactory(true, strDir);
    pSyncInfo->SetFactory(pSyncFactory);
    pSyncFactory->Release();
    pSyncInfo->GetState()->AddFilter(strSyncSubject.c_str(), 0, 10);
    const int nSyncCalls = 5000;
    double dSyncSeconds = 0;
    {
        opLogSys::COutputLogSystem system(strSyncSubject.c_str(), pSyncInfo, L"", opLogSys::kErrorLogMaxSize,
                                          opLogSys::kErrorLogTrim);
        TracedCallWithLines(system, strSyncSubject.c_str(), -1);
        const double tSync = Now();
        for (int i = 0; i < nSyncCalls; ++i)
            nSink += TracedCallWithLines(system, strSyncSubject.c_str(), i);
        dSyncSeconds = Now() - tSync;
    }
    pSyncInfo->Release();

    const double dLogRate = lines.size() / dLogSeconds;
    const double dRawRate = lines.size() / dRawSeconds;
    printf("lines in the file (expected %.0f)     : %zu, %.1f bytes each\n", dLines, lines.size(),
           static_cast<double>(strLog.size()) / lines.size());
    printf("file output, tracing on               : %9.0f lines/s  (goal >= 200000)\n", dLogRate);
    printf("WriteFile of the same lines (baseline): %9.0f lines/s\n", dRawRate);
    printf("file output / WriteFile               : %7.2f\n", dLogRate / dRawRate);
    printf("file output with autoflush (reference): %9.0f lines/s\n", nSyncCalls * (kLinesPerCall + 2) / dSyncSeconds);
    return nSink == 42 ? 3 : 0;
}
