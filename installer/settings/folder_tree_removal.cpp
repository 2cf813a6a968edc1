#include "installer/settings/folder_tree_removal.h"

#include "common/unique_resource.h"

namespace
{
bool IsNothing(DWORD dwError)
{
    return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
}

// A file, an emptied folder or a link. A read-only file would stop the deletion; a link's
// attributes are left alone (setting them could reach its target).
DWORD RemoveEntry(const std::wstring& path, DWORD dwAttributes)
{
    if ((dwAttributes & FILE_ATTRIBUTE_READONLY) && !(dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        ::SetFileAttributesW(path.c_str(), dwAttributes & ~FILE_ATTRIBUTE_READONLY);
    const BOOL bRemoved = (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) ? ::RemoveDirectoryW(path.c_str())
                                                                   : ::DeleteFileW(path.c_str());
    if (bRemoved)
        return ERROR_SUCCESS;
    const DWORD dwError = ::GetLastError();
    return IsNothing(dwError) ? ERROR_SUCCESS : dwError;
}

DWORD RemoveTree(const std::wstring& folder)
{
    DWORD dwFirstError = ERROR_SUCCESS;
    WIN32_FIND_DATAW data = {};
    UniqueFindHandle find(::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                             FindExSearchNameMatch, nullptr, 0));
    if (find.IsValid())
    {
        do
        {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            const bool bDescend = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                                  !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
            const DWORD dwError = bDescend ? RemoveTree(path) : RemoveEntry(path, data.dwFileAttributes);
            if (dwFirstError == ERROR_SUCCESS)
                dwFirstError = dwError;
        } while (::FindNextFileW(find.Get(), &data));
    }
    const DWORD dwError = RemoveEntry(folder, FILE_ATTRIBUTE_DIRECTORY);
    return dwFirstError != ERROR_SUCCESS ? dwFirstError : dwError;
}
}  // namespace

HRESULT RemoveFolderTree(const std::wstring& path)
{
    const DWORD dwAttributes = ::GetFileAttributesW(path.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
    {
        const DWORD dwError = ::GetLastError();
        return IsNothing(dwError) ? S_OK : HRESULT_FROM_WIN32(dwError);
    }
    const bool bDescend = (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    const DWORD dwError = bDescend ? RemoveTree(path) : RemoveEntry(path, dwAttributes);
    return dwError == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(dwError);
}
