#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "update/client/package_digest.h"
#include "update/client/service_status.h"

namespace
{
// A package whose digest cannot be computed is refused like one whose digest differs, so the
// service records status 44 and not whatever the system said.
TEST(PackageDigest, DigestThatCannotBeComputedIsAMismatch)
{
    const std::wstring strPath = zeptest::TestTempDir() + L"digest.bin";
    ASSERT_TRUE(zeptest::WriteFileBytes(strPath, "package", 7));
    const struct
    {
        const char* pszName;
        DWORD dwAccess;  // 0: not a file at all
    } kCases[] = {
        {"handle without read access", FILE_READ_ATTRIBUTES},
        {"handle of something else", 0},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        UniqueHandle handle(c.dwAccess ? ::CreateFileW(strPath.c_str(), c.dwAccess, FILE_SHARE_READ, nullptr,
                                                       OPEN_EXISTING, 0, nullptr)
                                       : ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(handle);
        for (const wchar_t* pszMac : {L"0123456789abcdef0123456789abcdef", L"0123456789abcdef0123456789abcdef01234567"})
        {
            bool bMatches = true;
            EXPECT_EQ(ZEP_E_DIGEST_MISMATCH, PackageDigestMatches(handle.Get(), pszMac, bMatches)) << pszMac;
            EXPECT_FALSE(bMatches);
        }
    }
}
}  // namespace
