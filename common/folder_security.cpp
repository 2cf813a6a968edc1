#include "common/folder_security.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

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

namespace
{
struct SPrivateSids
{
    UniqueLocalMem user;
    BYTE system[SECURITY_MAX_SID_SIZE];
    BYTE administrators[SECURITY_MAX_SID_SIZE];

    bool Includes(PSID pSid) const
    {
        return pSid && ::IsValidSid(pSid) &&
               (::EqualSid(pSid, user.Get()) || ::EqualSid(pSid, const_cast<BYTE*>(system)) ||
                ::EqualSid(pSid, const_cast<BYTE*>(administrators)));
    }
};

HRESULT CurrentUserSid(UniqueLocalMem& sid)
{
    UniqueHandle hToken;
    RETURN_IF_WIN32_BOOL_FALSE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, hToken.Receive()));
    DWORD cbUser = 0;
    ::GetTokenInformation(hToken.Get(), TokenUser, nullptr, 0, &cbUser);
    RETURN_HR_IF(HResultFromLastError(), cbUser == 0);
    std::vector<BYTE> user(cbUser);
    RETURN_IF_WIN32_BOOL_FALSE(::GetTokenInformation(hToken.Get(), TokenUser, user.data(), cbUser, &cbUser));
    const PSID pSid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    const DWORD cbSid = ::GetLengthSid(pSid);
    sid.Reset(::LocalAlloc(LPTR, cbSid));
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, sid.Get());
    RETURN_IF_WIN32_BOOL_FALSE(::CopySid(cbSid, sid.Get(), pSid));
    return S_OK;
}

HRESULT LoadPrivateSids(SPrivateSids& sids)
{
    RETURN_IF_FAILED(CurrentUserSid(sids.user));
    DWORD cbSid = SECURITY_MAX_SID_SIZE;
    RETURN_IF_WIN32_BOOL_FALSE(::CreateWellKnownSid(WinLocalSystemSid, nullptr, sids.system, &cbSid));
    cbSid = SECURITY_MAX_SID_SIZE;
    RETURN_IF_WIN32_BOOL_FALSE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sids.administrators, &cbSid));
    return S_OK;
}

bool IsMissing(DWORD dwError)
{
    return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
}

// Sets the private access list on an open folder of ours and reads it back.
HRESULT MakePrivate(HANDLE hFolder, const SPrivateSids& sids)
{
    PSID pOwner = nullptr;
    PSECURITY_DESCRIPTOR pSd = nullptr;
    RETURN_IF_WIN32_ERROR(::GetSecurityInfo(hFolder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                            &pOwner, nullptr, nullptr, nullptr, &pSd));
    UniqueLocalMem current(pSd);
    if (IsPrivateFolderSecurity(pSd))
        return S_OK;
    // Only the owner's own access list is mended: someone else's owner keeps the right to change
    // it again after us.
    RETURN_HR_IF(E_ACCESSDENIED, !sids.Includes(pOwner));
    UniqueLocalMem wanted = BuildPrivateFolderSecurity();
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, wanted.Get());
    BOOL bPresent = FALSE;
    BOOL bDefaulted = FALSE;
    PACL pDacl = nullptr;
    RETURN_IF_WIN32_BOOL_FALSE(::GetSecurityDescriptorDacl(wanted.Get(), &bPresent, &pDacl, &bDefaulted));
    RETURN_IF_WIN32_ERROR(::SetSecurityInfo(hFolder, SE_FILE_OBJECT,
                                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                            nullptr, pDacl, nullptr));
    pSd = nullptr;
    RETURN_IF_WIN32_ERROR(::GetSecurityInfo(hFolder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                            nullptr, nullptr, nullptr, nullptr, &pSd));
    UniqueLocalMem readBack(pSd);
    RETURN_HR_IF(E_ACCESSDENIED, !IsPrivateFolderSecurity(pSd));
    return S_OK;
}
}  // namespace

bool FoldersKeepAccessLists()
{
    const HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    return !(hNtdll && ::GetProcAddress(hNtdll, "wine_get_version"));
}

HRESULT CurrentUserSidText(std::wstring& strSid)
{
    strSid.clear();
    UniqueLocalMem sid;
    RETURN_IF_FAILED(CurrentUserSid(sid));
    LPWSTR pszSid = nullptr;
    RETURN_IF_WIN32_BOOL_FALSE(::ConvertSidToStringSidW(sid.Get(), &pszSid));
    UniqueLocalMem text(pszSid);
    strSid = pszSid;
    return S_OK;
}

UniqueLocalMem BuildFolderSecurity(const PSID* pSids, size_t cSids, PSID pOwner, bool bProtected)
{
    DWORD cbAcl = sizeof(ACL);
    for (size_t i = 0; i < cSids; ++i)
        cbAcl += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(pSids[i]);
    UniqueLocalMem acl(::LocalAlloc(LPTR, cbAcl));
    if (!acl)
        return UniqueLocalMem();
    PACL pAcl = static_cast<PACL>(acl.Get());
    if (!::InitializeAcl(pAcl, cbAcl, ACL_REVISION))
        return UniqueLocalMem();
    for (size_t i = 0; i < cSids; ++i)
    {
        if (!::AddAccessAllowedAceEx(pAcl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, GENERIC_ALL,
                                     pSids[i]))
            return UniqueLocalMem();
    }
    SECURITY_DESCRIPTOR sdAbsolute;
    if (!::InitializeSecurityDescriptor(&sdAbsolute, SECURITY_DESCRIPTOR_REVISION) ||
        (pOwner && !::SetSecurityDescriptorOwner(&sdAbsolute, pOwner, FALSE)) ||
        !::SetSecurityDescriptorDacl(&sdAbsolute, TRUE, pAcl, FALSE) ||
        (bProtected && !::SetSecurityDescriptorControl(&sdAbsolute, SE_DACL_PROTECTED, SE_DACL_PROTECTED)))
        return UniqueLocalMem();
    DWORD cbRelative = 0;
    ::MakeSelfRelativeSD(&sdAbsolute, nullptr, &cbRelative);
    if (cbRelative == 0)
        return UniqueLocalMem();
    UniqueLocalMem relative(::LocalAlloc(LPTR, cbRelative));
    if (!relative || !::MakeSelfRelativeSD(&sdAbsolute, relative.Get(), &cbRelative))
        return UniqueLocalMem();
    return relative;
}

