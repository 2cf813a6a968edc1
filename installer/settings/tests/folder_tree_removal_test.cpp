// The removal of the update client's download folder: the whole tree goes, and a link planted
// in it (any user can write there) never leads the removal to what it points at.
#include <gtest/gtest.h>
#include <windows.h>
#include <msi.h>
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "installer/settings/folder_tree_removal.h"
#include "installer/testing/installer_session.h"

namespace
{
bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteSmallFile(const std::wstring& path)
{
    ASSERT_TRUE(zeptest::WriteFileBytes(path, "data", 4)) << WideToUtf8(path);
}

// The mount-point layout of a reparse buffer (the driver kit's REPARSE_DATA_BUFFER).
struct MountPointBuffer
{
    DWORD ReparseTag;
    WORD ReparseDataLength;
    WORD Reserved;
    WORD SubstituteNameOffset;
    WORD SubstituteNameLength;
    WORD PrintNameOffset;
    WORD PrintNameLength;
    wchar_t PathBuffer[1024];
};

// A junction at link to target, or a directory symbolic link where junctions are not offered.
bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target)
{
    if (!::CreateDirectoryW(link.c_str(), nullptr))
        return false;
    UniqueHandle handle(::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (handle.IsValid())
    {
        const std::wstring substitute = L"\\??\\" + target;
        MountPointBuffer buffer = {};
        buffer.ReparseTag = IO_REPARSE_TAG_MOUNT_POINT;
        buffer.SubstituteNameLength = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
        buffer.PrintNameOffset = static_cast<WORD>(buffer.SubstituteNameLength + sizeof(wchar_t));
        buffer.PrintNameLength = static_cast<WORD>(target.size() * sizeof(wchar_t));
        memcpy(buffer.PathBuffer, substitute.c_str(), buffer.SubstituteNameLength);
        memcpy(reinterpret_cast<BYTE*>(buffer.PathBuffer) + buffer.PrintNameOffset, target.c_str(),
               buffer.PrintNameLength);
        buffer.ReparseDataLength =
            static_cast<WORD>(4 * sizeof(WORD) + buffer.PrintNameOffset + buffer.PrintNameLength + sizeof(wchar_t));
        DWORD cbReturned = 0;
        if (::DeviceIoControl(handle.Get(), FSCTL_SET_REPARSE_POINT, &buffer, buffer.ReparseDataLength + 8, nullptr, 0,
                              &cbReturned, nullptr) &&
            (::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT))
            return true;
    }
    handle.Reset();
    ::RemoveDirectoryW(link.c_str());
    return ::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) &&
           (::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
}
}  // namespace

TEST(FolderTreeRemoval, RemovesFilesAndFoldersAtEveryDepth)
{
    const std::wstring root = zeptest::TestTempDir() + L"AutoUpdateClient";
    for (const wchar_t* pszFolder : {L"", L"\\VLFW", L"\\VLFW\\dl-1", L"\\TVK", L"\\TVK\\dl-2", L"\\TVK\\dl-2\\part"})
        ASSERT_TRUE(::CreateDirectoryW((root + pszFolder).c_str(), nullptr)) << WideToUtf8(pszFolder);
    for (const wchar_t* pszFile : {L"\\info.xml", L"\\VLFW\\info.xml", L"\\VLFW\\dl-1\\fw.upg",
                                   L"\\TVK\\dl-2\\part\\VelomarLauncher-2.1.1.msi"})
        WriteSmallFile(root + pszFile);
    ASSERT_TRUE(::SetFileAttributesW((root + L"\\VLFW\\dl-1\\fw.upg").c_str(), FILE_ATTRIBUTE_READONLY));

    EXPECT_EQ(S_OK, RemoveFolderTree(root));
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(Exists(zeptest::TestTempDir()));
    // Nothing there is no failure: a second removal, or a machine where nothing was downloaded.
    EXPECT_EQ(S_OK, RemoveFolderTree(root));
    EXPECT_EQ(S_OK, RemoveFolderTree(zeptest::TestTempDir() + L"missing\\AutoUpdateClient"));
}

TEST(FolderTreeRemoval, ALinkInTheTreeIsRemovedWithoutEnteringIt)
{
    const std::wstring root = zeptest::TestTempDir() + L"AutoUpdateClient";
    const std::wstring outside = zeptest::TestTempDir() + L"someone else's";
    ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((root + L"\\VLFW").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(outside.c_str(), nullptr));
    WriteSmallFile(outside + L"\\keep.txt");
    if (!MakeDirectoryLink(root + L"\\VLFW\\dl", outside) || !Exists(root + L"\\VLFW\\dl\\keep.txt"))
        GTEST_SKIP() << "this system makes no junction or directory link that leads anywhere";

    EXPECT_EQ(S_OK, RemoveFolderTree(root));
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(Exists(outside + L"\\keep.txt"));
}

TEST(FolderTreeRemoval, TheActionRemovesTheFolderItIsGivenAndNeverFails)
{
    typedef UINT(WINAPI * PFN_ACTION)(MSIHANDLE);
    UniqueHModule module(::LoadLibraryW((zeptest::ExeDir() + L"Moltra.dll").c_str()));
    ASSERT_TRUE(module.IsValid());
    const auto pfnAction = reinterpret_cast<PFN_ACTION>(::GetProcAddress(module.Get(), "RemoveDownloadCacheCA"));
    ASSERT_NE(nullptr, pfnAction);
    installertest::CUiMessageLog messages;
    ASSERT_TRUE(messages.Installed());
    UniqueMsiHandle session = installertest::OpenActionTestSession();
    ASSERT_TRUE(session.IsValid());

    const std::wstring root = zeptest::TestTempDir() + L"AutoUpdateClient";
    ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((root + L"\\TVK").c_str(), nullptr));
    WriteSmallFile(root + L"\\TVK\\package.msi");
    // The launcher's settings live beside it and stay.
    WriteSmallFile(zeptest::TestTempDir() + L"TOLVIKSetting.xml");

    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiSetPropertyW(session.Get(), L"CustomActionData", (root + L"\\").c_str()));
    EXPECT_EQ(0u, pfnAction(session.Get()));
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(Exists(zeptest::TestTempDir() + L"TOLVIKSetting.xml"));
    EXPECT_TRUE(messages.Logged(L"Moltra:  Removed the download folder " + root)) << messages.Dump();

    // A file held open stays; the removal of the product goes on all the same.
    ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
    WriteSmallFile(root + L"\\held.msi");
    UniqueHandle held(::CreateFileW((root + L"\\held.msi").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.IsValid());
    messages.Clear();
    EXPECT_EQ(0u, pfnAction(session.Get()));
    EXPECT_TRUE(messages.Logged(L"Moltra:  Error 0x80070020: Failed to remove all of the download folder " + root))
        << messages.Dump();

    // No folder, or one without a parent: nothing is removed.
    for (const wchar_t* pszData : {L"", L"C:"})
    {
        messages.Clear();
        ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiSetPropertyW(session.Get(), L"CustomActionData", pszData));
        EXPECT_EQ(0u, pfnAction(session.Get())) << WideToUtf8(pszData);
        EXPECT_TRUE(messages.Logged(L"Moltra:  Error 0x57: No download folder given")) << messages.Dump();
    }
    EXPECT_TRUE(Exists(root + L"\\held.msi"));
}
