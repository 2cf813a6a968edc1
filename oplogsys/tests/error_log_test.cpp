#include <gtest/gtest.h>

#include <map>
#include <string>
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "oplogsys/oplogsys.h"
#include "oplogsys/tests/capture_output.h"

using namespace opLogSys;

namespace
{
std::vector<std::string> SplitLines(const std::string& strText)
{
    std::vector<std::string> lines;
    size_t nStart = 0;
    for (size_t nEnd = strText.find("\r\n"); nEnd != std::string::npos; nEnd = strText.find("\r\n", nStart))
    {
        lines.push_back(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 2;
    }
    EXPECT_EQ(strText.size(), nStart) << "partial last line";
    return lines;
}

// "[YYYY/MM/DD hh:mm:ss][pid] " stripped; false when the stamp is malformed.
bool SplitErrorStamp(const std::string& strLine, DWORD& dwPid, std::string& strText)
{
    if (strLine.size() < 23 || strLine[0] != '[' || strLine[20] != ']' || strLine[21] != '[')
        return false;
    const size_t nClose = strLine.find("] ", 22);
    if (nClose == std::string::npos)
        return false;
    dwPid = strtoul(strLine.substr(22, nClose - 22).c_str(), nullptr, 16);
    strText = strLine.substr(nClose + 2);
    return true;
}

std::string NumberedLines(size_t cbTotal)
{
    std::string strData;
    for (int i = 0; strData.size() < cbTotal; ++i)
    {
        char szLine[64];
        // Lines of varying length so that the cut point is not a round number.
        snprintf(szLine, sizeof(szLine), "line %05d %.*s\r\n", i, i % 23, "abcdefghijklmnopqrstuvwxyz");
        strData += szLine;
    }
    return strData.substr(0, cbTotal);
}

// The longest tail that starts at a line start and fits in cbMax bytes.
std::string ExpectedTail(const std::string& strData, size_t cbMax)
{
    size_t nStart = 0;
    while (strData.size() - nStart > cbMax)
        nStart = strData.find("\r\n", nStart) + 2;
    return strData.substr(nStart);
}

std::wstring ErrorPath(const wchar_t* pszName)
{
    return zeptest::TestTempDir() + pszName;
}
}  // namespace

TEST(ErrorLogTest, TrimKeepsTheLastWholeLinesThatFit)
{
    struct Case
    {
        const char* pszLabel;
        size_t cbBefore;
    };
    const std::string strNewLine = "last line\r\n";
    const Case cases[] = {
        {"70 000 bytes", 70000 - strNewLine.size()},
        {"exactly the maximum is left alone", 65536 - strNewLine.size()},
        {"one byte over", 65537 - strNewLine.size()},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszLabel);
        const std::wstring strPath = ErrorPath(L"trim.log");
        std::string strBefore = NumberedLines(c.cbBefore);
        // The generated text may end inside a line; end it properly so the file is whole lines.
        strBefore.replace(strBefore.size() - 2, 2, "\r\n");
        ASSERT_TRUE(zeptest::WriteFileBytes(strPath, strBefore.data(), strBefore.size()));
        COutputErrorLogIO* pIO = new COutputErrorLogIO(strPath.c_str(), 65536, 1);
        pIO->WriteLine(L"last line");
        pIO->Release();
        const std::string strAfter = oplogtest::ReadFileText(strPath);
        const std::string strAll = strBefore + strNewLine;
        EXPECT_LE(strAfter.size(), 65536u);
        EXPECT_EQ(ExpectedTail(strAll, 65536), strAfter);
        ::DeleteFileW(strPath.c_str());
    }
}

TEST(ErrorLogTest, WithoutTrimTheFullFileMovesAside)
{
    const std::wstring strPath = ErrorPath(L"aside.log");
    const std::string strBefore = NumberedLines(70000);
    ASSERT_TRUE(zeptest::WriteFileBytes(strPath, strBefore.data(), strBefore.size()));
    ASSERT_TRUE(zeptest::WriteFileBytes(strPath + L".bak", "old", 3));
    ASSERT_TRUE(::SetFileAttributesW((strPath + L".bak").c_str(), FILE_ATTRIBUTE_READONLY));
    COutputErrorLogIO* pIO = new COutputErrorLogIO(strPath.c_str(), 65536, 0);
    pIO->Write(L"x");
    pIO->Release();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(strPath.c_str()));
    EXPECT_EQ(strBefore + "x", oplogtest::ReadFileText(strPath + L".bak"));
}

