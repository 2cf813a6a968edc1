// Servers that answer with redirects that go round in circles or lead elsewhere, with parts that
// do not say where they belong, and with heads that are not HTTP/1.x: the transfer ends, and
// never with a file of wrong bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/testing/zeptest.h"
#include "update/download/tests/download_test_util.h"
#include "update/download/tests/loopback_http_server.h"

using namespace zeptest;

namespace
{
const uint32_t kSeed = 11;
const size_t kSize = 30000;

struct SRoute
{
    std::string strPath;
    int nStatus;
    std::string strLocation;  // a redirect's Location; empty: none
    size_t nPartFrom;         // for a 206: the body is the file from here, without a Content-Range
    // For a 200: a second Content-Length, this much off the first (which is right); 0: none.
    int nOtherLength = 0;
    // Instead of "HTTP/1.1 <status> <reason>"; "": no status line at all; nullptr: the usual one.
    const char* pszStatusLine = nullptr;
};

struct SHostileCase
{
    const char* pszName;
    std::vector<SRoute> routes;  // the download starts at the first
    size_t cbExisting;           // bytes of the file already on disk (a resume from there), 0: none
    HRESULT hr;
};

std::vector<SRoute> Chain(size_t nHops)
{
    std::vector<SRoute> routes;
    for (size_t i = 0; i < nHops; ++i)
        routes.push_back({"/hop" + std::to_string(i) + "/f.bin", i % 2 ? 307 : 302,
                          "/hop" + std::to_string(i + 1) + "/f.bin", 0});
    routes.push_back({"/hop" + std::to_string(nHops) + "/f.bin", 200, "", 0});
    return routes;
}

const SHostileCase kCases[] = {
    {"redirect loop of two", {{"/a/f.bin", 302, "/b/f.bin", 0}, {"/b/f.bin", 301, "/a/f.bin", 0}}, 0, E_DL_NETWORK},
    {"redirect to itself", {{"/a/f.bin", 307, "/a/f.bin", 0}}, 0, E_DL_NETWORK},
    {"ten redirects are followed", Chain(10), 0, S_OK},
    {"eleven redirects are too many", Chain(11), 0, E_DL_NETWORK},
    {"redirect to a local file", {{"/a/f.bin", 302, "file:///C:/windows/win.ini", 0}}, 0, E_DL_NETWORK},
    {"redirect to ftp", {{"/a/f.bin", 302, "ftp://127.0.0.1:1/f.bin", 0}}, 0, E_DL_NETWORK},
    {"redirect without a location", {{"/a/f.bin", 302, "", 0}}, 0, E_DL_NETWORK},
    {"resumed through a redirect", {{"/a/f.bin", 308, "/b/f.bin", 0}, {"/b/f.bin", 200, "", 0}}, 20000, S_OK},
    {"part without a Content-Range to a request without a range", {{"/a/f.bin", 206, "", 1000}}, 0,
     E_DL_NETWORK},
    {"part without a Content-Range to a resumed request", {{"/a/f.bin", 206, "", 5000}}, 1000, E_DL_NETWORK},
    {"two lengths, the first too short", {{"/a/f.bin", 200, "", 0, -100}}, 0, E_DL_NETWORK},
    {"two lengths, the first too long", {{"/a/f.bin", 200, "", 0, 100}}, 0, E_DL_NETWORK},
    // WinINet makes each of these an HTTP/0.9 answer whose body is the whole answer, head included.
    {"no status line", {{"/a/f.bin", 200, "", 0, 0, ""}}, 0, E_DL_NETWORK},
    {"status line in lower case", {{"/a/f.bin", 200, "", 0, 0, "http/1.1 200 ok"}}, 0, E_DL_NETWORK},
    {"status line after a blank", {{"/a/f.bin", 200, "", 0, 0, " HTTP/1.1 200 OK"}}, 0, E_DL_NETWORK},
    // WinINet passes these versions through.
    {"version 9.9", {{"/a/f.bin", 200, "", 0, 0, "HTTP/9.9 200 OK"}}, 0, E_DL_NETWORK},
    {"version without a number", {{"/a/f.bin", 200, "", 0, 0, "HTTP/ 200 OK"}}, 0, E_DL_NETWORK},
    {"an HTTP/1.0 answer", {{"/a/f.bin", 200, "", 0, 0, "HTTP/1.0 200 OK"}}, 0, S_OK},
};

class DownloaderHostileServerTest : public ::testing::TestWithParam<SHostileCase>
{
};

TEST_P(DownloaderHostileServerTest, Case)
{
    const SHostileCase& c = GetParam();
    CLoopbackHttpServer server;
    ASSERT_TRUE(server.Start());
    for (const SRoute& r : c.routes)
    {
        SRouteBehaviour route;
        route.nStatus = r.nStatus;
        if (r.nStatus == 200)
        {
            route.bGenerated = true;
            route.ullSize = kSize;
            route.nSeed = kSeed;
            if (r.nOtherLength != 0)
            {
                // The wrong one first: what WinINet reads the body by.
                route.bSendContentLength = false;
                route.extraHeaders = {"Content-Length: " + std::to_string(kSize + r.nOtherLength),
                                      "Content-Length: " + std::to_string(kSize)};
            }
        }
        else if (r.nStatus == 206)
        {
            route.strBody = PatternString(kSeed, r.nPartFrom, kSize - r.nPartFrom);
        }
        else
        {
            route.strBody = "moved";
        }
        if (r.pszStatusLine != nullptr && *r.pszStatusLine == '\0')
            route.bSendStatusLine = false;
        else if (r.pszStatusLine != nullptr)
            route.strStatusLine = r.pszStatusLine;
        if (!r.strLocation.empty())
            route.extraHeaders.push_back("Location: " + r.strLocation);
        server.SetRoute(r.strPath, route);
    }
    const std::wstring strPath = TestTempDir() + L"f.bin";
    ::DeleteFileW(strPath.c_str());
    const std::string strBefore = PatternString(kSeed, 0, c.cbExisting);
    if (c.cbExisting != 0)
    {
        ASSERT_TRUE(WriteFileBytes(strPath, strBefore.data(), strBefore.size()));
    }

    // On a thread of its own, so that a transfer that never ends fails the test instead of
    // holding it up.
    CNotificationRecorder recorder;
    CTestDownloader downloader(1);
    downloader.SetTimeouts(2000, 2000);
    downloader.SetCallback(&CNotificationRecorder::Callback, recorder.Context());
    ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
    downloader.SetDownloadFolder(TestTempDir().c_str());
    ASSERT_EQ(S_OK, downloader.Download(server.Url(c.routes[0].strPath).c_str(), static_cast<DWORD>(c.cbExisting)));
    const bool bEnded = downloader.WaitForTransfer(15000);
    EXPECT_TRUE(bEnded) << "the transfer is still running";
    if (!bEnded)
    {
        server.Stop();  // WinINet gives up once nobody answers
        downloader.WaitForTransfer(INFINITE);
    }
    EXPECT_EQ(c.hr, recorder.EndResult());
    EXPECT_EQ(1u, recorder.Count(eMsgDownloadEnd));
    if (SUCCEEDED(c.hr))
        EXPECT_TRUE(ReadWholeFile(strPath) == PatternString(kSeed, 0, kSize)) << "file differs";
    else
        EXPECT_TRUE(ReadWholeFile(strPath) == strBefore) << "file was changed";
    if (c.cbExisting != 0 && SUCCEEDED(c.hr))
    {
        const std::vector<SRecordedRequest> requests = server.Requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ("bytes=" + std::to_string(c.cbExisting) + "-", requests.back().Header("range"));
    }
    server.Stop();
}

INSTANTIATE_TEST_SUITE_P(Table, DownloaderHostileServerTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SHostileCase>& info) {
                             return TestName(info.param.pszName);
                         });
}  // namespace
