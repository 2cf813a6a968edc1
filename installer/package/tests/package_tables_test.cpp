// The package's tables as the system's installer reads them: what it installs, which messages
// it can show, when it resumes the automatic updates it paused.
#include <gtest/gtest.h>
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"

namespace
{
class PackageTablesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MSIHANDLE h = 0;
        ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS),
                  ::MsiOpenDatabaseW((zeptest::ExeDir() + L"Velomar.msi").c_str(), MSIDBOPEN_READONLY, &h));
        m_database.Reset(h);
    }

    // Each row of the query as its fields' text.
    std::vector<std::vector<std::wstring>> Rows(const std::wstring& query)
    {
        std::vector<std::vector<std::wstring>> rows;
        MSIHANDLE h = 0;
        EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiDatabaseOpenViewW(m_database.Get(), query.c_str(), &h))
            << WideToUtf8(query);
        UniqueMsiHandle view(h);
        if (!view || ::MsiViewExecute(view.Get(), 0) != ERROR_SUCCESS)
            return rows;
        while (::MsiViewFetch(view.Get(), &h) == ERROR_SUCCESS)
        {
            UniqueMsiHandle record(h);
            std::vector<std::wstring> fields;
            for (UINT i = 1; i <= ::MsiRecordGetFieldCount(record.Get()); ++i)
            {
                wchar_t sz[1024] = {};
                DWORD cch = _countof(sz);
                ::MsiRecordGetStringW(record.Get(), i, sz, &cch);
                fields.push_back(sz);
            }
            rows.push_back(fields);
        }
        return rows;
    }

    std::wstring One(const std::wstring& query)
    {
        const auto rows = Rows(query);
        return rows.size() == 1 && !rows[0].empty() ? rows[0][0] : L"(" + std::to_wstring(rows.size()) + L" rows)";
    }

    UniqueMsiHandle m_database;
};

const int kTypeDll = 0x0001;
const int kTypeInScript = 0x0400;
const int kTypeRollback = 0x0100;
const int kTypeCommit = 0x0200;
const int kTypeNoImpersonate = 0x0800;
}  // namespace

// An upgrade or repair rewrites every value the package installs: the user's schedule is not one.
TEST_F(PackageTablesTest, InstallsNoValueOfTheUpdateSchedule)
{
    for (const auto& row : Rows(L"SELECT `Key`, `Name` FROM `Registry`"))
        EXPECT_EQ(std::wstring::npos, row[0].find(L"TOLVIK\\Update")) << WideToUtf8(row[0] + L" " + row[1]);
}

TEST_F(PackageTablesTest, ErrorTableHoldsTheActionsMessagesInJapanese)
{
    for (int nMessage : {28000, 28010, 28011})
    {
        const std::wstring text = One(L"SELECT `Message` FROM `Error` WHERE `Error` = " + std::to_wstring(nMessage));
        SCOPED_TRACE(nMessage);
        // Hiragana or katakana: a sentence in Japanese, not a placeholder.
        bool bJapanese = false;
        for (wchar_t ch : text)
            bJapanese = bJapanese || (ch >= 0x3041 && ch <= 0x30FF);
        EXPECT_TRUE(bJapanese) << WideToUtf8(text);
        EXPECT_NE(std::wstring::npos, text.find(L"\u3082\u3046\u4E00\u5EA6")) << "says to try again: " << WideToUtf8(text);
    }
}

// The stand-in firmware library is left out unless asked for by name (ADDLOCAL).
TEST_F(PackageTablesTest, SimulatedPlayerIsAboveTheDefaultInstallLevel)
{
    const auto rows = Rows(L"SELECT `Feature`.`Feature`, `Feature`.`Level`, `Feature`.`Feature_Parent` FROM "
                           L"`Feature`, `FeatureComponents` WHERE `Feature`.`Feature` = `FeatureComponents`.`Feature_` "
                           L"AND `FeatureComponents`.`Component_` = 'Drenlox'");
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(L"SimulatedPlayer", rows[0][0]);
    const std::wstring installLevel = One(L"SELECT `Value` FROM `Property` WHERE `Property` = 'INSTALLLEVEL'");
    const int nInstallLevel = installLevel[0] == L'(' ? 1 : _wtoi(installLevel.c_str());
    EXPECT_GT(_wtoi(rows[0][1].c_str()), nInstallLevel);
    EXPECT_EQ(L"Companion", rows[0][2]);
    EXPECT_EQ(L"1", One(L"SELECT `Level` FROM `Feature` WHERE `Feature` = 'Companion'"));
}

