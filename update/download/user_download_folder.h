#pragma once
// Where one user's downloads of one service are written: <root>\<service>\<the user's SID>. The
// root and the service's folder are shared by every user of the machine; this last level only the
// user, Local System and Administrators may write, so that nobody else can put a file (a library
// beside an installer) or a link in it before the client writes and starts what it downloaded.
// Named after the user, not at random, so that the user's next run resumes a partial file.
#include <windows.h>

#include <string>

#include "common/unique_resource.h"

class CUserDownloadFolder
{
public:
    // Creates the levels that are missing and holds the user's folder open until Close or the
    // end of this object. Refused with E_ACCESSDENIED when a level is a link or the user's folder
    // is someone else's.
    HRESULT Open(const std::wstring& strRoot, const std::wstring& strServiceFolderName);
    void Close() noexcept;
    // The user's folder, without a trailing backslash; empty while not open.
    const std::wstring& Path() const noexcept { return m_strPath; }

    // From where links are refused: the machine's data folder when the root lies below it (the
    // system's own folders above it may be links), otherwise the folder above the root.
    static std::wstring TrustedBase(const std::wstring& strRoot);

private:
    std::wstring m_strPath;
    UniqueHandle m_hFolder;
};
