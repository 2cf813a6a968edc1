// The current user's private folders below the shared ones: what their access list says, links in
// their path, and the folder held while in use.
#include <gtest/gtest.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "common/folder_security.h"
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"

namespace
{
std::wstring UserSid()
{
    std::wstring strSid;
    EXPECT_EQ(S_OK, CurrentUserSidText(strSid));
    return strSid;
}

UniqueLocalMem DescriptorFromText(const std::wstring& strSddl)
{
    PSECURITY_DESCRIPTOR pSd = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(strSddl.c_str(), SDDL_REVISION_1, &pSd, nullptr);
    return UniqueLocalMem(pSd);
}

std::wstring DescriptorText(PSECURITY_DESCRIPTOR pSd)
{
    LPWSTR pszText = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(
            pSd, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &pszText, nullptr))
        return L"(unreadable)";
    UniqueLocalMem text(pszText);
    return pszText;
}

std::wstring FolderDescriptorText(const std::wstring& strPath)
{
    PSECURITY_DESCRIPTOR pSd = nullptr;
    if (::GetNamedSecurityInfoW(strPath.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, nullptr, nullptr, &pSd) != ERROR_SUCCESS)
        return L"(unreadable)";
    UniqueLocalMem sd(pSd);
    return DescriptorText(pSd);
}

bool FolderIsPrivate(const std::wstring& strPath)
{
    PSECURITY_DESCRIPTOR pSd = nullptr;
    if (::GetNamedSecurityInfoW(strPath.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, nullptr, nullptr, &pSd) != ERROR_SUCCESS)
        return false;
    UniqueLocalMem sd(pSd);
    return IsPrivateFolderSecurity(pSd);
}

bool IsFolder(const std::wstring& strPath)
{
    const DWORD dwAttributes = ::GetFileAttributesW(strPath.c_str());
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}
}  // namespace

TEST(PrivateFolderSecurity, BuiltDescriptorLetsOnlyTheUserSystemAndAdministratorsIn)
{
    UniqueLocalMem security = BuildPrivateFolderSecurity();
    ASSERT_TRUE(security.IsValid());
    const std::wstring strSid = UserSid();
    EXPECT_EQ(L"O:" + strSid + L"D:P(A;OICI;GA;;;" + strSid + L")(A;OICI;GA;;;SY)(A;OICI;GA;;;BA)",
              DescriptorText(security.Get()));
    EXPECT_TRUE(IsPrivateFolderSecurity(security.Get()));
}

TEST(PrivateFolderSecurity, ADescriptorThatLetsAnyoneElseInIsNotPrivate)
{
    const std::wstring strSid = UserSid();
    const std::wstring strMine = L"(A;OICI;GA;;;" + strSid + L")(A;OICI;GA;;;SY)(A;OICI;GA;;;BA)";
    const struct
    {
        const char* pszName;
        std::wstring strSddl;
        bool bPrivate;
    } kCases[] = {
        {"as built", L"O:" + strSid + L"D:P" + strMine, true},
        {"owned by Administrators", L"O:BAD:P" + strMine, true},
        {"owned by Local System", L"O:SYD:P" + strMine, true},
        {"a denial of others added", L"O:" + strSid + L"D:P" + strMine + L"(D;OICI;GA;;;BU)", true},
        {"Users may write", L"O:" + strSid + L"D:P" + strMine + L"(A;OICI;GA;;;BU)", false},
        {"Everyone may read", L"O:" + strSid + L"D:P" + strMine + L"(A;;FR;;;WD)", false},
        {"another user may write", L"O:" + strSid + L"D:P" + strMine + L"(A;;FA;;;S-1-5-21-1-2-3-1001)", false},
        {"owned by Users", L"O:BUD:P" + strMine, false},
        {"owned by another user", L"O:S-1-5-21-1-2-3-1001D:P" + strMine, false},
        {"inherits from its parent", L"O:" + strSid + L"D:" + strMine, false},
        {"no access list: everybody in", L"O:" + strSid, false},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        UniqueLocalMem sd = DescriptorFromText(c.strSddl);
        ASSERT_TRUE(sd.IsValid()) << WideToUtf8(c.strSddl);
        EXPECT_EQ(c.bPrivate, IsPrivateFolderSecurity(sd.Get())) << WideToUtf8(c.strSddl);
    }
}