TEST(ErrorLogTest, ErrorLinesGoToTheErrorLogWhateverTheConfiguration)
{
    const std::wstring strPath = ErrorPath(L"COMMONDWONLOADER.log");
    CLogSysInfo* pInfo = new CLogSysInfo;  // no filters, no output
    {
        COutputLogSystem system(L"ZepErr", pInfo, strPath.c_str(), kErrorLogMaxSize, kErrorLogTrim);
        system.ErrorPrintf(L"open failed 0x%08X", 0x80070005);
        system.ErrorAt(123, 0, L"CX::Open", L"denied");
        long hr = E_FAIL;
        Fmt::CMethodLog<long> log(system, L"ZepErr", 1, L"CX::Open", &hr);
        log.ErrorPrintfAt(7, 0, L"src", L"code %d", 5);
    }
    pInfo->Release();

    const auto lines = SplitLines(oplogtest::ReadFileText(strPath));
    ASSERT_EQ(6u, lines.size());
    std::vector<std::string> texts;
    for (const std::string& strLine : lines)
    {
        DWORD dwPid = 0;
        std::string strText;
        ASSERT_TRUE(SplitErrorStamp(strLine, dwPid, strText)) << strLine;
        EXPECT_EQ(::GetCurrentProcessId(), dwPid);
        texts.push_back(strText);
    }
    EXPECT_EQ(std::string(79, '-'), texts[0]);
    EXPECT_EQ(WideToAnsi(zeptest::ExeDir()), texts[1].substr(0, texts[1].find_last_of('\\') + 1));
    EXPECT_EQ(std::string(79, '-'), texts[2]);
    EXPECT_EQ("open failed 0x80070005", texts[3]);
    EXPECT_EQ("00123:[CX::Open] denied", texts[4]);
    EXPECT_EQ("00007:[src] code 5", texts[5]);
}

TEST(ErrorLogTest, MethodErrorsAlsoReachTheTrace)
{
    oplogtest::CCaptureInfo* pInfo = new oplogtest::CCaptureInfo;
    const std::wstring strSubject = oplogtest::UniqueSubject(L"ErrTrace");
    pInfo->AddFilter(strSubject.c_str(), 0, 5);
    const std::wstring strPath = ErrorPath(L"trace.log");
    {
        COutputLogSystem system(strSubject.c_str(), pInfo, strPath.c_str(), kErrorLogMaxSize, kErrorLogTrim);
        Fmt::CSimpleMethodLog log(system, strSubject.c_str(), 1, L"CX::Run");
        log.Error(L"bad thing");
    }
    const auto lines = pInfo->Factory()->IO()->Lines();
    ASSERT_EQ(3u, lines.size());
    DWORD dwId = 0;
    std::wstring strText;
    ASSERT_TRUE(oplogtest::SplitStamp(lines[1], dwId, strText));
    EXPECT_EQ(L"\x2502 bad thing", strText);
    pInfo->Release();
    const std::string strFile = oplogtest::ReadFileText(strPath);
    EXPECT_NE(std::string::npos, strFile.find("] bad thing\r\n"));
}

TEST(ErrorLogTest, NoPathWritesNothing)
{
    CLogSysInfo* pInfo = new CLogSysInfo;
    COutputLogSystem system(L"NoPath", pInfo, L"", kErrorLogMaxSize, kErrorLogTrim);
    EXPECT_EQ(S_FALSE, system.WriteError(L"nowhere"));
    pInfo->Release();
}

TEST(ErrorLogTest, BannerOncePerProcessAndFile)
{
    const std::wstring strShared = ErrorPath(L"shared.log");
    const std::wstring strOther = ErrorPath(L"other.log");
    CLogSysInfo* pInfo = new CLogSysInfo;
    {
        COutputLogSystem first(L"First", pInfo, strShared.c_str(), kErrorLogMaxSize, kErrorLogTrim);
        COutputLogSystem second(L"Second", pInfo, strShared.c_str(), kErrorLogMaxSize, kErrorLogTrim);
        COutputLogSystem other(L"Other", pInfo, strOther.c_str(), kErrorLogMaxSize, kErrorLogTrim);
        first.WriteError(L"a");
        second.WriteError(L"b");
        first.WriteError(L"c");
        other.WriteError(L"d");
    }
    pInfo->Release();
    EXPECT_EQ(3u + 3u, SplitLines(oplogtest::ReadFileText(strShared)).size());
    EXPECT_EQ(3u + 1u, SplitLines(oplogtest::ReadFileText(strOther)).size());

    // Another process writes its own banner into the same file.
    DWORD dwExit = 1;
    ASSERT_TRUE(zeptest::RunProcess(L"\"" + zeptest::ExeDir() + L"oplogsys_error_writer.exe\" \"" + strShared +
                                        L"\" 2 child",
                                    30000, dwExit));
    EXPECT_EQ(0u, dwExit);
    EXPECT_EQ(6u + 3u + 2u, SplitLines(oplogtest::ReadFileText(strShared)).size());
}

