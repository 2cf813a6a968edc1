#include <gtest/gtest.h>
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "installer/exec/app_start.h"
#include "installer/exec/tests/ondrix_test_util.h"
#include "installer/testing/installer_session.h"

using ondrixtest::COndrix;

namespace
{
bool Yes() { return true; }
bool No() { return false; }
FARPROC RealCreateProcessWithToken() { return SystemStartPlatform().pfnFindCreateProcessWithToken(); }
FARPROC NoCreateProcessWithToken() { return nullptr; }

// Exit code of the lock probe: 0 the lock was free, 1 held.
DWORD ProbeLock(const std::wstring& name)
{
    DWORD dwExit = 99;
    if (!zeptest::RunProcess(L"\"" + zeptest::ExeDir() + L"ondrix_lock_probe.exe\" " + name, 20000, dwExit))
        return 98;
    return dwExit;
}

std::wstring UniqueName(const wchar_t* pszBase)
{
    return FormatString(L"%s_%lu_%llu", pszBase, ::GetCurrentProcessId(), ::GetTickCount64());
}
}  // namespace

TEST(CommandLine, JoinsProgramAndParametersWithOneSpace)
{
    struct Case
    {
        const wchar_t* pszProgram;
        const wchar_t* pszParameters;
        bool bJoined;
        const wchar_t* pszExpected;
    };
    const Case cases[] = {
        {L"C:\\App\\a.exe", L"/x E", true, L"C:\\App\\a.exe /x E"},
        {L"", L"\"C:\\App\\a.exe\" /x", true, L" \"C:\\App\\a.exe\" /x"},
        {L"C:\\App\\a.exe", L"", true, L"C:\\App\\a.exe "},
        {L"C:\\Program Files\\App\\a.exe", L"/x", true, L"\"C:\\Program Files\\App\\a.exe\" /x"},
        {L"\"C:\\Program Files\\App\\a.exe\"", L"/x", true, L"\"C:\\Program Files\\App\\a.exe\" /x"},
        {L"", L"", false, L""},
        {nullptr, L"/x", false, L""},
        {L"C:\\App\\a.exe", nullptr, false, L""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << (c.pszProgram ? WideToUtf8(c.pszProgram) : "(null)") << " | "
                                        << (c.pszParameters ? WideToUtf8(c.pszParameters) : "(null)"));
        std::wstring joined = L"stale";
        EXPECT_EQ(c.bJoined, JoinCommandLine(c.pszProgram, c.pszParameters, joined));
        EXPECT_EQ(c.pszExpected, joined);
    }
}

class OndrixStartTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_ondrix.Load());
        m_recorder = ondrixtest::CopyRecorder(zeptest::TestTempDir(), L"recorder.exe");
        ASSERT_FALSE(m_recorder.empty());
    }

    COndrix m_ondrix;
    std::wstring m_recorder;
};

// The command line starts with the space and goes to the system as it is: the system decides
// whether the first word of the parameters names the program (Windows skips the space; Wine 8
// finds no program name and refuses).
TEST_F(OndrixStartTest, EmptyProgramHandsTheSystemTheCommandLineWithItsLeadingSpace)
{
    const auto pfnStart = reinterpret_cast<COndrix::PFN_START_W>(m_ondrix.Find("ExecuteApplicationW"));
    ASSERT_NE(nullptr, pfnStart);
    const std::wstring parameters = L"\"" + m_recorder + L"\" /x E";
    const std::wstring commandLine = L" " + parameters;

    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    const bool bSystemStarts = ::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                                &si, &pi) != FALSE;
    if (bSystemStarts)
    {
        UniqueHandle process(pi.hProcess);
        UniqueHandle thread(pi.hThread);
        ASSERT_EQ(commandLine, ondrixtest::WaitForRecordedCommandLine(m_recorder));
        ASSERT_TRUE(::DeleteFileW((m_recorder + L".txt").c_str()));
    }

    EXPECT_EQ(bSystemStarts ? 1 : 0, pfnStart(L"", parameters.c_str()));
    EXPECT_EQ(bSystemStarts ? commandLine : std::wstring(), ondrixtest::WaitForRecordedCommandLine(m_recorder, 1000));
}

TEST_F(OndrixStartTest, AnsiVariantPassesTheSameCommandLine)
{
    const auto pfnStart = reinterpret_cast<COndrix::PFN_START_A>(m_ondrix.Find("ExecuteApplicationA"));
    ASSERT_NE(nullptr, pfnStart);
    ASSERT_EQ(1, pfnStart(WideToAnsi(m_recorder).c_str(), "/m AUTO"));
    EXPECT_EQ(m_recorder + L" /m AUTO", ondrixtest::WaitForRecordedCommandLine(m_recorder));
}

