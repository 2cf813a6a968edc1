#include <gtest/gtest.h>

#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "update/download/download_file_name.h"
#include "update/download/tests/download_test_util.h"

using namespace zeptest;

namespace
{
struct SNameCase
{
    const wchar_t* pszUrl;
    HRESULT hr;
    const wchar_t* pszName;
};

TEST(DownloadFileName, DerivedFromTheUrlsLastSegment)
{
    const std::wstring strLong100(100, L'n');
    const std::wstring strUrlLong = L"http://h/d/" + strLong100.substr(0, 90) + L"0123456789";
    const std::wstring strTail80 = (strLong100.substr(0, 90) + L"0123456789").substr(20);
    const SNameCase cases[] = {
        {L"http://h/dir/file.zip", S_OK, L"file.zip"},
        {L"http://h/dir/", S_OK, L"unknown"},
        {L"http://h", S_OK, L"unknown"},  // canonical form "http://h/"
        {L"http://h/f.zip?x=1", S_OK, L"f.zip_x=1"},
        {L"http://h/a:b?.bin", S_OK, L"a_b_.bin"},
        {L"http://h/%2A%3B%25%2C;x.y", S_OK, L"_____x.y"},
        // The canonical form escapes unsafe characters again, and the escape's "%" is replaced.
        {L"http://h/my%20file%3C", S_OK, L"my_20file_3C"},
        {L"http://h/dir%5Cinner.bin", S_OK, L"inner.bin"},
        {L"file.zip", E_DL_BAD_TARGET, L""},
        {L"", E_INVALIDARG, L""},
        {strUrlLong.c_str(), S_OK, strTail80.c_str()},
    };
    for (const SNameCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "URL " << WideToUtf8(c.pszUrl));
        std::wstring strName;
        EXPECT_EQ(c.hr, DeriveDownloadFileName(c.pszUrl, strName));
        EXPECT_EQ(std::wstring(c.pszName), strName);
    }
    EXPECT_EQ(80u, strTail80.size());
}

TEST(DownloadFileName, SafeNameReplacesOnlyTheTrailingSpace)
{
    EXPECT_EQ(L"a b_", MakeSafeFileName(L"a b "));
    EXPECT_EQ(L" a", MakeSafeFileName(L" a"));
    EXPECT_EQ(L"svc_1_", MakeSafeFileName(L"svc:1?"));
}

// Windows opens a device for these names in any folder; the package would vanish.
TEST(DownloadFileName, DeviceNamesGetAnUnderscore)
{
    const struct
    {
        const wchar_t* pszName;
        const wchar_t* pszSafe;
    } cases[] = {
        {L"nul", L"_nul"},
        {L"NUL", L"_NUL"},
        {L"con.bin", L"_con.bin"},
        {L"Con.tar.gz", L"_Con.tar.gz"},
        {L"aux", L"_aux"},
        {L"prn.log", L"_prn.log"},
        {L"COM1", L"_COM1"},
        {L"com9.txt", L"_com9.txt"},
        {L"LPT1.zip", L"_LPT1.zip"},
        {L"lpt9", L"_lpt9"},
        {L"COM\u00b9", L"_COM\u00b9"},
        {L"conin$", L"_conin$"},
        {L"CONOUT$.txt", L"_CONOUT$.txt"},
        // Blanks and dots after the name do not make it another name for Windows.
        {L"con .txt", L"_con .txt"},
        {L"nul.", L"_nul."},
        {L"aux..x", L"_aux..x"},
        // Not devices.
        {L"COM0", L"COM0"},
        {L"COM10", L"COM10"},
        {L"LPT", L"LPT"},
        {L"console.bin", L"console.bin"},
        {L"x.con", L"x.con"},
        {L"_nul", L"_nul"},
        {L"nul ", L"nul_"},  // the trailing blank is replaced first
        {L"auxiliary", L"auxiliary"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.pszName));
        EXPECT_EQ(std::wstring(c.pszSafe), MakeSafeFileName(c.pszName));
    }
    std::wstring strName;
    EXPECT_EQ(S_OK, DeriveDownloadFileName(L"http://h/d/LPT1.zip", strName));
    EXPECT_EQ(L"_LPT1.zip", strName);
    EXPECT_EQ(S_OK, DeriveDownloadFileName(L"http://h/d/n%75l", strName));
    EXPECT_EQ(L"_nul", strName);
}

