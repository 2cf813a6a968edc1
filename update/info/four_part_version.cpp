#include "update/info/four_part_version.h"

namespace FourPartVersion
{
long long Value(const wchar_t* pszVersion) noexcept
{
    if (!pszVersion)
        return -1;
    // Each part's largest value: the first keeps the total within a signed 64-bit number, the
    // others stay below the weight of the part before them.
    static const long long kLimits[4] = {9222, 9999, 999999, 99999};
    static const long long kWeights[4] = {1000000000000000LL, 100000000000LL, 100000LL, 1LL};
    long long llTotal = 0;
    const wchar_t* p = pszVersion;
    for (int nPart = 0; nPart < 4; ++nPart)
    {
        if (nPart > 0)
        {
            if (*p != L'.')
                return -1;
            ++p;
        }
        if (*p < L'0' || *p > L'9')
            return -1;
        long long llPart = 0;
        for (; *p >= L'0' && *p <= L'9'; ++p)
        {
            llPart = llPart * 10 + (*p - L'0');
            if (llPart > kLimits[nPart])
                return -1;
        }
        llTotal += llPart * kWeights[nPart];
    }
    return *p == L'\0' ? llTotal : -1;
}

bool RuleHolds(int nOrder, int nRule) noexcept
{
    switch (nRule)
    {
    case 1: return nOrder == 0;
    case 2: return nOrder != 0;
    case 5: return nOrder < 0;
    case 6: return nOrder <= 0;
    case 7: return nOrder >= 0;
    case 8: return nOrder > 0;
    default: return false;
    }
}

LONG CheckRule(const wchar_t* pszFirst, const wchar_t* pszSecond, int nRule) noexcept
{
    const long long llFirst = Value(pszFirst);
    const long long llSecond = Value(pszSecond);
    const int nOrder = llFirst < llSecond ? -1 : (llFirst > llSecond ? 1 : 0);
    return RuleHolds(nOrder, nRule) ? 0 : 1;
}
}  // namespace FourPartVersion
