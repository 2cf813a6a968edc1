#include <gtest/gtest.h>
#include <shlobj.h>
#include <algorithm>

#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "oplogsys/oplogsys.h"
#include "oplogsys/tests/capture_output.h"

using namespace opLogSys;

namespace
{
// Two outputs of one subject made within the same second (retried when a second boundary falls
// between them).
void MakeTwoInOneSecond(const std::wstring& strSubject, const std::wstring& strDir, File::CFileIO*& pFirst,
                        File::CFileIO*& pSecond)
{
    for (int nAttempt = 0; nAttempt < 5; ++nAttempt)
    {
        pFirst = new File::CFileIO(strSubject.c_str(), false, strDir);
        pSecond = new File::CFileIO(strSubject.c_str(), false, strDir);
        if (pFirst->GetPath() == pSecond->GetPath())
            return;
        pFirst->Release();
        pSecond->Release();
    }
    FAIL() << "no two outputs within one second";
}
}  // namespace

TEST(FileOutputTest, NameCarriesSubjectAndTimeAndCollisionsGetNumbers)
{
    const std::wstring strDir = zeptest::TestTempDir();
    File::CFileIO* pFirst = nullptr;
    File::CFileIO* pSecond = nullptr;
    MakeTwoInOneSecond(L"ZepBackend_Library", strDir, pFirst, pSecond);
    ASSERT_NE(nullptr, pFirst);

    const std::wstring strPath = pFirst->GetPath();
    // <dir>ZepBackend_Library-YYYY-MM-DD [hh-mm-ss].log
    const std::wstring strName = strPath.substr(strDir.size());
    ASSERT_EQ(wcslen(L"ZepBackend_Library-2024-05-01 [09-30-00].log"), strName.size()) << strName;
    EXPECT_EQ(0u, strName.find(L"ZepBackend_Library-"));
    EXPECT_EQ(L" [", strName.substr(29, 2));
    EXPECT_EQ(L"].log", strName.substr(strName.size() - 5));

    EXPECT_GT(pFirst->Write(L"first"), 0);
    EXPECT_GT(pSecond->Write(L"second"), 0);
    const std::wstring strBase = strPath.substr(0, strPath.size() - 4);
    EXPECT_EQ(strBase + L"[01].log", pSecond->GetPath());

    // A third within the same second, with [02] already taken by someone else, gets [03].
    ASSERT_TRUE(zeptest::WriteFileBytes(strBase + L"[02].log", "x", 1));
    File::CFileIO* pThird = new File::CFileIO(L"ZepBackend_Library", false, strDir);
    if (pThird->GetPath() == strPath)
    {
        EXPECT_GT(pThird->Write(L"third"), 0);
        EXPECT_EQ(strBase + L"[03].log", pThird->GetPath());
    }
    pThird->Release();
    pSecond->Release();
    pFirst->Release();
    EXPECT_EQ("first", oplogtest::ReadFileText(strPath));
    EXPECT_EQ("second", oplogtest::ReadFileText(strBase + L"[01].log"));
}

