#include <gtest/gtest.h>

#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "update/download/tests/download_test_util.h"
#include "update/download/tests/loopback_http_server.h"

using namespace zeptest;

namespace
{
const uint32_t kSeed = 42;
const size_t kSize = 200000;

struct SResumeCase
{
    const char* pszName;
    size_t cbExisting;       // bytes of the right content already in the file (npos: no file)
    size_t cbGarbageTail;    // wrong bytes behind them (to be dropped)
    DWORD dwOffset;
    bool bHonourRange;
    bool bRangeWithoutTotal;
    const char* pszContentRange;  // forced Content-Range, or nullptr
    // Expectations.
    const char* pszRangeSent;  // nullptr: no Range header
    HRESULT hr;
    DWORD dwFirstProgressMin;  // the count starts here (resume offset, or 0)
};

const SResumeCase kCases[] = {
    {"resume at the offset", 100000, 0, 100000, true, false, nullptr, "bytes=100000-", S_OK, 100000},
    {"bytes behind the offset are dropped", 100000, 50000, 100000, true, false, nullptr, "bytes=100000-", S_OK, 100000},
    {"offset beyond the file restarts", 1000, 0, 5000, true, false, nullptr, nullptr, S_OK, 0},
    {"no file restarts", std::string::npos, 0, 100, true, false, nullptr, nullptr, S_OK, 0},
    {"server ignoring the range restarts", 100000, 0, 100000, false, false, nullptr, "bytes=100000-", S_OK, 0},
    {"206 without a total", 100000, 0, 100000, true, true, nullptr, "bytes=100000-", S_OK, 100000},
    {"offset 0 empties the file", 0, 300000, 0, true, false, nullptr, nullptr, S_OK, 0},
    {"part starting elsewhere is refused", 100000, 0, 100000, true, false, "bytes 0-199999/200000",
     "bytes=100000-", E_DL_NETWORK, 0},
    // Without a total the start still decides: these bytes belong at 0, not at the offset.
    {"part without a total starting elsewhere is refused", 100000, 0, 100000, true, false, "bytes 0-99999",
     "bytes=100000-", E_DL_NETWORK, 0},
    {"part without a start is refused", 100000, 0, 100000, true, false, "bytes */200000", "bytes=100000-",
     E_DL_NETWORK, 0},
};

class DownloaderResumeTest : public ::testing::TestWithParam<SResumeCase>
{
};

TEST_P(DownloaderResumeTest, Case)
{
    const SResumeCase& c = GetParam();
    CLoopbackHttpServer server;
    ASSERT_TRUE(server.Start());
    SRouteBehaviour route;
    route.bGenerated = true;
    route.ullSize = kSize;
    route.nSeed = kSeed;
    route.bHonourRange = c.bHonourRange;
    route.bRangeWithoutTotal = c.bRangeWithoutTotal;
    if (c.pszContentRange)
        route.strContentRange = c.pszContentRange;
    server.SetRoute("/f/pkg.bin", route);

    const std::wstring strPath = TestTempDir() + L"pkg.bin";
    std::string strBefore;
    if (c.cbExisting != std::string::npos)
    {
        strBefore = PatternString(kSeed, 0, c.cbExisting) + std::string(c.cbGarbageTail, 'G');
        ASSERT_TRUE(WriteFileBytes(strPath, strBefore.data(), strBefore.size()));
    }

    CNotificationRecorder recorder;
    CTestDownloader downloader(0);
    downloader.SetCallback(&CNotificationRecorder::Callback, recorder.Context());
    ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
    downloader.SetDownloadFolder(TestTempDir().c_str());
    EXPECT_EQ(c.hr, downloader.Download(server.Url("/f/pkg.bin").c_str(), c.dwOffset));
    EXPECT_EQ(c.hr, recorder.EndResult());
    EXPECT_EQ(1u, recorder.Count(eMsgDownloadEnd));

    const std::vector<SRecordedRequest> requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(c.pszRangeSent != nullptr, requests[0].HasHeader("range"));
    if (c.pszRangeSent)
    {
        EXPECT_EQ(c.pszRangeSent, requests[0].Header("range"));
    }

    if (SUCCEEDED(c.hr))
    {
        EXPECT_TRUE(ReadWholeFile(strPath) == PatternString(kSeed, 0, kSize)) << "file differs";
        EXPECT_EQ(kSize, recorder.First(eMsgDownloadSize));
        const DWORD_PTR first = recorder.First(eMsgDownloadProgress);
        EXPECT_GT(first, c.dwFirstProgressMin);
        EXPECT_LE(first, c.dwFirstProgressMin + 16384);
        EXPECT_EQ(kSize, recorder.Last(eMsgDownloadProgress));
    }
    else
    {
        EXPECT_TRUE(ReadWholeFile(strPath) == strBefore) << "file was changed";
    }
    server.Stop();
}

INSTANTIATE_TEST_SUITE_P(Table, DownloaderResumeTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SResumeCase>& info) {
                             return TestName(info.param.pszName);
                         });
}  // namespace