UniqueLocalMem BuildPrivateFolderSecurity()
{
    SPrivateSids sids;
    if (FAILED(LoadPrivateSids(sids)))
        return UniqueLocalMem();
    const PSID accounts[3] = {sids.user.Get(), sids.system, sids.administrators};
    return BuildFolderSecurity(accounts, 3, sids.user.Get(), true);
}

bool IsPrivateFolderSecurity(PSECURITY_DESCRIPTOR pSecurity)
{
    SPrivateSids sids;
    if (!pSecurity || FAILED(LoadPrivateSids(sids)))
        return false;
    PSID pOwner = nullptr;
    BOOL bDefaulted = FALSE;
    if (!::GetSecurityDescriptorOwner(pSecurity, &pOwner, &bDefaulted) || !sids.Includes(pOwner))
        return false;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD dwRevision = 0;
    if (!::GetSecurityDescriptorControl(pSecurity, &control, &dwRevision) || !(control & SE_DACL_PROTECTED))
        return false;
    BOOL bPresent = FALSE;
    PACL pDacl = nullptr;
    // No access list at all would let everybody in.
    if (!::GetSecurityDescriptorDacl(pSecurity, &bPresent, &pDacl, &bDefaulted) || !bPresent || !pDacl)
        return false;
    for (DWORD i = 0; i < pDacl->AceCount; ++i)
    {
        void* pAce = nullptr;
        if (!::GetAce(pDacl, i, &pAce))
            return false;
        const ACE_HEADER* pHeader = static_cast<ACE_HEADER*>(pAce);
        if (pHeader->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        if (pHeader->AceType != ACCESS_ALLOWED_ACE_TYPE ||
            !sids.Includes(&static_cast<ACCESS_ALLOWED_ACE*>(pAce)->SidStart))
            return false;
    }
    return true;
}

bool HasReparsePointBelow(const std::wstring& strBase, const std::wstring& strPath)
{
    size_t nStart = 0;
    if (!strBase.empty() && strPath.size() > strBase.size() && _wcsnicmp(strPath.c_str(), strBase.c_str(), strBase.size()) == 0 &&
        (strPath[strBase.size()] == L'\\' || strBase.back() == L'\\'))
        nStart = strBase.size() + (strBase.back() == L'\\' ? 0 : 1);
    else if (strPath.size() >= 3 && strPath[1] == L':' && strPath[2] == L'\\')
        nStart = 3;
    while (nStart < strPath.size())
    {
        size_t nEnd = strPath.find(L'\\', nStart);
        if (nEnd == std::wstring::npos)
            nEnd = strPath.size();
        const std::wstring strLevel = strPath.substr(0, nEnd);
        const DWORD dwAttributes = ::GetFileAttributesW(strLevel.c_str());
        if (dwAttributes == INVALID_FILE_ATTRIBUTES)
            return !IsMissing(::GetLastError());
        if (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return true;
        nStart = nEnd + 1;
    }
    return false;
}

HRESULT OpenPrivateFolder(const std::wstring& strBase, const std::wstring& strPath, UniqueHandle& hFolder)
{
    hFolder.Reset();
    RETURN_HR_IF(E_INVALIDARG, strPath.empty());
    RETURN_HR_IF(E_ACCESSDENIED, HasReparsePointBelow(strBase, strPath));
    const DWORD dwAttributes = ::GetFileAttributesW(strPath.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
    {
        UniqueLocalMem security = BuildPrivateFolderSecurity();
        RETURN_HR_IF_NULL(E_OUTOFMEMORY, security.Get());
        SECURITY_ATTRIBUTES sa = {sizeof(sa), security.Get(), FALSE};
        if (!::CreateDirectoryW(strPath.c_str(), &sa) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return HResultFromLastError();
    }
    else if (!(dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    }
    // A link put in place of the folder is opened as the link itself, and refused below.
    UniqueHandle hOpened(::CreateFileW(strPath.c_str(), READ_CONTROL | WRITE_DAC | FILE_LIST_DIRECTORY,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    RETURN_LAST_ERROR_IF(!hOpened);
    // Held now, the path can no longer change: what it is now is what the caller writes into.
    RETURN_HR_IF(E_ACCESSDENIED, HasReparsePointBelow(strBase, strPath));
    if (FoldersKeepAccessLists())
    {
        SPrivateSids sids;
        RETURN_IF_FAILED(LoadPrivateSids(sids));
        RETURN_IF_FAILED(MakePrivate(hOpened.Get(), sids));
    }
    hFolder = std::move(hOpened);
    return S_OK;
}