TEST(FileOutputTest, LogLinesAreAnsiTextWithCrLf)
{
    const std::wstring strDir = zeptest::TestTempDir();
    const std::wstring strSubject = oplogtest::UniqueSubject(L"Ansi");
    const std::string strXml = "<C><FACTORY name=\"IOutputLogSystemFactory\" "
                               "class=\"opLogSys::File::COutputLogSystemFactory\" autoflush=\"true\" location=\"" +
                               WideToUtf8(strDir) + "\"/><FILTERLIST><FILTER subject=\"" + WideToUtf8(strSubject) +
                               "\" minLevel=\"0\" maxLevel=\"9\"/></FILTERLIST></C>";
    const std::wstring strConfig = strDir + strSubject + L".log.xml";
    ASSERT_TRUE(zeptest::WriteFileBytes(strConfig, strXml.data(), strXml.size()));
    CLogSysInfoFromXML* pInfo = new CLogSysInfoFromXML(strConfig.c_str());
    {
        COutputLogSystem system(strSubject.c_str(), pInfo, L"", kErrorLogMaxSize, kErrorLogTrim);
        long hr = E_FAIL;
        Fmt::CMethodLog<long> log(system, strSubject.c_str(), 1, L"CAnsi::Write", &hr);
        log.Printf(L"caf\x00E9 %d", 42);
    }
    pInfo->Release();

    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW((strDir + strSubject + L"-*.log").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFind);
    ::FindClose(hFind);
    const std::string strText = oplogtest::ReadFileText(strDir + fd.cFileName);
    EXPECT_EQ(std::string::npos, strText.find('\0'));
    std::vector<std::string> lines;
    size_t nStart = 0;
    for (size_t nEnd = strText.find("\r\n"); nEnd != std::string::npos; nEnd = strText.find("\r\n", nStart))
    {
        lines.push_back(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 2;
    }
    EXPECT_EQ(strText.size(), nStart) << "text after the last CR LF";
    ASSERT_EQ(3u, lines.size());
    const std::string strStampSample = "[00000000][2024/05/01(09:30:00.000)]";
    const std::wstring expected[] = {L"\x250C CAnsi::Write()", L"\x2502 caf\x00E9 42",
                                     L"\x2514 CAnsi::Write() : return 0x80004005 [-2147467259]"};
    for (size_t i = 0; i < 3; ++i)
    {
        ASSERT_GT(lines[i].size(), strStampSample.size());
        EXPECT_EQ(WideToAnsi(expected[i]), lines[i].substr(strStampSample.size()));
    }
}

TEST(FileOutputTest, WriteLineWritesUtf16)
{
    File::CFileIO* pIO = new File::CFileIO(L"Wide", false, zeptest::TestTempDir());
    pIO->WriteLine(L"ab");
    const std::wstring strPath = pIO->GetPath();
    pIO->Release();
    EXPECT_EQ(std::string("a\0b\0\r\0\n\0", 8), oplogtest::ReadFileText(strPath));
}

TEST(FileOutputTest, TextBeyondTheConversionBufferIsCutNotLost)
{
    File::CFileIO* pIO = new File::CFileIO(L"Cut", true, zeptest::TestTempDir());
    const std::wstring strLong(3000, L'y');
    EXPECT_EQ(1023, pIO->Write(strLong.c_str()));
    EXPECT_EQ(1, pIO->Write(L"\r"));
    const std::wstring strPath = pIO->GetPath();
    pIO->Release();
    EXPECT_EQ(std::string(1023, 'y') + "\r", oplogtest::ReadFileText(strPath));
}

TEST(FileOutputTest, WritesRetryTheOpenAfterAFailure)
{
    const std::wstring strDir = zeptest::TestTempDir() + L"later\\";
    ASSERT_TRUE(::CreateDirectoryW(strDir.c_str(), nullptr));
    File::CFileIO* pIO = new File::CFileIO(L"Retry", false, strDir);
    ASSERT_TRUE(::RemoveDirectoryW(strDir.c_str()));
    EXPECT_EQ(-1, pIO->Write(L"lost"));
    ASSERT_TRUE(::CreateDirectoryW(strDir.c_str(), nullptr));
    EXPECT_EQ(4, pIO->Write(L"kept"));
    const std::wstring strPath = pIO->GetPath();
    pIO->Release();
    EXPECT_EQ("kept", oplogtest::ReadFileText(strPath));
}

// With or without autoflush, a write outside a lock is in the file when the call returns, and what
// is written under a lock (a line's pieces, a block) is in it at the last Unlock or a block end.
TEST(FileOutputTest, LinesReachTheFileWhenTheyEnd)
{
    for (const bool bAutoFlush : {false, true})
    {
        SCOPED_TRACE(bAutoFlush ? "autoflush" : "no autoflush");
        File::CFileIO* pIO = new File::CFileIO(bAutoFlush ? L"Sync" : L"Plain", bAutoFlush, zeptest::TestTempDir());
        pIO->Write(L"a");
        const std::wstring strPath = pIO->GetPath();
        EXPECT_EQ("a", oplogtest::ReadFileText(strPath));
        pIO->Lock();
        pIO->Write(L"b");
        pIO->Lock();
        pIO->Write(L"c");
        pIO->Unlock();
        EXPECT_EQ("a", oplogtest::ReadFileText(strPath));
        pIO->Unlock();
        EXPECT_EQ("abc", oplogtest::ReadFileText(strPath));
        pIO->Lock();
        pIO->Write(L"d");
        pIO->Flush();  // a block end writes what it holds even while still locked
        EXPECT_EQ("abcd", oplogtest::ReadFileText(strPath));
        pIO->Unlock();

        // A block longer than the buffer is written while it is still open.
        const std::wstring strChunk(1000, L'x');
        pIO->Lock();
        for (int i = 0; i < 100; ++i)
            pIO->Write(strChunk.c_str());
        EXPECT_GE(oplogtest::ReadFileText(strPath).size(), 60000u);
        pIO->Unlock();
        EXPECT_EQ(4u + 100000u, oplogtest::ReadFileText(strPath).size());
        pIO->Release();
    }
}

TEST(FileOutputTest, ALocationTooLongForTheNameFallsBackToTheProgramFolder)
{
    // An existing folder whose path leaves no room for "<subject>-<date> [<time>].log".
    std::wstring strDir = zeptest::TestTempDir();
    while (strDir.size() < 230)
    {
        strDir += std::wstring(std::min<size_t>(30, 236 - strDir.size()), L'd') + L"\\";
        ASSERT_TRUE(::CreateDirectoryW(strDir.c_str(), nullptr)) << strDir.size();
    }
    ASSERT_EQ(strDir, File::CFileIO::ResolveLocation(strDir));

    File::CFileIO* pIO = new File::CFileIO(L"LongLocationSubject", false, strDir);
    const std::wstring strPath = pIO->GetPath();
    pIO->Release();
    const std::wstring strExeDir = GetExecutableDir();
    ASSERT_EQ(strExeDir, strPath.substr(0, strExeDir.size())) << strPath;
    EXPECT_EQ(strExeDir.size(), strPath.find(L"LongLocationSubject-")) << strPath;
    EXPECT_EQ(L".log", strPath.substr(strPath.size() - 4));
}

TEST(FileOutputTest, LocationResolution)
{
    const std::wstring strExeDir = GetExecutableDir();
    const std::wstring strTemp = zeptest::TestTempDir();
    const std::wstring strFile = strTemp + L"some.txt";
    ASSERT_TRUE(zeptest::WriteFileBytes(strFile, "x", 1));
    const std::wstring strNoBackslash = strTemp.substr(0, strTemp.size() - 1);
    struct Case
    {
        std::wstring strLocation;
        std::wstring strExpected;
    };
    const Case cases[] = {
        {L"", strExeDir},
        {L"current", strExeDir},
        {strNoBackslash, strTemp},
        {strFile, strTemp},
        {strTemp + L"missing\\folder", strExeDir},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.strExpected, File::CFileIO::ResolveLocation(c.strLocation)) << c.strLocation;

    // A relative folder below the executable is created.
    const std::wstring strRelative = L".\\oplog_rel_" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring strMade = strExeDir + strRelative.substr(2) + L"\\";
    EXPECT_EQ(strMade, File::CFileIO::ResolveLocation(strRelative));
    EXPECT_TRUE(::RemoveDirectoryW(strMade.c_str()));

    wchar_t szDesktop[MAX_PATH];
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, szDesktop)));
    EXPECT_EQ(std::wstring(szDesktop) + L"\\", File::CFileIO::ResolveLocation(L"desktop"));
}

