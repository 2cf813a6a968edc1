#include <gtest/gtest.h>
#include <windows.h>
#include <msi.h>

#include <cstdio>
#include <thread>

#include "common/com_init.h"
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "installer/testing/installer_session.h"
#include "installer/updatepause/installation_check.h"
#include "installer/updatepause/update_agent.h"

namespace
{
typedef int(WINAPI* PFN_PLAIN)();
typedef UINT(WINAPI* PFN_ACTION)(MSIHANDLE);

class HalventTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_module.Reset(::LoadLibraryW((zeptest::ExeDir() + L"Halvent.dll").c_str()));
        ASSERT_TRUE(m_module.IsValid());
    }
    template <class T>
    T Find(const char* pszName)
    {
        const auto pfn = reinterpret_cast<T>(::GetProcAddress(m_module.Get(), pszName));
        EXPECT_NE(nullptr, pfn) << pszName;
        return pfn;
    }

    UniqueHModule m_module;
};

// Runs fn on a new thread whose COM is already initialised for the multithreaded apartment, so
// that the single-threaded initialisation inside fails.
template <class Fn>
void OnMultithreadedThread(Fn fn)
{
    std::thread thread([&] {
        CComInitScope com(COINIT_MULTITHREADED);
        ASSERT_TRUE(com.Succeeded());
        fn();
    });
    thread.join();
}
}  // namespace

// Wine's agent: the installer is never busy and no restart is pending; pause and resume are
// accepted. The plain functions give the same answers as the objects do.
TEST_F(HalventTest, PlainFunctionsReportWhatTheSystemAgentAnswers)
{
    CComInitScope com;
    ASSERT_TRUE(com.Succeeded());
    bool bBusy = true;
    bool bRestart = true;
    const HRESULT hrBusy = IsUpdateInstallerBusy(bBusy);
    const HRESULT hrRestart = IsRestartRequired(bRestart);
    const HRESULT hrPause = PauseAutomaticUpdates();
    const HRESULT hrResume = ResumeAutomaticUpdates();
    const std::string answers = WideToUtf8(FormatString(L"IsBusy %08lX (%d), RebootRequired %08lX (%d), Pause %08lX, Resume %08lX",
                                                        hrBusy, bBusy, hrRestart, bRestart, hrPause, hrResume));
    RecordProperty("agent", answers);
    std::printf("update agent: %s\n", answers.c_str());

    EXPECT_EQ(SUCCEEDED(hrBusy) && bBusy ? 1 : 0, Find<PFN_PLAIN>("WUIsExecute")());
    EXPECT_EQ(SUCCEEDED(hrRestart) && bRestart ? 1 : 0, Find<PFN_PLAIN>("WUNeedReboot")());
    EXPECT_EQ(SUCCEEDED(hrPause) ? 1 : 0, Find<PFN_PLAIN>("WUPause")());
    EXPECT_EQ(SUCCEEDED(hrResume) ? 1 : 0, Find<PFN_PLAIN>("WUResume")());
}

TEST_F(HalventTest, PlainFunctionsAnswerZeroWithoutTheirOwnCom)
{
    OnMultithreadedThread([&] {
        for (const char* pszName : {"WUIsExecute", "WUNeedReboot", "WUPause", "WUResume"})
            EXPECT_EQ(0, Find<PFN_PLAIN>(pszName)()) << pszName;
    });
}

class HalventActionTest : public HalventTest
{
protected:
    void SetUp() override
    {
        HalventTest::SetUp();
        ASSERT_TRUE(m_messages.Installed());
        m_session = installertest::OpenActionTestSession();
        ASSERT_TRUE(m_session.IsValid());
    }

    installertest::CUiMessageLog m_messages;
    UniqueMsiHandle m_session;
};

TEST_F(HalventActionTest, CheckLetsTheInstallationGoOnWhenTheAgentIsIdle)
{
    CComInitScope com;
    bool bBusy = true;
    bool bRestart = true;
    ASSERT_TRUE(SUCCEEDED(IsUpdateInstallerBusy(bBusy)) || !bBusy);
    IsRestartRequired(bRestart);
    if (bBusy || bRestart)
        GTEST_SKIP() << "the update agent is busy or waits for a restart";
    EXPECT_EQ(0u, Find<PFN_ACTION>("WUCheckCA")(m_session.Get()));
    EXPECT_TRUE(m_messages.Errors().empty()) << m_messages.Dump();
}