TEST(ErrorLogTest, TwoProcessesAppendWithoutLoss)
{
    const std::wstring strPath = ErrorPath(L"two.log");
    const int nLines = 300;
    const wchar_t* tags[] = {L"alpha", L"omega"};
    UniqueHandle processes[2];
    for (int i = 0; i < 2; ++i)
    {
        const std::wstring strCommand = L"\"" + zeptest::ExeDir() + L"oplogsys_error_writer.exe\" \"" + strPath + L"\" " +
                                  std::to_wstring(nLines) + L" " + tags[i];
        ASSERT_TRUE(zeptest::StartProcess(strCommand, processes[i]));
    }
    for (auto& process : processes)
    {
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.Get(), 60000));
        DWORD dwExit = 1;
        ::GetExitCodeProcess(process.Get(), &dwExit);
        EXPECT_EQ(0u, dwExit);
    }

    std::map<std::string, std::vector<int>> seen;
    std::map<DWORD, int> banners;
    for (const std::string& strLine : SplitLines(oplogtest::ReadFileText(strPath)))
    {
        DWORD dwPid = 0;
        std::string strText;
        ASSERT_TRUE(SplitErrorStamp(strLine, dwPid, strText)) << strLine;
        if (strText == std::string(79, '-'))
        {
            ++banners[dwPid];
            continue;
        }
        const size_t nSpace = strText.find(" line ");
        if (nSpace == std::string::npos)
            continue;  // the executable path of a banner
        seen[strText.substr(0, nSpace)].push_back(atoi(strText.c_str() + nSpace + 6));
    }
    ASSERT_EQ(2u, seen.size());
    for (auto& item : seen)
    {
        ASSERT_EQ(static_cast<size_t>(nLines), item.second.size()) << item.first;
        for (int i = 0; i < nLines; ++i)
            EXPECT_EQ(i, item.second[i]) << item.first;
    }
    ASSERT_EQ(2u, banners.size());
    for (auto& item : banners)
        EXPECT_EQ(2, item.second);
}

TEST(ErrorLogTest, AWriterHoldingTheFileTooLongCostsTheLineNotTheProgram)
{
    const std::wstring strPath = ErrorPath(L"held.log");
    struct SHolder
    {
        std::wstring strMutex;
        HANDLE hHeld;
        HANDLE hRelease;
    } holder = {COutputErrorLogIO::MutexName(strPath), ::CreateEventW(nullptr, TRUE, FALSE, nullptr),
                ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle held(holder.hHeld);
    UniqueHandle release(holder.hRelease);
    // Another writer of the same file, stuck while it holds the file's mutex.
    UniqueHandle holderThread(::CreateThread(
        nullptr, 0,
        [](void* pParam) -> DWORD {
            auto* p = static_cast<SHolder*>(pParam);
            UniqueHandle mutex(::CreateMutexW(nullptr, TRUE, p->strMutex.c_str()));
            ::SetEvent(p->hHeld);
            ::WaitForSingleObject(p->hRelease, INFINITE);
            ::ReleaseMutex(mutex.Get());
            return 0;
        },
        &holder, 0, nullptr));
    ASSERT_TRUE(holderThread.IsValid());
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(held.Get(), 10000));

    CLogSysInfo* pInfo = new CLogSysInfo;
    {
        COutputLogSystem system(L"Held", pInfo, strPath.c_str(), kErrorLogMaxSize, kErrorLogTrim);
        struct SWriter
        {
            COutputLogSystem* pSystem;
        } writer = {&system};
        UniqueHandle writerThread(::CreateThread(
            nullptr, 0,
            [](void* pParam) -> DWORD {
                static_cast<SWriter*>(pParam)->pSystem->WriteError(L"dropped");
                return 0;
            },
            &writer, 0, nullptr));
        ASSERT_TRUE(writerThread.IsValid());
        const DWORD dwStart = ::GetTickCount();
        const DWORD dwWait = ::WaitForSingleObject(writerThread.Get(), 4 * COutputErrorLogIO::kDefaultWaitMs);
        EXPECT_EQ(WAIT_OBJECT_0, dwWait) << "the writer waits without end for the other holder";
        EXPECT_GE(::GetTickCount() - dwStart + 100, COutputErrorLogIO::kDefaultWaitMs) << "it waited for a while";
        ::SetEvent(release.Get());
        ::WaitForSingleObject(writerThread.Get(), INFINITE);
        ::WaitForSingleObject(holderThread.Get(), INFINITE);

        system.WriteError(L"kept");
    }
    pInfo->Release();
    const std::string strFile = oplogtest::ReadFileText(strPath);
    EXPECT_EQ(std::string::npos, strFile.find("dropped")) << strFile;
    EXPECT_NE(std::string::npos, strFile.find("] kept\r\n")) << strFile;
}
