#pragma once
// Sends SCSI commands to one drive, chosen by its index (0 = A).
#include <windows.h>

class CExecScsiInterface
{
public:
    static constexpr int kNoDrive = -1;

    virtual ~CExecScsiInterface() = default;
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual bool LockVolume() = 0;
    virtual bool UnlockVolume() = 0;
    virtual bool ExecNoData(const BYTE* pCdb, BYTE cbCdb, DWORD* pdwSenseCode) = 0;
    virtual bool ExecDataIn(const BYTE* pCdb, BYTE cbCdb, BYTE* pBuffer, DWORD cbBuffer, DWORD* pdwSenseCode) = 0;
    virtual bool ExecDataOut(const BYTE* pCdb, BYTE cbCdb, BYTE* pBuffer, DWORD cbBuffer, DWORD* pdwSenseCode) = 0;

    int GetDriveIndex() const noexcept { return m_nDrive; }
    // Any earlier open handle belongs to the previous drive: implementations close it.
    virtual void SetDriveIndex(int nDrive) { m_nDrive = nDrive; }

protected:
    CExecScsiInterface() = default;
    CExecScsiInterface(const CExecScsiInterface&) = delete;
    CExecScsiInterface& operator=(const CExecScsiInterface&) = delete;

    int m_nDrive = kNoDrive;
};
