// The access a standard user gets on the product's run-time keys, set by Moltra's action and
// read back from the keys (Wine keeps a list set on a key while its server runs).
#include <gtest/gtest.h>
#include <windows.h>
#include <msi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "installer/settings/run_time_key_access.h"
#include "installer/testing/installer_session.h"
#include "installer/testing/standard_user_access.h"

using installertest::AccessFor;

namespace
{
typedef UINT(WINAPI* PFN_ACTION)(MSIHANDLE);

const wchar_t kUpdateKey[] = L"SOFTWARE\\Test Product\\TOLVIK\\Update";
const wchar_t kClientKey[] = L"SOFTWARE\\Test Product\\Auto Update Client";

ACCESS_MASK Access(const std::wstring& path, AccessFor forWhat)
{
    ACCESS_MASK access = 0;
    DWORD dwError = ERROR_SUCCESS;
    EXPECT_TRUE(installertest::StandardUserKeyAccess(path, forWhat, access, dwError))
        << WideToUtf8(path) << ": " << dwError;
    return access;
}

class RunTimeKeyActionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_module.Reset(::LoadLibraryW((zeptest::ExeDir() + L"Moltra.dll").c_str()));
        ASSERT_TRUE(m_module.IsValid());
        m_pfnAction = reinterpret_cast<PFN_ACTION>(::GetProcAddress(m_module.Get(), "GrantRunTimeKeyAccessCA"));
        ASSERT_NE(nullptr, m_pfnAction);
        ASSERT_TRUE(m_messages.Installed());
        m_session = installertest::OpenActionTestSession();
        ASSERT_TRUE(m_session.IsValid());
    }

    UINT Run(const std::wstring& data)
    {
        EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiSetPropertyW(m_session.Get(), L"CustomActionData", data.c_str()));
        return m_pfnAction(m_session.Get());
    }

    UniqueHModule m_module;
    PFN_ACTION m_pfnAction = nullptr;
    installertest::CUiMessageLog m_messages;
    UniqueMsiHandle m_session;
};
}  // namespace

TEST(RunTimeKeys, ParsesTheInstallersListAndRefusesAnythingElse)
{
    std::vector<RunTimeKey> keys;
    ASSERT_TRUE(ParseRunTimeKeys(L"values=SOFTWARE\\A B\\Update;subkeys=SOFTWARE\\A B\\Auto Update END", keys));
    ASSERT_EQ(2u, keys.size());
    EXPECT_EQ(L"SOFTWARE\\A B\\Update", keys[0].path);
    EXPECT_TRUE(keys[0].grant == RunTimeKeyGrant::Values);
    EXPECT_EQ(L"SOFTWARE\\A B\\Auto Update END", keys[1].path);
    EXPECT_TRUE(keys[1].grant == RunTimeKeyGrant::Subkeys);
    for (const wchar_t* pszBad : {L"", L"values=", L"values=A;", L"SOFTWARE\\A", L"all=SOFTWARE\\A", L";values=A"})
    {
        EXPECT_FALSE(ParseRunTimeKeys(pszBad, keys)) << WideToUtf8(pszBad);
        EXPECT_TRUE(keys.empty()) << WideToUtf8(pszBad);
    }
}

// Each key as the programs use it: the launcher sets values in its key; the update client
// creates per-service subkeys and writes in them, but the client key's own values (the debug
// server address) stay the administrators'.
TEST_F(RunTimeKeyActionTest, UsersMayWriteWhatTheProgramsWriteAndNothingMore)
{
    ASSERT_EQ(0u, Run(std::wstring(L"values=") + kUpdateKey + L";subkeys=" + kClientKey));
    EXPECT_TRUE(m_messages.Logged(std::wstring(L"Moltra:  Users may set the values of ") + kUpdateKey))
        << m_messages.Dump();
    EXPECT_TRUE(m_messages.Logged(std::wstring(L"Moltra:  Users may create and write subkeys of ") + kClientKey))
        << m_messages.Dump();

    const installertest::KeyAccessExpectation cases[] = {
        {kUpdateKey, AccessFor::Key, KEY_QUERY_VALUE | KEY_SET_VALUE, KEY_CREATE_SUB_KEY | WRITE_DAC | DELETE},
        {kUpdateKey, AccessFor::NewSubkey, 0, KEY_SET_VALUE | KEY_CREATE_SUB_KEY},
        {kClientKey, AccessFor::Key, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_CREATE_SUB_KEY,
         KEY_SET_VALUE | WRITE_DAC | DELETE},
        {kClientKey, AccessFor::NewSubkey, KEY_ALL_ACCESS, 0},
    };
    installertest::ExpectStandardUserKeyAccess(L"", cases);
}

// An upgrade or repair runs the action again: the Users entries are replaced, not added, and
// entries of other accounts stay.
TEST_F(RunTimeKeyActionTest, RunningAgainReplacesOnlyTheUsersEntries)
{
    UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kClientKey, 0, nullptr, 0,
                                               READ_CONTROL | WRITE_DAC | KEY_WOW64_64KEY, nullptr, key.Receive(),
                                               nullptr));
    // Administrators full control, and Users once allowed to set the key's own values.
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;CI;KA;;;BA)(A;;KR;;;BU)(A;;0x2;;;BU)",
                                                                       SDDL_REVISION_1, &pDescriptor, nullptr));
    UniqueLocalMem descriptor(pDescriptor);
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, pDescriptor));
    ASSERT_EQ(KEY_READ | KEY_SET_VALUE, Access(kClientKey, AccessFor::Key) & (KEY_READ | KEY_SET_VALUE));

    const std::wstring data = std::wstring(L"subkeys=") + kClientKey;
    ASSERT_EQ(0u, Run(data));
    const std::wstring once = installertest::KeyAccessListText(kClientKey);
    ASSERT_EQ(0u, Run(data));
    EXPECT_EQ(once, installertest::KeyAccessListText(kClientKey));
    EXPECT_NE(std::wstring::npos, once.find(L"(A;CI;KA;;;BA)")) << WideToUtf8(once);
    EXPECT_EQ(0u, Access(kClientKey, AccessFor::Key) & KEY_SET_VALUE) << WideToUtf8(once);
}

TEST_F(RunTimeKeyActionTest, FailsTheInstallationWithoutAUsableList)
{
    for (const wchar_t* pszData : {L"", L"everything=SOFTWARE\\Test Product"})
    {
        m_messages.Clear();
        EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), Run(pszData)) << WideToUtf8(pszData);
        EXPECT_TRUE(m_messages.Logged(L"Moltra:  Error 0x57: No run-time keys given")) << m_messages.Dump();
    }
    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), m_pfnAction(0));
}
