#pragma once
// What the watcher does with a device-change notification. The notification itself only
// copies the arrival record (Defer); the drives are examined later, from the message loop
// (HandleDeferred), so the system's broadcast is never held up.
#include <windows.h>
#include <dbt.h>

#include <map>
#include <memory>

#include "watcher/custom_query_cancel_auto_play.h"
#include "watcher/tvk_launcher.h"

class CExecScsiInterface;
class IDriveTypeQuery;
class IJukeboxDetector;
class IShellStarter;

class CDeviceArrivalHandler
{
public:
    // Largest broadcast record accepted; the records the system sends are far smaller.
    static constexpr DWORD kMaxRecordSize = 16 * 1024;

    // pScsi and pAutoPlay may be null: a missing member is simply not used.
    CDeviceArrivalHandler(CExecScsiInterface* pScsi, IDriveTypeQuery& driveTypes, IShellStarter& shell,
                          CTvkLauncher::CCustomQueryCancelAutoPlay* pAutoPlay, IJukeboxDetector& jukebox);
    ~CDeviceArrivalHandler();
    CDeviceArrivalHandler(const CDeviceArrivalHandler&) = delete;
    CDeviceArrivalHandler& operator=(const CDeviceArrivalHandler&) = delete;

    // The notification's part, run inside the system's broadcast: false when the event is to be
    // ignored (an arrival while the jukebox runs); else true, with the value to post (Defer).
    bool Notify(WPARAM nEvent, LPARAM lParam, LPARAM& lPost);

    // The value to post with the event: a copy of an arrival record, held here until it comes
    // back through HandleDeferred or Discard; 0 for other events and for records whose size
    // field is not believable.
    LPARAM Defer(WPARAM nEvent, LPARAM lParam);
    // Gives up a copy whose message could not be posted.
    void Discard(LPARAM lParam);
    // Examines the drives of a deferred arrival and frees its copy. A value that is not one of
    // this handler's copies is ignored: it did not come from Defer.
    void HandleDeferred(WPARAM nEvent, LPARAM lParam);

    // The per-drive check (0 = A): removable, a supported player, then AutoPlay refusal and
    // the launcher start.
    void CheckDrive(int nDrive);

    size_t PendingCount() const noexcept { return m_pending.size(); }

private:
    CExecScsiInterface* m_pScsi;
    IDriveTypeQuery& m_driveTypes;
    CTvkLauncher m_launcher;
    CTvkLauncher::CCustomQueryCancelAutoPlay* m_pAutoPlay;
    IJukeboxDetector& m_jukebox;
    std::map<LPARAM, std::unique_ptr<BYTE[]>> m_pending;
};
