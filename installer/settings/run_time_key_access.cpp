#include "installer/settings/run_time_key_access.h"

#include <aclapi.h>

#include "common/unique_resource.h"

namespace
{
const DWORD kKeyAccessWow = KEY_WOW64_64KEY;

bool IsExplicitEntryFor(const ACE_HEADER* pHeader, PSID pSid)
{
    if (pHeader->AceFlags & INHERITED_ACE)
        return false;
    // Allowed and denied entries share their layout: header, mask, SID.
    if (pHeader->AceType != ACCESS_ALLOWED_ACE_TYPE && pHeader->AceType != ACCESS_DENIED_ACE_TYPE)
        return false;
    const auto* pEntry = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(pHeader);
    return ::EqualSid(const_cast<DWORD*>(&pEntry->SidStart), pSid) != FALSE;
}

DWORD AddAllowed(PACL pAcl, WELL_KNOWN_SID_TYPE account, DWORD dwFlags, ACCESS_MASK access)
{
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD cbSid = sizeof(sid);
    if (!::CreateWellKnownSid(account, nullptr, sid, &cbSid) ||
        !::AddAccessAllowedAceEx(pAcl, ACL_REVISION, dwFlags, access, sid))
        return ::GetLastError();
    return ERROR_SUCCESS;
}

// The key's list without its explicit entries for Users, the new ones after the other explicit
// entries and before the inherited ones (the order Windows evaluates and keeps). A key without
// a list (open to everyone) gets SYSTEM and Administrators first, so that granting Users does
// not lock them out.
DWORD BuildAcl(PACL pOld, RunTimeKeyGrant grant, UniqueLocalMem& acl)
{
    const DWORD cbEntry = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + SECURITY_MAX_SID_SIZE;
    DWORD cbAcl = sizeof(ACL) + 4 * cbEntry;
    ACL_SIZE_INFORMATION size = {};
    if (pOld)
    {
        if (!::GetAclInformation(pOld, &size, sizeof(size), AclSizeInformation))
            return ::GetLastError();
        cbAcl += size.AclBytesInUse;
    }
    BYTE users[SECURITY_MAX_SID_SIZE];
    DWORD cbSid = sizeof(users);
    if (!::CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &cbSid))
        return ::GetLastError();
    acl.Reset(::LocalAlloc(LPTR, cbAcl));
    if (!acl)
        return ERROR_NOT_ENOUGH_MEMORY;
    PACL pAcl = static_cast<PACL>(acl.Get());
    if (!::InitializeAcl(pAcl, cbAcl, ACL_REVISION))
        return ::GetLastError();

    auto copy = [&](bool bInherited) -> DWORD {
        for (DWORD i = 0; i < size.AceCount; ++i)
        {
            void* pAce = nullptr;
            if (!::GetAce(pOld, i, &pAce))
                return ::GetLastError();
            const ACE_HEADER* pHeader = static_cast<const ACE_HEADER*>(pAce);
            if (((pHeader->AceFlags & INHERITED_ACE) != 0) != bInherited || IsExplicitEntryFor(pHeader, users))
                continue;
            if (!::AddAce(pAcl, ACL_REVISION, MAXDWORD, pAce, pHeader->AceSize))
                return ::GetLastError();
        }
        return ERROR_SUCCESS;
    };
    DWORD dwError = ERROR_SUCCESS;
    if (pOld == nullptr)
    {
        for (WELL_KNOWN_SID_TYPE account : {WinLocalSystemSid, WinBuiltinAdministratorsSid})
        {
            dwError = AddAllowed(pAcl, account, CONTAINER_INHERIT_ACE, KEY_ALL_ACCESS);
            if (dwError != ERROR_SUCCESS)
                return dwError;
        }
    }
    dwError = copy(false);
    if (dwError != ERROR_SUCCESS)
        return dwError;
    dwError = AddAllowed(pAcl, WinBuiltinUsersSid, 0, RunTimeKeyOwnAccess(grant));
    const ACCESS_MASK subkeys = RunTimeKeySubkeyAccess(grant);
    if (dwError == ERROR_SUCCESS && subkeys != 0)
        dwError = AddAllowed(pAcl, WinBuiltinUsersSid, CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE, subkeys);
    return dwError != ERROR_SUCCESS ? dwError : copy(true);
}
}  // namespace

ACCESS_MASK RunTimeKeyOwnAccess(RunTimeKeyGrant grant)
{
    return grant == RunTimeKeyGrant::Values ? KEY_READ | KEY_SET_VALUE : KEY_READ | KEY_CREATE_SUB_KEY;
}

ACCESS_MASK RunTimeKeySubkeyAccess(RunTimeKeyGrant grant)
{
    // The update client opens and creates its keys asking for full access.
    return grant == RunTimeKeyGrant::Subkeys ? KEY_ALL_ACCESS : 0;
}

bool ParseRunTimeKeys(const std::wstring& text, std::vector<RunTimeKey>& keys)
{
    keys.clear();
    size_t nStart = 0;
    while (nStart <= text.size())
    {
        size_t nEnd = text.find(L';', nStart);
        if (nEnd == std::wstring::npos)
            nEnd = text.size();
        const std::wstring item = text.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        const size_t nEqual = item.find(L'=');
        const std::wstring kind = item.substr(0, nEqual);
        RunTimeKey key = {nEqual == std::wstring::npos ? std::wstring() : item.substr(nEqual + 1),
                          RunTimeKeyGrant::Values};
        if (kind == L"subkeys")
            key.grant = RunTimeKeyGrant::Subkeys;
        if (key.path.empty() || (kind != L"subkeys" && kind != L"values"))
        {
            keys.clear();
            return false;
        }
        keys.push_back(key);
    }
    return !keys.empty();
}

DWORD GrantRunTimeKeyAccess(const RunTimeKey& key)
{
    UniqueHKey hKey;
    DWORD dwError = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.path.c_str(), 0, nullptr, 0,
                                      READ_CONTROL | WRITE_DAC | kKeyAccessWow, nullptr, hKey.Receive(), nullptr);
    if (dwError != ERROR_SUCCESS)
        return dwError;

    PACL pOld = nullptr;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    dwError = ::GetSecurityInfo(hKey.Get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &pOld,
                                nullptr, &pDescriptor);
    if (dwError != ERROR_SUCCESS)
        return dwError;
    UniqueLocalMem descriptor(pDescriptor);

    UniqueLocalMem acl;
    dwError = BuildAcl(pOld, key.grant, acl);
    if (dwError != ERROR_SUCCESS)
        return dwError;
    // Through SetSecurityInfo, Windows also hands the inheritable entry to subkeys that exist
    // already (an update client run before this installation).
    return ::SetSecurityInfo(hKey.Get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                             static_cast<PACL>(acl.Get()), nullptr);
}
