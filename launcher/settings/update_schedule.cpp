#include "launcher/settings/update_schedule.h"

#include <cstring>
#include <vector>

#include "common/registry.h"
#include "common/unique_resource.h"
#include "launcher/settings/settings_registry.h"

namespace
{
const LONGLONG kSecondsPerDay = 86400;
// 1601-01-01 to 1970-01-01 in 100-nanosecond units.
const ULONGLONG kUnixEpochAsFileTime = 116444736000000000ULL;
}  // namespace

bool IsUpdateDue(const UpdateScheduleValues& values, LONGLONG llNow)
{
    if (values.m_bHasUpdateStart && values.m_byUpdateStart == 0)
        return false;
    const DWORD dwFrequency = values.m_bHasUpdateFrequency ? values.m_dwUpdateFrequency : UPDATE_FREQUENCY_WEEKLY;
    if (dwFrequency == UPDATE_FREQUENCY_EVERY_START)
        return true;
    const LONGLONG llLast = values.m_bHasUpdateTime ? values.m_llUpdateTime : 0;
    LONGLONG llElapsed = 0;
    if (__builtin_sub_overflow(llNow, llLast, &llElapsed))
    {
        // Only a corrupt stored time gets here: one far in the past is long overdue, one far
        // in the future is a clock set back.
        return llLast < 0 && (dwFrequency == UPDATE_FREQUENCY_DAILY || dwFrequency == UPDATE_FREQUENCY_WEEKLY);
    }
    if (llElapsed < 0)
        return false;
    const LONGLONG llDays = llElapsed / kSecondsPerDay;
    if (dwFrequency == UPDATE_FREQUENCY_DAILY)
        return llDays >= 1;
    if (dwFrequency == UPDATE_FREQUENCY_WEEKLY)
        return llDays >= 7;
    return false;
}

UpdateScheduleValues ReadUpdateScheduleValues()
{
    UpdateScheduleValues values;
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, LAUNCHER_UPDATE_KEY, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return values;

    std::vector<BYTE> data;
    DWORD dwType = REG_NONE;
    if (SettingsRegistry::ReadSmallValue(key.Get(), L"UpdateStart", SettingsRegistry::kOtherValueMaxBytes, data,
                                         dwType) &&
        !data.empty())
    {
        values.m_bHasUpdateStart = true;
        values.m_byUpdateStart = data[0];
    }
    if (SettingsRegistry::ReadSmallValue(key.Get(), L"UpdateFrequency", SettingsRegistry::kOtherValueMaxBytes, data,
                                         dwType) &&
        dwType == REG_DWORD && data.size() == sizeof(DWORD))
    {
        values.m_bHasUpdateFrequency = true;
        memcpy(&values.m_dwUpdateFrequency, data.data(), sizeof(DWORD));
    }
    if (SettingsRegistry::ReadSmallValue(key.Get(), L"UpdateTime", SettingsRegistry::kOtherValueMaxBytes, data,
                                         dwType) &&
        (dwType == REG_BINARY || dwType == REG_QWORD) && data.size() == sizeof(LONGLONG))
    {
        values.m_bHasUpdateTime = true;
        memcpy(&values.m_llUpdateTime, data.data(), sizeof(LONGLONG));
    }
    return values;
}

LONGLONG CurrentUnixTime()
{
    FILETIME ft = {};
    ::GetSystemTimeAsFileTime(&ft);
    const ULONGLONG ullTicks = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<LONGLONG>(ullTicks / 10000000ULL) - static_cast<LONGLONG>(kUnixEpochAsFileTime / 10000000ULL);
}

bool IsUpdateDue()
{
    return IsUpdateDue(ReadUpdateScheduleValues(), CurrentUnixTime());
}

HRESULT WriteUpdateStart(bool bCheckAtStart)
{
    const BYTE byValue = bCheckAtStart ? 1 : 0;
    return Registry::WriteValue(HKEY_LOCAL_MACHINE, LAUNCHER_UPDATE_KEY, L"UpdateStart", REG_BINARY, &byValue,
                                sizeof(byValue));
}

HRESULT WriteUpdateFrequency(DWORD dwFrequency)
{
    return Registry::WriteDword(HKEY_LOCAL_MACHINE, LAUNCHER_UPDATE_KEY, L"UpdateFrequency", dwFrequency);
}

HRESULT WriteUpdateTime(LONGLONG llUnixTime)
{
    // Little-endian on every target we build for, which is the stored layout.
    return Registry::WriteValue(HKEY_LOCAL_MACHINE, LAUNCHER_UPDATE_KEY, L"UpdateTime", REG_BINARY, &llUnixTime,
                                sizeof(llUnixTime));
}