TEST(PrivateFolder, ALinkAnywhereBelowTheBaseIsFound)
{
    const std::wstring strBase = zeptest::TestTempDir() + L"base";
    const std::wstring strReal = strBase + L"\\real";
    ASSERT_TRUE(::CreateDirectoryW(strBase.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(strReal.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((strReal + L"\\sub").c_str(), nullptr));
    if (!zeptest::MakeFolderLink(strBase + L"\\link", strReal))
        GTEST_SKIP() << "no folder link can be made here";
    const struct
    {
        const char* pszName;
        std::wstring strBase;
        std::wstring strPath;
        bool bFound;
    } kCases[] = {
        {"no link", strBase, strReal + L"\\sub", false},
        {"the last level", strBase, strBase + L"\\link", true},
        {"a level in between", strBase, strBase + L"\\link\\sub", true},
        {"below it, missing levels", strBase, strBase + L"\\link\\missing\\deeper", true},
        {"missing levels only", strBase, strBase + L"\\missing\\link", false},
        {"the base itself is not looked at", strBase + L"\\link", strBase + L"\\link\\sub", false},
        {"base with a trailing backslash", strBase + L"\\", strBase + L"\\link\\sub", true},
        {"not below the base: every level", strReal, strBase + L"\\link\\sub", true},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.bFound, HasReparsePointBelow(c.strBase, c.strPath)) << c.pszName;
}

TEST(PrivateFolder, CreatedOnceHeldWhileInUseAndRefusedWhereALinkStands)
{
    const std::wstring strBase = zeptest::TestTempDir() + L"base";
    ASSERT_TRUE(::CreateDirectoryW(strBase.c_str(), nullptr));
    const std::wstring strFolder = strBase + L"\\mine";
    {
        UniqueHandle hFolder;
        ASSERT_EQ(S_OK, OpenPrivateFolder(strBase, strFolder, hFolder));
        EXPECT_TRUE(hFolder.IsValid());
        EXPECT_TRUE(IsFolder(strFolder));
        // Held: not to be renamed and replaced by something else while the caller writes into it.
        EXPECT_FALSE(::MoveFileW(strFolder.c_str(), (strBase + L"\\moved").c_str()));
        EXPECT_TRUE(IsFolder(strFolder));
        ASSERT_TRUE(zeptest::WriteFileBytes(strFolder + L"\\partial.bin", "abc", 3));
    }
    // A later run of the same user finds it, and what it holds, again.
    UniqueHandle hAgain;
    EXPECT_EQ(S_OK, OpenPrivateFolder(strBase, strFolder, hAgain));
    std::string strData;
    EXPECT_TRUE(zeptest::ReadFileBytes(strFolder + L"\\partial.bin", strData));
    EXPECT_EQ("abc", strData);

    ASSERT_TRUE(zeptest::WriteFileBytes(strBase + L"\\file", "x", 1));
    UniqueHandle hFile;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS), OpenPrivateFolder(strBase, strBase + L"\\file", hFile));
    EXPECT_FALSE(hFile.IsValid());

    const std::wstring strElsewhere = zeptest::TestTempDir() + L"elsewhere";
    ASSERT_TRUE(::CreateDirectoryW(strElsewhere.c_str(), nullptr));
    if (!zeptest::MakeFolderLink(strBase + L"\\planted", strElsewhere))
        GTEST_SKIP() << "no folder link can be made here";
    const struct
    {
        const char* pszName;
        std::wstring strPath;
    } kLinks[] = {
        {"the folder is a link", strBase + L"\\planted"},
        {"a level above it is a link", strBase + L"\\planted\\mine"},
    };
    for (const auto& c : kLinks)
    {
        UniqueHandle hLinked;
        EXPECT_EQ(E_ACCESSDENIED, OpenPrivateFolder(strBase, c.strPath, hLinked)) << c.pszName;
        EXPECT_FALSE(hLinked.IsValid()) << c.pszName;
    }
    EXPECT_FALSE(IsFolder(strElsewhere + L"\\mine")) << "nothing is made through a link";
}

TEST(PrivateFolder, AccessListReadsBackAsSetAndAWideOneOfOursIsNarrowedAgain)
{
    if (!FoldersKeepAccessLists())
        GTEST_SKIP() << "this file system does not keep access lists (Wine derives them from Unix modes)";
    const std::wstring strBase = zeptest::TestTempDir() + L"base";
    ASSERT_TRUE(::CreateDirectoryW(strBase.c_str(), nullptr));
    const std::wstring strFresh = strBase + L"\\fresh";
    UniqueHandle hFresh;
    ASSERT_EQ(S_OK, OpenPrivateFolder(strBase, strFresh, hFresh));
    EXPECT_TRUE(FolderIsPrivate(strFresh)) << WideToUtf8(FolderDescriptorText(strFresh));

    // Made by this user with an access list that lets Users in.
    const std::wstring strWide = strBase + L"\\wide";
    UniqueLocalMem wide = DescriptorFromText(L"D:P(A;OICI;GA;;;BU)(A;OICI;GA;;;" + UserSid() + L")");
    SECURITY_ATTRIBUTES sa = {sizeof(sa), wide.Get(), FALSE};
    ASSERT_TRUE(::CreateDirectoryW(strWide.c_str(), &sa));
    ASSERT_FALSE(FolderIsPrivate(strWide));
    UniqueHandle hWide;
    ASSERT_EQ(S_OK, OpenPrivateFolder(strBase, strWide, hWide));
    EXPECT_TRUE(FolderIsPrivate(strWide)) << WideToUtf8(FolderDescriptorText(strWide));
}
