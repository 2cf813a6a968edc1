#pragma once
// What the update windows write about sizes and remaining time: which string and which numbers.
#include <windows.h>

struct ZEP_SIZE_LINE
{
    ULONG nValue;   // the number shown
    UINT nUnitId;   // the unit's string
};

// The package size in whole KB (at least 1), MB or GB.
ZEP_SIZE_LINE ZepSizeLine(ULONG dwSize);

// Seconds still to go after ullElapsedMs at nPercent (1..100), counting the running second.
ULONGLONG ZepRemainingSeconds(ULONGLONG ullElapsedMs, UINT nPercent);

struct ZEP_REMAINING_TIME
{
    UINT nStringId;  // seconds, minutes, or hours and minutes
    int nFirst;
    int nSecond;     // the minutes of the hours form
};

ZEP_REMAINING_TIME ZepRemainingTime(ULONGLONG ullSeconds);
