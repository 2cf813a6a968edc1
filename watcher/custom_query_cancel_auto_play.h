#pragma once
// Refuses AutoPlay once for the drive root the watcher stored: the launcher is started for
// that drive instead.
#include <string>

#include "watcher/query_cancel_auto_play.h"
#include "watcher/tvk_launcher.h"

// The class under which the handler is registered in the running object table.
extern const CLSID CLSID_PirroQueryCancelAutoPlay;

class CTvkLauncher::CCustomQueryCancelAutoPlay : public CQueryCancelAutoPlay
{
public:
    CCustomQueryCancelAutoPlay() = default;

    HRESULT GetClassID(CLSID* pClassId) override;
    // S_FALSE (refuse) when the path equals the stored root exactly, which is then forgotten;
    // S_OK otherwise.
    HRESULT AllowAutoPlay(LPCWSTR pszPath, DWORD dwContentType, LPCWSTR pszLabel, DWORD dwSerialNumber) override;

    // Replaces the stored root with "X:\" for drive index nDrive (0 = A).
    void SetDriveRoot(int nDrive);
    const std::wstring& GetDriveRoot() const noexcept { return m_strDriveRoot; }

private:
    std::wstring m_strDriveRoot;
};
