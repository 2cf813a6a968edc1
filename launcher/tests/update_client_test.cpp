// The update client's argument text, where it is looked for, and what a start leaves behind.
#include <gtest/gtest.h>

#include <string>

#include "common/registry.h"
#include "launcher/tests/recording_shell.h"
#include "launcher/tolvik_constants.h"
#include "launcher/update_client.h"
#include "launcher/update_page_settings.h"
#include "launcher/settings/settings_registry.h"
#include "launcher/settings/update_schedule.h"

namespace
{
const wchar_t kThreeBlocks[] =
    L" /M AUTO  /C PA001 /S VLFW /N \"QX-B417\" /E 0.00 /F UPDATE /C PP001 /S MDInfo /N \"Merrowdeck\" /E 0.00 "
    L"/F INFO /C PP001 /S TVK /N \"Velomar Launcher\" /E 2.1.0.00300 /F UPDATE";
const wchar_t kTwoBlocksManual[] =
    L" /M MANUAL  /C PA001 /S VLFW /N \"QX-B417\" /E 0.00 /F UPDATE /C PP001 /S TVK /N \"Velomar Launcher\" /E  "
    L"/F UPDATE";

void Install(const std::wstring& installedPath, const std::wstring& version)
{
    ASSERT_HRESULT_SUCCEEDED(
        Registry::WriteString(HKEY_LOCAL_MACHINE, TOLVIK_KEY, ZEP_INSTALLED_PATH_VALUE, installedPath));
    ASSERT_HRESULT_SUCCEEDED(Registry::WriteString(HKEY_LOCAL_MACHINE, TOLVIK_VERSION_KEY, nullptr, version));
}
}  // namespace

TEST(UpdateClientTest, ArgumentText)
{
    EXPECT_EQ(kThreeBlocks, CUpdateClient::BuildArguments(true, true, L"2.1.0.00300"));
    EXPECT_EQ(kTwoBlocksManual, CUpdateClient::BuildArguments(false, false, L""));
}

