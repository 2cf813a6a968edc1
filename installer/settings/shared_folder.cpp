#include "installer/settings/shared_folder.h"

#include "common/folder_security.h"

UniqueLocalMem BuildSharedFolderSecurity()
{
    static const WELL_KNOWN_SID_TYPE kAccounts[] = {WinAuthenticatedUserSid, WinLocalSystemSid,
                                                    WinBuiltinAdministratorsSid, WinBuiltinUsersSid};
    const size_t kCount = sizeof(kAccounts) / sizeof(kAccounts[0]);
    BYTE sids[kCount][SECURITY_MAX_SID_SIZE];
    PSID pSids[kCount];
    for (size_t i = 0; i < kCount; ++i)
    {
        DWORD cbSid = SECURITY_MAX_SID_SIZE;
        if (!::CreateWellKnownSid(kAccounts[i], nullptr, sids[i], &cbSid))
            return UniqueLocalMem();
        pSids[i] = sids[i];
    }
    return BuildFolderSecurity(pSids, kCount, nullptr, false);
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
