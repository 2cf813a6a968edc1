#pragma once
#include <windows.h>
#include <string>

// Reads one value below "Software\A\B[\M]" as text, first under the root chosen by the
// process-wide selector, then under HKEY_LOCAL_MACHINE. Every failure reads as "not found".
class RegistryValueReader
{
public:
    // Selectors up to 999 are accepted: 0 or more is HKEY_LOCAL_MACHINE, negative HKEY_CURRENT_USER.
    static bool SetRoot(LONG lSelector) noexcept;
    static LONG GetRoot() noexcept;

    bool SetPath(const std::wstring& strA, const std::wstring& strB, const std::wstring& strM);
    // Finds the value whose name equals strName without regard to case.
    bool GetValue(const std::wstring& strName, std::wstring& strText) const;

    std::wstring GetKeyPath() const;

private:
    static bool ReadFromRoot(HKEY hRoot, const std::wstring& strKeyPath, const std::wstring& strName,
                             std::wstring& strText);

    std::wstring m_strA;
    std::wstring m_strB;
    std::wstring m_strM;
};
