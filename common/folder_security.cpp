#include "common/folder_security.h"

#include <aclapi.h>
#include <sddl.h>

#include "common/error_macros.h"
#include "common/unique_resource.h"

namespace
{
struct SFolderSecurity
{
    BYTE sids[4][SECURITY_MAX_SID_SIZE];
    UniqueLocalMem acl;
    SECURITY_DESCRIPTOR sd;
    SECURITY_ATTRIBUTES sa;
};

HRESULT BuildSecurity(SFolderSecurity& security)
{
    static const WELL_KNOWN_SID_TYPE kSids[4] = {WinAuthenticatedUserSid, WinLocalSystemSid,
                                                 WinBuiltinAdministratorsSid, WinBuiltinUsersSid};
    EXPLICIT_ACCESSW entries[4] = {};
    for (int i = 0; i < 4; ++i)
    {
        DWORD cbSid = SECURITY_MAX_SID_SIZE;
        if (!::CreateWellKnownSid(kSids[i], nullptr, security.sids[i], &cbSid))
            return HResultFromLastError();
        entries[i].grfAccessPermissions = GENERIC_ALL;
        entries[i].grfAccessMode = SET_ACCESS;
        entries[i].grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        entries[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entries[i].Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        entries[i].Trustee.ptstrName = reinterpret_cast<LPWSTR>(security.sids[i]);
    }
    PACL pAcl = nullptr;
    const DWORD dwError = ::SetEntriesInAclW(4, entries, nullptr, &pAcl);
    if (dwError != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(dwError);
    security.acl.Reset(pAcl);
    if (!::InitializeSecurityDescriptor(&security.sd, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&security.sd, TRUE, pAcl, FALSE))
        return HResultFromLastError();
    security.sa.nLength = sizeof(security.sa);
    security.sa.lpSecurityDescriptor = &security.sd;
    security.sa.bInheritHandle = TRUE;
    return S_OK;
}
}  // namespace

HRESULT CreateFolderForAllUsers(const std::wstring& strPath)
{
    if (strPath.empty())
        return E_INVALIDARG;
    std::wstring strFolder = strPath;
    while (strFolder.size() > 3 && (strFolder.back() == L'\\' || strFolder.back() == L'/'))
        strFolder.pop_back();
    const DWORD dwAttributes = ::GetFileAttributesW(strFolder.c_str());
    if (dwAttributes != INVALID_FILE_ATTRIBUTES)
        return (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) ? S_OK : HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);

    const size_t posParent = strFolder.find_last_of(L"\\/");
    if (posParent != std::wstring::npos && posParent > 0)
    {
        std::wstring strParent = strFolder.substr(0, posParent);
        // "C:" stands for the drive's root, which always exists.
        if (!(strParent.size() == 2 && strParent[1] == L':'))
        {
            const HRESULT hr = CreateFolderForAllUsers(strParent);
            if (FAILED(hr))
                return hr;
        }
    }
    SFolderSecurity security;
    HRESULT hr = BuildSecurity(security);
    if (FAILED(hr))
        return hr;
    if (!::CreateDirectoryW(strFolder.c_str(), &security.sa) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return HResultFromLastError();
    return S_OK;
}
