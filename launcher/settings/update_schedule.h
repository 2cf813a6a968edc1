#pragma once
// When the launcher starts the update client on its own: the three schedule values below
// PRODUCT\TOLVIK\Update and the test made at start-up.
#include <windows.h>

// The stored schedule; a flag is false when its value is absent or unreadable.
struct UpdateScheduleValues
{
    bool m_bHasUpdateStart = false;
    BYTE m_byUpdateStart = 1;       // first byte of UpdateStart; 0 = no automatic check
    bool m_bHasUpdateFrequency = false;
    DWORD m_dwUpdateFrequency = 2;  // 0 = every start, 1 = daily, 2 = weekly
    bool m_bHasUpdateTime = false;
    LONGLONG m_llUpdateTime = 0;    // seconds since 1970-01-01 UTC of the last successful start
};

#define UPDATE_FREQUENCY_EVERY_START 0
#define UPDATE_FREQUENCY_DAILY 1
#define UPDATE_FREQUENCY_WEEKLY 2

// Pure schedule test: llNow and the stored time are seconds since 1970-01-01 UTC.
bool IsUpdateDue(const UpdateScheduleValues& values, LONGLONG llNow);
// Reads the registry and tests against the current time.
bool IsUpdateDue();

UpdateScheduleValues ReadUpdateScheduleValues();
// The current time in seconds since 1970-01-01 UTC.
LONGLONG CurrentUnixTime();

// Writers for the update page and the client start; the key is created when missing.
HRESULT WriteUpdateStart(bool bCheckAtStart);
HRESULT WriteUpdateFrequency(DWORD dwFrequency);
HRESULT WriteUpdateTime(LONGLONG llUnixTime);
