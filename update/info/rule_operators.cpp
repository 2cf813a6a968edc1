#include "update/info/rule_operators.h"

#include <iterator>

namespace RuleOperators
{
namespace
{
const wchar_t* const kOperatorNames[] = {
    L"Equal",            // 1
    L"NotEqual",         // 2
    L"Exist",            // 3
    L"NotExist",         // 4
    L"LessThan",         // 5
    L"LessThanEqual",    // 6
    L"GreaterThanEqual", // 7
    L"GreaterThan",      // 8
    L"StartWith",        // 9
    L"NotStartWith",     // 10
    L"EndWith",          // 11
    L"NotEndWith",       // 12
    L"Include",          // 13
    L"Exclude",          // 14
};

bool EndsWith(const std::wstring& a, const std::wstring& b)
{
    return a.size() >= b.size() && a.compare(a.size() - b.size(), b.size(), b) == 0;
}
}  // namespace

int CompareVersionOrder(const std::wstring& a, const std::wstring& b) noexcept
{
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i)
    {
        const wchar_t x = a[i];
        const wchar_t y = b[i];
        if (x == y)
            continue;
        if (x == L'.')
            return -1;
        if (y == L'.')
            return 1;
        return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool Evaluate(const std::wstring& a, const std::wstring& b, const std::wstring& op)
{
    switch (RuleNumber(op))
    {
    case 1:
        return a == b;
    case 2:
        return a != b;
    case 5:
        return CompareVersionOrder(a, b) < 0;
    case 6:
        return CompareVersionOrder(a, b) <= 0;
    case 7:
        return CompareVersionOrder(a, b) >= 0;
    case 8:
        return CompareVersionOrder(a, b) > 0;
    case 9:
        return a.find(b) == 0;
    case 10:
        return a.find(b) != 0;
    case 11:
        return EndsWith(a, b);
    case 12:
        return !EndsWith(a, b);
    case 13:
        return a.find(b) != std::wstring::npos;
    case 14:
        return a.find(b) == std::wstring::npos;
    default:
        // "Exist", "NotExist" and unknown names: only rule types that can see existence use them.
        return false;
    }
}

int RuleNumber(const std::wstring& op) noexcept
{
    for (size_t i = 0; i < std::size(kOperatorNames); ++i)
        if (op == kOperatorNames[i])
            return static_cast<int>(i) + 1;
    return 0;
}

const wchar_t* OperatorName(int nRule) noexcept
{
    if (nRule < 1 || nRule > static_cast<int>(std::size(kOperatorNames)))
        return nullptr;
    return kOperatorNames[nRule - 1];
}
}  // namespace RuleOperators