class DownloadPathTest : public ::testing::Test
{
protected:
    std::wstring PathFor(CXHttpDownloader& downloader, const wchar_t* pszUrl, HRESULT hrExpected = S_OK)
    {
        wchar_t szPath[MAX_PATH] = {};
        EXPECT_EQ(hrExpected, downloader.GetDownloadPath(pszUrl, szPath, MAX_PATH));
        return szPath;
    }
};

TEST_F(DownloadPathTest, EmptyFolderMeansTheTemporaryFolder)
{
    CXHttpDownloader downloader(0);
    wchar_t szTemp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, szTemp);
    EXPECT_EQ(std::wstring(szTemp) + L"x.bin", PathFor(downloader, L"http://h/x.bin"));
}

TEST_F(DownloadPathTest, FolderRules)
{
    CXHttpDownloader downloader(0);
    const std::wstring strFolder = TestTempDir() + L"dl";
    downloader.SetDownloadFolder(strFolder.c_str());
    // One missing level is created; a backslash is added.
    EXPECT_EQ(strFolder + L"\\x.bin", PathFor(downloader, L"http://h/x.bin"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(strFolder.c_str()));

    // A bare drive is ignored: the previous folder stays.
    downloader.SetDownloadFolder(L"C:");
    downloader.SetDownloadFolder(nullptr);
    EXPECT_EQ(strFolder + L"\\x.bin", PathFor(downloader, L"http://h/x.bin"));

    downloader.SetDownloadFolder((strFolder + L"\\").c_str());
    EXPECT_EQ(strFolder + L"\\y.bin", PathFor(downloader, L"http://h/y.bin"));

    downloader.SetDownloadFolder((TestTempDir() + L"a\\b").c_str());
    PathFor(downloader, L"http://h/x.bin", E_DL_CREATE_FOLDER);

    const std::wstring strFile = TestTempDir() + L"plain.txt";
    ASSERT_TRUE(WriteFileBytes(strFile, "x", 1));
    downloader.SetDownloadFolder(strFile.c_str());
    PathFor(downloader, L"http://h/x.bin", E_DL_CREATE_FOLDER);
}

TEST_F(DownloadPathTest, BufferAndLengthLimits)
{
    CXHttpDownloader downloader(0);
    downloader.SetDownloadFolder(TestTempDir().c_str());
    const std::wstring strExpected = TestTempDir() + L"x.bin";
    std::vector<wchar_t> buffer(strExpected.size() + 1);
    EXPECT_EQ(S_OK, downloader.GetDownloadPath(L"http://h/x.bin", buffer.data(), static_cast<DWORD>(buffer.size())));
    EXPECT_EQ(E_FAIL,
              downloader.GetDownloadPath(L"http://h/x.bin", buffer.data(), static_cast<DWORD>(buffer.size() - 1)));

    // A path that would exceed MAX_PATH is refused rather than cut to another name.
    const std::wstring strDeep = TestTempDir() + std::wstring(200, L'd');
    downloader.SetDownloadFolder(strDeep.c_str());
    PathFor(downloader, (L"http://h/" + std::wstring(70, L'f')).c_str(), E_DL_BAD_TARGET);
}

TEST(DownloadPathNotifications, NameAndFolderFailuresNotifyNothing)
{
    CNotificationRecorder recorder;
    CXHttpDownloader downloader(0);
    downloader.SetCallback(&CNotificationRecorder::Callback, recorder.Context());
    ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, downloader.Download(L"", 0));
    EXPECT_EQ(E_INVALIDARG, downloader.Download(nullptr, 0));
    EXPECT_EQ(E_DL_BAD_TARGET, downloader.Download(L"nofolder.bin", 0));
    downloader.SetDownloadFolder((TestTempDir() + L"a\\b").c_str());
    EXPECT_EQ(E_DL_CREATE_FOLDER, downloader.Download(L"http://127.0.0.1:1/x.bin", 0));
    EXPECT_TRUE(recorder.All().empty());
}
}  // namespace
