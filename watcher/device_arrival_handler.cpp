#include "watcher/device_arrival_handler.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "watcher/drive_type_query.h"
#include "watcher/exec_scsi_interface.h"
#include "watcher/jukebox_detector.h"
#include "watcher/player_identification.h"

CDeviceArrivalHandler::CDeviceArrivalHandler(CExecScsiInterface* pScsi, IDriveTypeQuery& driveTypes,
                                             IShellStarter& shell,
                                             CTvkLauncher::CCustomQueryCancelAutoPlay* pAutoPlay,
                                             IJukeboxDetector& jukebox)
    : m_pScsi(pScsi), m_driveTypes(driveTypes), m_launcher(shell), m_pAutoPlay(pAutoPlay), m_jukebox(jukebox)
{
}

CDeviceArrivalHandler::~CDeviceArrivalHandler() = default;

bool CDeviceArrivalHandler::Notify(WPARAM nEvent, LPARAM lParam, LPARAM& lPost)
{
    lPost = 0;
    // Walking every process is for arrivals only: the system sends many other device events,
    // and for them there is nothing to leave to the jukebox.
    if (nEvent == DBT_DEVICEARRIVAL && m_jukebox.IsRunning())
        return false;
    lPost = Defer(nEvent, lParam);
    return true;
}

LPARAM CDeviceArrivalHandler::Defer(WPARAM nEvent, LPARAM lParam)
{
    if (nEvent != DBT_DEVICEARRIVAL || lParam == 0)
        return 0;
    const DEV_BROADCAST_HDR* pHeader = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    const DWORD cbRecord = pHeader->dbch_size;
    // The size field decides how much is read: a record that claims less than its own header
    // or an absurd length is not copied at all.
    if (cbRecord < sizeof(DEV_BROADCAST_HDR) || cbRecord > kMaxRecordSize)
        return 0;
    std::unique_ptr<BYTE[]> copy(new (std::nothrow) BYTE[cbRecord]);
    if (!copy)
        return 0;
    memcpy(copy.get(), pHeader, cbRecord);
    const LPARAM key = reinterpret_cast<LPARAM>(copy.get());
    m_pending[key] = std::move(copy);
    return key;
}

void CDeviceArrivalHandler::Discard(LPARAM lParam)
{
    m_pending.erase(lParam);
}

void CDeviceArrivalHandler::HandleDeferred(WPARAM nEvent, LPARAM lParam)
{
    if (lParam == 0)
        return;
    auto found = m_pending.find(lParam);
    if (found == m_pending.end())
        return;
    std::unique_ptr<BYTE[]> copy = std::move(found->second);
    m_pending.erase(found);
    if (nEvent != DBT_DEVICEARRIVAL)
        return;

    const DEV_BROADCAST_HDR* pHeader = reinterpret_cast<const DEV_BROADCAST_HDR*>(copy.get());
    if (pHeader->dbch_devicetype != DBT_DEVTYP_VOLUME ||
        pHeader->dbch_size < offsetof(DEV_BROADCAST_VOLUME, dbcv_unitmask) + sizeof(DWORD))
        return;
    const DWORD dwUnitMask = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(pHeader)->dbcv_unitmask;
    for (int nBit = 0; nBit < 26; ++nBit)
    {
        if (dwUnitMask & (1u << nBit))
            CheckDrive(nBit);
    }
}

void CDeviceArrivalHandler::CheckDrive(int nDrive)
{
    if (nDrive < 0 || nDrive > 25)
        return;
    const wchar_t szRoot[] = {static_cast<wchar_t>(L'A' + nDrive), L':', L'\\', L'\0'};
    if (m_driveTypes.GetDriveType(szRoot) != DRIVE_REMOVABLE)
        return;
    if (!m_pScsi || !CPlayerIdentification::IsSupportedPlayer(*m_pScsi, nDrive))
        return;
    if (m_pAutoPlay)
        m_pAutoPlay->SetDriveRoot(nDrive);
    m_launcher.Launch(nDrive);
}
