#pragma once
// SCSI commands through the system's direct pass-through on the drive's volume handle.
// Each command opens the drive, sends one request and closes it again.
#include "common/unique_resource.h"
#include "watcher/exec_scsi_interface.h"
#include "watcher/scsi_pass_through_request.h"

class CExecScsiSpti : public CExecScsiInterface
{
public:
    static constexpr ULONG kDefaultTimeoutSeconds = 10;

    CExecScsiSpti() = default;
    ~CExecScsiSpti() override;

    bool Open() override;
    void Close() override;
    bool LockVolume() override;
    bool UnlockVolume() override;
    bool ExecNoData(const BYTE* pCdb, BYTE cbCdb, DWORD* pdwSenseCode) override;
    bool ExecDataIn(const BYTE* pCdb, BYTE cbCdb, BYTE* pBuffer, DWORD cbBuffer, DWORD* pdwSenseCode) override;
    bool ExecDataOut(const BYTE* pCdb, BYTE cbCdb, BYTE* pBuffer, DWORD cbBuffer, DWORD* pdwSenseCode) override;
    void SetDriveIndex(int nDrive) override;

    ULONG GetTimeoutSeconds() const noexcept { return m_ulTimeoutSeconds; }
    bool IsOpen() const noexcept { return m_hDevice.IsValid(); }

private:
    bool Exec(const BYTE* pCdb, BYTE cbCdb, EScsiDirection eDirection, BYTE* pBuffer, DWORD cbBuffer,
              DWORD* pdwSenseCode);
    bool VolumeControl(DWORD dwControlCode);

    UniqueHandle m_hDevice;
    ULONG m_ulTimeoutSeconds = kDefaultTimeoutSeconds;
};
