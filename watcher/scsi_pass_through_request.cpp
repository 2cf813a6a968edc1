#include "watcher/scsi_pass_through_request.h"

#include <cstddef>
#include <cstring>

static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT_WITH_SENSE, ucSenseBuf) + ScsiPassThrough::kSenseLength <=
                  sizeof(SCSI_PASS_THROUGH_DIRECT_WITH_SENSE),
              "sense data must fit in the request block");

namespace ScsiPassThrough
{
bool BuildRequest(SCSI_PASS_THROUGH_DIRECT_WITH_SENSE& request, const BYTE* pCdb, BYTE cbCdb,
                  EScsiDirection eDirection, void* pBuffer, DWORD cbBuffer, ULONG ulTimeoutSeconds)
{
    memset(&request, 0, sizeof(request));
    if (!pCdb || cbCdb == 0 || cbCdb > kMaxCdbLength)
        return false;
    if (eDirection != eScsiDataUnspecified && cbBuffer != 0 && !pBuffer)
        return false;

    SCSI_PASS_THROUGH_DIRECT& spt = request.spt;
    spt.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    spt.PathId = 0;
    spt.TargetId = kTargetId;
    spt.Lun = 0;
    spt.CdbLength = cbCdb;
    spt.SenseInfoLength = kSenseLength;
    spt.DataIn = static_cast<UCHAR>(eDirection);
    spt.DataTransferLength = eDirection == eScsiDataUnspecified ? 0 : cbBuffer;
    spt.TimeOutValue = ulTimeoutSeconds;
    spt.DataBuffer = eDirection == eScsiDataUnspecified ? nullptr : pBuffer;
    spt.SenseInfoOffset = static_cast<ULONG>(offsetof(SCSI_PASS_THROUGH_DIRECT_WITH_SENSE, ucSenseBuf));
    // Only the caller's own bytes: a shorter CDB is padded with zeros, never read past its end.
    memcpy(spt.Cdb, pCdb, cbCdb);
    return true;
}

DWORD SenseCode(const SCSI_PASS_THROUGH_DIRECT_WITH_SENSE& request)
{
    const BYTE* pSense = request.ucSenseBuf;
    return (static_cast<DWORD>(pSense[2]) << 16) | (static_cast<DWORD>(pSense[12]) << 8) | pSense[13];
}
}  // namespace ScsiPassThrough
