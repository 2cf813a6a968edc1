#include "update/gui/update_text_rules.h"

#include <algorithm>

#include "update/gui/res/gui_res_ids.h"

ZEP_SIZE_LINE ZepSizeLine(ULONG dwSize)
{
    const ULONG dwShown = std::max<ULONG>(dwSize, 1024);
    if (dwShown <= 1048575)
        return {dwShown / 1024, IDS_ZEP_UNIT_KB};
    if (dwShown > 1073741823)
        return {dwShown >> 30, IDS_ZEP_UNIT_GB};
    return {dwShown >> 20, IDS_ZEP_UNIT_MB};
}

ULONGLONG ZepRemainingSeconds(ULONGLONG ullElapsedMs, UINT nPercent)
{
    if (nPercent == 0)
        return 0;
    // 64 bits: elapsed × 100 would overflow 32 bits after about 12 hours.
    return (ullElapsedMs * 100 / nPercent - ullElapsedMs) / 1000 + 1;
}

ZEP_REMAINING_TIME ZepRemainingTime(ULONGLONG ullSeconds)
{
    if (ullSeconds < 60)
        return {IDS_ZEP_REMAINING_SECONDS, static_cast<int>(ullSeconds), 0};
    if (ullSeconds < 3600)
        return {IDS_ZEP_REMAINING_MINUTES, static_cast<int>(ullSeconds / 60), 0};
    const ULONGLONG ullHours = std::min<ULONGLONG>(ullSeconds / 3600, 0x7FFFFFFF);
    return {IDS_ZEP_REMAINING_HOURS, static_cast<int>(ullHours), static_cast<int>(ullSeconds % 3600 / 60)};
}
