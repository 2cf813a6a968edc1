#include "installer/settings/shared_folder.h"

UniqueLocalMem BuildSharedFolderSecurity()
{
    static const WELL_KNOWN_SID_TYPE kAccounts[] = {WinAuthenticatedUserSid, WinLocalSystemSid,
                                                    WinBuiltinAdministratorsSid, WinBuiltinUsersSid};
    const size_t kCount = sizeof(kAccounts) / sizeof(kAccounts[0]);
    BYTE sids[kCount][SECURITY_MAX_SID_SIZE];
    DWORD cbAcl = sizeof(ACL);
    for (size_t i = 0; i < kCount; ++i)
    {
        DWORD cbSid = SECURITY_MAX_SID_SIZE;
        if (!::CreateWellKnownSid(kAccounts[i], nullptr, sids[i], &cbSid))
            return UniqueLocalMem();
        cbAcl += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(sids[i]);
    }
    UniqueLocalMem acl(::LocalAlloc(LPTR, cbAcl));
    if (!acl)
        return UniqueLocalMem();
    PACL pAcl = static_cast<PACL>(acl.Get());
    if (!::InitializeAcl(pAcl, cbAcl, ACL_REVISION))
        return UniqueLocalMem();
    for (size_t i = 0; i < kCount; ++i)
    {
        if (!::AddAccessAllowedAceEx(pAcl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, GENERIC_ALL,
                                     sids[i]))
            return UniqueLocalMem();
    }

    SECURITY_DESCRIPTOR sdAbsolute;
    if (!::InitializeSecurityDescriptor(&sdAbsolute, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&sdAbsolute, TRUE, pAcl, FALSE))
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

bool CreateSharedFolder(const std::wstring& path)
{
    if (path.empty() || ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    UniqueLocalMem security = BuildSharedFolderSecurity();
    if (!security)
        return false;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), security.Get(), FALSE};
    return ::CreateDirectoryW(path.c_str(), &sa) != FALSE;
}