TEST(UpdateClientTest, ClientPathAndWhoIsRestricted)
{
    EXPECT_EQ(L"C:\\Program Files\\Velomar\\UpdateChecker\\Quenta.exe",
              CUpdateClient::ClientPath(L"C:\\Program Files\\Velomar\\Tolvik.exe"));
    EXPECT_EQ(L"Tolvik.exe\\UpdateChecker\\Quenta.exe", CUpdateClient::ClientPath(L"Tolvik.exe"));
    EXPECT_EQ(L"\\UpdateChecker\\Quenta.exe", CUpdateClient::ClientPath(L""));

    struct
    {
        DWORD dwPlatform, dwMajor, dwMinor;
        bool bApplies;
    } cases[] = {
        {VER_PLATFORM_WIN32_NT, 5, 1, true},   {VER_PLATFORM_WIN32_NT, 5, 2, true},
        {VER_PLATFORM_WIN32_NT, 5, 0, false},  {VER_PLATFORM_WIN32_NT, 6, 1, false},
        {VER_PLATFORM_WIN32_NT, 10, 0, false}, {VER_PLATFORM_WIN32_WINDOWS, 5, 1, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.bApplies, CUpdateClient::RestrictionApplies(c.dwPlatform, c.dwMajor, c.dwMinor))
            << c.dwPlatform << " " << c.dwMajor << "." << c.dwMinor;
}

TEST(UpdateClientTest, StartsHiddenAndRecordsTheTime)
{
    Install(L"C:\\Velomar\\Tolvik.exe", L"2.1.0.00300");
    CRecordingShell shell;
    const LONGLONG llBefore = CurrentUnixTime();
    EXPECT_TRUE(CUpdateClient(shell).Start(true, nullptr));
    const LONGLONG llAfter = CurrentUnixTime();

    ASSERT_EQ(1u, shell.m_executed.size());
    const CRecordingShell::ExecuteCall& call = shell.m_executed[0];
    EXPECT_EQ(L"", call.verb);
    EXPECT_EQ(L"C:\\Velomar\\UpdateChecker\\Quenta.exe", call.file);
    EXPECT_EQ(kThreeBlocks, call.parameters);
    EXPECT_EQ(L"C:\\Velomar\\UpdateChecker", call.directory) << "the client's own folder, whatever the launcher's is";
    EXPECT_EQ(SW_HIDE, call.nShowCmd);
    EXPECT_TRUE(shell.m_messages.empty());

    const UpdateScheduleValues values = ReadUpdateScheduleValues();
    ASSERT_TRUE(values.m_bHasUpdateTime);
    EXPECT_GE(values.m_llUpdateTime, llBefore);
    EXPECT_LE(values.m_llUpdateTime, llAfter);
    EXPECT_FALSE(IsUpdateDue()) << "weekly by default: the next check is a week away";
}

TEST(UpdateClientTest, JukeboxBlockLeftOutOnceTheClientMarkedIt)
{
    Install(L"C:\\Velomar\\Tolvik.exe", L"");
    ASSERT_HRESULT_SUCCEEDED(
        Registry::WriteString(HKEY_LOCAL_MACHINE, TOLVIK_JUKEBOX_DONE_KEY, nullptr, std::wstring()));
    CRecordingShell shell;
    CUpdateClient(shell).Start(false, nullptr);
    ASSERT_EQ(1u, shell.m_executed.size());
    EXPECT_EQ(kTwoBlocksManual, shell.m_executed[0].parameters);
}

TEST(UpdateClientTest, FailedStartKeepsTheScheduleAndTellsOnlyAManualUser)
{
    // No InstalledPath at all: the client is looked for at the bare relative path and the shell
    // reports it missing.
    CRecordingShell shell;
    shell.m_nExecuteResult = SE_ERR_FNF;
    EXPECT_FALSE(CUpdateClient(shell).Start(true, nullptr));
    ASSERT_EQ(1u, shell.m_executed.size());
    EXPECT_EQ(L"\\UpdateChecker\\Quenta.exe", shell.m_executed[0].file);
    EXPECT_TRUE(shell.m_messages.empty());
    EXPECT_FALSE(ReadUpdateScheduleValues().m_bHasUpdateTime);
    EXPECT_TRUE(IsUpdateDue()) << "the next start tries again";

    EXPECT_FALSE(CUpdateClient(shell).Start(false, nullptr));
    ASSERT_EQ(1u, shell.m_messages.size());
    EXPECT_EQ(L"必要なファイルが存在しないため更新情報の確認に失敗しました。\n"
              L"Velomar Launcher を再インストールする必要があります。",
              shell.m_messages[0]);
    EXPECT_EQ(static_cast<UINT>(MB_OK), shell.m_messageTypes[0]);
    EXPECT_FALSE(ReadUpdateScheduleValues().m_bHasUpdateTime);
}

TEST(UpdatePageSettingsTest, DefaultsStoredValuesAndSave)
{
    CUpdatePageSettings page = CUpdatePageSettings::Load();
    EXPECT_TRUE(page.m_bCheckAtStart);
    EXPECT_EQ(2u, page.m_dwFrequency);

    page.m_bCheckAtStart = false;
    page.m_dwFrequency = 0;
    page.Save();
    const UpdateScheduleValues values = ReadUpdateScheduleValues();
    ASSERT_TRUE(values.m_bHasUpdateStart);
    EXPECT_EQ(0, values.m_byUpdateStart);
    ASSERT_TRUE(values.m_bHasUpdateFrequency);
    EXPECT_EQ(0u, values.m_dwUpdateFrequency);
    EXPECT_FALSE(IsUpdateDue()) << "no automatic check, even at every start";

    page = CUpdatePageSettings::Load();
    EXPECT_FALSE(page.m_bCheckAtStart);
    EXPECT_EQ(0, page.RadioIndex());

    ASSERT_HRESULT_SUCCEEDED(Registry::WriteDword(HKEY_LOCAL_MACHINE, LAUNCHER_UPDATE_KEY, L"UpdateFrequency", 7));
    EXPECT_EQ(-1, CUpdatePageSettings::Load().RadioIndex());
}
