// The size line and remaining-time rules of the update windows.
#include <gtest/gtest.h>

#include "update/gui/res/gui_res_ids.h"
#include "update/gui/update_text_rules.h"

namespace
{
struct SizeCase
{
    ULONG dwSize;
    ULONG nValue;
    UINT nUnitId;
};

TEST(SizeLine, UnitAndNumberFollowTheByteCount)
{
    const SizeCase cases[] = {
        {0, 1, IDS_ZEP_UNIT_KB},                   // nothing to download still reads as 1 KB
        {500, 1, IDS_ZEP_UNIT_KB},
        {1024, 1, IDS_ZEP_UNIT_KB},
        {2047, 1, IDS_ZEP_UNIT_KB},                // truncated, not rounded
        {1048575, 1023, IDS_ZEP_UNIT_KB},
        {1048576, 1, IDS_ZEP_UNIT_MB},
        {5 * 1048576 + 1048575, 5, IDS_ZEP_UNIT_MB},
        {1073741823, 1023, IDS_ZEP_UNIT_MB},
        {1073741824, 1, IDS_ZEP_UNIT_GB},
        {0xFFFFFFFFul, 3, IDS_ZEP_UNIT_GB},
    };
    for (const SizeCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "size " << c.dwSize);
        const ZEP_SIZE_LINE line = ZepSizeLine(c.dwSize);
        EXPECT_EQ(c.nValue, line.nValue);
        EXPECT_EQ(c.nUnitId, line.nUnitId);
    }
}

struct RemainingCase
{
    ULONGLONG ullElapsedMs;
    UINT nPercent;
    UINT nStringId;
    int nFirst;
    int nSecond;
};

TEST(RemainingTime, FormulaAndItsThreeForms)
{
    const RemainingCase cases[] = {
        {10000, 25, IDS_ZEP_REMAINING_SECONDS, 31, 0},    // 30 s to go, plus the running second
        {10000, 100, IDS_ZEP_REMAINING_SECONDS, 1, 0},
        {59000, 50, IDS_ZEP_REMAINING_MINUTES, 1, 0},      // 59 s + 1 = 60: minutes
        {59000, 51, IDS_ZEP_REMAINING_SECONDS, 57, 0},
        {60000, 50, IDS_ZEP_REMAINING_MINUTES, 1, 0},
        {60000, 10, IDS_ZEP_REMAINING_MINUTES, 9, 0},      // 541 s
        {600000, 10, IDS_ZEP_REMAINING_HOURS, 1, 30},      // 5401 s
        {3600000, 1, IDS_ZEP_REMAINING_HOURS, 99, 0},      // 356401 s
        // Days of elapsed time do not overflow the product with 100.
        {50ull * 24 * 3600 * 1000, 50, IDS_ZEP_REMAINING_HOURS, 1200, 0},
    };
    for (const RemainingCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.ullElapsedMs << " ms at " << c.nPercent << " %");
        const ZEP_REMAINING_TIME time = ZepRemainingTime(ZepRemainingSeconds(c.ullElapsedMs, c.nPercent));
        EXPECT_EQ(c.nStringId, time.nStringId);
        EXPECT_EQ(c.nFirst, time.nFirst);
        EXPECT_EQ(c.nSecond, time.nSecond);
    }
    EXPECT_EQ(60u, ZepRemainingSeconds(59000, 50));
    EXPECT_EQ(0u, ZepRemainingSeconds(10000, 0));
}
}  // namespace