namespace
{
// Offsets are unsigned: a resume beyond 2 GiB asks for the right range (a signed format would
// send "bytes=-..." and ask for the file's tail instead). The partial file is sparse.
TEST(DownloaderResumeBeyond2GiB, RangeIsUnsigned)
{
    const DWORD dwOffset = 0xC0000000;
    CLoopbackHttpServer server;
    ASSERT_TRUE(server.Start());
    SRouteBehaviour route;
    route.bGenerated = true;
    route.ullSize = static_cast<uint64_t>(dwOffset) + 1000;
    route.nSeed = kSeed;
    server.SetRoute("/big/pkg.bin", route);

    const std::wstring strPath = TestTempDir() + L"pkg.bin";
    {
        UniqueHandle file(::CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file.IsValid());
        LARGE_INTEGER size = {};
        size.QuadPart = dwOffset;
        ASSERT_TRUE(::SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(file.Get()));
    }

    CNotificationRecorder recorder;
    CTestDownloader downloader(0);
    downloader.bFakeFreeSpace = true;  // the check counts the whole length
    downloader.ullFreeBytes = 1ULL << 40;
    downloader.SetCallback(&CNotificationRecorder::Callback, recorder.Context());
    ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
    downloader.SetDownloadFolder(TestTempDir().c_str());
    EXPECT_EQ(S_OK, downloader.Download(server.Url("/big/pkg.bin").c_str(), dwOffset));
    ASSERT_EQ(1u, server.Requests().size());
    EXPECT_EQ("bytes=3221225472-", server.Requests()[0].Header("range"));
    EXPECT_EQ(static_cast<DWORD_PTR>(dwOffset) + 1000, recorder.First(eMsgDownloadSize));
    EXPECT_EQ(static_cast<DWORD_PTR>(dwOffset) + 1000, recorder.Last(eMsgDownloadProgress));

    UniqueHandle file(::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.IsValid());
    LARGE_INTEGER size = {};
    ASSERT_TRUE(::GetFileSizeEx(file.Get(), &size));
    EXPECT_EQ(static_cast<LONGLONG>(dwOffset) + 1000, size.QuadPart);
    LARGE_INTEGER position = {};
    position.QuadPart = dwOffset;
    ASSERT_TRUE(::SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN));
    std::string strTail(1000, '\0');
    DWORD cbRead = 0;
    ASSERT_TRUE(::ReadFile(file.Get(), &strTail[0], 1000, &cbRead, nullptr));
    EXPECT_TRUE(strTail == PatternString(kSeed, dwOffset, 1000));
    file.Reset();
    ::DeleteFileW(strPath.c_str());
    server.Stop();
}
}  // namespace