TEST_F(OndrixStartTest, EveryVariantRefusesMissingOrEmptyTextAndUnstartablePrograms)
{
    const std::wstring missing = zeptest::TestTempDir() + L"missing.exe";
    for (const char* pszName : {"ExecuteApplicationW", "ExecuteApplicationWitHighIntegrityLevelW",
                                "ExecuteApplicationWitMediumIntegrityLevelW", "ExecuteApplicationWitLowIntegrityLevelW"})
    {
        SCOPED_TRACE(pszName);
        const auto pfnStart = reinterpret_cast<COndrix::PFN_START_W>(m_ondrix.Find(pszName));
        ASSERT_NE(nullptr, pfnStart);
        EXPECT_EQ(0, pfnStart(nullptr, L"x"));
        EXPECT_EQ(0, pfnStart(L"x", nullptr));
        EXPECT_EQ(0, pfnStart(L"", L""));
        EXPECT_EQ(0, pfnStart(missing.c_str(), L"x"));
    }
    for (const char* pszName : {"ExecuteApplicationA", "ExecuteApplicationWitHighIntegrityLevelA",
                                "ExecuteApplicationWitMediumIntegrityLevelA", "ExecuteApplicationWitLowIntegrityLevelA"})
    {
        SCOPED_TRACE(pszName);
        const auto pfnStart = reinterpret_cast<COndrix::PFN_START_A>(m_ondrix.Find(pszName));
        ASSERT_NE(nullptr, pfnStart);
        EXPECT_EQ(0, pfnStart(nullptr, "x"));
        EXPECT_EQ(0, pfnStart("", ""));
    }
}

// The real system's answers: elevation through the shell and the low-integrity token start the
// program with its parameters. The medium level borrows the token of the shell's desktop window;
// Wine has no such window, so there the variant starts nothing and says so.
TEST_F(OndrixStartTest, IntegrityVariantsStartTheProgramOnThisSystem)
{
    const bool bHaveShell = ::GetShellWindow() != nullptr;
    struct Case
    {
        const char* pszName;
        bool bStarts;
    };
    const Case cases[] = {
        {"ExecuteApplicationWitHighIntegrityLevelW", true},
        {"ExecuteApplicationWitMediumIntegrityLevelW", bHaveShell},
        {"ExecuteApplicationWitLowIntegrityLevelW", true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        ::DeleteFileW((m_recorder + L".txt").c_str());
        const auto pfnStart = reinterpret_cast<COndrix::PFN_START_W>(m_ondrix.Find(c.pszName));
        ASSERT_NE(nullptr, pfnStart);
        if (!c.bStarts)
        {
            EXPECT_EQ(0, pfnStart(m_recorder.c_str(), L"/p q"));
            EXPECT_EQ(L"", ondrixtest::WaitForRecordedCommandLine(m_recorder, 1000));
            continue;
        }
        EXPECT_EQ(1, pfnStart(m_recorder.c_str(), L"/p q"));
        const std::wstring recorded = ondrixtest::WaitForRecordedCommandLine(m_recorder);
        EXPECT_NE(std::wstring::npos, recorded.find(L"recorder.exe")) << WideToUtf8(recorded);
        EXPECT_EQ(L" /p q", recorded.substr(recorded.size() >= 5 ? recorded.size() - 5 : 0));
    }
}

// Where the system is too old, the user no administrator or the token call is missing, the
// variants start the program exactly as the plain start does.
TEST_F(OndrixStartTest, IntegrityVariantsFallBackToThePlainStart)
{
    const StartPlatform oldSystem = {No, Yes, RealCreateProcessWithToken};
    const StartPlatform notAdmin = {Yes, No, RealCreateProcessWithToken};
    const StartPlatform noTokenCall = {Yes, Yes, NoCreateProcessWithToken};
    struct Case
    {
        const char* pszLabel;
        bool (*pfnStart)(const StartPlatform&, const wchar_t*, const wchar_t*);
        const StartPlatform* pPlatform;
    };
    const Case cases[] = {
        {"high, old system", StartElevated, &oldSystem},
        {"medium, old system", StartAsDesktopUser, &oldSystem},
        {"low, old system", StartAtLowIntegrity, &oldSystem},
        {"medium, not administrator", StartAsDesktopUser, &notAdmin},
        {"medium, no token call", StartAsDesktopUser, &noTokenCall},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszLabel);
        ::DeleteFileW((m_recorder + L".txt").c_str());
        ASSERT_TRUE(c.pfnStart(*c.pPlatform, m_recorder.c_str(), L"/p q"));
        EXPECT_EQ(m_recorder + L" /p q", ondrixtest::WaitForRecordedCommandLine(m_recorder));
        EXPECT_FALSE(c.pfnStart(*c.pPlatform, L"", L""));
    }
}

