// When the launcher starts the update client by itself.
#include <gtest/gtest.h>

#include <climits>

#include "common/unique_resource.h"
#include "launcher/settings/settings_registry.h"
#include "launcher/settings/update_schedule.h"
#include "launcher/settings/tests/settings_test_util.h"

using namespace settingstest;

namespace
{
const LONGLONG kDay = 86400;
const LONGLONG kNow = 1700000000;  // a fixed clock

struct DueCase
{
    const char* label;
    int nUpdateStart;     // -1 = absent
    LONGLONG llFrequency; // -1 = absent
    LONGLONG llLast;      // LLONG_MIN marks absent
    LONGLONG llNow;
    bool bDue;
};

UpdateScheduleValues Values(const DueCase& c)
{
    UpdateScheduleValues values;
    if (c.nUpdateStart >= 0)
    {
        values.m_bHasUpdateStart = true;
        values.m_byUpdateStart = static_cast<BYTE>(c.nUpdateStart);
    }
    if (c.llFrequency >= 0)
    {
        values.m_bHasUpdateFrequency = true;
        values.m_dwUpdateFrequency = static_cast<DWORD>(c.llFrequency);
    }
    if (c.llLast != LLONG_MIN)
    {
        values.m_bHasUpdateTime = true;
        values.m_llUpdateTime = c.llLast;
    }
    return values;
}

TEST(UpdateScheduleTest, DueTable)
{
    const DueCase cases[] = {
        {"nothing stored: weekly since 1970", -1, -1, LLONG_MIN, kNow, true},
        {"weekly, 6 days 23:59:59 ago", -1, -1, kNow - 7 * kDay + 1, kNow, false},
        {"weekly, exactly 7 days ago", -1, -1, kNow - 7 * kDay, kNow, true},
        {"weekly stated, 8 days", 1, 2, kNow - 8 * kDay, kNow, true},
        {"daily, 23 hours ago", 1, 1, kNow - 23 * 3600, kNow, false},
        {"daily, 24 hours ago", 1, 1, kNow - kDay, kNow, true},
        {"daily, never started", 1, 1, LLONG_MIN, kNow, true},
        {"every start", 1, 0, kNow, kNow, true},
        {"every start, clock set back", 1, 0, kNow + kDay, kNow, true},
        {"start switched off", 0, 0, LLONG_MIN, kNow, false},
        {"start switched off, weekly overdue", 0, 2, 0, kNow, false},
        {"any nonzero byte switches on", 0x80, 1, kNow - 2 * kDay, kNow, true},
        {"unknown frequency", 1, 3, 0, kNow, false},
        {"huge frequency", 1, 0xFFFFFFFF, 0, kNow, false},
        {"clock set back a year", 1, 1, kNow + 365 * kDay, kNow, false},
        {"clock set back a second", 1, 1, kNow + 1, kNow, false},
        {"last start in the future beyond range", 1, 2, LLONG_MAX, -kDay, false},
        {"last start in the far past beyond range", 1, 2, LLONG_MIN + 1, kNow, true},
        {"now before 1970", -1, 1, LLONG_MIN, -30 * kDay, false},
    };
    for (const DueCase& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.bDue, IsUpdateDue(Values(c), c.llNow));
    }
}

TEST(UpdateScheduleTest, ReadsOnlyValuesOfTheRightShape)
{
    EXPECT_FALSE(ReadUpdateScheduleValues().m_bHasUpdateStart);  // no key at all

    ASSERT_HRESULT_SUCCEEDED(WriteUpdateStart(false));
    ASSERT_HRESULT_SUCCEEDED(WriteUpdateFrequency(1));
    ASSERT_HRESULT_SUCCEEDED(WriteUpdateTime(0x0102030405060708LL));
    UpdateScheduleValues values = ReadUpdateScheduleValues();
    EXPECT_TRUE(values.m_bHasUpdateStart);
    EXPECT_EQ(0, values.m_byUpdateStart);
    EXPECT_TRUE(values.m_bHasUpdateFrequency);
    EXPECT_EQ(1u, values.m_dwUpdateFrequency);
    EXPECT_TRUE(values.m_bHasUpdateTime);
    EXPECT_EQ(0x0102030405060708LL, values.m_llUpdateTime);
    EXPECT_FALSE(IsUpdateDue());

    // Stored little-endian, 8 bytes; the start flag is one byte.
    std::vector<BYTE> data;
    DWORD dwType = 0;
    UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, LAUNCHER_UPDATE_KEY, 0, KEY_READ, key.Receive()));
    ASSERT_TRUE(SettingsRegistry::ReadSmallValue(key.Get(), L"UpdateTime", 1024, data, dwType));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), dwType);
    EXPECT_EQ((std::vector<BYTE>{8, 7, 6, 5, 4, 3, 2, 1}), data);
    ASSERT_TRUE(SettingsRegistry::ReadSmallValue(key.Get(), L"UpdateStart", 1024, data, dwType));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), dwType);
    EXPECT_EQ(std::vector<BYTE>{0}, data);

    // Wrong shapes read as absent: frequency not a DWORD, time not 8 bytes, start empty or
    // longer than the 1024-byte buffer.
    WriteRegistryRaw(LAUNCHER_UPDATE_KEY, L"UpdateFrequency", REG_BINARY, std::string("\1\0\0\0", 4));
    WriteRegistryRaw(LAUNCHER_UPDATE_KEY, L"UpdateTime", REG_BINARY, std::string("\1\2\3\4", 4));
    WriteRegistryRaw(LAUNCHER_UPDATE_KEY, L"UpdateStart", REG_BINARY, std::string());
    values = ReadUpdateScheduleValues();
    EXPECT_FALSE(values.m_bHasUpdateStart);
    EXPECT_FALSE(values.m_bHasUpdateFrequency);
    EXPECT_FALSE(values.m_bHasUpdateTime);
    EXPECT_TRUE(IsUpdateDue());  // weekly since 1970

    WriteRegistryRaw(LAUNCHER_UPDATE_KEY, L"UpdateStart", REG_BINARY, std::string(1025, '\0'));
    EXPECT_FALSE(ReadUpdateScheduleValues().m_bHasUpdateStart);
    WriteRegistryRaw(LAUNCHER_UPDATE_KEY, L"UpdateStart", REG_BINARY, std::string(1024, '\0'));
    EXPECT_TRUE(ReadUpdateScheduleValues().m_bHasUpdateStart);
    EXPECT_FALSE(IsUpdateDue());
}

TEST(UpdateScheduleTest, ClockIsSecondsSince1970)
{
    const LONGLONG llNow = CurrentUnixTime();
    EXPECT_GT(llNow, 1600000000LL);  // after 2020
    EXPECT_LT(llNow, 4102444800LL);  // before 2100
}
}  // namespace