namespace
{
// The server's file became shorter than the partial one (another package under the same name):
// the range cannot be satisfied, so the file is fetched again from its start, once.
TEST(DownloaderResumeNotSatisfiable, StartsAgainFromZeroOnce)
{
    struct SCase
    {
        const char* pszName;
        bool bAlways416;  // a server that answers 416 even without a range
        HRESULT hr;
    };
    const SCase cases[] = {
        {"shorter file on the server", false, S_OK},
        {"416 again without a range", true, E_DL_NETWORK},
    };
    const uint32_t kOldSeed = 1, kNewSeed = 2;
    const size_t kOldSize = 200000, kNewSize = 50000;
    const DWORD dwOffset = kOldSize - 65536;
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        CLoopbackHttpServer server;
        ASSERT_TRUE(server.Start());
        SRouteBehaviour route;
        route.bGenerated = true;
        route.ullSize = kNewSize;
        route.nSeed = kNewSeed;
        if (c.bAlways416)
        {
            route.nStatus = 416;
            route.bGenerated = false;
            route.strContentRange = "bytes */50000";
        }
        server.SetRoute("/pkg.bin", route);
        const std::wstring strPath = TestTempDir() + L"pkg.bin";
        const std::string strOld = PatternString(kOldSeed, 0, kOldSize);
        ASSERT_TRUE(WriteFileBytes(strPath, strOld.data(), strOld.size()));

        CNotificationRecorder recorder;
        CTestDownloader downloader(0);
        downloader.SetCallback(&CNotificationRecorder::Callback, recorder.Context());
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        downloader.SetDownloadFolder(TestTempDir().c_str());
        EXPECT_EQ(c.hr, downloader.Download(server.Url("/pkg.bin").c_str(), dwOffset));
        EXPECT_EQ(c.hr, recorder.EndResult());
        EXPECT_EQ(1u, recorder.Count(eMsgDownloadEnd));

        const std::vector<SRecordedRequest> requests = server.Requests();
        ASSERT_EQ(2u, requests.size());
        EXPECT_EQ("bytes=" + std::to_string(dwOffset) + "-", requests[0].Header("range"));
        EXPECT_FALSE(requests[1].HasHeader("range"));
        if (SUCCEEDED(c.hr))
        {
            EXPECT_TRUE(ReadWholeFile(strPath) == PatternString(kNewSeed, 0, kNewSize)) << "file differs";
            EXPECT_EQ(kNewSize, recorder.First(eMsgDownloadSize));
            EXPECT_LE(recorder.First(eMsgDownloadProgress), 16384u);
        }
        else
        {
            EXPECT_TRUE(ReadWholeFile(strPath) == strOld) << "file was changed";
        }
        server.Stop();
    }
}

// A cancel seen once the length is known, during a resume: the partial file stays as it was,
// ready for the next attempt.
TEST(DownloaderResumeCancel, CancelAtTheSizeKeepsThePartialFile)
{
    CLoopbackHttpServer server;
    ASSERT_TRUE(server.Start());
    SRouteBehaviour route;
    route.bGenerated = true;
    route.ullSize = kSize;
    route.nSeed = kSeed;
    server.SetRoute("/f/pkg.bin", route);
    const std::wstring strPath = TestTempDir() + L"pkg.bin";
    const std::string strBefore = PatternString(kSeed, 0, 100000) + std::string(1000, 'G');
    ASSERT_TRUE(WriteFileBytes(strPath, strBefore.data(), strBefore.size()));

    CNotificationRecorder recorder;
    CTestDownloader downloader(0);
    recorder.onNotify = [&](const SNotification& n) {
        if (n.dwCode == eMsgDownloadSize)
            downloader.Cancel();
    };
    downloader.SetCallback(&CNotificationRecorder::Callback, recorder.Context());
    ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
    downloader.SetDownloadFolder(TestTempDir().c_str());
    EXPECT_EQ(E_DL_CANCELED, downloader.Download(server.Url("/f/pkg.bin").c_str(), 100000));
    EXPECT_EQ(E_DL_CANCELED, recorder.EndResult());
    EXPECT_EQ(kSize, recorder.First(eMsgDownloadSize));
    EXPECT_EQ(0u, recorder.Count(eMsgDownloadProgress));
    EXPECT_TRUE(ReadWholeFile(strPath) == strBefore) << "file was changed";
    server.Stop();
}
}  // namespace
