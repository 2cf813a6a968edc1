#include "watcher/custom_query_cancel_auto_play.h"

// {3F7C2A91-5E4B-4D8C-9A16-B2E05D7F4C38}
const CLSID CLSID_PirroQueryCancelAutoPlay = {0x3f7c2a91, 0x5e4b, 0x4d8c,
                                              {0x9a, 0x16, 0xb2, 0xe0, 0x5d, 0x7f, 0x4c, 0x38}};

HRESULT CTvkLauncher::CCustomQueryCancelAutoPlay::GetClassID(CLSID* pClassId)
{
    if (!pClassId)
        return E_POINTER;
    *pClassId = CLSID_PirroQueryCancelAutoPlay;
    return S_OK;
}

HRESULT CTvkLauncher::CCustomQueryCancelAutoPlay::AllowAutoPlay(LPCWSTR pszPath, DWORD, LPCWSTR, DWORD)
{
    if (pszPath && !m_strDriveRoot.empty() && m_strDriveRoot == pszPath)
    {
        m_strDriveRoot.clear();
        return S_FALSE;
    }
    return S_OK;
}

void CTvkLauncher::CCustomQueryCancelAutoPlay::SetDriveRoot(int nDrive)
{
    m_strDriveRoot.clear();
    if (nDrive < 0 || nDrive > 25)
        return;
    const wchar_t szRoot[] = {static_cast<wchar_t>(L'A' + nDrive), L':', L'\\', L'\0'};
    m_strDriveRoot = szRoot;
}
