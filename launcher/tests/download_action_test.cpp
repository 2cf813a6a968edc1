#include <gtest/gtest.h>

#include "common/registry.h"
#include "common/testing/zeptest.h"
#include "launcher/download_action.h"
#include "launcher/tolvik_constants.h"
#include "launcher/tests/recording_shell.h"

namespace
{
void SetDownload(const wchar_t* pszName, const std::wstring& value)
{
    ASSERT_HRESULT_SUCCEEDED(Registry::WriteString(HKEY_LOCAL_MACHINE, TOLVIK_DOWNLOAD_KEY, pszName, value));
}

std::wstring MakeProgram(const wchar_t* pszName)
{
    const std::wstring path = zeptest::TestTempDir() + pszName;
    EXPECT_TRUE(zeptest::WriteFileBytes(path, "MZ", 2));
    return path;
}
}  // namespace

TEST(DownloadAction, UrlWinsOverProgramAndParameters)
{
    const std::wstring program = MakeProgram(L"getter.exe");
    SetDownload(L"Url", L"http://127.0.0.1/store");
    SetDownload(L"Path", zeptest::TestTempDir());
    SetDownload(L"Exe", L"getter.exe");
    SetDownload(L"Param", L"/drive %s");

    CRecordingShell shell;
    CDownloadAction::FromRegistry().Run(L"F:", shell, nullptr);
    ASSERT_EQ(1u, shell.m_executed.size());
    EXPECT_EQ(L"open", shell.m_executed[0].verb);
    EXPECT_EQ(L"http://127.0.0.1/store", shell.m_executed[0].file);
    EXPECT_EQ(L"", shell.m_executed[0].parameters);
    EXPECT_EQ(SW_SHOWNORMAL, shell.m_executed[0].nShowCmd);
}

TEST(DownloadAction, StartsTheProgramWithTheTailInItsParameters)
{
    std::wstring folder = zeptest::TestTempDir();
    folder.pop_back();  // the stored folder has no trailing separator
    const std::wstring program = MakeProgram(L"getter.exe");

    struct Case
    {
        const wchar_t* pszParam;
        const wchar_t* pszTail;
        const wchar_t* pszExpected;
    } cases[] = {
        {L"", L"F:", L""},
        {L"/sync", L"F:", L"/sync"},
        {L"/drive %s", L"F:", L"/drive F:"},
        {L"/drive %s", L"", L""},
    };
    for (const Case& c : cases)
    {
        SetDownload(L"Path", folder);
        SetDownload(L"Exe", L"getter.exe");
        SetDownload(L"Param", c.pszParam);
        CRecordingShell shell;
        CDownloadAction::FromRegistry().Run(c.pszTail, shell, nullptr);
        ASSERT_EQ(1u, shell.m_executed.size()) << c.pszParam;
        EXPECT_EQ(L"", shell.m_executed[0].verb);
        EXPECT_EQ(program, shell.m_executed[0].file);
        EXPECT_EQ(c.pszExpected, shell.m_executed[0].parameters) << c.pszParam << L" / " << c.pszTail;
        EXPECT_EQ(L"", shell.m_executed[0].directory);
        EXPECT_TRUE(shell.m_messages.empty());
    }
}

TEST(DownloadAction, FindsTheFolderThroughAnotherProgramsKey)
{
    std::wstring folder = zeptest::TestTempDir();
    folder.pop_back();
    const std::wstring program = MakeProgram(L"getter.exe");
    ASSERT_HRESULT_SUCCEEDED(
        Registry::WriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Other Maker\\Getter", L"Folder", folder));
    SetDownload(L"Key", L"Other Maker\\Getter");
    SetDownload(L"Entry", L"Folder");
    SetDownload(L"Exe", L"getter.exe");

    CRecordingShell shell;
    CDownloadAction::FromRegistry().Run(L"", shell, nullptr);
    ASSERT_EQ(1u, shell.m_executed.size());
    EXPECT_EQ(program, shell.m_executed[0].file);
}

TEST(DownloadAction, MissingTargetShowsTheStoredMessageAsItIs)
{
    SetDownload(L"ErrorMsg", L"not installed\\n(see the manual)");
    SetDownload(L"Path", zeptest::TestTempDir() + L"absent");
    SetDownload(L"Exe", L"getter.exe");
    CRecordingShell shell;
    CDownloadAction::FromRegistry().Run(L"F:", shell, nullptr);
    EXPECT_TRUE(shell.m_executed.empty());
    ASSERT_EQ(1u, shell.m_messages.size());
    EXPECT_EQ(L"not installed\\n(see the manual)", shell.m_messages[0]);
    EXPECT_EQ(static_cast<UINT>(MB_OK), shell.m_messageTypes[0]);
}

TEST(DownloadAction, UnresolvedKeyDoesNotFallBackToTheDriveRoot)
{
    // Key set, but the value it names is missing: "\getter.exe" would name the current
    // drive's root, which must not be started.
    SetDownload(L"ErrorMsg", L"missing");
    SetDownload(L"Key", L"Other Maker\\Nothing");
    SetDownload(L"Exe", L"getter.exe");
    const CDownloadAction action = CDownloadAction::FromRegistry();
    EXPECT_EQ(L"", action.m_strPath);
    CRecordingShell shell;
    action.Run(L"", shell, nullptr);
    EXPECT_TRUE(shell.m_executed.empty());
    EXPECT_EQ(1u, shell.m_messages.size());
}