// A program in a folder with a space: the program itself starts, not a prefix of its path.
TEST_F(OndrixStartTest, ProgramInAFolderWithASpaceStartsItself)
{
    const std::wstring folder = zeptest::TestTempDir() + L"Program Files\\";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring recorder = ondrixtest::CopyRecorder(folder, L"recorder.exe");
    // What an unquoted command line would start first.
    const std::wstring decoy = ondrixtest::CopyRecorder(zeptest::TestTempDir(), L"Program.exe");
    ASSERT_FALSE(recorder.empty() || decoy.empty());
    const auto pfnStart = reinterpret_cast<COndrix::PFN_START_W>(m_ondrix.Find("ExecuteApplicationW"));
    ASSERT_EQ(1, pfnStart(recorder.c_str(), L"/p q"));
    EXPECT_EQ(L"\"" + recorder + L"\" /p q", ondrixtest::WaitForRecordedCommandLine(recorder));
    EXPECT_EQ(L"", ondrixtest::WaitForRecordedCommandLine(decoy, 500));
}

TEST(OndrixLock, SecondProcessSeesTheLockUntilItIsReleased)
{
    COndrix ondrix;
    ASSERT_TRUE(ondrix.Load());
    const auto pfnLockW = reinterpret_cast<COndrix::PFN_LOCK_W>(ondrix.Find("LockInstanceW"));
    const auto pfnLockA = reinterpret_cast<COndrix::PFN_LOCK_A>(ondrix.Find("LockInstanceA"));
    const auto pfnUnlock = reinterpret_cast<COndrix::PFN_UNLOCK>(ondrix.Find("UnLockInstance"));
    ASSERT_TRUE(pfnLockW && pfnLockA && pfnUnlock);
    const std::wstring name = UniqueName(L"OndrixLockTest");

    EXPECT_EQ(0u, ProbeLock(name));
    HANDLE hMutex = nullptr;
    BOOL bHeld = TRUE;
    ASSERT_EQ(1, pfnLockW(name.c_str(), &hMutex, &bHeld));
    EXPECT_NE(nullptr, hMutex);
    EXPECT_FALSE(bHeld);
    EXPECT_EQ(1u, ProbeLock(name));

    HANDLE hSecond = nullptr;
    ASSERT_EQ(1, pfnLockA(WideToAnsi(name).c_str(), &hSecond, &bHeld));
    EXPECT_TRUE(bHeld);
    EXPECT_EQ(1, pfnUnlock(hSecond));

    EXPECT_EQ(1, pfnUnlock(hMutex));
    EXPECT_EQ(0u, ProbeLock(name));
    EXPECT_EQ(0, pfnUnlock(nullptr));
    EXPECT_EQ(0, pfnLockW(nullptr, &hMutex, &bHeld));
    EXPECT_EQ(0, pfnLockW(name.c_str(), nullptr, &bHeld));
}

// The custom actions run against installer sessions of the test package opened in this process;
// what they send to the installer's user interface is collected.
class OndrixSessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_ondrix.Load());
        ASSERT_TRUE(m_messages.Installed());
    }

    UniqueMsiHandle OpenSession()
    {
        UniqueMsiHandle session = installertest::OpenActionTestSession();
        EXPECT_TRUE(session.IsValid());
        return session;
    }

    UINT Run(const char* pszAction, MSIHANDLE hSession)
    {
        const auto pfnAction = reinterpret_cast<COndrix::PFN_ACTION>(m_ondrix.Find(pszAction));
        EXPECT_NE(nullptr, pfnAction) << pszAction;
        return pfnAction ? pfnAction(hSession) : 0xFFFFFFFF;
    }

    COndrix m_ondrix;
    installertest::CUiMessageLog m_messages;
};

