#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstring>
#include <string>

#include "common/string_util.h"
#include "common/testing/access_list.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "installer/settings/shared_folder.h"
#include "installer/testing/installer_session.h"

namespace
{
typedef int(WINAPI* PFN_CREATE_DIR)(const char*);
typedef int(WINAPI* PFN_INIT_SETTING)(const char*);
typedef int(WINAPI* PFN_RESET_SETTING)(const char*, const char*);

const char kSettings[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<velomar_launcher>\r\n"
    "  <pirro>\r\n"
    "  </pirro>\r\n"
    "  <tolvik>\r\n"
    "    <first_exec>false</first_exec>\r\n"
    "    <music>\r\n"
    "      <name>Player \xE3\x81\x82</name>\r\n"
    "      <errormsg>cannot start</errormsg>\r\n"
    "      <path>C:\\Prog</path>\r\n"
    "      <exe>a.exe</exe>\r\n"
    "      <param>/d %s</param>\r\n"
    "      <ExecInfos>\r\n"
    "        <ExecInfo>\r\n"
    "          <path>D:\\Alt</path>\r\n"
    "        </ExecInfo>\r\n"
    "      </ExecInfos>\r\n"
    "    </music>\r\n"
    "    <photo>\r\n"
    "      <name>Viewer</name>\r\n"
    "    </photo>\r\n"
    "  </tolvik>\r\n"
    "</velomar_launcher>";

class MoltraTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_module.Reset(::LoadLibraryW((zeptest::ExeDir() + L"Moltra.dll").c_str()));
        ASSERT_TRUE(m_module.IsValid());
        m_pfnCreateDir = reinterpret_cast<PFN_CREATE_DIR>(::GetProcAddress(m_module.Get(), "fnCreateDirA"));
        m_pfnInit = reinterpret_cast<PFN_INIT_SETTING>(::GetProcAddress(m_module.Get(), "fnInitSettingFileA"));
        m_pfnReset = reinterpret_cast<PFN_RESET_SETTING>(::GetProcAddress(m_module.Get(), "fnResetSettingFilaA"));
        ASSERT_NE(nullptr, m_pfnCreateDir);
        ASSERT_NE(nullptr, m_pfnInit);
        ASSERT_NE(nullptr, m_pfnReset);
        m_file = zeptest::TestTempDir() + L"TOLVIKSetting.xml";
        m_fileA = WideToAnsi(m_file);
    }

    void WriteSettings(const std::string& text) { ASSERT_TRUE(zeptest::WriteFileBytes(m_file, text.data(), text.size())); }
    std::string ReadSettings()
    {
        std::string data;
        EXPECT_TRUE(zeptest::ReadFileBytes(m_file, data));
        return data;
    }
    // Files the test did not write itself: a temporary copy left behind would show here.
    size_t CountFiles()
    {
        WIN32_FIND_DATAW data;
        UniqueFindHandle find(::FindFirstFileW((zeptest::TestTempDir() + L"*").c_str(), &data));
        size_t nFiles = 0;
        if (find)
        {
            do
            {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    ++nFiles;
            } while (::FindNextFileW(find.Get(), &data));
        }
        return nFiles;
    }

    UniqueHModule m_module;
    PFN_CREATE_DIR m_pfnCreateDir = nullptr;
    PFN_INIT_SETTING m_pfnInit = nullptr;
    PFN_RESET_SETTING m_pfnReset = nullptr;
    std::wstring m_file;
    std::string m_fileA;
};

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const size_t pos = text.find(from);
    EXPECT_NE(std::string::npos, pos) << from;
    if (pos != std::string::npos)
        text.replace(pos, from.size(), to);
    return text;
}

// Parsing turns CR LF into LF and the save writes LF with a final line end.
std::string LineEndsNormalised(const std::string& text)
{
    std::string result;
    for (char ch : text)
    {
        if (ch != '\r')
            result += ch;
    }
    while (!result.empty() && result.back() == '\n')
        result.pop_back();
    return result;
}

}  // namespace

TEST(SharedFolderSecurity, HoldsOnlyTheFourEntries)
{
    UniqueLocalMem security = BuildSharedFolderSecurity();
    ASSERT_TRUE(security.IsValid());
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD dwRevision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(security.Get(), &control, &dwRevision));
    EXPECT_NE(0, control & SE_SELF_RELATIVE);
    BOOL bPresent = FALSE;
    BOOL bDefaulted = FALSE;
    PACL pDacl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(security.Get(), &bPresent, &pDacl, &bDefaulted));
    EXPECT_TRUE(bPresent);
    EXPECT_EQ(zeptest::kAllUsersFolderAcl, zeptest::DescribeAcl(pDacl));
    PSID pOwner = nullptr;
    PSID pGroup = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorOwner(security.Get(), &pOwner, &bDefaulted));
    ASSERT_TRUE(::GetSecurityDescriptorGroup(security.Get(), &pGroup, &bDefaulted));
    EXPECT_EQ(nullptr, pOwner);
    EXPECT_EQ(nullptr, pGroup);
}

