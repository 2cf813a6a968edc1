#include "update/download/user_download_folder.h"

#include <shlobj.h>

#include "common/error_macros.h"
#include "common/folder_security.h"

HRESULT CUserDownloadFolder::Open(const std::wstring& strRoot, const std::wstring& strServiceFolderName)
{
    Close();
    RETURN_HR_IF(E_INVALIDARG, strRoot.empty() || strServiceFolderName.empty());
    std::wstring strSid;
    RETURN_IF_FAILED(CurrentUserSidText(strSid));
    const std::wstring strBase = TrustedBase(strRoot);
    const std::wstring strServiceFolder = strRoot + L"\\" + strServiceFolderName;
    // Looked at before anything is created, so that no folder is made through a link.
    RETURN_HR_IF(E_ACCESSDENIED, HasReparsePointBelow(strBase, strServiceFolder));
    RETURN_IF_FAILED(CreateFolderForAllUsers(strServiceFolder));
    const std::wstring strPath = strServiceFolder + L"\\" + strSid;
    RETURN_IF_FAILED(OpenPrivateFolder(strBase, strPath, m_hFolder));
    m_strPath = strPath;
    return S_OK;
}

void CUserDownloadFolder::Close() noexcept
{
    m_hFolder.Reset();
    m_strPath.clear();
}

std::wstring CUserDownloadFolder::TrustedBase(const std::wstring& strRoot)
{
    wchar_t szCommon[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, szCommon)))
    {
        const std::wstring strCommon = szCommon;
        if (strRoot.size() > strCommon.size() && _wcsnicmp(strRoot.c_str(), strCommon.c_str(), strCommon.size()) == 0 &&
            strRoot[strCommon.size()] == L'\\')
            return strCommon;
    }
    const size_t nSlash = strRoot.find_last_of(L'\\');
    return nSlash == std::wstring::npos ? std::wstring() : strRoot.substr(0, nSlash);
}