TEST_F(OndrixSessionTest, StartActionRunsTheProgramFromTheInstallFolder)
{
    const std::wstring recorder = ondrixtest::CopyRecorder(zeptest::TestTempDir(), L"recorder.exe");
    UniqueMsiHandle session = OpenSession();
    ASSERT_TRUE(session.IsValid());
    EXPECT_EQ(0u, Run("ExecuteApplicationCA", session.Get()));
    EXPECT_EQ(recorder + L" /from installer", ondrixtest::WaitForRecordedCommandLine(recorder));
    EXPECT_TRUE(m_messages.Logged(L"Ondrix:  ExecuteApplicationCA started")) << m_messages.Dump();
    EXPECT_TRUE(m_messages.Errors().empty());
}

TEST_F(OndrixSessionTest, StartActionStatusComesFromThePropertiesOnly)
{
    UniqueMsiHandle session = OpenSession();
    ASSERT_TRUE(session.IsValid());
    struct Case
    {
        std::wstring appName;
        UINT uStatus;
        const wchar_t* pszLine;
    };
    const Case cases[] = {
        {L"missing.exe", 0, L"Ondrix:  ExecuteApplicationWitLowIntegrityLevelCA could not start"},
        {L"", ERROR_INVALID_PARAMETER, L"Ondrix:  Error 0x57: Failed to get string length 'Application Name'"},
        {std::wstring(MAX_PATH, L'a'), ERROR_INVALID_PARAMETER,
         L"Ondrix:  Error 0x57: Failed to get string length 'Application Name'"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.pszLine));
        m_messages.Clear();
        ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiSetPropertyW(session.Get(), L"LAUNCH_APPNAME", c.appName.c_str()));
        EXPECT_EQ(c.uStatus, Run("ExecuteApplicationWitLowIntegrityLevelCA", session.Get()));
        EXPECT_TRUE(m_messages.Logged(c.pszLine)) << m_messages.Dump();
    }
}

// No handle: the runtime does not start (1603). A handle that is no session: the first property
// read fails, and its status is the result; for the unlock that is 1626.
TEST_F(OndrixSessionTest, ActionsWithoutASession)
{
    UniqueMsiHandle record(::MsiCreateRecord(1));
    struct Case
    {
        const char* pszAction;
        UINT uNotASession;
    };
    const Case cases[] = {
        {"ExecuteApplicationCA", ERROR_INVALID_HANDLE},
        {"ExecuteApplicationWitHighIntegrityLevelCA", ERROR_INVALID_HANDLE},
        {"ExecuteApplicationWitMediumIntegrityLevelCA", ERROR_INVALID_HANDLE},
        {"ExecuteApplicationWitLowIntegrityLevelCA", ERROR_INVALID_HANDLE},
        {"LockInstanceCA", ERROR_INVALID_HANDLE},
        {"UnLockInstanceCA", ERROR_FUNCTION_NOT_CALLED},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszAction);
        EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), Run(c.pszAction, 0));
        EXPECT_EQ(c.uNotASession, Run(c.pszAction, record.Get()));
    }
}

TEST_F(OndrixSessionTest, SecondInstallationIsRefusedWhileTheFirstHoldsTheLock)
{
    const std::wstring name = UniqueName(L"OndrixSessionLock");
    UniqueMsiHandle first = OpenSession();
    UniqueMsiHandle second = OpenSession();
    ASSERT_TRUE(first.IsValid() && second.IsValid());
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiSetPropertyW(first.Get(), L"MUTEX_NAME", name.c_str()));
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiSetPropertyW(second.Get(), L"MUTEX_NAME", name.c_str()));

    ASSERT_EQ(0u, Run("LockInstanceCA", first.Get()));
    const std::wstring handleText = installertest::Property(first.Get(), L"MUTEX_HANDLE");
    EXPECT_NE(0, _wtoi64(handleText.c_str())) << WideToUtf8(handleText);
    EXPECT_EQ(1u, ProbeLock(name));
    EXPECT_TRUE(m_messages.Errors().empty());

    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), Run("LockInstanceCA", second.Get()));
    const std::vector<installertest::UiMessage> errors = m_messages.Errors();
    ASSERT_EQ(1u, errors.size()) << m_messages.Dump();
    ASSERT_LE(2u, errors[0].fields.size());
    EXPECT_EQ(28000, errors[0].fields[0]);
    EXPECT_EQ(1603, errors[0].fields[1]);
    EXPECT_EQ(L"", installertest::Property(second.Get(), L"MUTEX_HANDLE"));

    // The installer unloads the library between actions.
    m_ondrix.m_module.Reset();
    ASSERT_TRUE(m_ondrix.Load());
    EXPECT_EQ(0u, Run("UnLockInstanceCA", first.Get()));
    EXPECT_EQ(L"", installertest::Property(first.Get(), L"MUTEX_HANDLE"));
    EXPECT_EQ(0u, ProbeLock(name));
    // Unlocked once; the same number again names nothing of ours.
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiSetPropertyW(first.Get(), L"MUTEX_HANDLE", handleText.c_str()));
    EXPECT_EQ(0u, Run("UnLockInstanceCA", first.Get()));
}