namespace
{
// Answers in place of the system agent's, which under Wine is never busy nor waits for a restart.
struct SAgentState
{
    HRESULT hrBusy;
    bool bBusy;
    HRESULT hrRestart;
    bool bRestart;
};
SAgentState g_agent;
HRESULT FakeIsBusy(bool& bBusy)
{
    bBusy = g_agent.bBusy;
    return g_agent.hrBusy;
}
HRESULT FakeIsRestartRequired(bool& bRequired)
{
    bRequired = g_agent.bRestart;
    return g_agent.hrRestart;
}
}  // namespace

TEST_F(HalventActionTest, CheckStopsForAnInstallationInProgressBeforeAPendingRestart)
{
    const SUpdateAgentAnswers fake = {&FakeIsBusy, &FakeIsRestartRequired};
    const struct
    {
        const char* pszCase;
        SAgentState agent;
        UINT uExpected;
        int nMessage;  // 0: none
        UINT uStatus;
    } kCases[] = {
        {"idle", {S_OK, false, S_OK, false}, ERROR_SUCCESS, 0, 0},
        {"installing", {S_OK, true, S_OK, false}, ERROR_INSTALL_FAILURE, 28010, 0x8024001B},
        {"restart pending", {S_OK, false, S_OK, true}, ERROR_INSTALL_FAILURE, 28011, 0x8024D00C},
        {"both", {S_OK, true, S_OK, true}, ERROR_INSTALL_FAILURE, 28010, 0x8024001B},
        {"busy unknown, restart pending", {E_ACCESSDENIED, true, S_OK, true}, ERROR_INSTALL_FAILURE, 28011, 0x8024D00C},
        {"agent unreachable", {E_ACCESSDENIED, true, REGDB_E_CLASSNOTREG, true}, ERROR_SUCCESS, 0, 0},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszCase);
        g_agent = c.agent;
        m_messages.Clear();
        CCustomAction action;
        ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), action.Initialize(m_session.Get(), L"Halvent"));
        EXPECT_EQ(c.uExpected, CheckUpdateAgentIdle(action, fake));
        action.Finish(ERROR_SUCCESS);
        const auto errors = m_messages.Errors();
        if (c.nMessage == 0)
        {
            EXPECT_TRUE(errors.empty()) << m_messages.Dump();
            continue;
        }
        ASSERT_EQ(1u, errors.size()) << m_messages.Dump();
        ASSERT_LE(2u, errors[0].fields.size());
        EXPECT_EQ(c.nMessage, errors[0].fields[0]);
        EXPECT_EQ(static_cast<int>(c.uStatus), errors[0].fields[1]);
    }
}

// COM already initialised on the action's thread is no failure: the action still succeeds.
TEST_F(HalventActionTest, ActionsSucceedOnAThreadWithComAlreadyInitialised)
{
    CComInitScope com;
    ASSERT_TRUE(com.Succeeded());
    EXPECT_EQ(0u, Find<PFN_ACTION>("WUCheckCA")(m_session.Get()));
    EXPECT_EQ(0u, Find<PFN_ACTION>("WUPauseCA")(m_session.Get()));
    EXPECT_EQ(0u, Find<PFN_ACTION>("WUResumeCA")(m_session.Get()));
}

TEST_F(HalventActionTest, PauseAndResumeLogTheirOutcomeAndNeverFail)
{
    const bool bPaused = SUCCEEDED(([] {
        CComInitScope com;
        return PauseAutomaticUpdates();
    })());
    EXPECT_EQ(0u, Find<PFN_ACTION>("WUPauseCA")(m_session.Get()));
    EXPECT_TRUE(m_messages.Logged(bPaused ? L"Halvent:  Succeeded : Pauses automatic updating"
                                          : L"Halvent:  Failed : Pauses automatic updating"))
        << m_messages.Dump();
    EXPECT_EQ(0u, Find<PFN_ACTION>("WUResumeCA")(m_session.Get()));
    EXPECT_TRUE(m_messages.Logged(L"Halvent:  Succeeded : Resumes automatic updating") ||
                m_messages.Logged(L"Halvent:  Failed : Resumes automatic updating"))
        << m_messages.Dump();
    EXPECT_TRUE(m_messages.Errors().empty());
}

TEST_F(HalventActionTest, ActionsFailWithoutComOrASession)
{
    OnMultithreadedThread([&] {
        for (const char* pszName : {"WUCheckCA", "WUPauseCA", "WUResumeCA"})
        {
            m_messages.Clear();
            EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), Find<PFN_ACTION>(pszName)(m_session.Get())) << pszName;
            EXPECT_TRUE(m_messages.Logged(L"Halvent:  Failed to COM initialize")) << pszName << m_messages.Dump();
        }
    });
    for (const char* pszName : {"WUCheckCA", "WUPauseCA", "WUResumeCA"})
        EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), Find<PFN_ACTION>(pszName)(0)) << pszName;
}
