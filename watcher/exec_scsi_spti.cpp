#include "watcher/exec_scsi_spti.h"

#include <winioctl.h>

CExecScsiSpti::~CExecScsiSpti()
{
    Close();
}

bool CExecScsiSpti::Open()
{
    Close();
    if (m_nDrive < 0 || m_nDrive > 25)
        return false;
    wchar_t szDevice[] = L"\\\\.\\A:";
    szDevice[4] = static_cast<wchar_t>(L'A' + m_nDrive);
    m_hDevice.Reset(::CreateFileW(szDevice, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH, nullptr));
    return m_hDevice.IsValid();
}

void CExecScsiSpti::Close()
{
    m_hDevice.Reset();
}

void CExecScsiSpti::SetDriveIndex(int nDrive)
{
    if (nDrive != m_nDrive)
        Close();
    CExecScsiInterface::SetDriveIndex(nDrive);
}

bool CExecScsiSpti::VolumeControl(DWORD dwControlCode)
{
    if (!Open())
        return false;
    DWORD cbReturned = 0;
    const bool bOk =
        ::DeviceIoControl(m_hDevice.Get(), dwControlCode, nullptr, 0, nullptr, 0, &cbReturned, nullptr) != FALSE;
    Close();
    return bOk;
}

bool CExecScsiSpti::LockVolume()
{
    return VolumeControl(FSCTL_LOCK_VOLUME);
}

bool CExecScsiSpti::UnlockVolume()
{
    return VolumeControl(FSCTL_UNLOCK_VOLUME);
}

bool CExecScsiSpti::ExecNoData(const BYTE* pCdb, BYTE cbCdb, DWORD* pdwSenseCode)
{
    return Exec(pCdb, cbCdb, eScsiDataUnspecified, nullptr, 0, pdwSenseCode);
}

bool CExecScsiSpti::ExecDataIn(const BYTE* pCdb, BYTE cbCdb, BYTE* pBuffer, DWORD cbBuffer, DWORD* pdwSenseCode)
{
    return Exec(pCdb, cbCdb, eScsiDataIn, pBuffer, cbBuffer, pdwSenseCode);
}

bool CExecScsiSpti::ExecDataOut(const BYTE* pCdb, BYTE cbCdb, BYTE* pBuffer, DWORD cbBuffer, DWORD* pdwSenseCode)
{
    return Exec(pCdb, cbCdb, eScsiDataOut, pBuffer, cbBuffer, pdwSenseCode);
}

bool CExecScsiSpti::Exec(const BYTE* pCdb, BYTE cbCdb, EScsiDirection eDirection, BYTE* pBuffer, DWORD cbBuffer,
                         DWORD* pdwSenseCode)
{
    SCSI_PASS_THROUGH_DIRECT_WITH_SENSE request;
    if (!ScsiPassThrough::BuildRequest(request, pCdb, cbCdb, eDirection, pBuffer, cbBuffer, m_ulTimeoutSeconds))
        return false;
    if (!Open())
        return false;
    DWORD cbReturned = 0;
    const bool bOk = ::DeviceIoControl(m_hDevice.Get(), IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof(request),
                                       &request, sizeof(request), &cbReturned, nullptr) != FALSE;
    Close();
    if (bOk && pdwSenseCode)
        *pdwSenseCode = ScsiPassThrough::SenseCode(request);
    return bOk;
}
