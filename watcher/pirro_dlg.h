#pragma once
// The watcher's hidden main window: it never shows itself, receives the system's device-change
// notifications and the launcher's close request.
#include <memory>

#include "common/dialog_base.h"
#include "watcher/custom_query_cancel_auto_play.h"
#include "watcher/device_arrival_handler.h"
#include "watcher/drive_type_query.h"
#include "watcher/exec_scsi_interface.h"
#include "watcher/jukebox_detector.h"
#include "watcher/shell_starter.h"

class CPirroDlg : public CDialogBase
{
public:
    // Registers the two window messages; call once at program start.
    static void RegisterMessages();
    static UINT CustomDeviceChangeMessage() noexcept { return s_msgCustomDeviceChange; }
    static UINT WatcherCloseMessage() noexcept { return s_msgWatcherClose; }

    // Takes the SCSI executor (may be null); creates and registers the AutoPlay handler.
    explicit CPirroDlg(std::unique_ptr<CExecScsiInterface> pScsi);
    ~CPirroDlg() override;

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    void OnDeviceChange(WPARAM nEvent, LPARAM lParam);

    static UINT s_msgCustomDeviceChange;
    static UINT s_msgWatcherClose;

    std::unique_ptr<CExecScsiInterface> m_pScsi;
    std::unique_ptr<CTvkLauncher::CCustomQueryCancelAutoPlay> m_pAutoPlay;
    CSystemDriveTypeQuery m_driveTypes;
    CSystemShellStarter m_shell;
    CJukeboxDetector m_jukebox;
    std::unique_ptr<CDeviceArrivalHandler> m_pHandler;
};
