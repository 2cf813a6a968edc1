// Operators of rules and the order of version texts, through the analyzer's CompareValue.
#include <gtest/gtest.h>

#include "common/string_util.h"
#include "update/info/rule_operators.h"
#include "update/info/zep_update_info_analyzer.h"

namespace
{
struct CompareCase
{
    const wchar_t* pszActual;
    const wchar_t* pszRule;
    const wchar_t* pszOperator;
    bool bHolds;
};

const CompareCase kCases[] = {
    // Version order: code units, "." below everything, a prefix below the longer text.
    {L"1.5", L"1.10", L"GreaterThan", true},
    {L"1.5", L"1.10", L"LessThan", false},
    {L"1.10", L"1.1", L"GreaterThan", true},
    {L"1.9", L"1.90", L"LessThan", true},
    {L"1.9", L"1.10", L"LessThan", false},  // 1.9 sorts above 1.10
    {L"2.0", L"10.0", L"GreaterThan", true},
    {L"1.0", L"10", L"LessThan", true},     // "." below "0"
    {L"1a", L"1.", L"GreaterThan", true},
    {L"6.0", L"5.1", L"GreaterThanEqual", true},
    {L"5.1", L"5.1", L"GreaterThanEqual", true},
    {L"5.0", L"5.1", L"GreaterThanEqual", false},
    {L"5.1", L"5.1", L"LessThanEqual", true},
    {L"5.2", L"5.1", L"LessThanEqual", false},
    {L"1.0", L"1.0", L"LessThan", false},
    {L"1.0", L"1.0", L"GreaterThan", false},
    {L"1.0.1", L"1.0", L"GreaterThan", true},
    // Empty values.
    {L"", L"", L"Equal", true},
    {L"", L"", L"LessThanEqual", true},
    {L"", L"", L"GreaterThanEqual", true},
    {L"", L"", L"LessThan", false},
    {L"", L"1.0", L"LessThan", true},
    {L"1.0", L"", L"GreaterThan", true},
    {L"", L"x", L"NotEqual", true},
    // Exact, case-sensitive text.
    {L"Windows", L"Windows", L"Equal", true},
    {L"Windows", L"windows", L"Equal", false},
    {L"Windows", L"windows", L"NotEqual", true},
    {L"Windows", L"Windows ", L"Equal", false},
    // Positions of the rule value in the actual value.
    {L"abc", L"ab", L"StartWith", true},
    {L"abc", L"", L"StartWith", true},
    {L"babc", L"abc", L"StartWith", false},
    {L"babc", L"abc", L"NotStartWith", true},
    {L"abc", L"x", L"NotStartWith", true},
    {L"abc", L"", L"NotStartWith", false},
    {L"abc", L"bc", L"EndWith", true},
    {L"abc", L"", L"EndWith", true},
    {L"bc", L"abc", L"EndWith", false},
    {L"bc", L"abc", L"NotEndWith", true},
    {L"abc", L"bc", L"NotEndWith", false},
    {L"abc", L"b", L"Include", true},
    {L"abc", L"", L"Include", true},
    {L"abc", L"B", L"Include", false},
    {L"abc", L"d", L"Exclude", true},
    {L"abc", L"", L"Exclude", false},
    // Existence and unknown operators never hold for plain values.
    {L"abc", L"abc", L"Exist", false},
    {L"abc", L"abc", L"NotExist", false},
    {L"abc", L"abc", L"equal", false},
    {L"abc", L"abc", L"", false},
};
}  // namespace

TEST(CompareValue, TableOfOperators)
{
    CZepUpdateInfoAnalyzer analyzer;
    for (const CompareCase& c : kCases)
    {
        EXPECT_EQ(c.bHolds, analyzer.CompareValue(c.pszActual, c.pszRule, c.pszOperator))
            << WideToUtf8(std::wstring(L"\"") + c.pszActual + L"\" " + c.pszOperator + L" \"" + c.pszRule + L"\"");
    }
}

TEST(CompareValue, VersionOrderIsATotalOrder)
{
    // Antisymmetric and consistent with equality, so sorting by it is stable.
    const wchar_t* const values[] = {L"", L".", L"1", L"1.", L"1.0", L"1.1", L"1.10", L"1.5", L"1.9", L"1.90", L"10.0", L"2.0", L"a"};
    for (const wchar_t* a : values)
        for (const wchar_t* b : values)
        {
            const int ab = RuleOperators::CompareVersionOrder(a, b);
            const int ba = RuleOperators::CompareVersionOrder(b, a);
            EXPECT_EQ(ab < 0, ba > 0) << WideToUtf8(a) << " / " << WideToUtf8(b);
            EXPECT_EQ(ab == 0, std::wstring(a) == b) << WideToUtf8(a) << " / " << WideToUtf8(b);
        }
}

TEST(CompareValue, RuleNumbersOfTheCallback)
{
    const wchar_t* const names[] = {L"Equal",        L"NotEqual",      L"Exist",            L"NotExist",
                                    L"LessThan",     L"LessThanEqual", L"GreaterThanEqual", L"GreaterThan",
                                    L"StartWith",    L"NotStartWith",  L"EndWith",          L"NotEndWith",
                                    L"Include",      L"Exclude"};
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(i + 1, RuleOperators::RuleNumber(names[i])) << WideToUtf8(names[i]);
    EXPECT_EQ(0, RuleOperators::RuleNumber(L"equal"));
    EXPECT_EQ(0, RuleOperators::RuleNumber(L""));
}
