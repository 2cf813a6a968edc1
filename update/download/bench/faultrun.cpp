// Fault run: downloads a large file many times from the loopback server, which cuts every
// download at random offsets; each download is resumed the way the download manager does it
// (64 KiB before the end of the partial file) until it completes. Reports how many files
// ended byte-identical and how many bytes were fetched again.
//
//   zep_faultrun.exe [downloads] [size] [seed] [folder]
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "common/unique_resource.h"
#include "update/download/tests/loopback_http_server.h"
#include "update/download/xhttp_downloader.h"

namespace
{
const DWORD kResumeOverlap = 65536;
const int kMaxAttempts = 40;

ULONGLONG FileSize(const std::wstring& strPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(strPath.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool MatchesPattern(const std::wstring& strPath, uint32_t nSeed, uint64_t ullSize)
{
    UniqueHandle file(::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    std::vector<char> actual(1 << 20), expected(1 << 20);
    uint64_t ullOffset = 0;
    for (;;)
    {
        DWORD cbRead = 0;
        if (!::ReadFile(file.Get(), actual.data(), static_cast<DWORD>(actual.size()), &cbRead, nullptr))
            return false;
        if (cbRead == 0)
            break;
        zeptest::FillPattern(nSeed, ullOffset, expected.data(), cbRead);
        if (memcmp(actual.data(), expected.data(), cbRead) != 0)
            return false;
        ullOffset += cbRead;
    }
    return ullOffset == ullSize;
}

// The cut points of the download in progress, consumed as the server reaches them.
struct SCutPlan
{
    std::mutex mutex;
    std::vector<uint64_t> cuts;  // ascending absolute offsets still to come
    std::mt19937 kind{7};        // picks orderly or resetting cuts

    bool NextCutResets()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return (kind() & 1) != 0;
    }

    int64_t CutAfter(uint64_t ullStart)
    {
        std::lock_guard<std::mutex> lock(mutex);
        while (!cuts.empty() && cuts.front() <= ullStart)
            cuts.erase(cuts.begin());
        if (cuts.empty())
            return -1;
        const uint64_t ullCut = cuts.front();
        cuts.erase(cuts.begin());
        return static_cast<int64_t>(ullCut - ullStart);
    }
};
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int nDownloads = argc > 1 ? _wtoi(argv[1]) : 100;
    const uint64_t ullSize = argc > 2 ? _wcstoui64(argv[2], nullptr, 10) : 32ULL * 1024 * 1024;
    const unsigned nSeed = argc > 3 ? static_cast<unsigned>(_wtoi(argv[3])) : 20240501u;
    std::wstring strFolder;
    if (argc > 4)
    {
        strFolder = argv[4];
    }
    else
    {
        wchar_t szTemp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH, szTemp);
        strFolder = std::wstring(szTemp) + L"zep_faultrun";
    }
    if (strFolder.back() != L'\\')
        strFolder += L'\\';
    ::CreateDirectoryW(strFolder.c_str(), nullptr);

    zeptest::CLoopbackHttpServer server;
    if (!server.Start())
    {
        fprintf(stderr, "faultrun: the loopback server did not start\n");
        return 2;
    }
    SCutPlan plan;
    std::mt19937_64 random(nSeed);

    int nIdentical = 0;
    uint64_t ullCuts = 0, ullAttempts = 0, ullRefetched = 0, ullLost = 0, ullBound = 0;
    uint64_t ullWorstRefetchPerCut = 0;
    const DWORD dwStart = ::GetTickCount();
    for (int i = 0; i < nDownloads; ++i)
    {
        const uint32_t nFileSeed = static_cast<uint32_t>(random());
        const std::string strPath = "/fault/pkg" + std::to_string(i) + ".bin";
        const int nCuts = 1 + static_cast<int>(random() % 3);
        {
            std::lock_guard<std::mutex> lock(plan.mutex);
            plan.cuts.clear();
            for (int c = 0; c < nCuts; ++c)
                plan.cuts.push_back(1 + random() % (ullSize - 1));
            std::sort(plan.cuts.begin(), plan.cuts.end());
            plan.cuts.erase(std::unique(plan.cuts.begin(), plan.cuts.end()), plan.cuts.end());
        }
        const std::vector<uint64_t> cuts = plan.cuts;
        zeptest::SRouteBehaviour route;
        route.bGenerated = true;
        route.ullSize = ullSize;
        route.nSeed = nFileSeed;
        route.pfnCutAfter = [&plan](uint64_t ullStart) { return plan.CutAfter(ullStart); };
        // Half of the cuts are resets, which may lose what was still in flight.
        route.pfnAbortiveCut = [&plan]() { return plan.NextCutResets(); };
        server.SetRoute(strPath, route);

        CXHttpDownloader downloader(0);
        downloader.SetDownloadFolder(strFolder.c_str());
        wchar_t szTarget[MAX_PATH] = {};
        const std::wstring strUrl = server.Url(strPath);
        downloader.GetDownloadPath(strUrl.c_str(), szTarget, MAX_PATH);
        ::DeleteFileW(szTarget);

        const uint64_t ullSentBefore = server.BodyBytesSent();
        HRESULT hr = E_FAIL;
        size_t nNextCut = 0;
        for (int nAttempt = 0; nAttempt < kMaxAttempts && hr != S_OK; ++nAttempt)
        {
            const ULONGLONG ullHave = FileSize(szTarget);
            const DWORD dwOffset = ullHave > kResumeOverlap ? static_cast<DWORD>(ullHave - kResumeOverlap) : 0;
            if (downloader.Initialize(L"zep faultrun", nullptr, nullptr) != S_OK)
                break;
            hr = downloader.Download(strUrl.c_str(), dwOffset);
            ++ullAttempts;
            if (hr != S_OK && nNextCut < cuts.size())
            {
                // What the server sent up to the cut but the file did not get.
                const ULONGLONG ullAfter = FileSize(szTarget);
                const uint64_t ullCut = cuts[nNextCut++];
                const uint64_t ullLostHere = ullCut > ullAfter ? ullCut - ullAfter : 0;
                ullLost += ullLostHere;
                ullBound += kResumeOverlap + ullLostHere;
                ++ullCuts;
            }
        }
        const uint64_t ullSent = server.BodyBytesSent() - ullSentBefore;
        const uint64_t ullAgain = ullSent > ullSize ? ullSent - ullSize : 0;
        ullRefetched += ullAgain;
        if (!cuts.empty())
            ullWorstRefetchPerCut = std::max<uint64_t>(ullWorstRefetchPerCut, ullAgain / cuts.size());
        const bool bIdentical = hr == S_OK && MatchesPattern(szTarget, nFileSeed, ullSize);
        nIdentical += bIdentical ? 1 : 0;
        if (!bIdentical)
            fprintf(stderr, "download %d: result 0x%08lX, not identical\n", i, static_cast<unsigned long>(hr));
        ::DeleteFileW(szTarget);
        // WinINet keeps a copy of each response in the user's internet cache.
        ::DeleteUrlCacheEntryW(strUrl.c_str());
    }
    const double dSeconds = (::GetTickCount() - dwStart) / 1000.0;
    server.Stop();
    ::RemoveDirectoryW(strFolder.c_str());

    printf("fault run: %d downloads of %llu bytes, seed %u, %.1f s\n", nDownloads,
           static_cast<unsigned long long>(ullSize), nSeed, dSeconds);
    printf("  byte-identical:        %d of %d\n", nIdentical, nDownloads);
    printf("  cuts / attempts:       %llu / %llu\n", static_cast<unsigned long long>(ullCuts),
           static_cast<unsigned long long>(ullAttempts));
    printf("  bytes fetched again:   %llu (%.1f KiB per cut, worst download %.1f KiB per cut)\n",
           static_cast<unsigned long long>(ullRefetched), ullCuts ? ullRefetched / 1024.0 / ullCuts : 0.0,
           ullWorstRefetchPerCut / 1024.0);
    printf("  bound (64 KiB + lost): %llu (of which lost in flight at the cuts: %llu)\n",
           static_cast<unsigned long long>(ullBound), static_cast<unsigned long long>(ullLost));
    const bool bGood = nIdentical == nDownloads && ullRefetched <= ullBound;
    printf("  verdict:               %s\n", bGood ? "all identical, within the bound" : "FAILED");
    return bGood ? 0 : 1;
}
