// The pass-through request block as the system's x64 layout needs it, the sense code
// packing, and the two executors' behaviour without a device.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "watcher/exec_scsi_emulated.h"
#include "watcher/exec_scsi_spti.h"
#include "watcher/scsi_pass_through_request.h"

namespace
{
TEST(ScsiPassThroughRequest, HeaderHasTheSystemsX64Layout)
{
    // The driver reads these offsets; a hand-made 32-bit layout would put the buffer address
    // and the sense offset where the driver does not look.
    EXPECT_EQ(56u, sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_EQ(8u, offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn));
    EXPECT_EQ(12u, offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength));
    EXPECT_EQ(16u, offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue));
    EXPECT_EQ(24u, offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer));
    EXPECT_EQ(32u, offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset));
    EXPECT_EQ(36u, offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb));
}

TEST(ScsiPassThroughRequest, InquiryRequestIsFilledForTheDriver)
{
    BYTE cdb[12] = {0x12, 0, 0, 0, 0x38};
    BYTE buffer[56] = {};
    SCSI_PASS_THROUGH_DIRECT_WITH_SENSE request;
    memset(&request, 0xCC, sizeof(request));
    ASSERT_TRUE(ScsiPassThrough::BuildRequest(request, cdb, sizeof(cdb), eScsiDataIn, buffer, sizeof(buffer), 10));

    const SCSI_PASS_THROUGH_DIRECT& spt = request.spt;
    EXPECT_EQ(sizeof(SCSI_PASS_THROUGH_DIRECT), spt.Length);
    EXPECT_EQ(0, spt.ScsiStatus);
    EXPECT_EQ(0, spt.PathId);
    EXPECT_EQ(1, spt.TargetId);
    EXPECT_EQ(0, spt.Lun);
    EXPECT_EQ(12, spt.CdbLength);
    EXPECT_EQ(18, spt.SenseInfoLength);
    EXPECT_EQ(SCSI_IOCTL_DATA_IN, spt.DataIn);
    EXPECT_EQ(56u, spt.DataTransferLength);
    EXPECT_EQ(10u, spt.TimeOutValue);
    EXPECT_EQ(static_cast<void*>(buffer), spt.DataBuffer);
    EXPECT_EQ(0, memcmp(spt.Cdb, cdb, sizeof(cdb)));
    for (size_t i = sizeof(cdb); i < sizeof(spt.Cdb); ++i)
        EXPECT_EQ(0, spt.Cdb[i]) << "CDB byte " << i;

    // The sense data the driver writes must land inside the block, past the header, where
    // SenseCode reads it.
    const size_t senseOffset = spt.SenseInfoOffset;
    EXPECT_EQ(offsetof(SCSI_PASS_THROUGH_DIRECT_WITH_SENSE, ucSenseBuf), senseOffset);
    EXPECT_GE(senseOffset, sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_LE(senseOffset + spt.SenseInfoLength, sizeof(request));
    for (size_t i = 0; i < sizeof(request.ucSenseBuf); ++i)
        EXPECT_EQ(0, request.ucSenseBuf[i]) << "block not zeroed at sense byte " << i;
}

TEST(ScsiPassThroughRequest, DirectionsAndTheirBuffers)
{
    const BYTE cdb[6] = {0x00};
    BYTE buffer[8] = {};
    struct Case
    {
        EScsiDirection eDirection;
        UCHAR expectedDataIn;
        bool bBufferSent;
    } const cases[] = {
        {eScsiDataOut, SCSI_IOCTL_DATA_OUT, true},
        {eScsiDataIn, SCSI_IOCTL_DATA_IN, true},
        {eScsiDataUnspecified, SCSI_IOCTL_DATA_UNSPECIFIED, false},
    };
    for (const Case& c : cases)
    {
        SCSI_PASS_THROUGH_DIRECT_WITH_SENSE request;
        ASSERT_TRUE(ScsiPassThrough::BuildRequest(request, cdb, sizeof(cdb), c.eDirection,
                                                  c.bBufferSent ? buffer : nullptr, c.bBufferSent ? 8 : 0, 10));
        EXPECT_EQ(c.expectedDataIn, request.spt.DataIn);
        EXPECT_EQ(c.bBufferSent ? 8u : 0u, request.spt.DataTransferLength);
        EXPECT_EQ(c.bBufferSent ? static_cast<void*>(buffer) : nullptr, request.spt.DataBuffer);
    }
}

TEST(ScsiPassThroughRequest, ShortCdbIsNotReadPastItsLength)
{
    // Six command bytes followed by bytes that are not the caller's to send.
    const BYTE memory[16] = {0x00, 1, 2, 3, 4, 5, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    SCSI_PASS_THROUGH_DIRECT_WITH_SENSE request;
    ASSERT_TRUE(ScsiPassThrough::BuildRequest(request, memory, 6, eScsiDataUnspecified, nullptr, 0, 10));
    EXPECT_EQ(6, request.spt.CdbLength);
    EXPECT_EQ(0, memcmp(request.spt.Cdb, memory, 6));
    for (size_t i = 6; i < 16; ++i)
        EXPECT_EQ(0, request.spt.Cdb[i]);
}

TEST(ScsiPassThroughRequest, RefusesCommandsItCannotDescribe)
{
    const BYTE cdb[17] = {0x12};
    BYTE buffer[4];
    SCSI_PASS_THROUGH_DIRECT_WITH_SENSE request;
    EXPECT_FALSE(ScsiPassThrough::BuildRequest(request, nullptr, 6, eScsiDataIn, buffer, 4, 10));
    EXPECT_FALSE(ScsiPassThrough::BuildRequest(request, cdb, 0, eScsiDataIn, buffer, 4, 10));
    EXPECT_FALSE(ScsiPassThrough::BuildRequest(request, cdb, 17, eScsiDataIn, buffer, 4, 10));
    EXPECT_FALSE(ScsiPassThrough::BuildRequest(request, cdb, 6, eScsiDataIn, nullptr, 4, 10));
    EXPECT_TRUE(ScsiPassThrough::BuildRequest(request, cdb, 16, eScsiDataIn, buffer, 4, 10));
}

TEST(ScsiPassThroughRequest, SenseCodePacksKeyByteWholeThenAscAndAscq)
{
    SCSI_PASS_THROUGH_DIRECT_WITH_SENSE request = {};
    request.ucSenseBuf[0] = 0x70;
    request.ucSenseBuf[2] = 0xE5;  // flag bits above the sense key stay in the code
    request.ucSenseBuf[12] = 0x3A;
    request.ucSenseBuf[13] = 0x02;
    request.ucSenseBuf[14] = 0x99;  // not part of the code
    EXPECT_EQ(0x00E53A02u, ScsiPassThrough::SenseCode(request));
}

TEST(ExecScsiSpti, StartsWithoutDriveOrHandleAndTenSecondTimeout)
{
    CExecScsiSpti scsi;
    EXPECT_EQ(CExecScsiInterface::kNoDrive, scsi.GetDriveIndex());
    EXPECT_FALSE(scsi.IsOpen());
    EXPECT_EQ(10u, scsi.GetTimeoutSeconds());
    EXPECT_FALSE(scsi.Open());
}

TEST(ExecScsiSpti, CommandOnAnAbsentDriveFailsAndLeavesNoHandle)
{
    CExecScsiSpti scsi;
    scsi.SetDriveIndex(24);  // Y: does not exist in the test prefix
    BYTE cdb[12] = {0x12, 0, 0, 0, 56};
    BYTE response[56] = {};
    DWORD dwSense = 0xFFFFFFFF;
    EXPECT_FALSE(scsi.ExecDataIn(cdb, sizeof(cdb), response, sizeof(response), &dwSense));
    EXPECT_EQ(0xFFFFFFFFu, dwSense);
    EXPECT_FALSE(scsi.IsOpen());
    EXPECT_FALSE(scsi.LockVolume());
    EXPECT_FALSE(scsi.IsOpen());
}

TEST(ExecScsiEmulated, MapFileLinesCommentsAndErrors)
{
    std::map<int, std::vector<BYTE>> responses;
    ASSERT_TRUE(CExecScsiEmulated::ParseInquiryMap("# players\r\ne 00 01 ff\n\n  G=0A0b\n", responses));
    ASSERT_EQ(2u, responses.size());
    EXPECT_EQ((std::vector<BYTE>{0x00, 0x01, 0xFF}), responses[4]);
    EXPECT_EQ((std::vector<BYTE>{0x0A, 0x0B}), responses[6]);

    std::map<int, std::vector<BYTE>> bad;
    EXPECT_FALSE(CExecScsiEmulated::ParseInquiryMap("E 0g\n", bad));
    EXPECT_FALSE(CExecScsiEmulated::ParseInquiryMap("E 012\n", bad));
    EXPECT_FALSE(CExecScsiEmulated::ParseInquiryMap("1 00\n", bad));
}

TEST(ExecScsiEmulated, AnswersOnlyInquiryForKnownDrives)
{
    CExecScsiEmulated scsi;
    scsi.SetInquiryResponse(4, std::vector<BYTE>{1, 2, 3});
    BYTE inquiry[12] = {0x12};
    BYTE other[6] = {0x00};
    BYTE buffer[8];
    memset(buffer, 0xCC, sizeof(buffer));
    DWORD dwSense = 1;

    scsi.SetDriveIndex(4);
    ASSERT_TRUE(scsi.ExecDataIn(inquiry, sizeof(inquiry), buffer, sizeof(buffer), &dwSense));
    EXPECT_EQ(0u, dwSense);
    EXPECT_EQ(0, memcmp(buffer, "\x01\x02\x03\0\0\0\0\0", 8));  // the rest of the buffer is cleared
    EXPECT_FALSE(scsi.ExecNoData(other, sizeof(other), &dwSense));
    scsi.SetDriveIndex(5);
    EXPECT_FALSE(scsi.ExecDataIn(inquiry, sizeof(inquiry), buffer, sizeof(buffer), &dwSense));
    EXPECT_EQ(3u, scsi.Commands().size());
}
}  // namespace
