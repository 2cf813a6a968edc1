#pragma once
// The request block handed to IOCTL_SCSI_PASS_THROUGH_DIRECT: the system's own pass-through
// header followed by room for the sense data it returns.
#include <windows.h>
#include <ntddscsi.h>

enum EScsiDirection : BYTE
{
    eScsiDataOut = 0,       // SCSI_IOCTL_DATA_OUT
    eScsiDataIn = 1,        // SCSI_IOCTL_DATA_IN
    eScsiDataUnspecified = 2  // SCSI_IOCTL_DATA_UNSPECIFIED
};

struct SCSI_PASS_THROUGH_DIRECT_WITH_SENSE
{
    SCSI_PASS_THROUGH_DIRECT spt;
    ULONG ulFiller;  // keeps the sense bytes apart from the header on every layout
    BYTE ucSenseBuf[32];
};

namespace ScsiPassThrough
{
const BYTE kSenseLength = 18;
const BYTE kTargetId = 1;
const BYTE kMaxCdbLength = 16;

// Fills the block for one command. False when the CDB is missing or longer than 16 bytes,
// or a data transfer has no buffer: nothing is sent then.
bool BuildRequest(SCSI_PASS_THROUGH_DIRECT_WITH_SENSE& request, const BYTE* pCdb, BYTE cbCdb,
                  EScsiDirection eDirection, void* pBuffer, DWORD cbBuffer, ULONG ulTimeoutSeconds);

// Sense key byte, additional sense code and qualifier packed as (b2 << 16) | (b12 << 8) | b13,
// with byte 2 taken whole.
DWORD SenseCode(const SCSI_PASS_THROUGH_DIRECT_WITH_SENSE& request);
}  // namespace ScsiPassThrough