// A name the system refuses is no lock held by another installation: the action fails without
// the package's "already running" message.
TEST_F(OndrixSessionTest, LockThatCannotBeCreatedFailsWithoutTheHeldMessage)
{
    UniqueMsiHandle session = OpenSession();
    ASSERT_TRUE(session.IsValid());
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiSetPropertyW(session.Get(), L"MUTEX_NAME", L"no\\such\\folder"));
    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), Run("LockInstanceCA", session.Get()));
    EXPECT_TRUE(m_messages.Errors().empty()) << m_messages.Dump();
    EXPECT_TRUE(m_messages.Logged(L"Failed to create the instance lock 'no\\such\\folder'")) << m_messages.Dump();
    EXPECT_EQ(L"", installertest::Property(session.Get(), L"MUTEX_HANDLE"));
}

// A number in the property that this process's lock action did not hand out names some other
// object here (or nothing): it stays open.
TEST_F(OndrixSessionTest, UnlockClosesOnlyALockItsOwnActionTook)
{
    UniqueMsiHandle session = OpenSession();
    ASSERT_TRUE(session.IsValid());
    UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event.IsValid());
    const std::wstring eventNumber = FormatString(L"%lld", static_cast<long long>(reinterpret_cast<INT_PTR>(event.Get())));
    for (const std::wstring& value : {std::wstring(), std::wstring(L"0"), std::wstring(L"12abc"), eventNumber})
    {
        SCOPED_TRACE(WideToUtf8(value));
        ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiSetPropertyW(session.Get(), L"MUTEX_HANDLE", value.c_str()));
        EXPECT_EQ(0u, Run("UnLockInstanceCA", session.Get()));
        EXPECT_EQ(value, installertest::Property(session.Get(), L"MUTEX_HANDLE"));
    }
    DWORD dwFlags = 0;
    EXPECT_TRUE(::GetHandleInformation(event.Get(), &dwFlags));
    EXPECT_TRUE(::SetEvent(event.Get()));
}

// The launcher named by the property is closed; a launcher that is not there, or a property
// that names nothing, never fails the installation.
TEST_F(OndrixSessionTest, CloseLauncherActionClosesTheNamedLauncherAndNeverFails)
{
    UniqueMsiHandle session = OpenSession();
    ASSERT_TRUE(session.IsValid());
    const std::wstring name = UniqueName(L"OndrixSessionLauncher");
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiSetPropertyW(session.Get(), L"LAUNCHER_APPNAME", name.c_str()));
    EXPECT_EQ(0u, Run("CloseLauncherCA", session.Get()));
    EXPECT_TRUE(m_messages.Logged(L"Ondrix:  CloseLauncherCA: " + name + L" is not running")) << m_messages.Dump();

    UniqueHandle process;
    ASSERT_TRUE(zeptest::StartProcess(
        L"\"" + zeptest::ExeDir() + L"ondrix_launcher_stand_in.exe\" \"" + name + L"\" closes", process));
    bool bRunning = false;
    for (int i = 0; i < 200 && !bRunning; ++i)
    {
        UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, (L"Global\\" + name).c_str()));
        bRunning = mutex.IsValid();
        if (!bRunning)
            ::Sleep(50);
    }
    ASSERT_TRUE(bRunning);
    m_messages.Clear();
    EXPECT_EQ(0u, Run("CloseLauncherCA", session.Get()));
    EXPECT_TRUE(m_messages.Logged(L"Ondrix:  CloseLauncherCA: closed " + name)) << m_messages.Dump();
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.Get(), 5000));
    if (::WaitForSingleObject(process.Get(), 0) != WAIT_OBJECT_0)
        ::TerminateProcess(process.Get(), 1);

    m_messages.Clear();
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiSetPropertyW(session.Get(), L"LAUNCHER_APPNAME", L""));
    EXPECT_EQ(0u, Run("CloseLauncherCA", session.Get()));
    EXPECT_TRUE(m_messages.Logged(L"Ondrix:  Error 0x57: Failed to get data for property 'LAUNCHER_APPNAME'"))
        << m_messages.Dump();
    EXPECT_TRUE(m_messages.Errors().empty()) << m_messages.Dump();
}
