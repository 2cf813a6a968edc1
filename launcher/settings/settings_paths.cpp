#include "launcher/settings/settings_paths.h"

#include <shlobj.h>

#include "common/error_macros.h"
#include "launcher/settings/app_entry.h"

namespace
{
std::wstring& DataFolderOverride()
{
    static std::wstring s_strFolder;
    return s_strFolder;
}

HRESULT CreateFolderTree(const std::wstring& folder)
{
    const int err = ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (err == ERROR_SUCCESS || err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS)
    {
        const DWORD dwAttributes = ::GetFileAttributesW(folder.c_str());
        RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_DIRECTORY),
                     dwAttributes == INVALID_FILE_ATTRIBUTES || !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY));
        return S_OK;
    }
    RETURN_IF_WIN32_ERROR(err);
    return S_OK;
}
}  // namespace

void SetLauncherDataFolderOverride(const std::wstring& folder)
{
    DataFolderOverride() = folder;
}

HRESULT GetLauncherDataFolder(std::wstring& folder)
{
    folder.clear();
    std::wstring strFolder = DataFolderOverride();
    if (strFolder.empty())
    {
        wchar_t szCommon[MAX_PATH] = {};
        RETURN_IF_FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                            SHGFP_TYPE_CURRENT, szCommon));
        strFolder = JoinPath(szCommon, L"Orvo Corporation\\Velomar Launcher");
    }
    while (strFolder.size() > 3 && (strFolder.back() == L'\\' || strFolder.back() == L'/'))
        strFolder.pop_back();
    RETURN_IF_FAILED(CreateFolderTree(strFolder));
    folder = strFolder;
    return S_OK;
}

HRESULT GetLauncherSettingsFilePath(std::wstring& path)
{
    path.clear();
    std::wstring folder;
    RETURN_IF_FAILED(GetLauncherDataFolder(folder));
    path = JoinPath(folder, LAUNCHER_SETTINGS_FILE_NAME);
    return S_OK;
}
