#pragma once
// Versions of PC software as the update client compares them: four dot-separated decimal parts
// a.b.c.d, ordered as the number a*10^15 + b*10^11 + c*10^5 + d.
#include <windows.h>

namespace FourPartVersion
{
// The version's number; -1 when it is not four parts of digits or a part does not fit its
// field (so it cannot overflow or reach into its neighbour). Every malformed version is -1:
// below every well-formed one and equal to any other malformed one.
long long Value(const wchar_t* pszVersion) noexcept;

// Whether a comparison rule holds for an order (negative: first is lower, 0: equal, positive:
// first is higher): 1 equal, 2 not equal, 5 lower, 6 lower or equal, 7 higher or equal,
// 8 higher. Any other rule does not hold.
bool RuleHolds(int nOrder, int nRule) noexcept;

// The rule on two versions: 0 when it holds, 1 when it does not.
LONG CheckRule(const wchar_t* pszFirst, const wchar_t* pszSecond, int nRule) noexcept;
}  // namespace FourPartVersion
