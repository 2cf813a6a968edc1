#include <gtest/gtest.h>

#include "update/client/service_status.h"
#include "update/info/four_part_version.h"

namespace
{
struct VersionCase
{
    const wchar_t* pszVersion;
    long long llValue;
};

TEST(FourPartVersion, Values)
{
    const VersionCase kCases[] = {
        {L"0.0.0.0", 0},
        {L"1.2.3.4", 1000000000000000LL + 200000000000LL + 300000LL + 4},
        {L"1.2.3", -1},
        {L"1.2.3.4.5", -1},
        {L"1..3.4", -1},
        {L"1.2.3.", -1},
        {L"a.2.3.4", -1},
        {L" 1.2.3.4", -1},
        {L"1.2.3.4 ", -1},
        {L"-1.2.3.4", -1},
        {L"", -1},
        {nullptr, -1},
        {L"9222.9999.999999.99999", 9222999999999999999LL - 0LL},
        // A part wider than its field would overflow or reach into its neighbour.
        {L"9223.0.0.0", -1},
        {L"99999999999999999999.0.0.0", -1},
        {L"1.10000.0.0", -1},
        {L"1.0.1000000.0", -1},
        {L"1.0.0.100000", -1},
        {L"0001.02.003.0004", 1000000000000000LL + 200000000000LL + 300000LL + 4},
    };
    for (const VersionCase& c : kCases)
        EXPECT_EQ(c.llValue, FourPartVersion::Value(c.pszVersion)) << (c.pszVersion ? c.pszVersion : L"(null)");
}

struct RuleCase
{
    const wchar_t* pszFirst;
    const wchar_t* pszSecond;
    int nRule;
    LONG lExpected;
};

TEST(FourPartVersion, Rules)
{
    const RuleCase kCases[] = {
        // Each rule on lower, equal and higher.
        {L"1.0.0.0", L"1.0.0.1", 1, 1}, {L"1.0.0.1", L"1.0.0.1", 1, 0}, {L"1.0.0.2", L"1.0.0.1", 1, 1},
        {L"1.0.0.0", L"1.0.0.1", 2, 0}, {L"1.0.0.1", L"1.0.0.1", 2, 1}, {L"1.0.0.2", L"1.0.0.1", 2, 0},
        {L"1.0.0.0", L"1.0.0.1", 5, 0}, {L"1.0.0.1", L"1.0.0.1", 5, 1}, {L"1.0.0.2", L"1.0.0.1", 5, 1},
        {L"1.0.0.0", L"1.0.0.1", 6, 0}, {L"1.0.0.1", L"1.0.0.1", 6, 0}, {L"1.0.0.2", L"1.0.0.1", 6, 1},
        {L"1.0.0.0", L"1.0.0.1", 7, 1}, {L"1.0.0.1", L"1.0.0.1", 7, 0}, {L"1.0.0.2", L"1.0.0.1", 7, 0},
        {L"1.0.0.0", L"1.0.0.1", 8, 1}, {L"1.0.0.1", L"1.0.0.1", 8, 1}, {L"1.0.0.2", L"1.0.0.1", 8, 0},
        // Numbers, not text: 10 is above 9.
        {L"1.10.0.0", L"1.9.0.0", 8, 0},
        // Rules outside the set never hold.
        {L"1.0.0.1", L"1.0.0.1", 3, 1}, {L"1.0.0.0", L"1.0.0.1", 4, 1}, {L"1.0.0.1", L"1.0.0.1", 0, 1},
        {L"1.0.0.1", L"1.0.0.1", 9, 1},
        // Malformed: below every version, equal to any other malformed one.
        {L"0.00", L"0.0.0.0", 5, 0}, {L"0.00", L"x", 1, 0}, {L"9223.0.0.0", L"0.0.0.0", 8, 1},
    };
    for (const RuleCase& c : kCases)
        EXPECT_EQ(c.lExpected, FourPartVersion::CheckRule(c.pszFirst, c.pszSecond, c.nRule))
            << c.pszFirst << L" rule " << c.nRule << L" " << c.pszSecond;
}

struct StatusCase
{
    HRESULT hr;
    bool bInfoOnly;
    bool bWritten;
    int nCode;
    HRESULT hrAfter;
};

TEST(ServiceStatus, Table)
{
    const StatusCase kCases[] = {
        {S_OK, false, true, 0, S_OK},
        {S_OK, true, false, 0, S_OK},
        {1, false, false, 0, 1},
        {(HRESULT)0x80042301L, false, false, 0, (HRESULT)0x80042301L},
        {(HRESULT)0x8004120AL, false, false, 0, (HRESULT)0x8004120AL},
        {E_INVALIDARG, false, false, 0, E_INVALIDARG},
        {(HRESULT)0x80044201L, false, true, 10, (HRESULT)0x80044201L},
        {(HRESULT)0x80044202L, false, true, 11, 1},
        {(HRESULT)0x80044203L, false, true, 12, (HRESULT)0x80044203L},
        {(HRESULT)0x80044204L, false, true, 13, (HRESULT)0x80044204L},
        {(HRESULT)0x80044301L, false, true, 20, (HRESULT)0x80044301L},
        {(HRESULT)0x80042203L, false, true, 35, (HRESULT)0x80042203L},
        {(HRESULT)0x80044208L, false, true, 40, (HRESULT)0x80044208L},
        {(HRESULT)0x80043305L, false, true, 41, (HRESULT)0x80043305L},
        {(HRESULT)0x80044207L, false, true, 41, (HRESULT)0x80044207L},
        {(HRESULT)0x80041210L, false, true, 42, (HRESULT)0x80041210L},
        {(HRESULT)0x80043208L, false, true, 43, (HRESULT)0x80043208L},
        {(HRESULT)0x80044209L, false, true, 43, (HRESULT)0x80044209L},
        {(HRESULT)0x8004420AL, false, true, 44, (HRESULT)0x8004420AL},
        {(HRESULT)0x80042202L, false, true, 45, (HRESULT)0x80042202L},
        {(HRESULT)0x80041211L, false, true, 50, (HRESULT)0x80041211L},
        {(HRESULT)0x80044401L, false, true, 70, (HRESULT)0x80044401L},
        {(HRESULT)0x80040200L, false, true, 90, (HRESULT)0x80040200L},
        {E_FAIL, true, true, 90, E_FAIL},
    };
    for (const StatusCase& c : kCases)
    {
        const ZEP_SERVICE_STATUS status = ServiceStatusFor(c.hr, c.bInfoOnly);
        SCOPED_TRACE(testing::Message() << std::hex << "hr 0x" << static_cast<unsigned>(c.hr));
        EXPECT_EQ(c.bWritten, status.bWritten);
        if (c.bWritten)
        {
            EXPECT_EQ(c.nCode, status.nCode);
        }
        EXPECT_EQ(c.hrAfter, status.hrResult);
    }
}
}  // namespace
