#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>
#include <wrl/client.h>

#include "common/com_init.h"
#include "common/msxml_guids.h"
#include "common/registry.h"
#include "common/testing/zeptest.h"

using Microsoft::WRL::ComPtr;

// Each test starts from an empty machine and user hive; the first test's write
// must not be visible to the second.
TEST(Sandbox, FirstTestWrites)
{
    ASSERT_EQ(S_OK, Registry::WriteDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ZepSandboxProbe", L"v", 1));
    ASSERT_EQ(S_OK, Registry::WriteDword(HKEY_CURRENT_USER, L"Software\\ZepSandboxProbe", L"v", 1));
}

TEST(Sandbox, SecondTestSeesNothing)
{
    DWORD dw = 0;
    EXPECT_TRUE(FAILED(Registry::ReadDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ZepSandboxProbe", L"v", dw)));
    EXPECT_TRUE(FAILED(Registry::ReadDword(HKEY_CURRENT_USER, L"Software\\ZepSandboxProbe", L"v", dw)));
}

TEST(Sandbox, RealMachineKeysAreHiddenButSystemComponentsStillWork)
{
    std::wstring root;
    EXPECT_TRUE(FAILED(Registry::ReadString(HKEY_LOCAL_MACHINE,
                                            L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"SystemRoot",
                                            root)));
    {
        zeptest::CRegistrySandboxSuspension real;
        EXPECT_EQ(S_OK, Registry::ReadString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion",
                                             L"SystemRoot", root));
    }
    CComInitScope com;
    ComPtr<IXMLDOMDocument> doc30, doc60;
    EXPECT_EQ(S_OK, ::CoCreateInstance(CLSID_ZepDOMDocument30, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&doc30)));
    EXPECT_EQ(S_OK, ::CoCreateInstance(CLSID_ZepDOMDocument60, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&doc60)));
}

TEST(Sandbox, TempFolderIsPrivateAndExists)
{
    const std::wstring dir = zeptest::TestTempDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(dir.c_str()));
    EXPECT_TRUE(zeptest::WriteFileBytes(dir + L"probe.bin", "x", 1));
}

TEST(Sandbox, CryptoApiFindsItsProviders)
{
    HCRYPTPROV hProv = 0;
    ASSERT_TRUE(::CryptAcquireContextW(&hProv, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        << ::GetLastError();
    ::CryptReleaseContext(hProv, 0);
}
