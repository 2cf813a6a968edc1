#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/registry.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "update/client/installer_packages.h"
#include "update/client/tests/fake_components.h"

namespace
{
bool Exists(const std::wstring& strPath) { return ::GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool Recorded(const std::wstring& strPath)
{
    std::vector<BYTE> data;
    DWORD dwType = 0;
    return SUCCEEDED(Registry::ReadValue(InstallerPackages::kRoot, InstallerPackages::kKey, strPath.c_str(), data, dwType));
}

void End(const UniqueHandle& process)
{
    ::TerminateProcess(process.Get(), 0);
    ::WaitForSingleObject(process.Get(), 10000);
}

// Which recorded packages a later run deletes: only those no installer can still be reading.
TEST(InstallerPackages, LaterRunDeletesOnlyPackagesWhoseInstallersHaveEnded)
{
    const UniqueHandle running = StartHoldingInstaller();
    const UniqueHandle ended = StartHoldingInstaller();
    ASSERT_TRUE(running && ended);
    End(ended);
    const std::wstring strSelf = InstallerPackages::ProcessIdentity(::GetCurrentProcess());
    ASSERT_FALSE(strSelf.empty());
    const std::wstring strSelfPid = strSelf.substr(0, strSelf.find(L':'));

    enum EHow { eRecordRunning, eRecordEnded, eRecordNoProcess, eRecordBoth, eWrite };
    const struct
    {
        const char* pszName;
        EHow how;
        const wchar_t* pszData;  // eWrite: the record as found
        bool bDeleted;
        bool bRecordKept;
    } kCases[] = {
        {"installer running", eRecordRunning, nullptr, false, true},
        {"installer ended", eRecordEnded, nullptr, true, false},
        {"no installer process known", eRecordNoProcess, nullptr, true, false},
        {"two installers, one still running", eRecordBoth, nullptr, false, true},
        {"pid now used by another process", eWrite, L"@:1", true, false},
        {"this process, as it was created", eWrite, L"=", false, true},
        {"garbage", eWrite, L"not a record", false, false},
        {"created time missing", eWrite, L"1234:", false, false},
        {"signed pid", eWrite, L"-1:5", false, false},
        {"pid beyond 32 bits", eWrite, L"4294967296:5", false, false},
        {"trailing separator", eWrite, L"@:1;", false, false},
        {"pid zero", eWrite, L"0:5", false, false},
    };
    int nCase = 0;
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        const std::wstring strPath = zeptest::TestTempDir() + L"package" + std::to_wstring(++nCase) + L".exe";
        ASSERT_TRUE(zeptest::WriteFileBytes(strPath, "MZ", 2));
        switch (c.how)
        {
        case eRecordRunning: ASSERT_EQ(S_OK, InstallerPackages::Record(strPath, running.Get())); break;
        case eRecordEnded: ASSERT_EQ(S_OK, InstallerPackages::Record(strPath, ended.Get())); break;
        case eRecordNoProcess: ASSERT_EQ(S_OK, InstallerPackages::Record(strPath, nullptr)); break;
        case eRecordBoth:
            ASSERT_EQ(S_OK, InstallerPackages::Record(strPath, running.Get()));
            ASSERT_EQ(S_OK, InstallerPackages::Record(strPath, ended.Get()));
            break;
        case eWrite:
        {
            std::wstring strData = c.pszData;
            if (strData == L"=")
                strData = strSelf;
            else if (strData.compare(0, 1, L"@") == 0)
                strData = strSelfPid + strData.substr(1);
            ASSERT_EQ(S_OK, Registry::WriteString(InstallerPackages::kRoot, InstallerPackages::kKey, strPath.c_str(), strData));
            break;
        }
        }
        InstallerPackages::RemoveFinished();
        EXPECT_EQ(c.bDeleted, !Exists(strPath));
        EXPECT_EQ(c.bRecordKept, Recorded(strPath));
    }

    // A record that is not text, or names no full path, is dropped and touches nothing.
    const std::wstring strPath = zeptest::TestTempDir() + L"package.exe";
    ASSERT_TRUE(zeptest::WriteFileBytes(strPath, "MZ", 2));
    const DWORD dwValue = 1;
    ASSERT_EQ(S_OK, Registry::WriteValue(InstallerPackages::kRoot, InstallerPackages::kKey, strPath.c_str(), REG_DWORD,
                                         &dwValue, sizeof(dwValue)));
    ASSERT_EQ(S_OK, Registry::WriteString(InstallerPackages::kRoot, InstallerPackages::kKey, L"package.exe", L""));
    InstallerPackages::RemoveFinished();
    EXPECT_TRUE(Exists(strPath));
    EXPECT_FALSE(Recorded(strPath));
    EXPECT_FALSE(Recorded(L"package.exe"));
    EXPECT_EQ(E_INVALIDARG, InstallerPackages::Record(L"package.exe", nullptr));

    // Once the last installer has ended, the next run deletes what it kept.
    End(running);
    InstallerPackages::RemoveFinished();
    EXPECT_FALSE(Exists(zeptest::TestTempDir() + L"package1.exe"));
    EXPECT_FALSE(Recorded(zeptest::TestTempDir() + L"package4.exe"));
}
}  // namespace