// Paused before the installation's script starts, resumed whatever way it ends: at its end, in
// its rollback, when the user cancels it and when it fails.
TEST_F(PackageTablesTest, ThePausedUpdatesAreResumedOnEveryWayOut)
{
    const int nPause = _wtoi(One(L"SELECT `Sequence` FROM `InstallExecuteSequence` WHERE `Action` = 'PauseUpdates'").c_str());
    const int nScript = _wtoi(One(L"SELECT `Sequence` FROM `InstallExecuteSequence` WHERE `Action` = 'InstallInitialize'").c_str());
    ASSERT_GT(nPause, 0);
    ASSERT_GT(nScript, nPause);
    const std::wstring pauseCondition =
        One(L"SELECT `Condition` FROM `InstallExecuteSequence` WHERE `Action` = 'PauseUpdates'");

    const struct
    {
        const wchar_t* pszAction;
        int nTypeMask;
        int nType;
        int nSequenceFrom;  // the sequence lies in [from, to]
        int nSequenceTo;
    } cases[] = {
        {L"ResumeUpdates", kTypeInScript | kTypeRollback | kTypeCommit, 0, nScript, 32767},
        {L"ResumeUpdatesOnRollback", kTypeDll | kTypeInScript | kTypeRollback | kTypeCommit | kTypeNoImpersonate,
         kTypeDll | kTypeInScript | kTypeRollback | kTypeNoImpersonate, nScript + 1, nScript + 100},
        {L"ResumeUpdatesOnUserExit", kTypeInScript | kTypeRollback | kTypeCommit, 0, -2, -2},
        {L"ResumeUpdatesOnError", kTypeInScript | kTypeRollback | kTypeCommit, 0, -3, -3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.pszAction));
        const auto action = Rows(std::wstring(L"SELECT `Type`, `Source`, `Target` FROM `CustomAction` WHERE `Action` = '") +
                                 c.pszAction + L"'");
        ASSERT_EQ(1u, action.size());
        EXPECT_EQ(c.nType, _wtoi(action[0][0].c_str()) & c.nTypeMask) << WideToUtf8(action[0][0]);
        EXPECT_EQ(L"HalventDll", action[0][1]);
        EXPECT_EQ(L"WUResumeCA", action[0][2]);
        const auto sequence = Rows(std::wstring(L"SELECT `Sequence`, `Condition` FROM `InstallExecuteSequence` "
                                                L"WHERE `Action` = '") + c.pszAction + L"'");
        ASSERT_EQ(1u, sequence.size());
        const int nSequence = _wtoi(sequence[0][0].c_str());
        EXPECT_GE(nSequence, c.nSequenceFrom);
        EXPECT_LE(nSequence, c.nSequenceTo);
        // Wherever the pause ran, the resume runs.
        EXPECT_EQ(pauseCondition, sequence[0][1]);
    }
}

// The installer's own evaluation of the conditions: the update check runs when the product is
// installed, not when it is removed.
TEST_F(PackageTablesTest, UpdateCheckRunsAtInstallationButNotAtRemoval)
{
    const std::wstring condition =
        One(L"SELECT `Condition` FROM `InstallExecuteSequence` WHERE `Action` = 'CheckUpdates'");
    MSIHANDLE h = 0;
    ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS),
              ::MsiOpenPackageExW((zeptest::ExeDir() + L"Velomar.msi").c_str(), MSIOPENPACKAGEFLAGS_IGNOREMACHINESTATE, &h));
    UniqueMsiHandle session(h);
    const struct
    {
        const wchar_t* pszRemove;
        MSICONDITION expected;
    } cases[] = {
        {L"", MSICONDITION_TRUE},
        {L"ALL", MSICONDITION_FALSE},
        {L"all", MSICONDITION_FALSE},
        // Taking away a feature of an installed product is no removal of it.
        {L"SimulatedPlayer", MSICONDITION_TRUE},
    };
    for (const auto& c : cases)
    {
        ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiSetPropertyW(session.Get(), L"REMOVE", c.pszRemove));
        EXPECT_EQ(c.expected, ::MsiEvaluateConditionW(session.Get(), condition.c_str()))
            << "REMOVE=" << WideToUtf8(c.pszRemove) << ": " << WideToUtf8(condition);
    }
}
