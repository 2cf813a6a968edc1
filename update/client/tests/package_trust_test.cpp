// Which downloaded PC packages the client starts: the system's verdict on the code signature
// of the very file held open, and the signer's key against the build's pins.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "update/client/package_trust.h"

namespace
{
// A byte of the DOS stub's message, covered by the signature; the program still runs.
const size_t kStubByte = 0x4E;

struct TrustCase
{
    const char* pszName;
    const wchar_t* pszBuilt;  // in the build's bin folder
    const wchar_t* pszSavedAs;
    bool bPatched;
    EPackageVerdict verdict;
    HRESULT hrTrust;  // WinVerifyTrust's answer
};

TEST(PackageTrust, SignedByAPinnedCertificateAndUnchangedOrRefused)
{
    const TrustCase kCases[] = {
        {"signed .exe", L"quenta_test_installer.exe", L"setup.exe", false, EPackageVerdict::eTrusted, S_OK},
        {"signed .exe, name in capitals", L"quenta_test_installer.exe", L"SETUP.EXE", false,
         EPackageVerdict::eTrusted, S_OK},
        {"signed .msi", L"quenta_trust_probe.msi", L"update.msi", false, EPackageVerdict::eTrusted, S_OK},
        {"unsigned .exe", L"quenta_test_installer_unsigned.exe", L"setup.exe", false,
         EPackageVerdict::eSignatureRefused, TRUST_E_NOSIGNATURE},
        {"signed .exe patched afterwards", L"quenta_test_installer.exe", L"setup.exe", true,
         EPackageVerdict::eSignatureRefused, TRUST_E_BAD_DIGEST},
        {"unsigned .msi", L"quenta_trust_probe_unsigned.msi", L"update.msi", false,
         EPackageVerdict::eSignatureRefused, TRUST_E_NOSIGNATURE},
        // Wine does not enforce chain trust: only the pin refuses these.
        {".exe signed by a stranger", L"quenta_test_installer_stranger.exe", L"setup.exe", false,
         EPackageVerdict::eSignerNotPinned, S_OK},
        {".msi signed by a stranger", L"quenta_trust_probe_stranger.msi", L"update.msi", false,
         EPackageVerdict::eSignerNotPinned, S_OK},
        // The shell would run these too, by what their name says they are.
        {"signed program saved as .bat", L"quenta_test_installer.exe", L"setup.bat", false,
         EPackageVerdict::eNotAnInstaller, S_OK},
        {"signed program saved as .exe.cmd", L"quenta_test_installer.exe", L"setup.exe.cmd", false,
         EPackageVerdict::eNotAnInstaller, S_OK},
        {"signed program without extension", L"quenta_test_installer.exe", L"setup", false,
         EPackageVerdict::eNotAnInstaller, S_OK},
    };
    const CPackageTrust trust;
    for (const TrustCase& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        std::string bytes;
        ASSERT_TRUE(zeptest::ReadFileBytes(zeptest::ExeDir() + c.pszBuilt, bytes));
        if (c.bPatched)
            bytes[kStubByte] ^= 0x20;
        const std::wstring strPath = zeptest::TestTempDir() + c.pszSavedAs;
        ASSERT_TRUE(zeptest::WriteFileBytes(strPath, bytes.data(), bytes.size()));
        HRESULT hrTrust = E_UNEXPECTED;
        {
            // Held as the client holds it, and left at its end as the digest check leaves it.
            UniqueHandle file(::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(file);
            LARGE_INTEGER end = {};
            ::SetFilePointerEx(file.Get(), end, nullptr, FILE_END);
            EXPECT_EQ(c.verdict, trust.Examine(strPath, file.Get(), hrTrust));
            EXPECT_EQ(c.verdict == EPackageVerdict::eTrusted ? S_OK : (HRESULT)0x8004420AL,
                      trust.Check(strPath, file.Get()));
        }
        EXPECT_EQ(c.hrTrust, hrTrust);
        ::DeleteFileW(strPath.c_str());
    }
}

TEST(PackageTrust, OnlyThePinnedKeysDecide)
{
    const std::wstring strPath = zeptest::TestTempDir() + L"setup.exe";
    std::string bytes;
    ASSERT_TRUE(zeptest::ReadFileBytes(zeptest::ExeDir() + L"quenta_test_installer.exe", bytes));
    ASSERT_TRUE(zeptest::WriteFileBytes(strPath, bytes.data(), bytes.size()));
    UniqueHandle file(::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    HRESULT hrTrust = E_UNEXPECTED;
    // A valid signature by the build's own certificate, which this list does not hold.
    const CPackageTrust other(std::vector<std::wstring>{std::wstring(64, L'0')});
    EXPECT_EQ(EPackageVerdict::eSignerNotPinned, other.Examine(strPath, file.Get(), hrTrust));
    EXPECT_EQ(S_OK, hrTrust);
}
}  // namespace