// A killed process (or a crash) loses none of the lines it logged: each was handed to the system
// when it ended, not kept in the process.
TEST(FileOutputTest, EveryLineSurvivesTheProcessBeingKilled)
{
    const std::wstring strDir = zeptest::TestTempDir();
    const int nLines = 2000;
    const std::wstring strEvent = L"oplogsys_trace_ready_" + std::to_wstring(::GetCurrentProcessId());
    UniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, strEvent.c_str()));
    ASSERT_TRUE(ready.IsValid());
    UniqueHandle process;
    // The folder without its last backslash, which would escape the closing quote.
    const std::wstring strFolder = strDir.substr(0, strDir.size() - 1);
    ASSERT_TRUE(zeptest::StartProcess(L"\"" + zeptest::ExeDir() + L"oplogsys_trace_writer.exe\" \"" + strFolder + L"\" " +
                                          std::to_wstring(nLines) + L" " + strEvent,
                                      process));
    HANDLE waits[] = {ready.Get(), process.Get()};
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForMultipleObjects(2, waits, FALSE, 60000)) << "the writer ended or hung";
    ASSERT_TRUE(::TerminateProcess(process.Get(), 9));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.Get(), 10000));

    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW((strDir + L"Crash-*.log").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFind);
    ::FindClose(hFind);
    const std::string strText = oplogtest::ReadFileText(strDir + fd.cFileName);
    size_t nCount = 0;
    for (size_t nPos = strText.find("\r\n"); nPos != std::string::npos; nPos = strText.find("\r\n", nPos + 2))
        ++nCount;
    EXPECT_EQ(static_cast<size_t>(nLines) + 3u, nCount);  // entry, lines, block line, exit
    EXPECT_NE(std::string::npos, strText.find("line 01999\r\n"));
    EXPECT_NE(std::string::npos, strText.find("block line\r\n"));
    EXPECT_NE(std::string::npos, strText.find("CWriter::Run() : return 0x00000000 [0]\r\n"));
}
