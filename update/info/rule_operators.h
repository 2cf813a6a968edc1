#pragma once
// The operators of update rules and the order in which version texts compare.
#include <string>

namespace RuleOperators
{
// Compares two version texts: code unit by code unit, a "." sorting below any other
// character, a proper prefix below the longer text. No numeric reading of components, so
// "1.5" > "1.10" and "2.0" > "10.0". Returns <0, 0 or >0.
int CompareVersionOrder(const std::wstring& a, const std::wstring& b) noexcept;

// Whether actual value a stands in relation op to rule value b. Unknown operators never hold.
bool Evaluate(const std::wstring& a, const std::wstring& b, const std::wstring& op);

// Number of an operator as handed to the version-check callback (1..14); 0 when unknown.
int RuleNumber(const std::wstring& op) noexcept;

// Operator name of a rule number; nullptr when unknown.
const wchar_t* OperatorName(int nRule) noexcept;
}  // namespace RuleOperators