TEST_F(MoltraTest, CreatesTheFolderWithFourInheritableGenericAllEntries)
{
    const std::wstring folder = zeptest::TestTempDir() + L"Velomar Launcher";
    ASSERT_EQ(1, m_pfnCreateDir(WideToAnsi(folder).c_str()));
    EXPECT_NE(0u, ::GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    if (!zeptest::FileSystemKeepsAccessLists())
        GTEST_SKIP() << "this file system does not keep access lists: " << WideToUtf8(zeptest::DescribeFileAcl(folder));
    EXPECT_EQ(zeptest::kAllUsersFolderAcl, zeptest::DescribeFileAcl(folder));
}

TEST_F(MoltraTest, LeavesAnExistingFolderAlone)
{
    const std::wstring folder = zeptest::TestTempDir() + L"existing";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring before = zeptest::DescribeFileAcl(folder);
    EXPECT_EQ(0, m_pfnCreateDir(WideToAnsi(folder).c_str()));
    EXPECT_EQ(before, zeptest::DescribeFileAcl(folder));
    // A file in the way counts as existing too.
    WriteSettings(kSettings);
    EXPECT_EQ(0, m_pfnCreateDir(m_fileA.c_str()));
}

TEST_F(MoltraTest, RefusesMissingParentAndNull)
{
    const std::wstring folder = zeptest::TestTempDir() + L"missing\\child";
    EXPECT_EQ(0, m_pfnCreateDir(WideToAnsi(folder).c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(folder.c_str()));
    EXPECT_EQ(0, m_pfnCreateDir(nullptr));
    EXPECT_EQ(0, m_pfnCreateDir(""));
}

TEST_F(MoltraTest, InitSetsFirstExecAndKeepsEverythingElse)
{
    WriteSettings(kSettings);
    ASSERT_EQ(1, m_pfnInit(m_fileA.c_str()));
    EXPECT_EQ(LineEndsNormalised(Replace(kSettings, "<first_exec>false<", "<first_exec>true<")),
              LineEndsNormalised(ReadSettings()));
    EXPECT_EQ(1u, CountFiles());
    // Already "true": rewritten with the same content.
    ASSERT_EQ(1, m_pfnInit(m_fileA.c_str()));
    EXPECT_EQ(LineEndsNormalised(Replace(kSettings, "<first_exec>false<", "<first_exec>true<")),
              LineEndsNormalised(ReadSettings()));
}

TEST_F(MoltraTest, InitFailsAndLeavesTheFileAsItWas)
{
    struct Case
    {
        const char* pszLabel;
        std::string content;
    };
    const Case cases[] = {
        {"no first_exec", Replace(kSettings, "    <first_exec>false</first_exec>\r\n", "")},
        {"not well-formed", std::string(kSettings, sizeof(kSettings) / 2)},
        {"document type", Replace(kSettings, "<velomar_launcher>",
                                  "<!DOCTYPE v [<!ENTITY e SYSTEM \"file:///C:/windows/win.ini\">]>\r\n<velomar_launcher>")},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszLabel);
        WriteSettings(c.content);
        EXPECT_EQ(0, m_pfnInit(m_fileA.c_str()));
        EXPECT_EQ(c.content, ReadSettings());
        EXPECT_EQ(1u, CountFiles());
    }
    ASSERT_TRUE(::DeleteFileW(m_file.c_str()));
    EXPECT_EQ(0, m_pfnInit(m_fileA.c_str()));
    EXPECT_EQ(0, m_pfnInit(nullptr));
    EXPECT_EQ(0u, CountFiles());
}

// The new content is complete in a file of its own before it replaces the old one: when the
// replacement cannot happen, the user's settings are still there and no half file is left.
TEST_F(MoltraTest, ASaveThatCannotReplaceKeepsTheOldFile)
{
    WriteSettings(kSettings);
    UniqueHandle held(::CreateFileW(m_file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.IsValid());
    EXPECT_EQ(0, m_pfnInit(m_fileA.c_str()));
    EXPECT_EQ(0, m_pfnReset(m_fileA.c_str(), "music"));
    held.Reset();
    EXPECT_EQ(kSettings, ReadSettings());
    EXPECT_EQ(1u, CountFiles());
}

TEST_F(MoltraTest, ResetRemovesTheNamedElementWithItsChildren)
{
    WriteSettings(kSettings);
    ASSERT_EQ(1, m_pfnReset(m_fileA.c_str(), "music"));
    const std::string content = ReadSettings();
    std::string expected = kSettings;
    // The element goes; the white space around it stays.
    const size_t posMusic = expected.find("<music>");
    const size_t posEnd = expected.find("</music>") + strlen("</music>");
    expected.erase(posMusic, posEnd - posMusic);
    EXPECT_EQ(LineEndsNormalised(expected), LineEndsNormalised(content));
    EXPECT_EQ(std::string::npos, content.find("music"));
    EXPECT_EQ(std::string::npos, content.find("D:\\Alt"));
    EXPECT_NE(std::string::npos, content.find("<name>Viewer</name>"));
    EXPECT_NE(std::string::npos, content.find("<first_exec>false</first_exec>"));
    EXPECT_EQ(1u, CountFiles());
}

TEST_F(MoltraTest, ResetOfAnAbsentNameSucceedsWithoutRewriting)
{
    WriteSettings(kSettings);
    // An old time stamp shows whether the file was written again.
    FILETIME ftOld = {0x12345678, 0x01D00000};
    {
        UniqueHandle file(::CreateFileW(m_file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file.IsValid());
        ASSERT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &ftOld));
    }
    EXPECT_EQ(1, m_pfnReset(m_fileA.c_str(), "video"));
    EXPECT_EQ(1, m_pfnReset(m_fileA.c_str(), ""));
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(::GetFileAttributesExW(m_file.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(ftOld.dwLowDateTime, data.ftLastWriteTime.dwLowDateTime);
    EXPECT_EQ(ftOld.dwHighDateTime, data.ftLastWriteTime.dwHighDateTime);
    EXPECT_EQ(kSettings, ReadSettings());
}

TEST_F(MoltraTest, ResetFailsWithoutTheLauncherElementOrArguments)
{
    const std::string noTolvik = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<velomar_launcher><pirro/></velomar_launcher>";
    WriteSettings(noTolvik);
    EXPECT_EQ(0, m_pfnReset(m_fileA.c_str(), "music"));
    EXPECT_EQ(noTolvik, ReadSettings());
    EXPECT_EQ(0, m_pfnReset(nullptr, "music"));
    EXPECT_EQ(0, m_pfnReset(m_fileA.c_str(), nullptr));
    ASSERT_TRUE(::DeleteFileW(m_file.c_str()));
    EXPECT_EQ(0, m_pfnReset(m_fileA.c_str(), "music"));
}

// The installer's way in: the folder from a property, its missing parent made, an existing
// settings file marked for a first run, an existing folder left as it is.
TEST_F(MoltraTest, SetUpActionMakesTheFolderAndMarksAnExistingSettingsFile)
{
    typedef UINT(WINAPI * PFN_ACTION)(MSIHANDLE);
    const auto pfnAction = reinterpret_cast<PFN_ACTION>(::GetProcAddress(m_module.Get(), "SetUpDataFolderCA"));
    ASSERT_NE(nullptr, pfnAction);
    installertest::CUiMessageLog messages;
    ASSERT_TRUE(messages.Installed());
    UniqueMsiHandle session = installertest::OpenActionTestSession();
    ASSERT_TRUE(session.IsValid());
    const std::wstring folder = zeptest::TestTempDir() + L"Orvo Corporation\\Velomar Launcher";

    EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_PARAMETER), pfnAction(session.Get()));
    EXPECT_TRUE(messages.Logged(L"Moltra:  Error 0x57: No data folder given")) << messages.Dump();

    // Under Wine an immediate action still reads the CustomActionData of the last deferred one.
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS),
              ::MsiSetPropertyW(session.Get(), L"CustomActionData", L"values=SOFTWARE\\Another action's data"));
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS),
              ::MsiSetPropertyW(session.Get(), L"VELOMAR_DATA_DIR", (folder + L"\\").c_str()));
    EXPECT_EQ(0u, pfnAction(session.Get()));
    EXPECT_NE(0u, ::GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(messages.Logged(L"Moltra:  Created the data folder " + folder)) << messages.Dump();

    const std::wstring settings = folder + L"\\TOLVIKSetting.xml";
    ASSERT_TRUE(zeptest::WriteFileBytes(settings, kSettings, strlen(kSettings)));
    EXPECT_EQ(0u, pfnAction(session.Get()));
    EXPECT_TRUE(messages.Logged(L"Moltra:  The data folder exists: " + folder)) << messages.Dump();
    EXPECT_TRUE(messages.Logged(L"Moltra:  Marked the settings file for a first run")) << messages.Dump();
    std::string content;
    ASSERT_TRUE(zeptest::ReadFileBytes(settings, content));
    EXPECT_NE(std::string::npos, content.find("<first_exec>true</first_exec>"));
    EXPECT_NE(std::string::npos, content.find("<name>Viewer</name>"));
    EXPECT_TRUE(messages.Errors().empty());
}
