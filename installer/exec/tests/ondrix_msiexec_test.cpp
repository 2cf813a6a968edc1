// The lock and start actions (and beside them Halvent's update actions) run by the system's
// msiexec from the test package, as an installation runs them: separate processes, the
// installer's own custom-action host and log.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "installer/exec/tests/ondrix_test_util.h"

using ondrixtest::COndrix;

namespace
{
class OndrixMsiexecTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_package = zeptest::ExeDir() + L"action_test.msi";
        m_installDir = zeptest::TestTempDir() + L"installed\\";
        m_log = zeptest::TestTempDir() + L"install.log";
        m_mutexName = FormatString(L"OndrixMsiexec_%lu", ::GetCurrentProcessId());
        // A run that died half-way may have left the package installed.
        DWORD dwIgnored = 0;
        zeptest::RunProcess(L"msiexec.exe /x \"" + m_package + L"\" /qn", 120000, dwIgnored);
    }

    // Wine's installer does not find the folder of an installed component by itself: the
    // removal is told where the installation went.
    DWORD Uninstall()
    {
        ::DeleteFileW(m_log.c_str());
        return Msiexec(L"/x \"" + m_package + L"\" /qn /l*v \"" + m_log + L"\" INSTALLDIR=\"" + m_installDir + L"\"");
    }

    DWORD Msiexec(const std::wstring& arguments)
    {
        DWORD dwExit = 0xFFFFFFFF;
        EXPECT_TRUE(zeptest::RunProcess(L"msiexec.exe " + arguments, 120000, dwExit));
        return dwExit;
    }
    DWORD Install()
    {
        ::DeleteFileW(m_log.c_str());
        return Msiexec(L"/i \"" + m_package + L"\" /qn /l*v \"" + m_log + L"\" INSTALLDIR=\"" + m_installDir +
                       L"\" MUTEX_NAME=" + m_mutexName);
    }

    // The verbose log, whichever encoding the installer wrote it in.
    std::wstring ReadLog()
    {
        std::string bytes;
        if (!zeptest::ReadFileBytes(m_log, bytes))
            return L"(no log)";
        if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
            static_cast<unsigned char>(bytes[1]) == 0xFE)
            return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
        return Utf8ToWide(bytes);
    }

    std::wstring m_package;
    std::wstring m_installDir;
    std::wstring m_log;
    std::wstring m_mutexName;
};
}  // namespace

TEST_F(OndrixMsiexecTest, InstallTakesAndReleasesTheLockAndStartsTheProgram)
{
    ASSERT_EQ(0u, Install()) << WideToUtf8(ReadLog());
    const std::wstring log = ReadLog();
    for (const wchar_t* pszLine :
         {L"Ondrix:  Took the instance lock '", L"Ondrix:  Released the instance lock",
          L"Ondrix:  ExecuteApplicationCA started", L"Halvent:  Succeeded : Pauses automatic updating",
          L"Halvent:  Succeeded : Resumes automatic updating"})
        EXPECT_NE(std::wstring::npos, log.find(pszLine)) << WideToUtf8(pszLine);
    const std::wstring recorder = m_installDir + L"recorder.exe";
    EXPECT_EQ(recorder + L" /from installer", ondrixtest::WaitForRecordedCommandLine(recorder));

    EXPECT_EQ(0u, Uninstall());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(recorder.c_str())) << WideToUtf8(ReadLog());
}

TEST_F(OndrixMsiexecTest, InstallIsRefusedWhileAnotherHoldsTheLock)
{
    COndrix ondrix;
    ASSERT_TRUE(ondrix.Load());
    const auto pfnLock = reinterpret_cast<COndrix::PFN_LOCK_W>(ondrix.Find("LockInstanceW"));
    const auto pfnUnlock = reinterpret_cast<COndrix::PFN_UNLOCK>(ondrix.Find("UnLockInstance"));
    ASSERT_TRUE(pfnLock && pfnUnlock);
    HANDLE hMutex = nullptr;
    BOOL bHeld = TRUE;
    ASSERT_EQ(1, pfnLock(m_mutexName.c_str(), &hMutex, &bHeld));
    ASSERT_FALSE(bHeld);

    EXPECT_EQ(static_cast<DWORD>(ERROR_INSTALL_FAILURE), Install());
    const std::wstring log = ReadLog();
    EXPECT_NE(std::wstring::npos, log.find(L"28000")) << WideToUtf8(log);
    EXPECT_NE(std::wstring::npos, log.find(L"Ondrix:  The instance lock '" + m_mutexName + L"' is held"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((m_installDir + L"recorder.exe").c_str()));

    // Once the other installation is done, this one goes through.
    EXPECT_EQ(1, pfnUnlock(hMutex));
    EXPECT_EQ(0u, Install()) << WideToUtf8(ReadLog());
    EXPECT_EQ(0u, Uninstall());
}
